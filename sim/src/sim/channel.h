#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/link.h"
#include "sim/options.h"

namespace velksim {

class ModemCore;

// The shared radio medium: ARQ calls and links, changeovers, FEC broadcasts,
// and the air clock that moves each sending station's buffer to the other
// modems at its level's rate. One lock guards the channel and every attached
// modem's state; the channel's own thread advances the links.
//
// Attach every modem before Start; attached modems must outlive the Channel's
// thread (Stop it first). The ...Locked functions require mutex() to be held.
class Channel {
  public:
    Channel(ChannelOptions options, std::function<void(const std::string&)> log);
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    void Attach(ModemCore& modem);
    void Start();
    // Joins the air thread; prompt, whatever is on air.
    void Stop();

    std::mutex& mutex() const { return mutex_; }
    const ChannelOptions& options() const { return options_; }

    // Starts an ARQ call from `caller` to `target`; false with a reason when the
    // caller is busy or calls itself.
    bool CallLocked(ModemCore& caller, const std::string& target, std::string& error);
    // "D": aborts a call, ends a link (after the sender's buffer is out when the
    // sender asks) or ends a broadcast once its data is out. Nothing when idle.
    void DisconnectLocked(ModemCore& station);
    // "%O": false with a reason when there is no ARQ link.
    bool ChangeoverLocked(ModemCore& station, std::string& error);
    bool BroadcastLocked(ModemCore& station, std::uint8_t level, std::string& error);
    // Breaks the station's link at once, as a lost radio path does.
    void LoseLinkLocked(ModemCore& station);
    // New data in a send buffer.
    void WakeLocked() { changed_.notify_all(); }
    void LogLocked(const std::string& line) const;

    // Wall-clock length of a simulated duration.
    Clock::duration Scaled(std::chrono::duration<double> simulated) const;

  private:
    void Run();
    void AdvanceLocked(Link& link, Clock::time_point now);
    void AdvanceCallLocked(Link& link, Clock::time_point now);
    void AdvanceUpLocked(Link& link, Clock::time_point now);
    void CompleteBlockLocked(Link& link);
    void StartBlockLocked(Link& link, Clock::time_point start);
    void EndLinkLocked(Link& link, const std::string& reason);
    ModemCore* FindFreeStationLocked(const std::string& call, const ModemCore* except) const;
    const LevelRate& RateLocked(const Link& link) const;

    ChannelOptions options_;
    std::function<void(const std::string&)> log_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<ModemCore*> modems_;
    std::list<std::unique_ptr<Link>> links_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace velksim
