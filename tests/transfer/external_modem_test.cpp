// Two stations against a velksim process that the test run started beside this
// program (tests/support/external_velksim.sh), for builds that cannot hold the
// simulator in-process: the Windows build runs its Telnet links, socket layer
// and file receive path against it for real.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>

#include "station.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::Eventually;
using namespace std::chrono_literals;

class ExternalModems : public testing::StationPair {
  protected:
    // velksim prints one "NAME (call CALL) tcp ADDRESS:PORT" line per modem.
    void SetUp() override {
        const char* output = std::getenv("CORVINA_VELKSIM_OUTPUT");
        ASSERT_NE(output, nullptr) << "CORVINA_VELKSIM_OUTPUT names no velksim output";
        static const std::regex kListening(R"(^(\S+) \(call \S+\) tcp [0-9.]+:(\d+)\r?$)");
        std::ifstream in(output);
        std::map<std::string, std::uint16_t> ports;
        for (std::string line; std::getline(in, line);) {
            std::smatch match;
            if (std::regex_match(line, match, kListening)) {
                ports[match[1]] = static_cast<std::uint16_t>(std::stoi(match[2]));
            }
        }
        ASSERT_TRUE(ports.count("DK1AAA") && ports.count("DK2BBB")) << "not both in " << output;
        ASSERT_NO_FATAL_FAILURE(Connect({ports["DK1AAA"], ports["DK2BBB"]}, {}));
        Call();
    }

    // The modems outlive the test: end the link and hostmode, so the next test
    // finds them in terminal mode as a fresh program would.
    void TearDown() override {
        a.Command("D");
        EXPECT_TRUE(Eventually(
            [&] { return !a.session().arqConnected && !b.session().arqConnected; }, 15s));
        a.session().Disconnect(true);
        b.session().Disconnect(true);
    }
};

TEST_F(ExternalModems, FilesArriveIntactOnDiskInBothDirections) {
    ExpectFilesArrive({
        {"600 random bytes", true, "random.dat", testing::RandomBytes(600, 9), "random.dat"},
        {"20 KiB", true, "big.dat", testing::RandomBytes(20 * 1024, 3), "big.dat"},
        {"first a.txt", true, "a.txt", Bytes{'1'}, "a.txt"},
        {"second a.txt", true, "a.txt", Bytes{'2'}, "a (1).txt"},
        {"back: 600 random bytes", false, "back.dat", testing::RandomBytes(600, 4), "back.dat"},
    });
}

#ifdef _WIN32
// DK3CCC sits on a pseudo-terminal that the Wine prefix maps to COM7, so the
// Win32 serial transport (CreateFileW, DCB, COMMTIMEOUTS) carries a session.
TEST(ExternalSerialModem, SessionReachesHostmodeOverTheComPortAndEndsInOrder) {
    testing::Station station;
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
