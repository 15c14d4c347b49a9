#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "sim/simulator.h"
#include "station.h"

namespace corvina {
namespace {

using cvfile::ResultCode;
using testing::Bytes;
using testing::Eventually;
using testing::ListFolder;
using testing::Station;
using namespace std::chrono_literals;

constexpr std::uint8_t Code(ResultCode code) {
    return static_cast<std::uint8_t>(code);
}

// The two modems simulated in this process, fresh for each test, so tests
// can reach into them (faults, counters).
class TwoStations : public testing::StationPair {
  protected:
    explicit TwoStations(double timeScale = 20, bool call = true, bool overPty = false)
        : sim(Options(timeScale, overPty)), call_(call), overPty_(overPty) {}

    static velksim::SimulatorOptions Options(double timeScale, bool overPty) {
        velksim::SimulatorOptions options;
        options.channel.timeScale = timeScale;
        for (const char* call : {"DK1AAA", "DK2BBB"}) {
            velksim::ModemOptions modem;
            modem.name = call;
            modem.pty = overPty;
            modem.ptyLink = std::filesystem::temp_directory_path() /
                            ("corvina-transfer-" + std::to_string(::getpid()) + "-" + call);
            options.modems.push_back(modem);
        }
        return options;
    }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        std::array<std::filesystem::path, 2> ptys;
        if (overPty_) {
            ptys = {sim.modem(0).ptyLink(), sim.modem(1).ptyLink()};
        }
        ASSERT_NO_FATAL_FAILURE(Connect({sim.modem(0).tcpPort(), sim.modem(1).tcpPort()}, ptys));
        if (call_) {
            Call();
        }
    }

    // The progress of a's sends (`lParam` 1 binary, 0 text) and b's receives.
    std::vector<std::uint64_t> SendPercents(std::size_t from, std::int64_t lParam) const {
        std::vector<std::uint64_t> percents;
        const auto events = a.sink.Events();
        for (std::size_t i = from; i < events.size(); ++i) {
            if (events[i].kind == UiEventKind::FileSendProgressEvent) {
                EXPECT_EQ(events[i].lParam, lParam);
                percents.push_back(events[i].wParam);
            }
        }
        return percents;
    }
    std::vector<std::uint32_t> ReceivePercents(std::size_t from) const {
        std::vector<std::uint32_t> percents;
        const auto events = b.sink.Events();
        for (std::size_t i = from; i < events.size(); ++i) {
            const BinaryTransferMessage* m = events[i].transferMessage();
            if (m != nullptr && m->kind == BinaryTransferKind::ReceiveProgress) {
                percents.push_back(m->percent);
            }
        }
        return percents;
    }

    velksim::Simulator sim;

  private:
    bool call_;
    bool overPty_;
};

using CalledStations = TwoStations;

TEST_F(CalledStations, FilesOfEveryShapeArriveIntactWithProgressAndThroughNoise) {
    const Bytes content = testing::RandomBytes(600, 9);
    ExpectFilesArrive({{"600 random bytes", true, "random.dat", content, "random.dat"}});
    const auto started = b.WaitMessage(BinaryTransferKind::ReceiveStarted, 0s, 0);
    ASSERT_TRUE(started);
    EXPECT_EQ(started->expectedCrc, cvfile::Crc32Ieee(content.data(), content.size()));
    EXPECT_EQ(ReceivePercents(0), (std::vector<std::uint32_t>{42, 85, 100}));
    EXPECT_EQ(SendPercents(0, 1), (std::vector<std::uint64_t>{0, 33, 66, 100}));
    EXPECT_NE(testing::JoinedOutput(a.sink.Events(), HostOutputKind::EchoText)
                  .find("[Binary record 1/3 sent]\r\n[Binary record 2/3 sent]\r\n"
                        "[Binary record 3/3 sent]\r\n"),
              std::string::npos);
    // The verdict goes out after one changeover; its echo brings the second.
    EXPECT_TRUE(Eventually([&] { return sim.modem(1).counters().Requests(4, "%O") == 2; }, 5s));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sim.modem(1).counters().Requests(4, "%O"), 2u);

