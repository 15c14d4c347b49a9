#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velksim {

// Faults of one modem. Any thread may change them at any time; each request
// reads them once. "Every Nth" counts every valid request the modem has seen,
// repetitions included; 0 switches a fault off.
struct Faults {
    // The answer is not sent.
    std::atomic<std::uint32_t> dropEveryNth{0};
    std::atomic<double> dropProbability{0.0};
    // The answer is sent with an inverted CRC.
    std::atomic<std::uint32_t> corruptEveryNth{0};
    // The answer is held back for `lateMs` of wall-clock time (default beyond
    // the host's 1.2 s answer wait).
    std::atomic<std::uint32_t> lateEveryNth{0};
    std::atomic<std::uint32_t> lateMs{1500};
    // Noise bytes (never 0xAA) before the answer.
    std::atomic<std::uint32_t> garbageEveryNth{0};
    // The marker AA AA AA 55 before the answer.
    std::atomic<std::uint32_t> markerEveryNth{0};
    // Data frames are refused with code 2.
    std::atomic<bool> rejectData{false};
    // When 0 or more, "L" reports this many frames waiting.
    std::atomic<std::int32_t> reportFramesWaiting{-1};
    // The client connection is closed (TCP) or hung up (PTY) when this request
    // arrives, without an answer; one-shot, cleared when it fires.
    std::atomic<std::uint32_t> closeAtRequest{0};
    // The radio link breaks once this many bytes of it went on air; one-shot.
    std::atomic<std::uint64_t> loseLinkAfterAirBytes{0};
    // While in terminal mode with a client present, the modem prints a line of
    // busy-channel monitor text on its own every this many milliseconds, so a
    // host waiting for its terminal to fall silent never gets that; 0 is quiet.
    // Hostmode and a silent terminal print none.
    std::atomic<std::uint32_t> chatterMs{0};
};

// Initial faults of a modem, as options and the command line give them; the
// fields mean what the same fields of Faults mean.
struct FaultSettings {
    std::uint32_t dropEveryNth = 0;
    double dropProbability = 0.0;
    std::uint32_t corruptEveryNth = 0;
    std::uint32_t lateEveryNth = 0;
    std::uint32_t lateMs = 1500;
    std::uint32_t garbageEveryNth = 0;
    std::uint32_t markerEveryNth = 0;
    bool rejectData = false;
    std::int32_t reportFramesWaiting = -1;
    std::uint32_t closeAtRequest = 0;
    std::uint64_t loseLinkAfterAirBytes = 0;
    std::uint32_t chatterMs = 0;
};

inline void ApplyFaultSettings(const FaultSettings& settings, Faults& faults) {
    faults.dropEveryNth = settings.dropEveryNth;
    faults.dropProbability = settings.dropProbability;
    faults.corruptEveryNth = settings.corruptEveryNth;
    faults.lateEveryNth = settings.lateEveryNth;
    faults.lateMs = settings.lateMs;
    faults.garbageEveryNth = settings.garbageEveryNth;
    faults.markerEveryNth = settings.markerEveryNth;
    faults.rejectData = settings.rejectData;
    faults.reportFramesWaiting = settings.reportFramesWaiting;
    faults.closeAtRequest = settings.closeAtRequest;
    faults.loseLinkAfterAirBytes = settings.loseLinkAfterAirBytes;
    faults.chatterMs = settings.chatterMs;
}

// What one modem has seen, as a snapshot.
struct Counters {
    // Valid requests by "channel:command", e.g. "255:G", "254:G 3", "4:%M 1";
    // channel data counts under "channel:<data>".
    std::map<std::string, std::uint64_t> requests;
    std::uint64_t requestsTotal = 0;
    std::uint64_t repetitions = 0;
    std::uint64_t crcErrors = 0;
    std::uint64_t formatErrors = 0;
    std::uint64_t answersSent = 0;
    std::uint64_t answersDropped = 0;
    std::uint64_t answersCorrupted = 0;
    std::uint64_t answersLate = 0;
    std::uint64_t garbageInserted = 0;
    std::uint64_t markersInserted = 0;
    std::uint64_t dataFramesAccepted = 0;
    std::uint64_t dataFramesRejected = 0;
    std::uint64_t dataBytesAccepted = 0;
    std::uint64_t bytesOnAir = 0;        // sent by this modem
    std::uint64_t bytesReceivedAir = 0;  // heard from other modems
    std::uint64_t bytesFromClient = 0;   // after Telnet decoding
    std::uint64_t bytesToClient = 0;     // before Telnet encoding
    std::uint64_t telnetCommands = 0;
    std::uint64_t connections = 0;
    std::uint64_t hostmodeEntries = 0;
    std::uint64_t chatterLines = 0;          // unprompted monitor lines printed
    std::vector<std::string> terminalLines;  // lines typed in terminal mode

    std::uint64_t Requests(std::uint8_t channel, const std::string& command) const {
        const auto it = requests.find(std::to_string(channel) + ":" + command);
        return it == requests.end() ? 0 : it->second;
    }
};

}  // namespace velksim
