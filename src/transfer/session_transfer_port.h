#pragma once

#include "session/host_session.h"
#include "transfer/transfer_port.h"

namespace corvina {

// The transfers' view of a HostSession. It only forwards. A port made without
// a session must be given one with Attach before any other member is called;
// the session must be alive whenever a member is called.
class SessionTransferPort final : public TransferPort {
  public:
    SessionTransferPort() = default;
    explicit SessionTransferPort(HostSession& session) : session_(&session) {}

    // Window thread, before the session starts.
    void Attach(HostSession& session) { session_ = &session; }

    TransferFlags Flags() override;
    bool SessionRunning() override;
    void Post(UiEvent event) override;
    void SetSendCounters(std::uint64_t totalBytes, std::uint64_t sentBytes) override;
    bool QueueData(std::vector<std::uint8_t> bytes, OutboundKind kind) override;
    void QueueCommand(std::vector<std::uint8_t> command) override;
    bool QueueVerdict(std::vector<std::uint8_t> record,
                      const std::function<void()>& noteQueued) override;
    void RequestBinaryCancel() override;
    void SetFileResult(std::string text, bool isError) override;

  private:
    HostSession* session_ = nullptr;
};

}  // namespace corvina
