// corvina-cli as a real child process against simulated modems over TCP.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>

#include "cli/child_process.h"
#include "cli/exit_status.h"
#include "sim/simulator.h"
#include "support/eventually.h"
#include "support/temporary_folder.h"

namespace corvina::testing {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliStations : public ::testing::Test {
  protected:
    CliStations() : sim_(Options()) {}

    static velksim::SimulatorOptions Options() {
        velksim::SimulatorOptions options;
        options.channel.timeScale = 20;
        for (const char* call : {"DK1AAA", "DK2BBB"}) {
            velksim::ModemOptions modem;
            modem.name = call;
            options.modems.push_back(modem);
        }
        return options;
    }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim_.Start(error)) << error;
    }

    std::string Modem(std::size_t index) {
        return "tcp:127.0.0.1:" + std::to_string(sim_.modem(index).tcpPort());
    }

    std::unique_ptr<ChildProcess> Run(const std::string& name, std::vector<std::string> args) {
        args.push_back("--json");
        return std::make_unique<ChildProcess>(CORVINA_CLI_PATH, args, Output(name),
                                              folder_.path() / (name + ".err"));
    }

    std::filesystem::path Output(const std::string& name) const {
        return folder_.path() / (name + ".out");
    }

    // Every line of the child's standard output, each a JSON object with a UTC time.
    std::vector<json> Events(const std::string& name) const {
        std::vector<json> events;
        std::ifstream in(Output(name));
        for (std::string line; std::getline(in, line);) {
            const json event = json::parse(line, nullptr, false);
            EXPECT_TRUE(event.is_object() && event.value("time", "").ends_with("Z")) << line;
            if (event.is_object()) {
                events.push_back(event);
            }
        }
        return events;
    }

    bool WaitForEvent(const std::string& name, const std::string& event,
                      std::chrono::milliseconds timeout) const {
        const std::string key = "\"event\":\"" + event + "\"";
        return Eventually([&] { return ReadAll(Output(name)).find(key) != std::string::npos; },
                          timeout);
    }

    // A listener on the second modem, once it is in hostmode.
    std::unique_ptr<ChildProcess> Listen(const std::filesystem::path& into) {
        auto listener = Run("listen", {"listen", "--into", into.string(), "--modem", Modem(1)});
        EXPECT_TRUE(WaitForEvent("listen", "hostmode", 10s));
        return listener;
    }

    std::filesystem::path RandomFile(const std::string& name, std::size_t size) const {
        std::mt19937 random(7);
        std::string bytes(size, '\0');
        std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
        return folder_.WriteFile(name, bytes);
    }

    TemporaryFolder folder_;
    velksim::Simulator sim_;
};

// Each expected (event, field, value) must appear after the one before it.
void ExpectInOrder(const std::vector<json>& events,
                   const std::vector<std::tuple<std::string, std::string, json>>& expected) {
    auto at = events.begin();
    for (const auto& [event, field, value] : expected) {
        at = std::find_if(at, events.end(), [&](const json& e) {
            return e["event"] == event && (field.empty() || e[field] == value);
        });
        ASSERT_NE(at, events.end())
            << "missing in order: " << event << " " << field << "=" << value.dump();
        ++at;
    }
}

std::string JoinedText(const std::vector<json>& events, const std::string& event) {
    std::string joined;
    for (const json& e : events) {
        if (e["event"] == event) {
            joined += e["text"].get<std::string>();
        }
    }
    return joined;
}

