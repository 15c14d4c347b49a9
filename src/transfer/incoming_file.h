#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace corvina {

// A received file while it is written under its temporary name. Owned by the
// incoming transfer; used by one thread at a time. Destroying it closes it
// without flushing.
class IncomingFile {
  public:
    virtual ~IncomingFile() = default;

    // Writes all `size` bytes, in pieces of at most 64 KiB. False when the
    // system refuses or stops short (a full disk, for example).
    virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;

    // Forces what was written onto the disk and closes the file. False when
    // either step fails; the file is closed in any case.
    virtual bool FlushAndClose() = 0;
};

// The file operations of the receiver, behind an interface so tests can make
// them fail. Thread-safe: it holds no state of its own.
class IncomingFileSystem {
  public:
    virtual ~IncomingFileSystem() = default;

    // Creates `path` for writing, only when nothing exists there yet: an
    // existing file, directory or symbolic link (dangling or not) makes it
    // fail, so a link planted under the temporary name is never followed. The
    // file is readable and writable by its owner, readable by others, and
    // never executable. Null on failure.
    virtual std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) = 0;

    // Gives `from` the name `to`, failing rather than replacing anything that
    // exists at `to`. The new directory entry is forced onto the disk.
    virtual bool RenameWithoutReplacing(const std::filesystem::path& from,
                                        const std::filesystem::path& to) = 0;

    // Deletes the file at `path`; a missing file is not an error.
    virtual void Remove(const std::filesystem::path& path) = 0;
};

// The platform's real file system.
IncomingFileSystem& SystemIncomingFileSystem();

}  // namespace corvina
