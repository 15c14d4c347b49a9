#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "transfer/rename_without_replacing.h"
#include "transfer/write_all_posix.h"

namespace corvina {
namespace {

// rw-r--r--, as every received file: never executable.
constexpr mode_t kCopyMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH;
constexpr std::size_t kCopyChunk = 65536;

int SystemRenameExclusive(const char* from, const char* to) {
#if defined(__APPLE__)
    return ::renamex_np(from, to, RENAME_EXCL) == 0 ? 0 : errno;
#elif defined(__linux__) && defined(RENAME_NOREPLACE)
    return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
#else
    (void)from;
    (void)to;
    return ENOSYS;
#endif
}

int SystemHardLink(const char* from, const char* to) {
    return ::link(from, to) == 0 ? 0 : errno;
}

// The answers of a file system that does not offer the call at all, as
// opposed to one that refused this rename.
bool IsUnsupported(int code) {
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP;
}

// vfat and exfat on Linux answer link() with EPERM.
bool IsLinkUnsupported(int code) {
    return IsUnsupported(code) || code == EPERM;
}

bool CopyContents(int source, int target) {
    std::vector<std::uint8_t> buffer(kCopyChunk);
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        if (!WriteAll(target, buffer.data(), static_cast<std::size_t>(got))) {
            return false;
        }
    }
}

// O_EXCL is the no-replace guarantee here: the create fails on anything that
// exists at `to`, a link included.
bool CopyExclusive(const std::filesystem::path& from, const std::filesystem::path& to) {
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0) {
        return false;
    }
    const int target =
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCopyMode);
    if (target < 0) {
        ::close(source);
        return false;
    }
    const bool copied = CopyContents(source, target);
    const bool synced = copied && ::fsync(target) == 0;
    const bool closed = ::close(target) == 0;
    ::close(source);
    if (!(copied && synced && closed)) {
        ::unlink(to.c_str());
        return false;
    }
    ::unlink(from.c_str());
    return true;
}

}  // namespace

const RenameCalls& SystemRenameCalls() {
    static const RenameCalls calls{SystemRenameExclusive, SystemHardLink};
    return calls;
}

bool RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                            const RenameCalls& calls) {
    const int renamed = calls.renameExclusive(from.c_str(), to.c_str());
    if (renamed == 0) {
        return true;
    }
    if (!IsUnsupported(renamed)) {
        return false;
    }
    const int linked = calls.hardLink(from.c_str(), to.c_str());
    if (linked == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (!IsLinkUnsupported(linked)) {
        return false;
    }
    return CopyExclusive(from, to);
}

}  // namespace corvina
