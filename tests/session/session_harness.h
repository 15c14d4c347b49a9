#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fake_modem.h"
#include "session/host_session.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"

namespace corvina::testing {

using namespace std::chrono_literals;

// A session started against a FakeModem, with a recording sink and a folder
// for "shutdown.txt". Declared in this order so the session goes first.
struct SessionHarness {
    explicit SessionHarness(std::uint8_t channel = 4, TransferHooks* hooks = nullptr,
                            TerminalDialogueLimits limits = {})
        : modem(channel), session(sink, folder.path(), hooks, limits) {
        settings.linkChannel = channel;
    }

    // Starts the session and waits for HostmodeActiveEvent.
    bool StartAndWaitActive() {
        std::string error;
        if (!session.Start(modem.MakeTransport(), settings, error)) {
            startError = error;
            return false;
        }
        return sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), 5s).has_value();
    }

    // Requests after the hostmode start-up, in order.
    std::vector<FakeModem::Request> RequestsWithText(const std::string& text) const {
        std::vector<FakeModem::Request> found;
        for (const auto& request : modem.Requests()) {
            if (request.request.command && request.request.Text() == text) {
                found.push_back(request);
            }
        }
        return found;
    }

    std::vector<FakeModem::Request> DataRequests() const {
        std::vector<FakeModem::Request> found;
        for (const auto& request : modem.Requests()) {
            if (!request.request.command) {
                found.push_back(request);
            }
        }
        return found;
    }

    TemporaryFolder folder;
    FakeModem modem;
    RecordingEventSink sink;
    SessionSettings settings;
    HostSession session;
    std::string startError;
};

// A gate the fake modem's handler can hold the worker at. The handler runs
// with the fake modem locked: while the worker waits here, the test must not
// call the modem.
struct Gate {
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex);
        reached = true;
        changed.notify_all();
        changed.wait_for(lock, 5s, [&] { return open; });
    }
    void WaitReached() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, 5s, [&] { return reached; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool reached = false;
    bool open = false;
};

// Polls `condition` until it holds; false when `timeout` passed first.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = 3s) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// Starts a session and brings the fake modem into an ARQ link.
inline void StartWithArqLink(SessionHarness& h) {
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    h.modem.SetStatus(0x23, 3, 1);
    ASSERT_TRUE(Eventually([&] { return h.session.arqConnected.load(); }, 2s));
}

inline bool IsCommand(const FakeModem::Request& request, const std::string& text) {
    return request.request.command && request.request.Text() == text;
}

}  // namespace corvina::testing
