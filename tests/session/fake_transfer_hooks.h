#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "session/transfer_hooks.h"

namespace corvina::testing {

// TransferHooks that record what the session routed to them, in order.
class FakeTransferHooks : public TransferHooks {
  public:
    struct Call {
        std::string what;  // "Start", "Data", "End", "Result", "Cancel", "Delayed"
        cvfile::TransferRecord record;
    };

    void OnStartRecord(const cvfile::TransferRecord& r) override { Add("Start", r); }
    void OnDataRecord(const cvfile::TransferRecord& r) override { Add("Data", r); }
    void OnEndRecord(const cvfile::TransferRecord& r) override { Add("End", r); }
    void OnResultRecord(const cvfile::TransferRecord& r) override { Add("Result", r); }
    void OnCancelRecord(const cvfile::TransferRecord& r) override { Add("Cancel", r); }
    void OnDelayedRecord(const cvfile::TransferRecord& r) override { Add("Delayed", r); }
    std::uint64_t ActiveOutgoingTransferId() override { return outgoingId.load(); }
    void JoinFileSender() override { ++joins; }
    void AbandonIncomingTransfer() override { ++abandons; }
    void ResetOutgoingTransfer() override { ++outgoingResets; }

    std::vector<Call> Calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

    std::atomic<std::uint64_t> outgoingId{0};
    std::atomic<int> joins{0};
    std::atomic<int> abandons{0};
    std::atomic<int> outgoingResets{0};

  private:
    void Add(const char* what, const cvfile::TransferRecord& record) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({what, record});
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
};

}  // namespace corvina::testing
