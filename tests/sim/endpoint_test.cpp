// The ways a modem is reached: TCP with Telnet, UDP discovery; a stop that
// leaves nothing behind, its pseudo-terminal's symlink included; and the
// command line that sets it all up.
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "raw_client.h"
#include "sim/command_line.h"

namespace velksim::test {
namespace {

namespace fs = std::filesystem;

fs::path TempLink(const std::string& name) {
    return fs::temp_directory_path() / ("velksim-test-" + std::to_string(::getpid()) + "-" + name);
}

class Endpoints : public SimFixture {};

TEST_F(Endpoints, TelnetOffersGoOutRepliesNeverReachTheModemAndASecondClientIsTurnedAway) {
    auto options = Options({"AB1CD"});
    options.modems[0].telnetOffers = true;
    StartSim(options);
    RawClient client;
    ASSERT_TRUE(client.ConnectTcp(sim_->modem(0).tcpPort()));
    const Bytes offers = TelnetCodec::Offers();
    Bytes raw(offers.size());  // read past the client to see the offers themselves
    const timeval limit{2, 0};
    ::setsockopt(client.fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ASSERT_EQ(::recv(client.fd(), raw.data(), raw.size(), MSG_WAITALL), std::ssize(raw));
    EXPECT_EQ(raw, offers);
    // A host answers DO 3, DONT 1, WILL 0, WONT 24, as the program does; a
    // subnegotiation (with a doubled IAC inside) and a NOP, split mid-command,
    // vanish as well.
    const Bytes replies[] = {{255, 253, 3, 255, 254, 1, 255, 251, 0, 255, 252, 24, 255},
                             {250, 44, 255, 255, 1, 255, 240, 255, 241}};
    for (const Bytes& part : replies) {
        ASSERT_TRUE(WriteAll(client.fd(), part.data(), part.size(), 1000ms));
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_TRUE(client.EnterHostmode());

    RawClient second;
    ASSERT_TRUE(second.ConnectTcp(sim_->modem(0).tcpPort()));
    EXPECT_TRUE(second.WaitClosed(1000ms));
    const auto answer = client.Command(kChannel, "I");
    ASSERT_TRUE(answer);
    EXPECT_EQ(Text(*answer), "AB1CD");
    const Counters seen = sim_->modem(0).counters();
    EXPECT_EQ(seen.telnetCommands, 6u);
    EXPECT_EQ(seen.terminalLines, std::vector<std::string>{"JHOST5"});
}

TEST_F(Endpoints, DiscoveryAnswersProbesWithOneReplyPerNetworkModem) {
    auto options = Options({"DEMO1", "LONGNAME12", "SERIAL"});
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
    for (const std::string datagram : {"HELLO", "DSCV"}) {
        ::sendto(socket.get(), datagram.data(), datagram.size(), 0,
                 reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    std::vector<Bytes> replies;
    for (pollfd p{socket.get(), POLLIN, 0}; ::poll(&p, 1, 300) > 0;) {
        std::uint8_t buffer[256];
        const ssize_t n = ::recv(socket.get(), buffer, sizeof buffer, 0);
        replies.emplace_back(buffer, buffer + std::max<ssize_t>(n, 0));
    }
    ASSERT_EQ(replies.size(), 2u);
    const char* names[] = {"DEMO1    ", "LONGNAME1"};
    for (std::size_t i = 0; i < replies.size(); ++i) {
        SCOPED_TRACE(i);
        const Bytes& r = replies[i];
        ASSERT_EQ(r.size(), 32u);
        EXPECT_EQ(std::string(r.begin(), r.begin() + 4), "DSCV");
        EXPECT_EQ((r[20] << 8) | r[21], sim_->modem(i).tcpPort());
        EXPECT_EQ(std::string(r.begin() + 23, r.end()), names[i]);
    }
}

TEST(Shutdown, StopIsPromptAndLeavesNoThreadOrDescriptorBehind) {
    const auto openDescriptors = [] {
        const fs::directory_iterator entries("/proc/self/fd");
        return std::distance(fs::begin(entries), fs::end(entries));
    };
    const auto before = openDescriptors();
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
        const fs::path link = options.modems[1].ptyLink;
        EXPECT_EQ(fs::read_symlink(link).string(), sim.modem(1).ptyDevice());
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
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }
    EXPECT_EQ(openDescriptors(), before);

    // A start that fails names the cause and stops what had started.
    SimulatorOptions first;
    first.modems.resize(1);
    Simulator holder(first);
    std::string error;
    ASSERT_TRUE(holder.Start(error));
    SimulatorOptions clash;
    clash.modems.resize(2);
    clash.modems[1].tcpPort = holder.modem(0).tcpPort();
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
    EXPECT_EQ(std::tie(o.modems[0].name, o.modems[0].tcpPort, o.modems[0].pty),
              std::make_tuple("DEMO1", 3001, false));
    const ModemOptions& m = o.modems[1];
    EXPECT_EQ(std::tie(m.tcpAddress, m.tcpPort, m.pty, m.call, m.terminal.startMenu),
              std::make_tuple("127.0.0.1", 3002, true, "XY2Z", "pac"));
    EXPECT_EQ(m.ptyLink, "/tmp/velk-demo2");
    EXPECT_EQ(std::tie(m.faults.dropEveryNth, m.faults.chatterMs, o.modems[0].faults.chatterMs),
              std::make_tuple(5u, 5u, 0u));
    EXPECT_EQ(std::tie(o.discovery.enabled, o.discovery.port, o.channel.timeScale,
                       o.channel.arqLevel, o.seed, parsed.logFrames),
              std::make_tuple(true, 1101, 50, 4, 9u, true));
    EXPECT_EQ(o.channel.levels[4].bytesPerSecond, 900);
    EXPECT_EQ(o.channel.levels[4].blockBytes, 200u);

    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
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
         }) {
        SCOPED_TRACE(bad.empty() ? std::string("(none)") : bad.back());
        CommandLine rejected;
        error.clear();
        EXPECT_FALSE(ParseCommandLine(bad, rejected, error));
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace velksim::test
