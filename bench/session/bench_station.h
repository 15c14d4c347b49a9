#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "session/host_session.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"
#include "text/conversions.h"

namespace corvina::bench {

using namespace std::chrono_literals;

// A session as one program window holds it, for the benchmarks.
struct BenchStation {
    BenchStation() : session(sink, folder.path()) {}

    bool ConnectTcp(std::uint16_t port, std::string& error) {
        auto transport = CreateTelnetTransport("127.0.0.1", port);
        if (!transport->Open(error))
            return false;
        SessionSettings settings;
        settings.isTelnetLink = true;
        return session.Start(std::move(transport), settings, error) && WaitActive(error);
    }

    bool ConnectPty(const std::filesystem::path& device, std::string& error) {
        auto transport = CreateSerialTransport(Utf8ToWide(device.string()));
        if (!transport->Open(error))
            return false;
        return session.Start(std::move(transport), SessionSettings{}, error) && WaitActive(error);
    }

    bool WaitActive(std::string& error) {
        if (sink.WaitFor(testing::IsKind(UiEventKind::HostmodeActiveEvent), 10s))
            return true;
        error = "the session did not become active";
        return false;
    }

    testing::TemporaryFolder folder;
    testing::RecordingEventSink sink;
    HostSession session;
};

// Median and 99th percentile of `samples`, in milliseconds.
inline std::pair<double, double> MedianAndP99(std::vector<double> samples) {
    if (samples.empty())
        return {0, 0};
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(q * samples.size()))];
    };
    return {at(0.5), at(0.99)};
}

}  // namespace corvina::bench
