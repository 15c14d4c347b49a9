#include "sim/modem_core.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "sim/channel.h"
#include "sim/response_builder.h"

namespace velksim {
namespace {

// Noise a host may see between answers; never contains the sync byte 0xAA.
constexpr std::uint8_t kGarbage[] = {0x0D, 0x0A, 0x13, 0x37, 0x00, 0x55, 0xFF, 0x21, 0x0D};
// A start pair, then the escape and 0x55 before any body byte: the modem's marker.
constexpr std::uint8_t kMarker[] = {0xAA, 0xAA, 0xAA, 0x55};
// Bound on queued host output, so a modem nobody polls cannot grow without end.
constexpr std::size_t kMaxOutputItems = 65536;
constexpr std::size_t kMaxLoggedBytes = 48;

std::string Printable(const std::vector<std::uint8_t>& bytes, bool text) {
    std::string out;
    const std::size_t n = std::min(bytes.size(), kMaxLoggedBytes);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        if (text && b >= 0x20 && b < 0x7F) {
            out.push_back(static_cast<char>(b));
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02X", b);
            if (!out.empty() && text) {
                out += "\\x";
            } else if (!out.empty()) {
                out += ' ';
            }
            out += hex;
        }
    }
    if (bytes.size() > n) {
        out += "...";
    }
    return out;
}

}  // namespace

ModemCore::ModemCore(Channel& channel, const ModemOptions& options, std::uint64_t seed)
    : channel_(channel),
      options_(options),
      random_(seed),
      call_(options.call.empty() ? options.name : options.call),
      terminal_(options.terminal),
      linkChannel_(options.defaultChannel) {
    if (!NormalizeModemCall(call_)) {
        call_ = "NOCALL";
    }
    ApplyFaultSettings(options.faults, faults_);
}

std::vector<std::uint8_t> ModemCore::OnConnect() {
    std::lock_guard lock(channel_.mutex());
    ++counters_.connections;
    if (hostmode_) {
        return {};
    }
    std::vector<std::uint8_t> greeting = terminal_.Greeting();
    counters_.bytesToClient += greeting.size();
    return greeting;
}

void ModemCore::CountTelnetCommands(std::size_t count) {
    std::lock_guard lock(channel_.mutex());
    counters_.telnetCommands += count;
}

std::chrono::milliseconds ModemCore::ChatterInterval() const {
    return std::chrono::milliseconds(faults_.chatterMs.load());
}

std::vector<std::uint8_t> ModemCore::OnChatterDue() {
    std::lock_guard lock(channel_.mutex());
    if (hostmode_ || terminal_.silent()) {
        return {};
    }
    // No prompt-like "xyz:" in it, so the host's prompt search is not misled.
    const std::string line =
        "*** channel busy, monitoring (" + std::to_string(++counters_.chatterLines) + ")\r\n";
    counters_.bytesToClient += line.size();
    return std::vector<std::uint8_t>(line.begin(), line.end());
}

Counters ModemCore::counters() const {
    std::lock_guard lock(channel_.mutex());
    return counters_;
}

std::string ModemCore::call() const {
    std::lock_guard lock(channel_.mutex());
    return call_;
}

bool ModemCore::inHostmode() const {
    std::lock_guard lock(channel_.mutex());
    return hostmode_;
}

StatusBytes ModemCore::status() const {
    std::lock_guard lock(channel_.mutex());
    return StatusLocked();
}

void ModemCore::Log(const std::string& line) const {
    channel_.LogLocked(options_.name + " " + line);
}

