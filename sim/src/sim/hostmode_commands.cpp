// The hostmode commands a modem understands, on the service channels 254 and
// 255 and on the link channels.
#include <algorithm>
#include <cctype>

#include "sim/channel.h"
#include "sim/modem_core.h"
#include "sim/response_builder.h"

namespace velksim {
namespace {

constexpr std::uint8_t kStatusChannel = 254;
constexpr std::uint8_t kPendingChannel = 255;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Splits "WORD rest" into the upper-cased word and the trimmed rest.
std::pair<std::string, std::string> SplitCommand(const std::string& text) {
    const auto space = text.find_first_of(" \t");
    if (space == std::string::npos) {
        return {Upper(text), {}};
    }
    return {Upper(text.substr(0, space)), Trim(text.substr(space))};
}

}  // namespace

ModemCore::Answer ModemCore::Execute(const Request& request) {
    if (!request.command) {
        return AcceptData(request);
    }
    const std::string text = Trim(std::string(request.payload.begin(), request.payload.end()));
    const std::string upper = Upper(text);
    if (request.channel == kPendingChannel) {
        if (upper == "G") {
            return PendingOutput(request.channel);
        }
        return {request.channel, kCodeError, Bytes("INVALID COMMAND ON CHANNEL 255"), false};
    }
    if (request.channel == kStatusChannel) {
        if (upper == "G" || upper == "G 3" || upper == "G3") {
            const StatusBytes status = StatusLocked();
            lastReportedStatus_ = status;
            return {request.channel, kCodeStatus,
                    std::vector<std::uint8_t>(status.begin(), status.end()), false};
        }
        return {request.channel, kCodeError, Bytes("INVALID COMMAND ON CHANNEL 254"), false};
    }
    linkChannel_ = request.channel;
    return ExecuteLinkCommand(request.channel, text);
}

ModemCore::Answer ModemCore::ExecuteLinkCommand(std::uint8_t channel, const std::string& text) {
    const Answer ok{channel, kCodeOk, {}, false};
    // A host reads at most 257 bytes of answer text, and the message repeats
    // the command, which may itself be 256 bytes long.
    auto error = [channel](const std::string& message) {
        return Answer{channel, kCodeError, Bytes(message.substr(0, 256)), false};
    };
    const auto [word, argument] = SplitCommand(text);

    if (word == "G" && argument.empty()) {
        return NextOutput(channel);
    }
    if (word == "L" && argument.empty()) {
        return LinkStatusText(channel);
    }
    if (word == "%M") {
        return ok;
    }
    if (word == "I") {
        if (argument.empty()) {
            return {channel, kCodeText, Bytes(call_), false};
        }
        std::string call = argument;
        if (!NormalizeModemCall(call)) {
            return error("INVALID CALLSIGN");
        }
        call_ = call;
        return ok;
    }
    if (word == "C") {
        if (argument.empty()) {
            if (link != nullptr && link->kind == Link::Kind::Arq &&
                link->phase != Link::Phase::Calling && link->phase != Link::Phase::Ended) {
                return {channel, kCodeText, Bytes(link->Other(this)->CallLocked()), false};
            }
            return {channel, kCodeText, Bytes("CHANNEL NOT CONNECTED"), false};
        }
        std::string target = argument;
        if (target[0] == '%' || target[0] == '!' || target[0] == ';') {
            target.erase(0, 1);
        }
        target = target.substr(0, target.find_first_of(" \t"));
        if (!NormalizeModemCall(target)) {
            return error("INVALID CALLSIGN");
        }
        std::string reason;
        if (!channel_.CallLocked(*this, target, reason)) {
            return error(reason);
        }
        return ok;
    }
    if (word == "D" && argument.empty()) {
        channel_.DisconnectLocked(*this);
        return ok;
    }
    if (word == "%O" && argument.empty()) {
        std::string reason;
        if (!channel_.ChangeoverLocked(*this, reason)) {
            return error(reason);
        }
        return ok;
    }
    if (word == "#UNPROTO") {
        // Mode 1 is level 1; modes 3 and 7 are level 2 with short or long
        // interleaving.
        std::uint8_t level = 0;
        if (argument == "1") {
            level = 1;
        } else if (argument == "3" || argument == "7") {
            level = 2;
        } else {
            return error("INVALID UNPROTO MODE");
        }
        std::string reason;
        if (!channel_.BroadcastLocked(*this, level, reason)) {
            return error(reason);
        }
        return ok;
    }
    if (word == "JHOST0" || (word == "JHOST" && argument == "0")) {
        return {channel, kCodeOk, {}, true};
    }
    if (word == "JHOST5" || (word == "JHOST" && argument == "5")) {
        return ok;
    }
    return error("INVALID COMMAND: " + text);
}

ModemCore::Answer ModemCore::AcceptData(const Request& request) {
    auto refuse = [&](const std::string& message) {
        ++counters_.dataFramesRejected;
        return Answer{request.channel, kCodeError, Bytes(message), false};
    };
    if (request.channel == kStatusChannel || request.channel == kPendingChannel) {
        return refuse("NO DATA ON SERVICE CHANNELS");
    }
    linkChannel_ = request.channel;
    if (faults_.rejectData.load()) {
        return refuse("DATA REJECTED");
    }
    const bool canSend =
        link != nullptr && link->disconnectBy == nullptr &&
        ((link->kind == Link::Kind::Arq &&
          (link->phase == Link::Phase::Up || link->phase == Link::Phase::Turning)) ||
         (link->kind == Link::Kind::Fec && link->Sender() == this &&
          link->phase == Link::Phase::Up));
    if (!canSend) {
        return refuse("NOT CONNECTED: DATA NOT SENT");
    }
    if (sendBuffer_.size() >= channel_.options().maxBufferedFrames) {
        return refuse("SEND BUFFER FULL");
    }
    sendBuffer_.push_back(SendFrame{request.payload, 0});
    sendBufferBytes_ += request.payload.size();
    ++counters_.dataFramesAccepted;
    counters_.dataBytesAccepted += request.payload.size();
    channel_.WakeLocked();
    return {request.channel, kCodeOk, {}, false};
}

ModemCore::Answer ModemCore::PendingOutput(std::uint8_t channel) {
    std::vector<std::uint8_t> channels;
    if (!output_.empty()) {
        channels.push_back(static_cast<std::uint8_t>(linkChannel_ + 1));
    }
    if (!lastReportedStatus_ || *lastReportedStatus_ != StatusLocked()) {
        channels.push_back(static_cast<std::uint8_t>(kStatusChannel + 1));
    }
    return {channel, kCodeText, std::move(channels), false};
}

ModemCore::Answer ModemCore::NextOutput(std::uint8_t channel) {
    if (output_.empty()) {
        return {channel, kCodeOk, {}, false};
    }
    OutputItem item = std::move(output_.front());
    output_.pop_front();
    return {channel, item.code, std::move(item.data), false};
}

ModemCore::Answer ModemCore::LinkStatusText(std::uint8_t channel) const {
    // Six numbers: link messages waiting, received data items waiting, frames
    // not yet sent, bytes on air now, bytes waiting to be sent, link phase
    // (0 none, 1 calling, 2 up, 3 changeover, 4 disconnecting).
    std::size_t messages = 0;
    std::size_t received = 0;
    for (const OutputItem& item : output_) {
        messages += item.code == kCodeLinkMessage ? 1 : 0;
        received += item.code == kCodeReceived ? 1 : 0;
    }
    std::size_t frames = sendBuffer_.size();
    const std::int32_t forced = faults_.reportFramesWaiting.load();
    if (forced >= 0) {
        frames = static_cast<std::size_t>(forced);
    }
    std::size_t onAir = 0;
    int phase = 0;
    if (link != nullptr) {
        onAir = link->Sender() == this ? link->inFlight : 0;
        switch (link->phase) {
            case Link::Phase::Calling:
                phase = 1;
                break;
            case Link::Phase::Up:
                phase = 2;
                break;
            case Link::Phase::Turning:
                phase = 3;
                break;
            case Link::Phase::Closing:
                phase = 4;
                break;
            case Link::Phase::Ended:
                phase = 0;
                break;
        }
    }
    const std::string text = std::to_string(messages) + " " + std::to_string(received) + " " +
                             std::to_string(frames) + " " + std::to_string(onAir) + " " +
                             std::to_string(sendBufferBytes_) + " " + std::to_string(phase);
    return {channel, kCodeText, Bytes(text), false};
}

}  // namespace velksim
