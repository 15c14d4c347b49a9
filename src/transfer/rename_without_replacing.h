#pragma once

#include <filesystem>

namespace corvina {

// The system calls a no-replace rename is made of on POSIX, as plain function
// pointers so a test can take away what a volume lacks. Each returns 0 or the
// errno of its failure.
struct RenameCalls {
    // A rename that fails with EEXIST rather than replace anything:
    // renameat2(RENAME_NOREPLACE) on Linux, renamex_np(RENAME_EXCL) on macOS;
    // ENOSYS where the system has neither.
    int (*renameExclusive)(const char* from, const char* to);
    // link(2).
    int (*hardLink)(const char* from, const char* to);
};

// This system's calls. Any thread.
const RenameCalls& SystemRenameCalls();

// Gives the file `from` the name `to`, never replacing whatever exists at `to`:
// the exclusive rename where the file system has it, else a hard link and an
// unlink of `from`, else (FAT and exFAT volumes have no hard links) an
// exclusive create of `to`, a copy forced onto the disk and an unlink of
// `from`. False when `to` exists or a step fails; a half-made copy is removed
// and `from` is kept. Any thread; the caller owns both names.
bool RenameWithoutReplacing(const std::filesystem::path& from, const std::filesystem::path& to,
                            const RenameCalls& calls);

}  // namespace corvina
