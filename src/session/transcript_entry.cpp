#include "session/transcript_entry.h"

#include <cstdio>

#include "session/utc_timestamp.h"
#include "text/conversions.h"

namespace corvina {
namespace {

std::string Crc(std::uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

std::string ResultWord(std::uint8_t result) {
    static constexpr const char* kWords[] = {"CRC OK",     "CRC ERROR", "PROTOCOL ERROR",
                                             "FILE ERROR", "REJECTED",  "CANCELLED"};
    return result < std::size(kWords) ? kWords[result] : "ERROR";
}

std::optional<TranscriptEntry> FileEntry(const BinaryTransferMessage& m) {
    switch (m.kind) {
        case BinaryTransferKind::ReceiveStarted:
            return TranscriptEntry{TranscriptKind::File, "Receiving binary file: " + m.name + ", " +
                                                             std::to_string(m.size) +
                                                             " Bytes, CRC32 " + Crc(m.expectedCrc)};
        case BinaryTransferKind::ReceiveFinished:
            return TranscriptEntry{TranscriptKind::File, "Binary file received: " + m.name + ", " +
                                                             ResultWord(m.result) + ", CRC32 " +
                                                             Crc(m.actualCrc)};
        case BinaryTransferKind::ReceiveProgress:
        case BinaryTransferKind::TransferStateChanged:
            return std::nullopt;
        case BinaryTransferKind::SendFinished:
        default:
            return TranscriptEntry{TranscriptKind::File, "Binary file sent: " + m.name + ", " +
                                                             ResultWord(m.result) + ", CRC32 " +
                                                             Crc(m.actualCrc)};
    }
}

}  // namespace

std::string_view TranscriptKindName(TranscriptKind kind) {
    switch (kind) {
        case TranscriptKind::Received:
            return "received";
        case TranscriptKind::Sent:
            return "sent";
        case TranscriptKind::Command:
            return "command";
        case TranscriptKind::Link:
            return "link";
        case TranscriptKind::File:
            return "file";
    }
    return "received";
}

std::optional<TranscriptEntry> TranscriptEntryFor(const UiEvent& event) {
    if (const HostOutput* output = event.hostOutput()) {
        const std::string text = WideToUtf8(BytesToWide(output->bytes));
        switch (output->kind) {
            case HostOutputKind::ReceivedText:
                return TranscriptEntry{TranscriptKind::Received, text};
            case HostOutputKind::LinkMessage:
                return TranscriptEntry{TranscriptKind::Link, text};
            case HostOutputKind::EchoText:
                return TranscriptEntry{TranscriptKind::Sent, text};
            case HostOutputKind::CommandText:
                return TranscriptEntry{TranscriptKind::Command, text};
            case HostOutputKind::StatusBytes:
                return std::nullopt;
        }
        return std::nullopt;
    }
    if (const BinaryTransferMessage* message = event.transferMessage()) {
        return FileEntry(*message);
    }
    return std::nullopt;
}

std::string FormatTranscriptLine(std::chrono::system_clock::time_point time, TranscriptKind kind,
                                 std::string_view text) {
    std::string line = FormatUtcTimestamp(time);
    line += '\t';
    line += TranscriptKindName(kind);
    line += '\t';
    for (const char c : text) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\r':
                line += "\\r";
                break;
            case '\n':
                line += "\\n";
                break;
            case '\t':
                line += "\\t";
                break;
            default:
                line += c;
        }
    }
    line += '\n';
    return line;
}

}  // namespace corvina
