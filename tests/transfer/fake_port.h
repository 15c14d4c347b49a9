#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "cvfile/transfer_record.h"
#include "session/ui_event.h"
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

    std::atomic<bool> transferAbortRequested{false};
    std::atomic<bool> fileSendActive{false};
    std::atomic<bool> binarySendActive{false};
    std::atomic<bool> binaryAbortRequested{false};
    std::atomic<bool> binaryCancelRequested{false};
    std::atomic<bool> incomingTransferActive{false};
    std::atomic<bool> arqConnected{true};
    std::atomic<bool> linkCanSend{true};
    std::atomic<bool> running{true};

    TransferFlags Flags() override;
    bool SessionRunning() override { return running; }
    void Post(UiEvent event) override;
    void SetSendCounters(std::uint64_t totalBytes, std::uint64_t sentBytes) override;
    bool QueueData(Bytes bytes, OutboundKind kind) override;
    void QueueCommand(Bytes command) override;
    bool QueueVerdict(Bytes record, const std::function<void()>& noteQueued) override;
    void RequestBinaryCancel() override;
    void SetFileResult(std::string text, bool isError) override;

    std::vector<UiEvent> Events() const;
    std::vector<Item> Items() const;
    std::vector<std::string> Commands() const;
    std::pair<std::string, bool> FileResult() const;
    std::pair<std::uint64_t, std::uint64_t> Counters() const;
    int cancelRequests() const;

    // The transfer messages posted so far, in order.
    std::vector<BinaryTransferMessage> TransferMessages() const;
    // The Result records queued so far, decoded.
    std::vector<cvfile::TransferRecord> QueuedResults() const;

  private:
    mutable std::mutex mutex_;
    std::vector<UiEvent> events_;
    std::vector<Item> items_;
    std::vector<std::string> commands_;
    std::string fileResultText_;
    bool fileResultIsError_ = false;
    std::uint64_t totalBytes_ = 0;
    std::uint64_t sentBytes_ = 0;
    int cancelRequests_ = 0;
};

// Every record framed in `stream`, decoded; fails the test on bytes that are
// not records.
std::vector<cvfile::TransferRecord> DecodeStream(const Bytes& stream);

// `size` bytes that deflate cannot shrink (a fixed pseudo-random sequence).
Bytes RandomBytes(std::size_t size, std::uint32_t seed = 1);

// A fresh folder under the system's temporary directory, removed on
// destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path Write(const std::string& name, const Bytes& contents) const;

  private:
    std::filesystem::path path_;
};

// The names of the entries of `folder`, sorted; empty when it does not exist.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);
Bytes ReadFile(const std::filesystem::path& path);

}  // namespace corvina::testing