std::vector<ClientOutput> ModemCore::OnClientBytes(const std::uint8_t* data, std::size_t size) {
    std::lock_guard lock(channel_.mutex());
    counters_.bytesFromClient += size;
    std::vector<ClientOutput> out;
    TerminalDialogue::Result terminal;
    std::string typed;
    auto flushTerminal = [&] {
        if (!terminal.output.empty()) {
            out.push_back(ClientOutput{std::move(terminal.output), {}, false});
            terminal.output.clear();
        }
    };
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        if (!hostmode_) {
            if (byte == 0x0D) {
                counters_.terminalLines.push_back(typed);
                typed.clear();
            } else if (byte >= 0x20 && byte != 0x7F) {
                typed.push_back(static_cast<char>(byte));
            }
            terminal_.Feed(byte, call_, terminal);
            if (terminal.enterHostmode) {
                terminal.enterHostmode = false;
                hostmode_ = true;
                parser_.Reset();
                haveLast_ = false;
                lastReportedStatus_.reset();
                ++counters_.hostmodeEntries;
                Log("enters hostmode");
            }
            continue;
        }
        flushTerminal();
        std::vector<RequestEvent> events;
        parser_.Consume(byte, events);
        for (const RequestEvent& event : events) {
            if (event.kind == RequestEvent::Kind::CrcError) {
                ++counters_.crcErrors;
                Log("< frame with a bad CRC ignored");
            } else if (event.kind == RequestEvent::Kind::FormatError) {
                ++counters_.formatErrors;
                Log("< broken frame ignored");
            } else {
                HandleRequest(event.request, out);
                if (!hostmode_) {
                    terminal_.ReturnFromHostmode(terminal);
                }
            }
        }
    }
    flushTerminal();
    for (const ClientOutput& o : out) {
        counters_.bytesToClient += o.bytes.size();
    }
    return out;
}

std::string ModemCore::DescribeRequest(const Request& request) const {
    if (!request.command) {
        return "<data>";
    }
    std::string text(request.payload.begin(), request.payload.end());
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20) {
            c = '.';
        }
    }
    return text;
}

void ModemCore::HandleRequest(const Request& request, std::vector<ClientOutput>& out) {
    const std::uint64_t index = ++counters_.requestsTotal;
    ++counters_.requests[std::to_string(request.channel) + ":" + DescribeRequest(request)];
    Log("< ch " + std::to_string(request.channel) + (request.command ? " cmd" : " data") + " seq " +
        (request.sequenceBit ? "1" : "0") + (request.sequenceStart ? " start" : "") + " '" +
        Printable(request.payload, request.command) + "'");

    std::uint32_t closeAt = faults_.closeAtRequest.load();
    if (closeAt != 0 && index >= closeAt &&
        faults_.closeAtRequest.compare_exchange_strong(closeAt, 0)) {
        Log("closes the client connection");
        out.push_back(ClientOutput{{}, {}, true});
        return;
    }

    const bool repetition = haveLast_ && request.sequenceBit == lastSequenceBit_ &&
                            (!request.sequenceStart || request.body == lastBody_);
    Answer answer;
    if (repetition) {
        ++counters_.repetitions;
        answer = lastAnswer_;
        answer.leaveHostmode = false;
        Log("  repetition: previous answer again");
    } else {
        answer = Execute(request);
        haveLast_ = true;
        lastSequenceBit_ = request.sequenceBit;
        lastBody_ = request.body;
        lastAnswer_ = answer;
    }
    ClientOutput output = ApplyFaults(index, answer);
    if (!output.bytes.empty()) {
        out.push_back(std::move(output));
    }
    if (answer.leaveHostmode) {
        hostmode_ = false;
        haveLast_ = false;
        Log("leaves hostmode");
    }
}

ClientOutput ModemCore::ApplyFaults(std::uint64_t index, const Answer& answer) {
    auto every = [index](const std::atomic<std::uint32_t>& n) {
        const std::uint32_t value = n.load();
        return value != 0 && index % value == 0;
    };
    const double dropP = faults_.dropProbability.load();
    const bool randomDrop =
        dropP > 0 && std::uniform_real_distribution<double>(0.0, 1.0)(random_) < dropP;
    const bool corrupt = every(faults_.corruptEveryNth);
    ClientOutput output;
    output.bytes = BuildResponse(answer.channel, answer.code, answer.data, corrupt);
    Log("> ch " + std::to_string(answer.channel) + " code " + std::to_string(answer.code) + " '" +
        Printable(answer.data, answer.code >= 1 && answer.code <= 5) + "'");
    if (every(faults_.dropEveryNth) || randomDrop) {
        ++counters_.answersDropped;
        Log("  answer dropped");
        return {};
    }
    ++counters_.answersSent;
    if (corrupt) {
        ++counters_.answersCorrupted;
        Log("  answer sent with a bad CRC");
    }
    if (every(faults_.markerEveryNth)) {
        ++counters_.markersInserted;
        output.bytes.insert(output.bytes.begin(), std::begin(kMarker), std::end(kMarker));
    }
    if (every(faults_.garbageEveryNth)) {
        ++counters_.garbageInserted;
        output.bytes.insert(output.bytes.begin(), std::begin(kGarbage), std::end(kGarbage));
    }
    if (every(faults_.lateEveryNth)) {
        ++counters_.answersLate;
        output.delay = std::chrono::milliseconds(faults_.lateMs.load());
        Log("  answer held back");
    }
    return output;
}

