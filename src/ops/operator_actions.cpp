#include "ops/operator_actions.h"

#include "cvhost/sirvex_commands.h"
#include "cvrk/call_sign.h"
#include "cvrk/connect_text.h"
#include "ops/broadcast_timing.h"
#include "text/conversions.h"

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Commands of the link: "D" ends a link or a call, "%O" hands over the turn.
const Bytes kDisconnectCommand = {'D'};
const Bytes kChangeoverCommand = {'%', 'O'};

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr int kFecModeCount = 3;

}  // namespace

OperatorActions::OperatorActions(HostSession& session, WindowFlags& flags, OperatorConsole& console)
    : session_(session), flags_(flags), console_(console) {}

void OperatorActions::SubmitTransmitText() {
    if (!flags_.sessionActive || !(flags_.arqActive || flags_.fecActive) || flags_.fecEnding ||
        session_.fileSendActive.load() || session_.incomingTransferActive.load()) {
        return;
    }
    Bytes bytes = WideToModemBytes(console_.PendingTransmitText());
    if (!bytes.empty() && bytes.back() == kCr) {
        bytes.push_back(kLf);
    } else {
        bytes.push_back(kCr);
        bytes.push_back(kLf);
    }
    if (session_.QueueData(std::move(bytes), OutboundKind::TransmitText)) {
        console_.CommitTransmitLine();
    } else {
        console_.SetStatus(u"SIRVEX transmit path is no longer active", true);
    }
}

void OperatorActions::RequestChangeover(bool withPrompt) {
    if (!flags_.sessionActive || !flags_.arqActive) {
        return;
    }
    if (withPrompt && flags_.sendIndicator) {
        const HostSession::ChangeoverRequest request = session_.QueueChangeoverPrompt();
        if (request.outcome == HostSession::ChangeoverOutcome::AlreadyPending) {
            return;
        }
        if (request.outcome == HostSession::ChangeoverOutcome::PromptQueued) {
            console_.InsertTransmitMarker(BytesToWide(request.prompt));
            console_.InsertTransmitMarker(kChangeoverMarker);
            console_.UpdateConnectionUi();
            return;
        }
    }
    PlainChangeover();
}

void OperatorActions::PlainChangeover() {
    session_.QueueCommand(kChangeoverCommand);
    console_.InsertTransmitMarker(kChangeoverMarker);
}

void OperatorActions::CallOrAbort() {
    if (!flags_.sessionActive || flags_.abortPending) {
        return;
    }
    if (flags_.CallInProgress()) {
        session_.QueueCommand(kDisconnectCommand);
        flags_.abortPending = true;
        console_.UpdateConnectionUi();
        return;
    }
    if (flags_.arqActive || flags_.fecSending || flags_.fecStarting) {
        return;
    }
    std::string call = WideToUtf8(console_.CallSignText());
    if (!cvrk::NormalizeCall(call)) {
        console_.SetStatus(u"INVALID SIRVEX CALL", true);
        return;
    }
    console_.SetCallSignText(Utf8ToWide(call));
    Bytes command = cvrk::BuildRobustConnectCommand(call);
    if (command.empty()) {
        return;
    }
    session_.NoteOutgoingCall(call);
    session_.QueueCommand(std::move(command));
    flags_.callPending = true;
    console_.UpdateConnectionUi();
}

void OperatorActions::DisconnectArq() {
    if (flags_.fecActive) {
        ToggleFecBroadcast();
        return;
    }
    if (!flags_.sessionActive || !flags_.arqActive) {
        return;
    }
    session_.RequestArqDisconnect();
    console_.InsertTransmitMarker(kDisconnectMarker);
}

void OperatorActions::ToggleFecBroadcast() {
    if (!flags_.sessionActive || flags_.fecStarting || flags_.fecEnding) {
        return;
    }
    if (flags_.fecActive) {
        flags_.fecEnding = true;
        session_.RequestEndBroadcast();
        console_.StartBroadcastTimer(BroadcastEndTimeoutMs(flags_.level));
        console_.UpdateConnectionUi();
        return;
    }
    const bool transferBusy =
        session_.fileSendActive.load() || session_.incomingTransferActive.load();
    if (flags_.arqActive || flags_.fecSending || flags_.CallInProgress() || transferBusy) {
        return;
    }
    const int index = console_.FecModeIndex();
    if (index < 0 || index >= kFecModeCount) {
        return;
    }
    flags_.fecStarting = true;
    session_.linkState.store(kLinkFec);
    console_.StartBroadcastTimer(kBroadcastStartTimeoutMs);
    session_.QueueCommand(
        cvhost::BuildSirvexFecStartCommand(static_cast<cvhost::SirvexFecMode>(index)));
    console_.UpdateConnectionUi();
}

}  // namespace corvina
