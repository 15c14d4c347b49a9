#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "fake_modem.h"
#include "session/host_session.h"
#include "support/eventually.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"

namespace corvina::testing {

using namespace std::chrono_literals;

// A session on link channel 4 against a FakeModem, with a recording sink and
// a folder for the scripts. Declared in this order so the session goes first.
struct SessionHarness {
    explicit SessionHarness(TransferHooks* hooks = nullptr) : session(sink, folder.path(), hooks) {
        settings.linkChannel = 4;
    }

    bool StartAndWaitActive() {
        if (!session.Start(modem.MakeTransport(), settings, startError)) {
            return false;
        }
        return sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), 5s).has_value();
    }

    std::vector<FakeModem::Request> Requests(const std::function<bool(const HostRequest&)>& keep) {
        std::vector<FakeModem::Request> found;
        for (const auto& request : modem.Requests()) {
            if (keep(request.request)) {
                found.push_back(request);
            }
        }
        return found;
    }
    bool WaitForCommand(const std::string& text) {
        return Eventually([&] { return !RequestsWithText(text).empty(); });
    }
    std::vector<FakeModem::Request> RequestsWithText(const std::string& text) {
        return Requests([&](const HostRequest& r) { return r.command && r.Text() == text; });
    }
    std::size_t Errors() const { return sink.Count(IsKind(UiEventKind::HostErrorEvent)); }

    TemporaryFolder folder;
    FakeModem modem;
    RecordingEventSink sink;
    SessionSettings settings;
    HostSession session;
    std::string startError;
};

// Holds the worker inside the fake modem's handler, once. The modem is locked
// while the worker waits here, so the test must not call it meanwhile.
struct Gate {
    void Wait() {
        reached.set_value();
        opened.wait_for(5s);
    }
    bool WaitReached() { return hasReached.wait_for(5s) == std::future_status::ready; }
    std::promise<void> reached;
    std::promise<void> open;  // set_value() lets the worker go on
    std::future<void> hasReached = reached.get_future();
    std::future<void> opened = open.get_future();
};

inline bool IsCommand(const FakeModem::Request& request, const std::string& text) {
    return request.request.command && request.request.Text() == text;
}

// Holds the worker at the first attempt of command `text` (queued here).
inline void HoldWorkerAt(SessionHarness& h, Gate& gate, const std::string& text) {
    h.modem.SetHandler([&gate, text](const FakeModem::Request& r, Bytes&) {
        if (IsCommand(r, text) && !r.repeated) {
            gate.Wait();
        }
    });
    h.session.QueueCommand(ToBytes(text));
    ASSERT_TRUE(gate.WaitReached());
}

inline void StartWithArqLink(SessionHarness& h) {
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    h.modem.SetStatus(0x23, 3, 1);
    ASSERT_TRUE(Eventually([&] { return h.session.arqConnected.load(); }));
}

}  // namespace corvina::testing