    // A compressed file stays below 100 until the inflated file is verified.
    const std::size_t mark = b.sink.Size();
    ExpectFilesArrive(
        {{"200 KiB of text", true, "log.txt", testing::Letters(200 * 1024, 5), "log.txt"}});
    const auto packed = ReceivePercents(mark);
    ASSERT_GT(packed.size(), 10u);
    EXPECT_EQ(std::adjacent_find(packed.begin(), packed.end(), std::greater_equal<>()),
              packed.end())
        << "not rising";
    EXPECT_EQ(packed.back(), 99u);

    // The longest name the file system takes with ".part" and " (n)" added.
    std::string longName;
    while (longName.size() < 240) {
        longName += "\xC3\xBC";  // ü
    }
    longName += ".bin";
    ExpectFilesArrive({
        {"empty", true, "empty.dat", {}, "empty.dat"},
        {"1,000 equal bytes", true, "equal.dat", Bytes(1000, 0x55), "equal.dat"},
        {"long UTF-8 name", true, longName, Bytes{1, 2, 3}, longName},
        {"first a.txt", true, "a.txt", Bytes{'1'}, "a.txt"},
        {"second a.txt", true, "a.txt", Bytes{'2'}, "a (1).txt"},
        {"third a.txt", true, "a.txt", Bytes{'3'}, "a (2).txt"},
        {"first .profile", true, ".profile", Bytes{'p'}, ".profile"},
        {"second .profile", true, ".profile", Bytes{'q'}, ".profile (1)"},
        {"first archive", true, "archive.tar.gz", Bytes{'x'}, "archive.tar.gz"},
        {"second archive", true, "archive.tar.gz", Bytes{'y'}, "archive.tar (1).gz"},
        {"back: 600 random bytes", false, "back.dat", testing::RandomBytes(600, 4), "back.dat"},
        {"back: empty", false, "back-empty.dat", {}, "back-empty.dat"},
        {"back: equal bytes", false, "back-equal.dat", Bytes(1000, 'z'), "back-equal.dat"},
    });
    EXPECT_EQ(ListFolder(a.tmp()).size(), 3u);
    EXPECT_EQ(ListFolder(b.tmp()).size(), 12u);

    // And once more with lost, late and corrupted answers.
    for (std::size_t i = 0; i < 2; ++i) {
        sim.modem(i).faults().dropProbability = 0.02;
        sim.modem(i).faults().corruptEveryNth = 50;
        sim.modem(i).faults().lateEveryNth = 60;
    }
    ExpectFilesArrive(
        {{"100 KiB of text", true, "noisy.txt", testing::Letters(100 * 1024, 11), "noisy.txt"}});
    EXPECT_GT(sim.modem(0).counters().answersDropped + sim.modem(1).counters().answersDropped, 0u);
    EXPECT_GT(sim.modem(0).counters().answersCorrupted, 0u);
    EXPECT_GT(sim.modem(1).counters().answersLate, 0u);
    EXPECT_EQ(b.sink.Count(testing::IsKind(UiEventKind::HostErrorEvent)), 0u);
}

