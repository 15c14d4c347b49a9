#include "sim/channel.h"

#include <algorithm>

#include "sim/modem_core.h"
#include "sim/response_builder.h"

namespace velksim {
namespace {

// The longest the air thread sleeps without looking at the links again.
constexpr std::chrono::milliseconds kMaxIdleWait{200};
const std::string kUnproto = "UNPROTO";

std::string ConnectedText(const std::string& call) {
    return "*** CONNECTED to " + call;
}
std::string DisconnectedText(const std::string& call) {
    return "*** DISCONNECTED fm " + call;
}

}  // namespace

Channel::Channel(ChannelOptions options, std::function<void(const std::string&)> log)
    : options_(std::move(options)), log_(std::move(log)) {
    if (!(options_.timeScale > 0)) {
        options_.timeScale = 1.0;
    }
}

Channel::~Channel() {
    Stop();
}

void Channel::Attach(ModemCore& modem) {
    std::lock_guard lock(mutex_);
    modems_.push_back(&modem);
}

void Channel::Start() {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) {
        return;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
}

void Channel::Stop() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

Clock::duration Channel::Scaled(std::chrono::duration<double> simulated) const {
    return std::chrono::duration_cast<Clock::duration>(simulated / options_.timeScale);
}

void Channel::LogLocked(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

const LevelRate& Channel::RateLocked(const Link& link) const {
    const std::size_t level = std::clamp<std::size_t>(link.level, 1, options_.levels.size() - 1);
    return options_.levels[level];
}

ModemCore* Channel::FindFreeStationLocked(const std::string& call, const ModemCore* except) const {
    for (ModemCore* modem : modems_) {
        if (modem != except && modem->link == nullptr && modem->CallLocked() == call) {
            return modem;
        }
    }
    return nullptr;
}

bool Channel::CallLocked(ModemCore& caller, const std::string& target, std::string& error) {
    if (caller.link != nullptr) {
        error = "LINK BUSY";
        return false;
    }
    if (target == caller.CallLocked()) {
        error = "CANNOT CALL OWN CALL SIGN";
        return false;
    }
    auto link = std::make_unique<Link>();
    link->kind = Link::Kind::Arq;
    link->phase = Link::Phase::Calling;
    link->stations[0] = &caller;
    link->target = target;
    link->level = options_.arqLevel;
    link->speed = options_.arqSpeed;
    link->targetFound = FindFreeStationLocked(target, &caller) != nullptr;
    link->due =
        Clock::now() + Scaled(link->targetFound ? options_.connectDelay : options_.callTimeout);
    caller.link = link.get();
    caller.listening = nullptr;
    LogLocked(caller.NameLocked() + " calls " + target);
    links_.push_back(std::move(link));
    changed_.notify_all();
    return true;
}

void Channel::DisconnectLocked(ModemCore& station) {
    Link* link = station.link;
    if (link == nullptr || link->phase == Link::Phase::Ended) {
        return;
    }
    if (link->phase == Link::Phase::Calling) {
        station.PushLinkMessageLocked(DisconnectedText(link->target));
        EndLinkLocked(*link, "call aborted");
        return;
    }
    if (link->kind == Link::Kind::Fec) {
        if (link->Sender() == &station) {
            link->disconnectBy = &station;
        }
    } else if (link->phase != Link::Phase::Closing) {
        link->disconnectBy = &station;
    }
    changed_.notify_all();
}

bool Channel::ChangeoverLocked(ModemCore& station, std::string& error) {
    Link* link = station.link;
    if (link == nullptr || link->kind != Link::Kind::Arq ||
        (link->phase != Link::Phase::Up && link->phase != Link::Phase::Turning)) {
        error = "NOT CONNECTED";
        return false;
    }
    if (link->phase == Link::Phase::Up && !link->turnRequested) {
        link->turnRequested = true;
        link->breakIn = link->Receiver() == &station;
        changed_.notify_all();
    }
    return true;
}

bool Channel::BroadcastLocked(ModemCore& station, std::uint8_t level, std::string& error) {
    if (station.link != nullptr) {
        error = "LINK BUSY";
        return false;
    }
    auto link = std::make_unique<Link>();
    link->kind = Link::Kind::Fec;
    link->phase = Link::Phase::Up;
    link->stations[0] = &station;
    link->level = level;
    link->speed = 0;
    station.link = link.get();
    station.listening = nullptr;
    for (ModemCore* modem : modems_) {
        if (modem != &station && modem->link == nullptr) {
            modem->listening = link.get();
        }
    }
    station.PushLinkMessageLocked(ConnectedText(kUnproto));
    LogLocked(station.NameLocked() + " starts a broadcast at level " + std::to_string(level));
    links_.push_back(std::move(link));
    changed_.notify_all();
    return true;
}

void Channel::LoseLinkLocked(ModemCore& station) {
    Link* link = station.link;
    if (link == nullptr || link->phase == Link::Phase::Ended) {
        return;
    }
    for (ModemCore* member : link->stations) {
        if (member != nullptr && link->phase != Link::Phase::Calling) {
            member->PushLinkMessageLocked(DisconnectedText(
                link->kind == Link::Kind::Fec ? kUnproto : link->Other(member)->CallLocked()));
        }
    }
    if (link->phase == Link::Phase::Calling) {
        station.PushLinkMessageLocked(DisconnectedText(link->target));
    }
    EndLinkLocked(*link, "link lost");
    changed_.notify_all();
}

void Channel::EndLinkLocked(Link& link, const std::string& reason) {
    for (ModemCore* member : link.stations) {
        if (member != nullptr && member->link == &link) {
            member->link = nullptr;
            member->ClearSendBufferLocked();
        }
    }
    for (ModemCore* modem : modems_) {
        if (modem->listening == &link) {
            modem->listening = nullptr;
        }
    }
    link.phase = Link::Phase::Ended;
    link.inFlight = 0;
    LogLocked("link " + (link.stations[0] ? link.stations[0]->NameLocked() : std::string()) +
              " ended: " + reason);
}

void Channel::Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        const Clock::time_point now = Clock::now();
        for (auto& link : links_) {
            AdvanceLocked(*link, now);
        }
        links_.remove_if([](const auto& link) { return link->phase == Link::Phase::Ended; });
        Clock::time_point next = now + kMaxIdleWait;
        for (const auto& link : links_) {
            next = std::min(next, link->due);
        }
        changed_.wait_until(lock, next);
    }
}

