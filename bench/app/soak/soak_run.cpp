#include "soak_run.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/control_ids.h"
#include "sim/faults.h"

namespace corvina::soak {
namespace {

constexpr int kTickMs = 100;
constexpr qint64 kHungSendMs = 90000;  // a send this old has lost its end
constexpr qint64 kCallRetryMs = 10000;
constexpr qint64 kTurnWaitMs = 3000;
constexpr qint64 kIdleLinkMs = 20000;  // a link this long without a send is stuck
constexpr qint64 kReconnectDelayMs = 2000;

// SOAK_VERBOSE=1 narrates the run on stderr.
void Note(qint64 ms, const QString& text) {
    static const bool verbose = qEnvironmentVariableIntValue("SOAK_VERBOSE") != 0;
    if (verbose) {
        std::fprintf(stderr, "%7.1f s  %s\n", static_cast<double>(ms) / 1000.0,
                     text.toUtf8().constData());
    }
}

bool Chance(std::mt19937& random, double probability) {
    return std::uniform_real_distribution<double>(0, 1)(random) < probability;
}

std::vector<std::uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

SoakRun::SoakRun(SoakOptions options) : options_(options), random_(options.seed) {
    root_ = std::filesystem::temp_directory_path() /
            ("corvina-soak-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::remove_all(root_);
}

SoakRun::~SoakRun() {
    for (Station& station : stations_) {
        station.window.reset();
    }
    sim_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void SoakRun::OpenStation(int i) {
    Station& station = stations_[i];
    station.call = i == 0 ? "SOAK1" : "SOAK2";
    station.folder = root_ / station.call;
    std::filesystem::create_directories(station.folder / "out");
    std::ofstream(station.folder / "startup.txt")
        << "[Term]\nMYCALL " << station.call << "\n[Modem]\ntelnet=127.0.0.1\nautostart=on\n";
    ApplicationOptions options;
    options.folders = PortableFolders(station.folder);
    options.discover = [](std::uint32_t, std::string&) { return std::vector<DiscoveredModem>(); };
    options.chooseFile = [this, i](QWidget*, const QString&) { return stations_[i].chosen; };
    station.window = std::make_unique<Application>(std::move(options));
    station.window->findChild<QLineEdit*>(QString::number(kIdTcpPort))
        ->setText(QString::number(sim_->modem(static_cast<std::size_t>(i)).tcpPort()));
    station.window->show();
}

SoakResults SoakRun::Run(std::string& error) {
    velksim::SimulatorOptions options;
    options.channel.timeScale = options_.timeScale;
    for (const char* call : {"SOAK1", "SOAK2"}) {
        velksim::ModemOptions modem;
        modem.name = call;
        options.modems.push_back(modem);
    }
    sim_ = std::make_unique<velksim::Simulator>(std::move(options));
    if (!sim_->Start(error)) {
        return results_;
    }
    if (options_.faults) {
        for (std::size_t i = 0; i < 2; ++i) {
            velksim::Faults& faults = sim_->modem(i).faults();
            faults.dropProbability = 0.02;
            faults.corruptEveryNth = 50;
            faults.lateEveryNth = 60;
        }
    }
    OpenStation(0);
    OpenStation(1);
    // The first start of both sessions is not part of the run.
    clock_.start();
    while (clock_.elapsed() < 30000 && !(stations_[0].window->flags().sessionActive &&
                                         stations_[1].window->flags().sessionActive)) {
        QTest::qWait(kTickMs);
    }
    stalls_.Start();
    clock_.start();
    const qint64 end = static_cast<qint64>(options_.seconds) * 1000;
    while (clock_.elapsed() < end) {
        Tick(true);
        QTest::qWait(kTickMs);
    }
    // Settle: let the last send end, then end the link and let the receiver
    // clean up before looking for leftovers.
    settling_ = true;
    const qint64 settleEnd = clock_.elapsed() + kHungSendMs;
    while (send_ && clock_.elapsed() < settleEnd) {
        Tick(false);
        QTest::qWait(kTickMs);
    }
    for (int i = 0; i < 2 && LinkUp(); ++i) {
        Click(i, kIdDisconnectArq);
        const qint64 quiet = clock_.elapsed() + 30000;
        while (LinkUp() && clock_.elapsed() < quiet) {
            Tick(false);
            QTest::qWait(kTickMs);
        }
    }
    QTest::qWait(3000);
    Tick(false);
    stalls_.Stop();
    ScanStoredFiles(true);
    results_.stalls = stalls_.stalls();
    results_.longestStallMs = stalls_.longestMs();
    return results_;
}

void SoakRun::Tick(bool starting) {
    WatchSessions();
    WatchLink();
    WatchSend();
    if (starting) {
        MaybeStartSend();
        MaybeInjectFault();
    }
    if (clock_.elapsed() / kTickMs % 20 == 0) {
        ScanStoredFiles(false);
    }
}

void SoakRun::WatchSessions() {
    const qint64 now = clock_.elapsed();
    for (Station& station : stations_) {
        const bool active = station.window->flags().sessionActive;
        if (station.wasActive && !active) {
            Note(now, QString::fromStdString(station.call) + QStringLiteral(" session lost: ") +
                          station.window->findChild<QLabel*>(QStringLiteral("statusLine"))->text());
            ++results_.sessionsLost;
            station.retryAt = now + kReconnectDelayMs;
        }
        station.wasActive = active;
        // A session that failed and heals itself stays "active" throughout;
        // it is lost all the same.
        const bool healing = station.window->findChild<QLabel*>(QStringLiteral("statusLine"))
                                 ->text()
                                 .startsWith(QStringLiteral("LINK LOST"));
        if (healing && !station.wasHealing) {
            const QString received =
                station.window->findChild<QPlainTextEdit*>(QString::number(kIdReceivePane))
                    ->toPlainText();
            const qsizetype at = received.lastIndexOf(QStringLiteral("Link lost:"));
            Note(now, QString::fromStdString(station.call) + QStringLiteral(" session failed: ") +
                          (at < 0 ? QString() : received.mid(at).section(u'\n', 0, 0)));
            ++results_.sessionsLost;
        }
        station.wasHealing = healing;
        if (!active && station.retryAt >= 0 && now >= station.retryAt) {
            Note(now, QString::fromStdString(station.call) + QStringLiteral(" reconnects"));
            station.window->Connect(true);
            station.retryAt = now + kReconnectDelayMs;
        }
    }
}

bool SoakRun::LinkUp() const {
    return stations_[0].window->flags().arqActive && stations_[1].window->flags().arqActive;
}

int SoakRun::SendingStation() const {
    for (int i = 0; i < 2; ++i) {
        if (stations_[i].window->flags().sendIndicator) {
            return i;
        }
    }
    return -1;
}

void SoakRun::Click(int station, int id) {
    auto* button = stations_[station].window->findChild<QPushButton*>(QString::number(id));
    if (button != nullptr && button->isEnabled()) {
        QTest::mouseClick(button, Qt::LeftButton);
    }
}

QString SoakRun::PaneText(int station, int id) {
    return stations_[station]
        .window->findChild<QPlainTextEdit*>(QString::number(id))
        ->toPlainText();
}

void SoakRun::WatchLink() {
    const bool up = LinkUp();
    if (up && !linkWasUp_ && options_.faults) {
        // Some links break on the air after a random amount of traffic.
        for (std::size_t i = 0; i < 2; ++i) {
            sim_->modem(i).faults().loseLinkAfterAirBytes = 0;
        }
        if (Chance(random_, 0.3)) {
            const std::uint64_t after =
                std::uniform_int_distribution<std::uint64_t>(300, 30000)(random_);
            sim_->modem(random_() % 2).faults().loseLinkAfterAirBytes = after;
            ++results_.linkLossesArmed;
        }
    }
    for (int i = 0; i < 2; ++i) {
        const bool active = stations_[i].window->flags().arqActive;
        if (active != arqWasActive_[i]) {
            Note(clock_.elapsed(),
                 QString::fromStdString(stations_[i].call) +
                     (active ? QStringLiteral(" sees the link, ")
                             : QStringLiteral(" sees no link, ")) +
                     stations_[i].window->findChild<QLabel*>(QStringLiteral("stateLabel"))->text());
        }
        arqWasActive_[i] = active;
    }
    if (up != linkWasUp_) {
        lastActivityMs_ = clock_.elapsed();
        Note(clock_.elapsed(), up ? QStringLiteral("link up") : QStringLiteral("link down"));
    }
    linkWasUp_ = up;
    Application& caller = *stations_[0].window;
    Application& callee = *stations_[1].window;
    if (!up && !send_ && !settling_ && caller.flags().sessionActive &&
        callee.flags().sessionActive && !caller.flags().arqActive && !callee.flags().arqActive &&
        !caller.flags().CallInProgress() && clock_.elapsed() >= nextCallAt_) {
        nextCallAt_ = clock_.elapsed() + kCallRetryMs;
        auto* callSign = caller.findChild<QLineEdit*>(QString::number(kIdCallSign));
        callSign->setText(QString::fromStdString(stations_[1].call));
        Note(clock_.elapsed(), QStringLiteral("calling"));
        Click(0, kIdCallButton);
    }
}

std::vector<std::uint8_t> SoakRun::RandomContent(bool binary) {
    const std::size_t size =
        std::uniform_int_distribution<std::size_t>(0, options_.maxFileBytes)(random_);
    std::vector<std::uint8_t> content(size);
    const bool compressible = Chance(random_, 0.5);
    for (std::size_t i = 0; i < size; ++i) {
        if (!binary) {
            content[i] = i % 60 == 59 ? '\n' : static_cast<std::uint8_t>('a' + random_() % 26);
        } else if (compressible) {
            content[i] = static_cast<std::uint8_t>((i / 97) % 7);
        } else {
            content[i] = static_cast<std::uint8_t>(random_());
        }
    }
    return content;
}

void SoakRun::MaybeStartSend() {
    const qint64 now = clock_.elapsed();
    if (send_ || !LinkUp() || now < nextSendAt_) {
        return;
    }
    const int i = SendingStation();
    if (now - lastActivityMs_ > kIdleLinkMs) {
        // Nothing could start for a long time: narrate why, and end the link
        // as an operator would, so the run goes on.
        for (const Station& station : stations_) {
            const HostSession& session = station.window->session();
            Note(now, QString::fromStdString(station.call) +
                          QStringLiteral(" idle: send %1, incoming %2, status %3")
                              .arg(int(station.window->flags().sendIndicator))
                              .arg(int(session.incomingTransferActive.load()))
                              .arg(station.window->findChild<QLabel*>(QStringLiteral("stateLabel"))
                                       ->text()));
        }
        ++results_.idleLinks;
        lastActivityMs_ = now;
        Click(0, kIdDisconnectArq);
        return;
    }
    if (i < 0) {
        return;
    }
    Application& window = *stations_[i].window;
    if (window.session().incomingTransferActive.load() ||
        stations_[1 - i].window->session().incomingTransferActive.load()) {
        return;
    }
    const bool binary = Chance(random_, 0.6);
    const std::vector<std::uint8_t> content = RandomContent(binary);
    std::string name(binary ? "b" : "t");
    name += std::to_string(++fileCounter_);
    name += binary ? ".bin" : ".txt";
    const auto path = stations_[i].folder / "out" / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
    stations_[i].chosen = QString::fromStdString(path.string());
    Click(i, kIdEchoClear);
    Click(i, binary ? kIdBinaryFile : kIdTextFile);
    if (!window.session().fileSendActive.load()) {
        return;
    }
    ++results_.sends;
    if (binary) {
        ++results_.binarySends;
        sentBinaries_[name] = content;
    }
    send_ = Send{i,
                 name,
                 binary,
                 now,
                 -1,
                 PaneText(i, kIdEchoPane).size(),
                 PaneText(1 - i, kIdReceivePane).size()};
    lastActivityMs_ = now;
    Note(now, QString::fromStdString(stations_[i].call + " sends " + name + " (" +
                                     std::to_string(content.size()) + " bytes)"));
}

void SoakRun::MaybeInjectFault() {
    if (!options_.faults || !send_ || !LinkUp()) {
        return;
    }
    // About once in 40 s of sending, the operator ends the link mid-send.
    if (Chance(random_, kTickMs / 40000.0)) {
        ++results_.operatorDisconnects;
        Note(clock_.elapsed(), QStringLiteral("operator disconnects"));
        Click(static_cast<int>(random_() % 2), kIdDisconnectArq);
    }
}

void SoakRun::WatchSend() {
    if (!send_) {
        return;
    }
    Application& window = *stations_[send_->station].window;
    if (!window.session().fileSendActive.load()) {
        FinishSend();
        return;
    }
    // The turn may have gone to the peer while the file waits in this modem;
    // the operator there hands it back, as on the air.
    const qint64 now = clock_.elapsed();
    if (!LinkUp() || window.flags().sendIndicator) {
        send_->waitingSince = -1;
    } else if (send_->waitingSince < 0) {
        send_->waitingSince = now;
    } else if (now - send_->waitingSince > kTurnWaitMs) {
        Note(now, QStringLiteral("peer hands the turn back"));
        Click(1 - send_->station, kIdChangeover);
        send_->waitingSince = now;
    }
    if (clock_.elapsed() - send_->startedMs > kHungSendMs) {
        Note(clock_.elapsed(), QString::fromStdString(send_->name) + QStringLiteral(" hung"));
        ++results_.sendsWithoutEnd;
        send_.reset();
    }
}

namespace {

// Text files hold plain letters and every line the program writes is ASCII, so
// a control byte, a byte past ASCII or a record's magic in a pane means framed
// record bytes were taken for text.
bool ShowsRecordBytes(const QString& text) {
    if (text.contains(QStringLiteral("CVFT"))) {
        return true;
    }
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() < 0x20 && c != u'\r' && c != u'\n' && c != u'\t') ||
               c.unicode() >= 0x7f;
    });
}

}  // namespace

void SoakRun::FinishSend() {
    const Send send = *send_;
    send_.reset();
    // Only this send's own lines: the pane may hold an earlier send's if the
    // clear button was not available.
    const QString echo = PaneText(send.station, kIdEchoPane).mid(send.echoFrom);
    const QString received = PaneText(1 - send.station, kIdReceivePane).mid(send.receivedFrom);
    const QString name = QString::fromStdString(send.name);
    const int verdicts = static_cast<int>(echo.count(QStringLiteral("[Binary file sent: ")));
    const bool verdict = echo.contains(QStringLiteral("[Binary file sent: ") + name + ',');
    const int ends = static_cast<int>(echo.count(QStringLiteral("transfer ended")) +
                                      echo.count(QStringLiteral("transfer cancelled")) +
                                      echo.count(QStringLiteral("Could not")));
    const bool endMessage = ends > 0;
    if (verdict) {
        ++results_.binaryVerdicts;
        if (echo.contains(QStringLiteral("[Binary file sent: ") + name + ", CRC OK")) {
            ++results_.binaryCrcOk;
        }
    }
    if (endMessage) {
        ++results_.endMessages;
    }
    // A text send that ran to its end with the link still up shows nothing.
    const bool quietSuccess =
        !send.binary && LinkUp() && !stations_[send.station].window->flags().statusIsError;
    Note(clock_.elapsed(), QString::fromStdString(send.name) + QStringLiteral(" ended: ") +
                               echo.right(120).replace(u'\n', u'|'));
    // Exactly one outcome, and this send's own.
    const bool oneOwnOutcome = verdicts + ends == 1 && (verdict || endMessage);
    if (!oneOwnOutcome && !(quietSuccess && verdicts + ends == 0)) {
        const auto [result, isError] = stations_[send.station].window->session().FileResult();
        Note(clock_.elapsed(), name + QStringLiteral(" has %1 verdicts, %2 end messages; link %3, "
                                                     "result \"%4\" (error %5)")
                                          .arg(verdicts)
                                          .arg(ends)
                                          .arg(int(LinkUp()))
                                          .arg(QString::fromStdString(result))
                                          .arg(int(isError)));
        ++results_.sendsWithoutEnd;
    }
    if (ShowsRecordBytes(echo) || ShowsRecordBytes(received)) {
        Note(clock_.elapsed(), name + QStringLiteral(" left record bytes shown as text"));
        ++results_.recordBytesShown;
    }
    const qint64 now = clock_.elapsed();
    lastActivityMs_ = now;
    nextSendAt_ = now + std::uniform_int_distribution<qint64>(0, 2000)(random_);
    const int sender = SendingStation();
    if (sender >= 0 && Chance(random_, 0.4)) {
        Click(sender, kIdChangeover);
    }
}

void SoakRun::ScanStoredFiles(bool final) {
    for (const Station& station : stations_) {
        std::error_code error;
        const auto tmp = station.folder / "tmp";
        for (const auto& entry : std::filesystem::directory_iterator(tmp, error)) {
            const auto path = entry.path();
            if (path.extension() == ".part") {
                if (final) {
                    ++results_.partFilesLeft;
                }
                continue;
            }
            if (!entry.is_regular_file() || checkedFiles_.count(path) != 0) {
                continue;
            }
            checkedFiles_.insert(path);
            const auto sent = sentBinaries_.find(path.filename().string());
            if (sent == sentBinaries_.end() || ReadAll(path) != sent->second) {
                ++results_.wrongFiles;
            } else {
                ++results_.filesVerified;
            }
        }
    }
}

}  // namespace corvina::soak
