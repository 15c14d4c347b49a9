#pragma once

#include <QProgressBar>
#include <QTimer>

#include "app/transfer_progress.h"

namespace corvina {

// A progress bar for one file transfer, hidden while none runs. Its text is
// TransferProgress::Text, refreshed every second so the rate and the time
// left follow a stalled link too. Window thread only.
class TransferProgressBar : public QProgressBar {
    Q_OBJECT

  public:
    explicit TransferProgressBar(QWidget* parent = nullptr);

    // Shows the bar at 0 % for a transfer of `totalBytes` file bytes.
    void Begin(std::uint64_t totalBytes);
    // Moves it to `percent`; ignored while the bar is not running.
    void Advance(std::uint32_t percent);
    // Hides it. Safe to call when it is already hidden.
    void End();

    bool running() const { return running_; }

  private:
    void Refresh();

    TransferProgress progress_;
    QTimer refreshTimer_;
    bool running_ = false;
};

}  // namespace corvina