void Channel::AdvanceLocked(Link& link, Clock::time_point now) {
    // A phase change may make the next one due at once (a turnaround that ends
    // with data waiting starts a block), so advance until nothing is due.
    for (int guard = 0; guard < 8 && link.phase != Link::Phase::Ended; ++guard) {
        const Link::Phase before = link.phase;
        const Clock::time_point dueBefore = link.due;
        switch (link.phase) {
            case Link::Phase::Calling:
                AdvanceCallLocked(link, now);
                break;
            case Link::Phase::Up:
                AdvanceUpLocked(link, now);
                break;
            case Link::Phase::Turning:
                if (now >= link.due) {
                    link.sender = 1 - link.sender;
                    link.turnRequested = false;
                    link.breakIn = false;
                    link.phase = Link::Phase::Up;
                    link.due = Clock::time_point::max();
                    LogLocked("changeover: " + link.Sender()->NameLocked() + " sends");
                }
                break;
            case Link::Phase::Closing:
                if (now >= link.due) {
                    for (ModemCore* member : link.stations) {
                        member->PushLinkMessageLocked(
                            DisconnectedText(link.Other(member)->CallLocked()));
                    }
                    EndLinkLocked(link, "disconnected");
                }
                break;
            case Link::Phase::Ended:
                break;
        }
        if (link.phase == before && link.due == dueBefore) {
            return;
        }
    }
}