// One listener serves a file transfer and then a chat, each on its own link.
TEST_F(CliStations, SentFileArrivesIdenticalThenChatLinesAndBothStreamsReportThemInOrder) {
    const std::filesystem::path into = folder_.path() / "into";
    auto listener = Listen(into);
    const auto file = RandomFile("report.bin", 5000);
    const std::filesystem::path log = folder_.path() / "log";
    auto sender = Run("send", {"send", file.string(), "--to", "DK2BBB", "--modem", Modem(0),
                               "--log", log.string()});
    EXPECT_EQ(sender->Wait(60s), cli::kExitOk);
    EXPECT_FALSE(sim_.modem(0).inHostmode());
    EXPECT_EQ(ReadAll(into / "report.bin"), ReadAll(file));

    auto chat = Run("chat", {"chat", "--to", "DK2BBB", "--modem", Modem(0)});
    ASSERT_TRUE(WaitForEvent("chat", "link", 30s));
    // Quotes, backslashes and control bytes must not break the JSON lines.
    const std::string said = "good \"morning\"\t\x01\x7f\\\rfrom the shed\r";
    chat->Write("good \"morning\"\t\x01\x7f\\\nfrom the shed\n");
    ASSERT_TRUE(WaitForEvent("listen", "received", 30s));
    chat->CloseInput();
    EXPECT_EQ(chat->Wait(60s), cli::kExitOk);
    listener->Signal(SIGINT);
    EXPECT_EQ(listener->Wait(20s), cli::kExitOk);

    ExpectInOrder(Events("send"), {{"hostmode", "", {}},
                                   {"link", "state", "connected"},
                                   {"transfer", "direction", "send"},
                                   {"progress", "percent", 100},
                                   {"verdict", "result", "CRC OK"},
                                   {"link", "state", "disconnected"},
                                   {"exit", "status", 0}});
    ExpectInOrder(Events("listen"), {{"hostmode", "", {}},
                                     {"link", "peer", "DK1AAA"},
                                     {"transfer", "size", 5000},
                                     {"verdict", "result", "CRC OK"},
                                     {"received", "", {}},
                                     {"exit", "status", 0}});
    ExpectInOrder(
        Events("chat"),
        {{"link", "state", "connected"}, {"link", "state", "disconnected"}, {"exit", "status", 0}});
    EXPECT_NE(JoinedText(Events("listen"), "received").find(said), std::string::npos);
    EXPECT_EQ(JoinedText(Events("chat"), "echo"), said);
    EXPECT_FALSE(sim_.modem(0).inHostmode());
    EXPECT_FALSE(sim_.modem(1).inHostmode());

    std::string transcript;
    for (const auto& day : std::filesystem::directory_iterator(log)) {
        transcript += ReadAll(day.path());
    }
    for (const char* expected : {"\tcommand\tC DK2BBB\n", "\tlink\t*** CONNECTED to DK2BBB",
                                 "\tfile\tBinary file sent: report.bin, CRC OK"}) {
        EXPECT_NE(transcript.find(expected), std::string::npos) << expected << "\n" << transcript;
    }
}

TEST_F(CliStations, CallNobodyAnswersExitsWithNoLinkAfterItsScriptsAndNoModemWithModemError) {
    const auto start = folder_.WriteFile("start.txt", "[Term]\nMYCALL DK1CCC\n");
    const auto bye = folder_.WriteFile("bye.txt", "[Host]\nI DK9ZZZ\n");
    auto sender =
        Run("send", {"send", RandomFile("lost.bin", 100).string(), "--to", "ZZ9ZZZ", "--modem",
                     Modem(0), "--script", start.string(), "--shutdown", bye.string()});
    EXPECT_EQ(sender->Wait(60s), cli::kExitNoLink);
    EXPECT_FALSE(sim_.modem(0).inHostmode());
    EXPECT_EQ(sim_.modem(0).call(), "DK9ZZZ") << "the shutdown script ran last";
    ExpectInOrder(Events("send"),
                  {{"command", "", {}}, {"link", "state", "disconnected"}, {"exit", "status", 7}});

    auto unreachable =
        Run("none", {"send", start.string(), "--to", "DK2BBB", "--modem", "tcp:127.0.0.1:1"});
    EXPECT_EQ(unreachable->Wait(30s), cli::kExitModemError);
}

TEST_F(CliStations, SigtermDuringReceiveEndsOrderlyWithoutPartFile) {
    const std::filesystem::path into = folder_.path() / "into";
    auto listener = Listen(into);
    const auto file = RandomFile("big.bin", 400000);
    auto sender = Run("send", {"send", file.string(), "--to", "DK2BBB", "--modem", Modem(0)});
    ASSERT_TRUE(WaitForEvent("listen", "progress", 60s));

    listener->Signal(SIGTERM);
    EXPECT_EQ(listener->Wait(30s), cli::kExitOk);
    EXPECT_FALSE(sim_.modem(1).inHostmode());
    for (const auto& entry : std::filesystem::directory_iterator(into)) {
        ADD_FAILURE() << "left behind: " << entry.path();
    }
    // The sender's session outlives the link, and its send ends with the link.
    EXPECT_EQ(sender->Wait(60s), cli::kExitNoLink);
}

}  // namespace
}  // namespace corvina::testing
