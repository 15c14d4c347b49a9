#include <windows.h>

#include <algorithm>

#include "transfer/incoming_file.h"

namespace corvina {
namespace {

// Largest single write to the file.
constexpr std::size_t kMaxWrite = 65536;

class Win32IncomingFile final : public IncomingFile {
  public:
    explicit Win32IncomingFile(HANDLE handle) : handle_(handle) {}
    ~Win32IncomingFile() override {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
        }
    }

    bool Write(const std::uint8_t* data, std::size_t size) override {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return false;
        }
        while (size > 0) {
            const DWORD piece = static_cast<DWORD>(std::min(size, kMaxWrite));
            DWORD written = 0;
            if (!WriteFile(handle_, data, piece, &written, nullptr) || written != piece) {
                return false;
            }
            data += written;
            size -= written;
        }
        return true;
    }

    bool FlushAndClose() override {
        if (handle_ == INVALID_HANDLE_VALUE) {
            return false;
        }
        const bool flushed = FlushFileBuffers(handle_) != 0;
        const bool closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return flushed && closed;
    }

  private:
    HANDLE handle_;
};

class Win32IncomingFileSystem final : public IncomingFileSystem {
  public:
    std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
        // CREATE_NEW fails on any existing entry, a reparse point included.
        const HANDLE handle =
            CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            return nullptr;
        }
        return std::make_unique<Win32IncomingFile>(handle);
    }

    bool RenameWithoutReplacing(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        // Without MOVEFILE_REPLACE_EXISTING the move fails when `to` exists.
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
    }

    void Remove(const std::filesystem::path& path) override { DeleteFileW(path.c_str()); }
};

}  // namespace

IncomingFileSystem& SystemIncomingFileSystem() {
    static Win32IncomingFileSystem fileSystem;
    return fileSystem;
}

}  // namespace corvina
