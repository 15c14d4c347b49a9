// The ways a modem is reached: TCP with Telnet, a pseudo-terminal behind a
// stable symlink, UDP discovery; and a stop that leaves nothing behind.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "sim/command_line.h"
#include "sim/discovery_responder.h"
#include "sim_fixture.h"

namespace velksim::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

fs::path TempLink(const std::string& name) {
    return fs::temp_directory_path() / ("velksim-test-" + std::to_string(::getpid()) + "-" + name);
}

std::size_t OpenDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

class Endpoints : public SimFixture {};

TEST_F(Endpoints, SecondTcpClientIsTurnedAwayWhileTheFirstIsServed) {
    StartSim(Options({"AB1CD"}));
    auto first = Host(0);
    RawClient second;
    ASSERT_TRUE(second.ConnectTcp(sim_->modem(0).tcpPort()));
    EXPECT_TRUE(second.WaitClosed(1000ms));
    EXPECT_TRUE(first->Command(kChannel, "I"));
}

TEST_F(Endpoints, TelnetOffersAreSentAndTheClientsRepliesNeverReachTheModem) {
    auto options = Options({"AB1CD"});
    options.modems[0].telnetOffers = true;
    StartSim(options);
    RawClient client;
    ASSERT_TRUE(client.ConnectTcp(sim_->modem(0).tcpPort()));
    // Read raw to see the offers themselves.
    Bytes raw;
    std::uint8_t buffer[512];
    while (raw.size() < 22) {
        pollfd p{client.fd(), POLLIN, 0};
        ASSERT_GT(::poll(&p, 1, 1000), 0);
        const ssize_t n = ::read(client.fd(), buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        raw.insert(raw.end(), buffer, buffer + n);
    }
    const Bytes offers = TelnetCodec::Offers();
    ASSERT_TRUE(std::equal(offers.begin(), offers.end(), raw.begin()));
    // A host answers DO 3, DONT 1, WILL 0, WONT 24, as the program does.
    const Bytes replies = {255, 253, 3, 255, 254, 1, 255, 251, 0, 255, 252, 24};
    ASSERT_TRUE(WriteAll(client.fd(), replies.data(), replies.size(), 1000ms));
    ASSERT_TRUE(client.EnterHostmode());
    const auto answer = client.Command(kChannel, "I");
    ASSERT_TRUE(answer);
    EXPECT_EQ(Text(*answer), "AB1CD");
    const Counters seen = sim_->modem(0).counters();
    EXPECT_EQ(seen.telnetCommands, 4u);
    EXPECT_EQ(seen.terminalLines, std::vector<std::string>{"JHOST5"});
}

TEST_F(Endpoints, PseudoTerminalCarriesTheDialogueAndSurvivesAHangUp) {
    const fs::path link = TempLink("pty");
    auto options = Options({"AB1CD"});
    options.modems[0].tcp = false;
    options.modems[0].pty = true;
    options.modems[0].ptyLink = link;
    StartSim(options);
    ASSERT_TRUE(fs::is_symlink(link));
    const std::string firstDevice = sim_->modem(0).ptyDevice();
    EXPECT_EQ(fs::read_symlink(link).string(), firstDevice);

    RawClient serial;
    ASSERT_TRUE(serial.OpenDevice(link.string()));
    ASSERT_TRUE(serial.EnterHostmode());
    const auto answer = serial.Command(kChannel, "I");
    ASSERT_TRUE(answer);
    EXPECT_EQ(Text(*answer), "AB1CD");

    sim_->modem(0).DropClient();
    EXPECT_TRUE(serial.WaitClosed(1000ms));
    for (int i = 0; i < 100 && sim_->modem(0).ptyDevice() == firstDevice; ++i) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_NE(sim_->modem(0).ptyDevice(), firstDevice);
    RawClient reopened;
    ASSERT_TRUE(reopened.OpenDevice(link.string()));
    const auto again = reopened.Command(kChannel, "I");  // still in hostmode
    ASSERT_TRUE(again);
    EXPECT_EQ(Text(*again), "AB1CD");

    sim_->Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
}

TEST_F(Endpoints, DiscoveryAnswersProbesWithOneReplyPerNetworkModem) {
    auto options = Options({"DEMO1", "LONGNAME12"});
    options.modems.push_back(ModemOptions{});
    options.modems[2].name = "SERIAL";
    options.modems[2].tcp = false;
    options.modems[2].pty = true;
    options.modems[2].ptyLink = TempLink("discovery");
    options.discovery = {true, "127.0.0.1", 0};
    StartSim(options);

    UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(sim_->discoveryPort());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string notProbe = "HELLO";
    ::sendto(socket.get(), notProbe.data(), notProbe.size(), 0, reinterpret_cast<sockaddr*>(&to),
             sizeof to);
    ::sendto(socket.get(), "DSCV", 4, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    std::vector<Bytes> replies;
    for (;;) {
        pollfd p{socket.get(), POLLIN, 0};
        if (::poll(&p, 1, 300) <= 0) {
            break;
        }
        std::uint8_t buffer[256];
        const ssize_t n = ::recv(socket.get(), buffer, sizeof buffer, 0);
        replies.emplace_back(buffer, buffer + n);
    }
    ASSERT_EQ(replies.size(), 2u);
    for (std::size_t i = 0; i < replies.size(); ++i) {
        const Bytes& r = replies[i];
        SCOPED_TRACE(i);
        ASSERT_EQ(r.size(), 32u);
        EXPECT_EQ(std::string(r.begin(), r.begin() + 4), "DSCV");
        EXPECT_EQ((r[20] << 8) | r[21], sim_->modem(i).tcpPort());
    }
    EXPECT_EQ(std::string(replies[0].begin() + 23, replies[0].end()), "DEMO1    ");
    EXPECT_EQ(std::string(replies[1].begin() + 23, replies[1].end()), "LONGNAME1");
}

TEST(Shutdown, StopIsPromptAndLeavesNoThreadOrDescriptorBehind) {
    const std::size_t before = OpenDescriptors();
    for (int round = 0; round < 3; ++round) {
        SimulatorOptions options;
        options.channel.timeScale = 50;
        options.modems.resize(2);
        options.modems[0].name = "AB1CD";
        options.modems[1].name = "XY2Z";
        options.modems[1].pty = true;
        options.modems[1].ptyLink = TempLink("shutdown");
        options.discovery = {true, "127.0.0.1", 0};
        Simulator sim(options);
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        RawClient a;
        ASSERT_TRUE(a.ConnectTcp(sim.modem(0).tcpPort()));
        ASSERT_TRUE(a.EnterHostmode());
        ASSERT_EQ(a.Command(4, "C XY2Z")->code, 0);  // a call in flight
        sim.modem(0).faults().lateEveryNth = 1;      // and an answer held back
        sim.modem(0).faults().lateMs = 10000;
        a.Write(Bytes{0xAA, 0xAA});
        ASSERT_EQ(a.Command(4, "L", 100ms), std::nullopt);
        const auto start = std::chrono::steady_clock::now();
        sim.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1000ms);
        EXPECT_TRUE(a.WaitClosed(500ms));
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(Shutdown, StartFailureReportsTheCauseAndStopsWhatHadStarted) {
    SimulatorOptions first;
    first.modems.resize(1);
    Simulator holder(first);
    std::string error;
    ASSERT_TRUE(holder.Start(error));
    SimulatorOptions clash;
    clash.modems.resize(2);
    clash.modems[1].tcpPort = holder.modem(0).tcpPort();  // already taken
    Simulator sim(clash);
    EXPECT_FALSE(sim.Start(error));
    EXPECT_NE(error.find(std::to_string(holder.modem(0).tcpPort())), std::string::npos) << error;
}

TEST(CommandLine, ParsesModemsEndpointsFaultsAndChannelSettings) {
    CommandLine parsed;
    std::string error;
    ASSERT_TRUE(ParseCommandLine(
        {"--modem", "DEMO1@tcp:127.0.0.1:3001", "--modem",
         "DEMO2@tcp:3002,pty:/tmp/velk-demo2,call=XY2Z,drop-every=5,menu=pac,chatter=5",
         "--discovery", "--time-scale", "50", "--level", "4:900:200", "--arq-level", "4", "--seed",
         "9", "--log-frames"},
        parsed, error))
        << error;
    const SimulatorOptions& o = parsed.options;
    ASSERT_EQ(o.modems.size(), 2u);
    EXPECT_EQ(o.modems[0].name, "DEMO1");
    EXPECT_EQ(o.modems[0].tcpPort, 3001);
    EXPECT_FALSE(o.modems[0].pty);
    EXPECT_EQ(o.modems[1].tcpAddress, "127.0.0.1");
    EXPECT_EQ(o.modems[1].tcpPort, 3002);
    EXPECT_TRUE(o.modems[1].pty);
    EXPECT_EQ(o.modems[1].ptyLink, "/tmp/velk-demo2");
    EXPECT_EQ(o.modems[1].call, "XY2Z");
    EXPECT_EQ(o.modems[1].faults.dropEveryNth, 5u);
    EXPECT_EQ(o.modems[1].faults.chatterMs, 5u);
    EXPECT_EQ(o.modems[0].faults.chatterMs, 0u);
    EXPECT_EQ(o.modems[1].terminal.startMenu, "pac");
    EXPECT_TRUE(o.discovery.enabled);
    EXPECT_EQ(o.discovery.port, 1101);
    EXPECT_EQ(o.channel.timeScale, 50);
    EXPECT_EQ(o.channel.levels[4].bytesPerSecond, 900);
    EXPECT_EQ(o.channel.levels[4].blockBytes, 200u);
    EXPECT_EQ(o.channel.arqLevel, 4);
    EXPECT_EQ(o.seed, 9u);
    EXPECT_TRUE(parsed.logFrames);
}

TEST(CommandLine, RejectsWhatItCannotRun) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--modem", "DEMO1"},
        {"--modem", "DEMO1@"},
        {"--modem", "DEMO1@tcp:127.0.0.1:99999"},
        {"--modem", "DEMO1@tcp:3001,drop-every=x"},
        {"--modem", "DEMO1@tcp:3001,chatter=-5"},
        {"--modem", "DEMO1@tcp:3001", "--time-scale", "0"},
        {"--modem", "DEMO1@tcp:3001", "--level", "5:100"},
        {"--modem", "DEMO1@tcp:3001", "--discovery=1101"},
        {"--modem", "DEMO1@tcp:3001", "--bogus"},
    };
    for (const auto& args : bad) {
        CommandLine parsed;
        std::string error;
        SCOPED_TRACE(args.empty() ? std::string("(none)") : args.back());
        EXPECT_FALSE(ParseCommandLine(args, parsed, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace velksim::test
