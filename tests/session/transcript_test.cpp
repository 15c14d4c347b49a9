#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "session/transcript_writer.h"
#include "support/eventually.h"
#include "support/hostmode_wire.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"

namespace corvina::testing {
namespace {

using namespace std::chrono;

system_clock::time_point At(int day, hours h, minutes m, seconds s, milliseconds ms = 0ms) {
    return sys_days{year{2026} / March / day} + h + m + s + ms;
}

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TranscriptEntryFor, RecordsWhatThePanesShowAndSkipsBookkeeping) {
    const auto text = [](HostOutputKind kind, const char* bytes) {
        return UiEvent::Output(kind, ToBytes(bytes));
    };
    BinaryTransferMessage progress;
    progress.kind = BinaryTransferKind::ReceiveProgress;
    const struct {
        UiEvent event;
        std::optional<TranscriptEntry> entry;
    } cases[] = {
        {text(HostOutputKind::ReceivedText, "caf\xE9\r"),
         TranscriptEntry{TranscriptKind::Received, "caf\xC3\xA9\r"}},
        {text(HostOutputKind::CommandText, "MYCALL DK1AAA"),
         TranscriptEntry{TranscriptKind::Command, "MYCALL DK1AAA"}},
        {text(HostOutputKind::StatusBytes, "\x01\x02\x03"), std::nullopt},
        {UiEvent::Transfer(
             {BinaryTransferKind::ReceiveFinished, "a.bin", "", 10, 0, 0x1234ABCD, 0, 1}),
         TranscriptEntry{TranscriptKind::File,
                         "Binary file received: a.bin, CRC ERROR, CRC32 1234ABCD"}},
        {UiEvent::Transfer(progress), std::nullopt},
        {UiEvent::Plain(UiEventKind::HostmodeActiveEvent), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.event.kind));
        EXPECT_EQ(TranscriptEntryFor(c.event), c.entry);
    }
    EXPECT_EQ(
        FormatTranscriptLine(At(1, 17h, 4min, 5s, 250ms), TranscriptKind::Sent, "a\\b\r\nc\td"),
        "2026-03-01T17:04:05.250Z\tsent\ta\\\\b\\r\\nc\\td\n");
}

TEST(TranscriptWriter, WritesOnItsOwnAppendingToTheFileOfEachUtcDay) {
    TemporaryFolder folder;
    const std::filesystem::path day1 = folder.WriteFile("2026-03-01.txt", "kept\n");
    const std::filesystem::path day2 = folder.path() / "2026-03-02.txt";
    auto now = At(1, 23h, 59min, 59s);
    TranscriptWriter writer(folder.path(), 20ms, [&now] { return now; });
    writer.Append(TranscriptKind::Link, "*** CONNECTED to DK2BBB");
    EXPECT_TRUE(Eventually([&] { return Contents(day1) != "kept\n"; }, 5s));
    EXPECT_EQ(Contents(day1), "kept\n2026-03-01T23:59:59.000Z\tlink\t*** CONNECTED to DK2BBB\n");
    now += 2s;
    writer.Append(TranscriptKind::Received, "hi");
    EXPECT_TRUE(Eventually([&] { return !Contents(day2).empty(); }, 5s));
    EXPECT_EQ(Contents(day2), "2026-03-02T00:00:01.000Z\treceived\thi\n");
}

TEST(TranscriptWriter, CountsLinesItCannotWrite) {
    TemporaryFolder folder;
    TranscriptWriter writer(folder.WriteFile("not-a-folder", ""), 1h);
    writer.Append(TranscriptKind::Received, "lost");
    writer.Flush();
    EXPECT_EQ(writer.droppedLines(), 1u);
}

}  // namespace
}  // namespace corvina::testing
