#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/application.h"
#include "sim/simulator.h"
#include "stall_monitor.h"

namespace corvina::soak {

struct SoakOptions {
    int seconds = 60;
    std::uint32_t seed = 1;
    double timeScale = 20;
    std::size_t maxFileBytes = 12000;
    bool faults = true;  // answer faults, link losses and operator disconnects
};

// What the run saw. The first five are the faults; all should be zero.
struct SoakResults {
    int sessionsLost = 0;
    int wrongFiles = 0;        // stored files whose bytes differ from what was sent
    int sendsWithoutEnd = 0;   // sends that ended (or hung) without exactly one verdict or end
    int recordBytesShown = 0;  // sends after which record bytes showed up as text in a pane
    int partFilesLeft = 0;
    int stalls = 0;  // window-thread stalls over 50 ms
    qint64 longestStallMs = 0;

    int sends = 0;
    int binarySends = 0;
    int binaryVerdicts = 0;
    int binaryCrcOk = 0;
    int endMessages = 0;
    int filesVerified = 0;
    int linkLossesArmed = 0;
    int operatorDisconnects = 0;
    int idleLinks = 0;  // links on which no send could start for 20 s
};

// Two stations, each a real window, on one simulated channel. The run drives
// them through the operator's controls: it calls, sends text and binary files
// of random size and content both ways, hands the turn over, and (with
// `faults`) lets the modems lose, delay and corrupt answers, breaks links on
// the air and presses "Disconnect ARQ" in the middle of sends. Window thread
// only; needs a QApplication.
class SoakRun {
  public:
    explicit SoakRun(SoakOptions options);
    ~SoakRun();

    // Runs for the configured time, settles, and returns what it saw; false
    // in `started` when the simulator could not start.
    SoakResults Run(std::string& error);

  private:
    struct Station {
        std::string call;
        std::filesystem::path folder;
        std::unique_ptr<Application> window;
        QString chosen;
        bool wasActive = false;
        bool wasHealing = false;  // the window reconnects on its own after a failure
        qint64 retryAt = -1;
    };
    struct Send {
        int station = 0;
        std::string name;
        bool binary = false;
        qint64 startedMs = 0;
        qint64 waitingSince = -1;    // since when the link is up but the turn is the peer's
        qsizetype echoFrom = 0;      // where this send's lines begin in the sender's echo pane
        qsizetype receivedFrom = 0;  // and in the peer's receive pane
    };

    void OpenStation(int i);
    void Tick(bool starting);
    void WatchSessions();
    void WatchLink();
    void WatchSend();
    void MaybeStartSend();
    void MaybeInjectFault();
    void FinishSend();
    void ScanStoredFiles(bool final);
    bool LinkUp() const;
    int SendingStation() const;
    void Click(int station, int id);
    QString PaneText(int station, int id);
    std::vector<std::uint8_t> RandomContent(bool binary);

    SoakOptions options_;
    std::mt19937 random_;
    std::filesystem::path root_;
    std::unique_ptr<velksim::Simulator> sim_;
    Station stations_[2];
    StallMonitor stalls_;
    QElapsedTimer clock_;
    SoakResults results_;

    std::optional<Send> send_;
    qint64 nextSendAt_ = 0;
    qint64 nextCallAt_ = 0;
    qint64 lastActivityMs_ = 0;
    bool linkWasUp_ = false;
    bool arqWasActive_[2] = {false, false};  // each window's own view, for the narration
    bool settling_ = false;                  // no new calls or sends
    int fileCounter_ = 0;
    std::map<std::string, std::vector<std::uint8_t>> sentBinaries_;
    std::set<std::filesystem::path> checkedFiles_;
};

}  // namespace corvina::soak
