#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "transfer/incoming_file.h"
#include "transfer/rename_without_replacing.h"
#include "transfer/write_all_posix.h"

namespace corvina {
namespace {

// rw-r--r--: a received file must never become executable.
constexpr mode_t kReceivedFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;

class PosixIncomingFile final : public IncomingFile {
  public:
    explicit PosixIncomingFile(int fd) : fd_(fd) {}
    ~PosixIncomingFile() override {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (fd_ < 0) {
            return false;
        }
        return WriteAll(fd_, data, size);
    }

    bool FlushAndClose() override {
        if (fd_ < 0) {
            return false;
        }
        const bool synced = ::fsync(fd_) == 0;
        const bool closed = ::close(fd_) == 0;
        fd_ = -1;
        return synced && closed;
    }

  private:
    int fd_;
};

void SyncDirectoryOf(const std::filesystem::path& path) {
    const int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

class PosixIncomingFileSystem final : public IncomingFileSystem {
  public:
    std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              kReceivedFileMode);
        if (fd < 0) {
            return nullptr;
        }
        return std::make_unique<PosixIncomingFile>(fd);
    }

    bool RenameWithoutReplacing(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        if (!corvina::RenameWithoutReplacing(from, to, SystemRenameCalls())) {
            return false;
        }
        SyncDirectoryOf(to);
        return true;
    }

    void Remove(const std::filesystem::path& path) override { ::unlink(path.c_str()); }
};

}  // namespace

IncomingFileSystem& SystemIncomingFileSystem() {
    static PosixIncomingFileSystem fileSystem;
    return fileSystem;
}

}  // namespace corvina
