#include "cli/event_report.h"

#include "cli/json_line.h"
#include "cvrk/connect_text.h"
#include "session/utc_timestamp.h"
#include "text/conversions.h"
#include "transfer/format_crc.h"

namespace corvina::cli {
namespace {

using Stream = ReportLine::Stream;

JsonLine Stamped(std::string_view event, std::chrono::system_clock::time_point now) {
    JsonLine line;
    line.Add("time", FormatUtcTimestamp(now)).Add("event", event);
    return line;
}

ReportLine Out(const JsonLine& line) {
    return {Stream::Out, line.Text() + "\n"};
}

std::string LinkState(const std::vector<std::uint8_t>& bytes) {
    if (!cvrk::ExtractConnectedPeer(bytes).empty()) {
        return "connected";
    }
    const std::string text(bytes.begin(), bytes.end());
    return text.find("DISCONNECTED") != std::string::npos ? "disconnected" : "other";
}

// Modem text ends its lines with CR; a terminal needs LF, or each line
// overwrites the one before.
std::string TerminalLines(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

ReportLine DescribeOutput(bool json, const HostOutput& output,
                          std::chrono::system_clock::time_point now) {
    const std::string text = ModemTextToUtf8(output.bytes);
    switch (output.kind) {
        case HostOutputKind::ReceivedText:
            return json ? Out(Stamped("received", now).Add("text", text))
                        : ReportLine{Stream::Out, TerminalLines(text)};
        case HostOutputKind::LinkMessage: {
            if (json) {
                return Out(Stamped("link", now)
                               .Add("state", LinkState(output.bytes))
                               .Add("peer", cvrk::ExtractConnectedPeer(output.bytes))
                               .Add("text", text));
            }
            std::string line = TerminalLines(text);
            if (line.empty() || line.back() != '\n') {
                line += '\n';
            }
            return {Stream::Out, line};
        }
        case HostOutputKind::EchoText:
            return json ? Out(Stamped("echo", now).Add("text", text)) : ReportLine{};
        case HostOutputKind::CommandText:
            return json ? Out(Stamped("command", now).Add("text", text)) : ReportLine{};
        case HostOutputKind::StatusBytes:
            return {};
    }
    return {};
}

ReportLine DescribeTransfer(bool json, const BinaryTransferMessage& m,
                            std::chrono::system_clock::time_point now) {
    switch (m.kind) {
        case BinaryTransferKind::ReceiveStarted:
            if (json) {
                return Out(Stamped("transfer", now)
                               .Add("direction", "receive")
                               .Add("name", m.name)
                               .Add("size", m.size)
                               .Add("crc", FormatCrc32(m.expectedCrc)));
            }
            return {Stream::Out, "[Receiving binary file: " + m.name + ", " +
                                     std::to_string(m.size) + " Bytes, CRC32 " +
                                     FormatCrc32(m.expectedCrc) + "]\n"};
        case BinaryTransferKind::ReceiveProgress:
            return json ? Out(Stamped("progress", now)
                                  .Add("direction", "receive")
                                  .Add("percent", std::uint64_t{m.percent}))
                        : ReportLine{};
        case BinaryTransferKind::TransferStateChanged:
            return {};
        case BinaryTransferKind::ReceiveFinished:
        case BinaryTransferKind::SendFinished:
        default: {
            const bool received = m.kind == BinaryTransferKind::ReceiveFinished;
            if (json) {
                JsonLine line = Stamped("verdict", now);
                line.Add("direction", received ? "receive" : "send")
                    .Add("name", m.name)
                    .Add("result", ResultWord(m.result))
                    .Add("code", std::uint64_t{m.result})
                    .Add("crc", FormatCrc32(m.actualCrc));
                if (received && !m.path.empty()) {
                    line.Add("path", m.path);
                }
                return Out(line);
            }
            return {Stream::Out,
                    std::string(received ? "[Binary file received: " : "[Binary file sent: ") +
                        m.name + ", " + ResultWord(m.result) + ", CRC32 " +
                        FormatCrc32(m.actualCrc) + "]\n"};
        }
    }
}

}  // namespace

std::string ModemTextToUtf8(const std::vector<std::uint8_t>& bytes) {
    return WideToUtf8(BytesToWide(bytes));
}

std::string ResultWord(std::uint8_t result) {
    static constexpr const char* kWords[] = {"CRC OK",     "CRC ERROR", "PROTOCOL ERROR",
                                             "FILE ERROR", "REJECTED",  "CANCELLED"};
    return result < std::size(kWords) ? kWords[result] : "ERROR";
}

ReportLine EventReport::Describe(const UiEvent& event,
                                 std::chrono::system_clock::time_point now) const {
    switch (event.kind) {
        case UiEventKind::HostOutputEvent:
            return event.hostOutput() ? DescribeOutput(json_, *event.hostOutput(), now)
                                      : ReportLine{};
        case UiEventKind::BinaryTransferEvent:
            return event.transferMessage() ? DescribeTransfer(json_, *event.transferMessage(), now)
                                           : ReportLine{};
        case UiEventKind::HostErrorEvent:
            return Error(event.errorText() ? *event.errorText() : "modem link failed", now);
        case UiEventKind::HostmodeActiveEvent:
            return json_ ? Out(Stamped("hostmode", now).Add("state", "active"))
                         : ReportLine{Stream::Err, "HOSTMODE ACTIVE\n"};
        case UiEventKind::FileSendProgressEvent:
            return json_ ? Out(Stamped("progress", now)
                                   .Add("direction", "send")
                                   .Add("percent", event.wParam))
                         : ReportLine{};
        default:
            return {};
    }
}

ReportLine EventReport::SendStarted(const std::string& name, std::uint64_t size,
                                    std::chrono::system_clock::time_point now) const {
    if (!json_) {
        return {};
    }
    return Out(
        Stamped("transfer", now).Add("direction", "send").Add("name", name).Add("size", size));
}

ReportLine EventReport::Error(const std::string& text,
                              std::chrono::system_clock::time_point now) const {
    return json_ ? Out(Stamped("error", now).Add("text", text))
                 : ReportLine{Stream::Err, "corvina-cli: " + text + "\n"};
}

ReportLine EventReport::Exit(int status, std::chrono::system_clock::time_point now) const {
    return json_ ? Out(Stamped("exit", now).Add("status", static_cast<std::uint64_t>(status)))
                 : ReportLine{};
}

}  // namespace corvina::cli
