// What each answer of the modem means to the rest of the program, and the
// routing of channel data into text and transfer records. Host worker thread.

#include <algorithm>
#include <string_view>

#include "cvrk/call_sign.h"
#include "cvrk/connect_text.h"
#include "session/host_session.h"
#include "session/session_constants.h"

namespace corvina {

using namespace session_constants;

namespace {

constexpr std::string_view kHostmodeErrorPrefix = "*** HOSTMODE ERROR: ";
constexpr std::string_view kDisconnected = "DISCONNECTED";
constexpr std::string_view kUnproto = "UNPROTO";

// Response codes as the dispatcher reads them.
enum AnswerCode : std::uint8_t {
    kNoAnswer = 0,
    kErrorText = 2,
    kLinkMessage = 3,
    kBinaryData = 6,
    kReceivedData = 7,
    kEchoedData = 8,
};

bool Contains(const std::vector<std::uint8_t>& text, std::string_view word) {
    return std::search(text.begin(), text.end(), word.begin(), word.end()) != text.end();
}

}  // namespace

void HostSession::DispatchHostResponse(const cvhost::Frame& frame) {
    if (frame.code == kReceivedData || frame.code == kEchoedData) {
        DispatchSirvexPayload(frame.payload, frame.code == kEchoedData);
        return;
    }
    if (frame.code == kNoAnswer || frame.code == kBinaryData || frame.code > kEchoedData ||
        frame.payload.empty()) {
        return;
    }

    if (frame.code == kLinkMessage) {
        const std::string peer = cvrk::ExtractConnectedPeer(frame.payload);
        const bool disconnected = Contains(frame.payload, kDisconnected);
        bool shown = false;
        // A new link (or broadcast) starts its streams afresh, so a record
        // cut off by the end of the last one cannot swallow its start. The
        // end of a link leaves the parsers alone: the tail of a cut record
        // may still be on its way (the link's data and echo are fetched apart
        // from its messages), and if it never comes the parsers find the next
        // record by themselves.
        if (!peer.empty()) {
            ResetStreamParsers();
        }
        if (peer == kUnproto) {
            linkState = kLinkFec;
            return;
        }
        if (!peer.empty()) {
            linkState = kLinkArq;
            shown = true;
        } else if (disconnected) {
            shown = linkState.exchange(kLinkNone) == kLinkArq;
        } else {
            shown = linkState == kLinkArq;
        }
        if (!shown) {
            return;
        }
        std::string call = peer;
        if (!call.empty() && cvrk::NormalizeCall(call)) {
            SetConnectedPeer(std::move(call));
        } else if (disconnected) {
            SetConnectedPeer(std::string());
        }
    }

    Bytes text;
    if (frame.code == kErrorText) {
        text.assign(kHostmodeErrorPrefix.begin(), kHostmodeErrorPrefix.end());
    }
    text.insert(text.end(), frame.payload.begin(), frame.payload.end());
    text.push_back(kCr);
    text.push_back(kLf);
    Post(UiEvent::Output(
        frame.code == kLinkMessage ? HostOutputKind::LinkMessage : HostOutputKind::ReceivedText,
        std::move(text)));
}

void HostSession::DispatchSirvexPayload(const Bytes& payload, bool echo) {
    cvfile::StreamParser& parser = echo ? echoParser_ : receiveParser_;
    std::vector<cvfile::StreamEvent> events = parser.Push(payload.data(), payload.size());
    for (cvfile::StreamEvent& event : events) {
        switch (event.kind) {
            case cvfile::StreamEventKind::Text:
                Post(UiEvent::Output(echo ? HostOutputKind::EchoText : HostOutputKind::ReceivedText,
                                     std::move(event.bytes)));
                break;
            case cvfile::StreamEventKind::Invalid:
                break;
            case cvfile::StreamEventKind::Record:
                if (hooks_ == nullptr) {
                    break;
                }
                if (echo) {
                    hooks_->OnDelayedRecord(event.record);
                    break;
                }
                // Fetched after the status showed the link gone: the link's
                // transfers have been abandoned, and a late Start would begin
                // one that nothing ever ends.
                if (!arqConnected) {
                    break;
                }
                switch (event.record.type) {
                    case cvfile::RecordType::Start:
                        hooks_->OnStartRecord(event.record);
                        break;
                    case cvfile::RecordType::Data:
                        hooks_->OnDataRecord(event.record);
                        break;
                    case cvfile::RecordType::End:
                        hooks_->OnEndRecord(event.record);
                        break;
                    case cvfile::RecordType::Result:
                        hooks_->OnResultRecord(event.record);
                        break;
                    case cvfile::RecordType::Cancel:
                        hooks_->OnCancelRecord(event.record);
                        break;
                }
                break;
        }
    }
}

}  // namespace corvina