void ModemCore::PushOutputLocked(std::uint8_t code, const std::uint8_t* data, std::size_t size) {
    const bool mergeable = code == kCodeReceived || code == kCodeEcho;
    while (size > 0) {
        if (mergeable && !output_.empty() && output_.back().code == code &&
            output_.back().data.size() < kMaxResponseData) {
            std::vector<std::uint8_t>& tail = output_.back().data;
            const std::size_t n = std::min(size, kMaxResponseData - tail.size());
            tail.insert(tail.end(), data, data + n);
            data += n;
            size -= n;
            continue;
        }
        if (output_.size() >= kMaxOutputItems) {
            output_.pop_front();
        }
        const std::size_t n = mergeable ? std::min(size, kMaxResponseData) : size;
        output_.push_back(OutputItem{code, std::vector<std::uint8_t>(data, data + n)});
        data += n;
        size -= n;
    }
}

void ModemCore::PushLinkMessageLocked(const std::string& text) {
    Log("link message: " + text);
    PushOutputLocked(kCodeLinkMessage, reinterpret_cast<const std::uint8_t*>(text.data()),
                     text.size());
}

std::vector<std::uint8_t> ModemCore::TakeSendBytesLocked(std::size_t size) {
    std::vector<std::uint8_t> taken;
    while (size > 0 && !sendBuffer_.empty()) {
        SendFrame& frame = sendBuffer_.front();
        const std::size_t n = std::min(size, frame.bytes.size() - frame.offset);
        taken.insert(taken.end(), frame.bytes.begin() + static_cast<std::ptrdiff_t>(frame.offset),
                     frame.bytes.begin() + static_cast<std::ptrdiff_t>(frame.offset + n));
        frame.offset += n;
        size -= n;
        sendBufferBytes_ -= n;
        if (frame.offset == frame.bytes.size()) {
            sendBuffer_.pop_front();
        }
    }
    return taken;
}

void ModemCore::ClearSendBufferLocked() {
    sendBuffer_.clear();
    sendBufferBytes_ = 0;
}

StatusBytes ModemCore::StatusLocked() const {
    // Status byte: bits 0..2 state, bit 3 sending station, bits 4..6 mode.
    constexpr std::uint8_t kStateTraffic = 2;
    constexpr std::uint8_t kStateIdle = 3;
    constexpr std::uint8_t kStateOver = 4;
    constexpr std::uint8_t kStatePhase = 5;
    constexpr std::uint8_t kStateStandby = 7;
    constexpr std::uint8_t kSenderBit = 0x08;
    constexpr std::uint8_t kModeArq = 0x20;
    constexpr std::uint8_t kModeFec = 0x40;

    if (link != nullptr && link->phase != Link::Phase::Ended) {
        if (link->phase == Link::Phase::Calling) {
            return {kStatePhase, 0, 0};
        }
        const bool sending = link->Sender() == this;
        std::uint8_t state = kStateIdle;
        if (link->phase == Link::Phase::Turning) {
            state = kStateOver;
        } else if (link->inFlight > 0 || (sending && sendBufferBytes_ > 0)) {
            state = kStateTraffic;
        }
        const std::uint8_t mode = link->kind == Link::Kind::Arq ? kModeArq : kModeFec;
        return {static_cast<std::uint8_t>(mode | (sending ? kSenderBit : 0) | state), link->level,
                link->speed};
    }
    if (listening != nullptr && listening->phase != Link::Phase::Ended) {
        const std::uint8_t state = listening->inFlight > 0 ? kStateTraffic : kStateIdle;
        return {static_cast<std::uint8_t>(kModeFec | state), listening->level, listening->speed};
    }
    return {kStateStandby, 0, 0};
}

}  // namespace velksim