void Channel::AdvanceCallLocked(Link& link, Clock::time_point now) {
    if (now < link.due) {
        return;
    }
    ModemCore* caller = link.stations[0];
    ModemCore* called = link.targetFound ? FindFreeStationLocked(link.target, caller) : nullptr;
    if (called == nullptr) {
        caller->PushLinkMessageLocked(DisconnectedText(link.target));
        EndLinkLocked(link, "no answer from " + link.target);
        return;
    }
    link.stations[1] = called;
    called->link = &link;
    called->listening = nullptr;
    link.sender = 0;
    link.phase = Link::Phase::Up;
    link.due = Clock::time_point::max();
    caller->PushLinkMessageLocked(ConnectedText(called->CallLocked()));
    called->PushLinkMessageLocked(ConnectedText(caller->CallLocked()));
    LogLocked(caller->NameLocked() + " connected to " + called->NameLocked());
}

void Channel::AdvanceUpLocked(Link& link, Clock::time_point now) {
    Clock::time_point blockStart = now;
    if (link.inFlight > 0) {
        if (now < link.due) {
            return;
        }
        // Chain the next block to the end of this one so that wake-up latency
        // does not lower the air rate.
        blockStart = link.due;
        CompleteBlockLocked(link);
        if (link.phase != Link::Phase::Up) {
            return;
        }
    }
    ModemCore* sender = link.Sender();
    const bool drained = sender->SendBufferBytesLocked() == 0;
    if (link.disconnectBy != nullptr && (drained || link.disconnectBy != sender)) {
        if (link.kind == Link::Kind::Fec) {
            sender->PushLinkMessageLocked(DisconnectedText(kUnproto));
            EndLinkLocked(link, "broadcast ended");
        } else {
            link.phase = Link::Phase::Closing;
            link.due = now + Scaled(options_.disconnectDelay);
        }
        return;
    }
    if (link.kind == Link::Kind::Arq && link.turnRequested && (link.breakIn || drained)) {
        link.phase = Link::Phase::Turning;
        link.due = now + Scaled(options_.turnaround);
        return;
    }
    if (!drained) {
        StartBlockLocked(link, blockStart);
    } else {
        link.due = Clock::time_point::max();
    }
}

void Channel::StartBlockLocked(Link& link, Clock::time_point start) {
    const LevelRate& rate = RateLocked(link);
    const std::size_t block = std::max<std::uint32_t>(rate.blockBytes, 1);
    link.inFlight = std::min(block, link.Sender()->SendBufferBytesLocked());
    const double seconds = static_cast<double>(link.inFlight) / std::max(rate.bytesPerSecond, 1e-3);
    link.due = start + Scaled(std::chrono::duration<double>(seconds));
}

void Channel::CompleteBlockLocked(Link& link) {
    ModemCore* sender = link.Sender();
    const std::vector<std::uint8_t> block = sender->TakeSendBytesLocked(link.inFlight);
    link.inFlight = 0;
    link.due = Clock::time_point::max();
    if (block.empty()) {
        return;
    }
    link.airBytes += block.size();
    sender->MutableCountersLocked().bytesOnAir += block.size();
    sender->PushOutputLocked(kCodeEcho, block.data(), block.size());
    if (link.kind == Link::Kind::Arq) {
        ModemCore* receiver = link.Receiver();
        receiver->PushOutputLocked(kCodeReceived, block.data(), block.size());
        receiver->MutableCountersLocked().bytesReceivedAir += block.size();
    } else {
        for (ModemCore* modem : modems_) {
            if (modem != sender && modem->link == nullptr) {
                modem->listening = &link;
                modem->PushOutputLocked(kCodeReceived, block.data(), block.size());
                modem->MutableCountersLocked().bytesReceivedAir += block.size();
            }
        }
    }
    for (ModemCore* member : link.stations) {
        if (member == nullptr) {
            continue;
        }
        std::atomic<std::uint64_t>& lose = member->faults().loseLinkAfterAirBytes;
        std::uint64_t limit = lose.load();
        if (limit != 0 && link.airBytes >= limit && lose.compare_exchange_strong(limit, 0)) {
            LoseLinkLocked(*member);
            return;
        }
    }
}

}  // namespace velksim
