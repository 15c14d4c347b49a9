#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "cvfile/transfer_record.h"
#include "session/ui_event.h"
#include "support/temporary_folder.h"
#include "transfer/transfer_port.h"

namespace corvina::testing {

using Bytes = std::vector<std::uint8_t>;

// A TransferPort that keeps everything handed to it, for tests. The ARQ link
// and the send path are up unless a test clears them.
class FakePort : public TransferPort {
  public:
    struct Item {
        Bytes bytes;
        OutboundKind kind;
    };
    struct Seen {
        std::vector<UiEvent> events;
        std::vector<Item> items;
        std::vector<std::string> commands;
        std::pair<std::string, bool> fileResult{"", false};

        std::vector<BinaryTransferMessage> Messages() const;
        // The Result records queued, decoded.
        std::vector<cvfile::TransferRecord> Verdicts() const;
    };

    std::atomic<bool> transferAbortRequested{false};
    std::atomic<bool> fileSendActive{false};
    std::atomic<bool> binarySendActive{false};
    std::atomic<bool> binaryAbortRequested{false};
    std::atomic<bool> binaryCancelRequested{false};
    std::atomic<bool> incomingTransferActive{false};
    std::atomic<bool> arqConnected{true};
    std::atomic<bool> linkCanSend{true};
    std::atomic<bool> running{true};

    TransferFlags Flags() override {
        return {
            transferAbortRequested, fileSendActive,         binarySendActive, binaryAbortRequested,
            binaryCancelRequested,  incomingTransferActive, arqConnected,     linkCanSend};
    }
    bool SessionRunning() override { return running; }
    void SetSendCounters(std::uint64_t, std::uint64_t) override {}
    void Post(UiEvent event) override {
        std::lock_guard lock(mutex_);
        seen_.events.push_back(std::move(event));
    }
    bool QueueData(Bytes bytes, OutboundKind kind) override {
        const bool text = kind == OutboundKind::TransmitText || kind == OutboundKind::TextFile;
        std::lock_guard lock(mutex_);
        if (!(text ? linkCanSend : arqConnected)) {
            return false;
        }
        seen_.items.push_back({std::move(bytes), kind});
        return true;
    }
    void QueueCommand(Bytes command) override {
        std::lock_guard lock(mutex_);
        seen_.commands.emplace_back(command.begin(), command.end());
    }
    bool QueueVerdict(Bytes record, const std::function<void()>& noteQueued) override {
        std::lock_guard lock(mutex_);
        if (!arqConnected) {
            return false;
        }
        noteQueued();
        seen_.commands.push_back("%O");
        seen_.items.push_back({std::move(record), OutboundKind::TransferControl});
        return true;
    }
    void RequestBinaryCancel() override { binaryCancelRequested = true; }
    void SetFileResult(std::string text, bool isError) override {
        std::lock_guard lock(mutex_);
        seen_.fileResult = {std::move(text), isError};
    }

    // A copy of what the port was handed so far.
    Seen seen() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    mutable std::mutex mutex_;
    Seen seen_;
};

// Every record framed in `stream`, decoded; fails the test on bytes that are
// not records.
std::vector<cvfile::TransferRecord> DecodeStream(const Bytes& stream);

// `size` bytes that deflate cannot shrink (a fixed pseudo-random sequence).
Bytes RandomBytes(std::size_t size, std::uint32_t seed = 1);
// `size` letters from a to d at random: text that deflates to about a quarter.
Bytes Letters(std::size_t size, std::uint32_t seed);

class TempDir : public TemporaryFolder {
  public:
    // `name` is UTF-8 on every system.
    std::filesystem::path Write(const std::string& name, const Bytes& contents) const;
};

// The names of the entries of `folder`, sorted; empty when it does not exist.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);
Bytes ReadFile(const std::filesystem::path& path);

}  // namespace corvina::testing
