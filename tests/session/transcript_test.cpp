#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "session/transcript_writer.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

system_clock::time_point At(int day, hours h, minutes m, seconds s, milliseconds ms = 0ms) {
    return sys_days{year{2026} / March / day} + h + m + s + ms;
}

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(TranscriptEntryFor, RecordsWhatThePanesShowAndSkipsBookkeeping) {
    auto text = [](HostOutputKind kind, const char* bytes) {
        return UiEvent::Output(kind, std::vector<std::uint8_t>(bytes, bytes + std::strlen(bytes)));
    };
    BinaryTransferMessage received{
        BinaryTransferKind::ReceiveFinished, "a.bin", "", 10, 0, 0x1234ABCD, 0, 1};
    BinaryTransferMessage sent{BinaryTransferKind::SendFinished, "b.bin", "", 10, 0, 0xFF, 0, 0};
    BinaryTransferMessage progress;
    progress.kind = BinaryTransferKind::ReceiveProgress;
    const struct {
        UiEvent event;
        std::optional<TranscriptEntry> entry;
    } cases[] = {
        {text(HostOutputKind::ReceivedText, "caf\xE9\r"),
         TranscriptEntry{TranscriptKind::Received, "caf\xC3\xA9\r"}},
        {text(HostOutputKind::LinkMessage, "*** CONNECTED to DK2BBB"),
         TranscriptEntry{TranscriptKind::Link, "*** CONNECTED to DK2BBB"}},
        {text(HostOutputKind::EchoText, "hello\r"),
         TranscriptEntry{TranscriptKind::Sent, "hello\r"}},
        {text(HostOutputKind::CommandText, "MYCALL DK1AAA"),
         TranscriptEntry{TranscriptKind::Command, "MYCALL DK1AAA"}},
        {text(HostOutputKind::StatusBytes, "\x01\x02\x03"), std::nullopt},
        {UiEvent::Transfer(received),
         TranscriptEntry{TranscriptKind::File,
                         "Binary file received: a.bin, CRC ERROR, CRC32 1234ABCD"}},
        {UiEvent::Transfer(sent),
         TranscriptEntry{TranscriptKind::File, "Binary file sent: b.bin, CRC OK, CRC32 000000FF"}},
        {UiEvent::Transfer(progress), std::nullopt},
        {UiEvent::Plain(UiEventKind::HostmodeActiveEvent), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.event.kind));
        EXPECT_EQ(TranscriptEntryFor(c.event), c.entry);
    }
}

TEST(FormatTranscriptLine, OneLinePerEventWithItsUtcTimeAndKind) {
    EXPECT_EQ(
        FormatTranscriptLine(At(1, 17h, 4min, 5s, 250ms), TranscriptKind::Sent, "a\\b\r\nc\td"),
        "2026-03-01T17:04:05.250Z\tsent\ta\\\\b\\r\\nc\\td\n");
}

TEST(TranscriptWriter, AppendsAcrossRestartsAndStartsAFileEachUtcDay) {
    testing::TemporaryFolder folder;
    const std::filesystem::path day1 = folder.path() / "log" / "2026-03-01.txt";
    std::filesystem::create_directories(day1.parent_path());
    std::ofstream(day1, std::ios::binary) << "kept\n";
    auto now = At(1, 23h, 59min, 59s);
    const auto clock = [&now] { return now; };
    {
        TranscriptWriter writer(folder.path() / "log", 1h, clock);
        writer.Append(TranscriptKind::Command, "C DK2BBB");
    }
    {
        TranscriptWriter writer(folder.path() / "log", 1h, clock);
        writer.Append(TranscriptKind::Link, "*** CONNECTED to DK2BBB");
        now += 2s;
        writer.Append(TranscriptKind::Received, "hi");
    }
    EXPECT_EQ(Contents(day1),
              "kept\n"
              "2026-03-01T23:59:59.000Z\tcommand\tC DK2BBB\n"
              "2026-03-01T23:59:59.000Z\tlink\t*** CONNECTED to DK2BBB\n");
    EXPECT_EQ(Contents(folder.path() / "log" / "2026-03-02.txt"),
              "2026-03-02T00:00:01.000Z\treceived\thi\n");
}

TEST(TranscriptWriter, WritesOnItsOwnWithinTheFlushInterval) {
    testing::TemporaryFolder folder;
    TranscriptWriter writer(folder.path(), 20ms, [] { return At(5, 8h, 0min, 0s); });
    writer.Append(TranscriptKind::Received, "x");
    const auto deadline = steady_clock::now() + 5s;
    while (Contents(folder.path() / "2026-03-05.txt").empty() && steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(Contents(folder.path() / "2026-03-05.txt"),
              "2026-03-05T08:00:00.000Z\treceived\tx\n");
}

TEST(TranscriptWriter, CountsLinesItCannotWrite) {
    testing::TemporaryFolder folder;
    const auto blocked = folder.WriteFile("not-a-folder", "");
    TranscriptWriter writer(blocked, 1h);
    writer.Append(TranscriptKind::Received, "lost");
    writer.Flush();
    EXPECT_EQ(writer.droppedLines(), 1u);
}

}  // namespace
}  // namespace corvina