TEST_F(CalledStations, AbortsLeaveNothingBehindAndTheNextFileGoesThrough) {
    const auto verdict = Transfer(a, b, [&] {
        const std::size_t bMark = b.sink.Size();
        EXPECT_FALSE(a.transfers().AbortBinaryFileSend()) << "nothing to abort yet";
        const auto path = a.folder.Write("long.bin", testing::RandomBytes(12000, 6));
        EXPECT_EQ(a.transfers().StartBinaryFileSend(path).status, "Preparing binary file...");
        EXPECT_EQ(a.transfers().StartTextFileSend(path).outcome,
                  FileTransfers::StartOutcome::NotAllowed)
            << "one file send at a time";
        ASSERT_TRUE(Eventually([&] { return ReceivePercents(bMark).size() >= 5; }, 20s));
        EXPECT_EQ(b.transfers().StartTextFileSend(b.folder.Write("t.txt", Bytes{'t'})).outcome,
                  FileTransfers::StartOutcome::NotAllowed)
            << "a text send while a file is received";
        EXPECT_TRUE(a.transfers().AbortBinaryFileSend());
        EXPECT_FALSE(a.transfers().AbortBinaryFileSend()) << "aborted twice";
    });
    ASSERT_TRUE(verdict.has_value());
    EXPECT_EQ(verdict->result, Code(ResultCode::Cancelled));
    EXPECT_GE(verdict->size, 5 * 256u) << "the bytes received before the cancel";
    EXPECT_LT(verdict->size, 12000u);
    EXPECT_TRUE(ListFolder(b.tmp()).empty());

    // An abort while the file is still read and compressed: the cancel goes
    // out once the sender ended, once, and the peer answers it.
    const auto early = Transfer(
        a, b,
        [&] {
            const auto path = a.folder.Write("early.bin", testing::RandomBytes(3 << 20, 8));
            ASSERT_EQ(a.transfers().StartBinaryFileSend(path).outcome,
                      FileTransfers::StartOutcome::Started);
            EXPECT_TRUE(a.transfers().AbortBinaryFileSend());
        },
        false);
    ASSERT_TRUE(early.has_value());
    EXPECT_EQ(early->result, Code(ResultCode::Cancelled));
    EXPECT_EQ(early->size, 0u);
    // Each verdict takes one changeover out and its echo one back: two verdicts.
    EXPECT_TRUE(Eventually([&] { return sim.modem(1).counters().Requests(4, "%O") == 4; }, 5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sim.modem(1).counters().Requests(4, "%O"), 4u);
    EXPECT_EQ(a.transfers().StartBinaryFileSend(a.folder.Write("ends\\", Bytes{1})).status,
              kBinaryNameTooLong);
    ExpectFilesArrive({{"after the abort", true, "after.bin", Bytes{9, 9}, "after.bin"}});
}

// Every way an ARQ link ends during a send, over TCP and over pseudo-terminals.
class LinkEndDuringSend : public TwoStations, public ::testing::WithParamInterface<bool> {
  protected:
    LinkEndDuringSend() : TwoStations(20, false, GetParam()) {}
    // Both windows have seen the link end and cleaned up after it.
    bool LinkGone() const { return !a.arqActive && !b.arqActive; }
};

TEST_P(LinkEndDuringSend, EndsTheSendNotTheSessionAndTheNextLinkCarriesFiles) {
    enum class End { Operator, Peer, Radio };
    const struct {
        const char* label;
        bool binary;
        bool fromA;
        End end;
    } cases[] = {
        {"operator disconnects a text send", false, true, End::Operator},
        {"operator disconnects a binary send", true, true, End::Operator},
        {"peer disconnects a binary send", true, false, End::Peer},
        {"radio link lost during a binary send", true, true, End::Radio},
        {"radio link lost during a text send the other way", false, false, End::Radio},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Station& from = c.fromA ? a : b;
        Station& to = c.fromA ? b : a;
        velksim::Modem& toModem = sim.modem(c.fromA ? 1 : 0);
        Call();
        if (!c.fromA) {
            TakeSendingTurn(b, a);
        }
        if (c.end == End::Radio) {
            toModem.faults().loseLinkAfterAirBytes = 2000;
        }
        const std::size_t fromMark = from.sink.Size();
        const std::uint64_t heardBefore = toModem.counters().bytesReceivedAir;
        const auto path = from.folder.Write("cut.dat", testing::Letters(12000, 5));
        const auto started = c.binary ? from.transfers().StartBinaryFileSend(path)
                                      : from.transfers().StartTextFileSend(path);
        ASSERT_EQ(started.outcome, FileTransfers::StartOutcome::Started);
        ASSERT_TRUE(PumpUntil(
            [&] { return toModem.counters().bytesReceivedAir >= heardBefore + 1000; }, 20s));
        if (c.end != End::Radio) {
            (c.end == End::Operator ? from : to).session().RequestArqDisconnect();
        }
        ASSERT_TRUE(PumpUntil([&] { return LinkGone() && !from.session().fileSendActive; }, 20s));

        const auto finished =
            from.sink.WaitFor(testing::IsKind(UiEventKind::FileSendFinishedEvent), 0s, fromMark);
        ASSERT_TRUE(finished);
        EXPECT_EQ(finished->wParam, c.binary ? 2u : 1u);
        EXPECT_EQ(from.session().FileResult(),
                  std::make_pair(std::string(c.binary ? "Binary" : "Text") +
                                     " file transfer ended: ARQ disconnected",
                                 true));
        EXPECT_EQ(ListFolder(to.tmp()), std::vector<std::string>{}) << "a part file left";
        EXPECT_FALSE(to.session().incomingTransferActive);
        EXPECT_EQ(from.transfers().StartTextFileSend(path).outcome,
                  FileTransfers::StartOutcome::NotAllowed)
            << "no send path";
        for (Station* station : {&a, &b}) {
            EXPECT_EQ(station->sink.Count(testing::IsKind(UiEventKind::HostErrorEvent)), 0u);
            EXPECT_TRUE(station->session().sessionActive());
        }

        Call();
        ExpectFilesArrive(
            {{"next link", true, "next.dat", testing::RandomBytes(1500, 8), "next.dat"}});
        std::filesystem::remove(b.tmp() / "next.dat");
        a.session().RequestArqDisconnect();
        ASSERT_TRUE(PumpUntil([&] { return LinkGone(); }, 10s));
    }
}

INSTANTIATE_TEST_SUITE_P(OverTcpAndPty, LinkEndDuringSend, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Pty" : "Tcp"; });

// Byte for byte, with progress for each piece the modem takes.
TEST_F(CalledStations, TextFilesGoOutUnchangedWithProgress) {
    const struct {
        const char* label;
        Bytes content;
        std::vector<std::uint64_t> progress;
    } cases[] = {
        {"600 bytes in three pieces", testing::Letters(600, 7), {42, 85, 100}},
        {"empty: ends at once", {}, {}},
        {"a zero byte in the text", {'a', 'b', 0x00, 'c', 'd', '\r'}, {100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::uint64_t before = sim.modem(0).counters().dataBytesAccepted;
        const std::size_t mark = a.sink.Size();
        ASSERT_EQ(a.transfers().StartTextFileSend(a.folder.Write("t.txt", c.content)).status,
                  "Sending text file: 0%");
        const auto finished =
            a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendFinishedEvent), 15s, mark);
        ASSERT_TRUE(finished);
        EXPECT_EQ(finished->wParam, 1u);
        a.transfers().EndFileSend();
        EXPECT_EQ(a.session().FileResult(), std::make_pair(std::string(), false));
        EXPECT_EQ(sim.modem(0).counters().dataBytesAccepted - before, c.content.size());
        EXPECT_EQ(SendPercents(mark, 0), c.progress);
    }
}

class BroadcastTextFileSend : public TwoStations {
  protected:
    BroadcastTextFileSend() : TwoStations(4, false) {}
};

TEST_F(BroadcastTextFileSend, EndingTheBroadcastStopsTheSendWithoutAnError) {
    a.Command("#UNPROTO 1");
    ASSERT_TRUE(Eventually([&] { return a.session().linkCanSend.load(); }, 10s));
    EXPECT_EQ(a.transfers().StartBinaryFileSend(a.folder.Write("b.bin", Bytes{1})).outcome,
              FileTransfers::StartOutcome::NotAllowed);
    ASSERT_EQ(a.transfers().StartTextFileSend(a.folder.Write("long.txt", Bytes(4000, 'x'))).outcome,
              FileTransfers::StartOutcome::Started);
    ASSERT_TRUE(a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendProgressEvent), 10s));
    a.session().RequestEndBroadcast();
    EXPECT_FALSE(a.session().fileSendActive);
    EXPECT_EQ(a.session().FileResult(), std::make_pair(std::string(), false));
    ASSERT_TRUE(Eventually(
        [&] {
            return a.session().WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); });
        },
        5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(a.sink.Count(testing::IsKind(UiEventKind::FileSendFinishedEvent)), 0u);
    EXPECT_EQ(a.sink.Count(testing::IsKind(UiEventKind::HostErrorEvent)), 0u);
}

}  // namespace
}  // namespace corvina
