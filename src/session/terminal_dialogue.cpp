// The plain terminal dialogue with the modem: reaching the "cmd:" prompt,
// sending terminal commands and entering CRC hostmode. Runs on the calling
// thread inside Start, on the host worker thread for a start in the
// background, and on the worker thread at the end of an orderly session, after
// "JHOST0".

#include <string_view>

#include "session/host_session.h"
#include "session/session_constants.h"
#include "session/terminal_prompt.h"

namespace corvina {

using namespace session_constants;

namespace {

// Fixed terminal-mode byte strings; no terminator is sent after them.
constexpr std::string_view kEscape = "\x1b";
constexpr std::string_view kQuit = "QUIT\r";
constexpr std::string_view kFullQuit = "QUIT\r";
constexpr std::string_view kShortQuit = "Q\r";
constexpr std::string_view kJhost5 = "JHOST5\r";

constexpr std::string_view kStatusCommand = "STATUS 2";
constexpr std::string_view kKtmcCommand = "KTMC 0";

constexpr std::string_view kStartupCommandPrefix = "[startup.txt ";
constexpr std::string_view kStartupCommandSeparator = "] > ";

std::vector<std::uint8_t> ToBytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

}  // namespace

bool HostSession::ConfigureCrcHostmode(const std::vector<Bytes>& terminalCommands,
                                       std::string& error) {
    dialogueDeadline_ = Clock::now() + limits_.dialogueLimit;
    const bool entered = EnterHostmode(terminalCommands, error);
    dialogueDeadline_ = {};
    return entered;
}

bool HostSession::EnterHostmode(const std::vector<Bytes>& terminalCommands, std::string& error) {
    for (const Bytes& command : terminalCommands) {
        if (!RunTerminalCommand(command, error)) {
            return false;
        }
        PostStartupCommand("Term", command);
    }
    if (!RunTerminalCommand(ToBytes(kStatusCommand), error) ||
        !RunTerminalCommand(ToBytes(kKtmcCommand), error)) {
        return false;
    }
    if (!OpenTerminalCommandInterpreter(error)) {
        return false;
    }
    return WriteTerminal(kJhost5, error);
}

bool HostSession::DrainTerminalInput(std::string& error, Bytes* capture) {
    const Clock::time_point giveUp = dialogueDeadline_ != Clock::time_point{}
                                         ? dialogueDeadline_
                                         : Clock::now() + kShutdownDrainLimit;
    std::uint8_t buffer[kDrainBufferSize];
    for (;;) {
        if (StartCancelled(error)) {
            return false;
        }
        const std::int32_t count = transport_->Read(buffer, sizeof buffer, kDrainSilenceMs, error);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        if (capture != nullptr) {
            capture->insert(capture->end(), buffer, buffer + count);
        }
        if (Clock::now() >= giveUp) {
            // The modem keeps talking; what arrived so far is all we wait for.
            return true;
        }
    }
}

bool HostSession::OpenTerminalCommandInterpreter(std::string& error) {
    for (int attempt = 0; attempt < kPromptAttempts; ++attempt) {
        if (!WriteTerminal(kEscape, error)) {
            return false;
        }
        PauseUnlessStopped(kTerminalPause);
        Bytes output;
        if (!DrainTerminalInput(error, &output)) {
            return false;
        }
        const TerminalPrompt prompt = LastTerminalPrompt(output);
        if (prompt == TerminalPrompt::Command) {
            return true;
        }
        if (!WriteTerminal(prompt == TerminalPrompt::Other ? kShortQuit : kFullQuit, error)) {
            return false;
        }
        PauseUnlessStopped(kTerminalPause);
        if (!DrainTerminalInput(error, nullptr)) {
            return false;
        }
    }
    // No prompt seen: go on regardless, as long as the link itself works.
    if (!WriteTerminal(kQuit, error)) {
        return false;
    }
    PauseUnlessStopped(kTerminalPause);
    if (!DrainTerminalInput(error, nullptr)) {
        return false;
    }
    if (!WriteTerminal(kEscape, error)) {
        return false;
    }
    PauseUnlessStopped(kTerminalPause);
    return DrainTerminalInput(error, nullptr);
}

bool HostSession::RunTerminalCommand(const Bytes& command, std::string& error) {
    if (!OpenTerminalCommandInterpreter(error)) {
        return false;
    }
    Bytes line = command;
    line.push_back(kCr);
    if (!transport_->Write(line.data(), line.size(), error)) {
        return false;
    }
    PauseUnlessStopped(kTerminalPause);
    return DrainTerminalInput(error, nullptr);
}

void HostSession::PostStartupCommand(std::string_view label, const Bytes& command) {
    Bytes text(kStartupCommandPrefix.begin(), kStartupCommandPrefix.end());
    text.insert(text.end(), label.begin(), label.end());
    text.insert(text.end(), kStartupCommandSeparator.begin(), kStartupCommandSeparator.end());
    text.insert(text.end(), command.begin(), command.end());
    text.push_back(kCr);
    text.push_back(kLf);
    Post(UiEvent::Output(HostOutputKind::CommandText, std::move(text)));
}

bool HostSession::StartCancelled(std::string& error) const {
    if (stopRequested && !orderlyShutdown) {
        error = kStartCancelled;
        return true;
    }
    return false;
}

bool HostSession::WriteTerminal(std::string_view bytes, std::string& error) {
    if (StartCancelled(error)) {
        return false;
    }
    return transport_->Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                             error);
}

// The fixed pauses of the dialogue. Only a stop that abandons the modem (not
// the orderly end, which still talks to it) cuts them short.
void HostSession::PauseUnlessStopped(std::chrono::milliseconds pause) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    queueChanged_.wait_for(lock, pause, [this] { return stopRequested && !orderlyShutdown; });
}

}  // namespace corvina
