#include "app/transfer_progress_bar.h"

namespace corvina {
namespace {

constexpr int kRefreshMs = 1000;

}  // namespace

TransferProgressBar::TransferProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
    hide();
    refreshTimer_.setInterval(kRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &TransferProgressBar::Refresh);
}

void TransferProgressBar::Begin(std::uint64_t totalBytes) {
    progress_.Start(totalBytes, TransferProgress::Clock::now());
    running_ = true;
    Refresh();
    show();
    refreshTimer_.start();
}

void TransferProgressBar::Advance(std::uint32_t percent) {
    if (!running_) {
        return;
    }
    progress_.Update(percent, TransferProgress::Clock::now());
    Refresh();
}

void TransferProgressBar::End() {
    running_ = false;
    refreshTimer_.stop();
    hide();
}

void TransferProgressBar::Refresh() {
    setValue(static_cast<int>(progress_.percent()));
    setFormat(QStringLiteral("%p%") + progress_.Details(TransferProgress::Clock::now()));
}

}  // namespace corvina
