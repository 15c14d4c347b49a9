// Two stations against a velksim process that the test run started beside this
// program (tests/support/external_velksim.sh), for builds that cannot hold the
// simulator in-process: the Windows build runs its Telnet links, socket layer
// and file receive path against it for real.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>

#include "cvfile/crc32.h"
#include "link/serial_transport.h"
#include "station.h"
#include "support/recording_event_sink.h"
#include "transfer/utf8_path.h"

namespace corvina {
namespace {

using cvfile::ResultCode;
using testing::Bytes;
using testing::ReadFile;
using testing::Station;
using testing::WaitUntil;
using namespace std::chrono_literals;

class ExternalModems : public testing::StationPair {
  protected:
    // velksim prints one "NAME (call CALL) tcp ADDRESS:PORT" line per modem.
    bool StartModems(std::string& error) override {
        const char* output = std::getenv("CORVINA_VELKSIM_OUTPUT");
        if (output == nullptr) {
            error = "CORVINA_VELKSIM_OUTPUT names no velksim output";
            return false;
        }
        static const std::regex kListening(R"(^(\S+) \(call \S+\) tcp [0-9.]+:(\d+)\r?$)");
        std::ifstream in(output);
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            if (std::regex_match(line, match, kListening)) {
                ports_[match[1]] = static_cast<std::uint16_t>(std::stoi(match[2]));
            }
        }
        if (ports_.count("DK1AAA") == 0 || ports_.count("DK2BBB") == 0) {
            error = std::string("no DK1AAA and DK2BBB in ") + output;
            return false;
        }
        return true;
    }

    std::uint16_t ModemPort(int modem) override { return ports_[modem == 0 ? "DK1AAA" : "DK2BBB"]; }

    // The modems outlive the test: end the link and hostmode, so the next test
    // finds them in terminal mode as a fresh program would.
    void TearDown() override {
        a.Command("D");
        EXPECT_TRUE(
            WaitUntil([&] { return !a.session().arqConnected && !b.session().arqConnected; }, 15s));
        a.session().Disconnect(true);
        b.session().Disconnect(true);
    }

  private:
    std::map<std::string, std::uint16_t> ports_;
};

TEST_F(ExternalModems, TextCrossesTheArqLink) {
    const std::string there = "DK1AAA to DK2BBB over Telnet\r";
    ASSERT_TRUE(
        a.session().QueueData(Bytes(there.begin(), there.end()), OutboundKind::TransmitText));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return testing::JoinedOutput(b.sink.Events(), HostOutputKind::ReceivedText)
                       .find(there) != std::string::npos;
        },
        20s));
}

TEST_F(ExternalModems, FilesArriveIntactOnDiskInBothDirections) {
    const struct {
        const char* label;
        bool fromA;
        std::string name;
        Bytes content;
        std::string stored;
    } cases[] = {
        {"600 random bytes", true, "random.dat", testing::RandomBytes(600, 9), "random.dat"},
        {"empty", true, "empty.dat", {}, "empty.dat"},
        {"20 KiB", true, "big.dat", testing::RandomBytes(20 * 1024, 3), "big.dat"},
        {"first a.txt", true, "a.txt", Bytes{'1'}, "a.txt"},
        {"second a.txt", true, "a.txt", Bytes{'2'}, "a (1).txt"},
        {"back: 600 random bytes", false, "back.dat", testing::RandomBytes(600, 4), "back.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Station& from = c.fromA ? a : b;
        Station& to = c.fromA ? b : a;
        const auto verdict = SendFile(from, to, c.name, c.content);
        ASSERT_TRUE(verdict.has_value());
        EXPECT_EQ(verdict->result, static_cast<std::uint8_t>(ResultCode::CrcOk));
        EXPECT_EQ(verdict->actualCrc, cvfile::Crc32Ieee(c.content.data(), c.content.size()));
        EXPECT_EQ(ReadFile(to.tmp() / PathFromUtf8(c.stored)), c.content);
    }
}

#ifdef _WIN32
// DK3CCC sits on a pseudo-terminal that the Wine prefix maps to COM7, so the
// Win32 serial transport (CreateFileW, DCB, COMMTIMEOUTS) carries a session.
TEST(ExternalSerialModem, SessionReachesHostmodeOverTheComPortAndEndsInOrder) {
    Station station;
    auto transport = CreateSerialTransport(u"COM7", 115200);
    std::string error;
    ASSERT_TRUE(transport->Open(error)) << error;
    SessionSettings settings;
    settings.isTelnetLink = false;
    ASSERT_TRUE(station.session().Start(std::move(transport), settings, error)) << error;
    EXPECT_TRUE(station.sink.WaitFor(testing::IsKind(UiEventKind::HostmodeActiveEvent), 10s));
    EXPECT_TRUE(station.session().Disconnect(true));
}
#endif

}  // namespace
}  // namespace corvina
