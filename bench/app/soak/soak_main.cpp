// Soak run of two stations on the simulated modem: faults, link losses and
// operator disconnects while files go both ways. Prints what went wrong.
//
//   corvina_soak [--seconds N] [--seed N] [--time-scale X] [--no-faults] [--strict]
//
// SOAK_SECONDS sets the duration when --seconds is not given. With --strict
// the exit code is 1 unless every fault count is zero and no window-thread
// stall passed 50 ms.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "soak_run.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    corvina::soak::SoakOptions options;
    if (const char* seconds = std::getenv("SOAK_SECONDS")) {
        options.seconds = std::atoi(seconds);
    }
    bool strict = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--seconds" && hasValue) {
            options.seconds = std::atoi(argv[++i]);
        } else if (arg == "--seed" && hasValue) {
            options.seed = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--time-scale" && hasValue) {
            options.timeScale = std::atof(argv[++i]);
        } else if (arg == "--no-faults") {
            options.faults = false;
        } else if (arg == "--strict") {
            strict = true;
        } else {
            std::fprintf(stderr,
                         "usage: %s [--seconds N] [--seed N] [--time-scale X] "
                         "[--no-faults] [--strict]\n",
                         argv[0]);
            return 2;
        }
    }
    QApplication application(argc, argv);
    corvina::soak::SoakResults r;
    std::string error;
    {
        corvina::soak::SoakRun run(options);
        r = run.Run(error);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "soak: %s\n", error.c_str());
        return 1;
    }
    std::printf("soak: %d s, seed %u, time scale %g, faults %s\n", options.seconds, options.seed,
                options.timeScale, options.faults ? "on" : "off");
    std::printf(
        "  sends %d (binary %d): binary verdicts %d (CRC OK %d), end messages %d, "
        "stored files checked %d\n",
        r.sends, r.binarySends, r.binaryVerdicts, r.binaryCrcOk, r.endMessages, r.filesVerified);
    std::printf("  link losses armed %d, operator disconnects %d, stuck links ended %d\n",
                r.linkLossesArmed, r.operatorDisconnects, r.idleLinks);
    std::printf("  sessions lost:                          %d\n", r.sessionsLost);
    std::printf("  files stored with wrong bytes:          %d\n", r.wrongFiles);
    std::printf("  sends without a verdict or end message: %d\n", r.sendsWithoutEnd);
    std::printf("  sends with record bytes shown as text:  %d\n", r.recordBytesShown);
    std::printf("  .part files left:                       %d\n", r.partFilesLeft);
    std::printf("  window-thread stalls over 50 ms:        %d (longest %lld ms)\n", r.stalls,
                static_cast<long long>(r.longestStallMs));
    const bool clean = r.sessionsLost == 0 && r.wrongFiles == 0 && r.sendsWithoutEnd == 0 &&
                       r.recordBytesShown == 0 && r.partFilesLeft == 0 && r.stalls == 0;
    return strict && !clean ? 1 : 0;
}
