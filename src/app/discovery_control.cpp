// The network search from the window: starting it, taking over its results,
// and filling the address and port boxes.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "app/application.h"
#include "text/conversions.h"

namespace corvina {
namespace {

constexpr std::uint32_t kDiscoveryTimeoutMs = 2000;

std::string ModemKey(const DiscoveredModem& modem) {
    return modem.address + ":" + std::to_string(modem.port);
}

}  // namespace

void Application::StartDiscovery(bool silent) {
    if (flags_.sessionActive || !networkSelector_->isChecked() ||
        discoveryRunning_.exchange(true)) {
        return;
    }
    if (discoveryThread_.joinable()) {
        discoveryThread_.join();
    }
    discoverySilent_ = silent;
    if (!silent) {
        SetStatus(QStringLiteral("NETFIND SEARCHING..."), false);
    }
    UpdateConnectionUi();
    discoveryThread_ = std::thread([this, discover = options_.discover] {
        std::string error;
        std::vector<DiscoveredModem> found = discover(kDiscoveryTimeoutMs, error);
        {
            std::lock_guard<std::mutex> lock(discoveryMutex_);
            discoveryResults_ = std::move(found);
            discoveryError_ = std::move(error);
        }
        sink_.Post(UiEvent::Plain(UiEventKind::DiscoveryFinishedEvent));
    });
}

void Application::FinishDiscovery() {
    if (discoveryThread_.joinable()) {
        discoveryThread_.join();
    }
    std::vector<DiscoveredModem> found;
    std::string error;
    {
        std::lock_guard<std::mutex> lock(discoveryMutex_);
        found.swap(discoveryResults_);
        error = discoveryError_;
    }
    discoveryRunning_.store(false);
    UpdateConnectionUi();

    if (found.empty()) {
        if (discoverySilent_) {
            return;
        }
        SetStatus(error.empty()
                      ? QStringLiteral("NO NETWORK MODEM FOUND")
                      : QString::fromUtf8(error.data(), static_cast<qsizetype>(error.size())),
                  true);
        return;
    }
    std::stable_sort(
        found.begin(), found.end(),
        [](const DiscoveredModem& a, const DiscoveredModem& b) { return a.address < b.address; });

    std::string rememberedKey;
    const int selected = addressBox_->currentIndex();
    // A selection counts only while the box still shows that entry's label.
    const bool hadSelection = selected >= 0 &&
                              static_cast<std::size_t>(selected) < discoveredModems_.size() &&
                              addressBox_->currentText() == addressBox_->itemText(selected);
    if (hadSelection) {
        rememberedKey = ModemKey(discoveredModems_[static_cast<std::size_t>(selected)]);
    }
    const QString typedAddress = addressBox_->currentText();
    const QString typedPort = tcpPortBox_->text();

    discoveredModems_ = std::move(found);
    addressBox_->clear();
    for (const DiscoveredModem& modem : discoveredModems_) {
        addressBox_->addItem(QString::fromStdU16String(DiscoveryLabel(modem)));
    }

    int choice = 0;
    if (hadSelection) {
        const auto match =
            std::find_if(discoveredModems_.begin(), discoveredModems_.end(),
                         [&](const DiscoveredModem& m) { return ModemKey(m) == rememberedKey; });
        if (match != discoveredModems_.end()) {
            choice = static_cast<int>(match - discoveredModems_.begin());
        }
    }
    if (!hadSelection && discoverySilent_) {
        // A hand-typed address survives the background search.
        addressBox_->setCurrentIndex(-1);
        addressBox_->setEditText(typedAddress);
        tcpPortBox_->setText(typedPort);
    } else {
        addressBox_->setCurrentIndex(choice);
        SelectDiscoveredModem();
    }
    if (!discoverySilent_) {
        const std::size_t count = discoveredModems_.size();
        SetStatus(QString::number(count) + (count == 1 ? QStringLiteral(" MODEM FOUND")
                                                       : QStringLiteral(" MODEMS FOUND")),
                  false);
    }
}

void Application::SelectDiscoveredModem() {
    const int selected = addressBox_->currentIndex();
    if (selected >= 0 && static_cast<std::size_t>(selected) < discoveredModems_.size()) {
        tcpPortBox_->setText(
            QString::number(discoveredModems_[static_cast<std::size_t>(selected)].port));
    }
}

}  // namespace corvina
