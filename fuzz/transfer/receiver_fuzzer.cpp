// Feeds arbitrary channel data through the record stream parser into the
// binary-file receiver, with the files kept in memory. Checks that a file is
// stored exactly for each CRC OK verdict, that no temporary file outlives its
// transfer, and that nothing crashes or leaks.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

#include "cvfile/crc32.h"
#include "cvfile/stream_parser.h"
#include "transfer/incoming_transfer.h"

namespace {

using corvina::IncomingFile;
using corvina::IncomingFileSystem;
using Bytes = std::vector<std::uint8_t>;

class MemoryFileSystem : public IncomingFileSystem {
  public:
    class File : public IncomingFile {
      public:
        explicit File(Bytes& bytes) : bytes_(bytes) {}
        bool Write(const std::uint8_t* data, std::size_t size) override {
            bytes_.insert(bytes_.end(), data, data + size);
            return true;
        }
        bool FlushAndClose() override { return true; }

      private:
        Bytes& bytes_;
    };

    std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
        if (files.count(path.string()) != 0) {
            return nullptr;
        }
        return std::make_unique<File>(files[path.string()]);
    }
    bool RenameWithoutReplacing(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        auto it = files.find(from.string());
        if (it == files.end() || files.count(to.string()) != 0) {
            return false;
        }
        stored.push_back(it->second);
        files[to.string()] = std::move(it->second);
        files.erase(it);
        return true;
    }
    void Remove(const std::filesystem::path& path) override { files.erase(path.string()); }

    std::map<std::string, Bytes> files;
    std::vector<Bytes> stored;
};

class CountingPort : public corvina::TransferPort {
  public:
    corvina::TransferFlags Flags() override {
        return corvina::TransferFlags{flag, flag, flag, flag, flag, incoming, arq, arq};
    }
    bool SessionRunning() override { return true; }
    void Post(corvina::UiEvent event) override {
        const auto* message = event.transferMessage();
        if (message != nullptr && message->kind == corvina::BinaryTransferKind::ReceiveFinished &&
            message->result == 0) {
            ++crcOkVerdicts;
            okCrcs.push_back(message->actualCrc);
        }
    }
    void SetSendCounters(std::uint64_t, std::uint64_t) override {}
    bool QueueData(Bytes, corvina::OutboundKind) override { return true; }
    void QueueCommand(Bytes) override {}
    bool QueueVerdict(Bytes, const std::function<void()>& noteQueued) override {
        noteQueued();
        return true;
    }
    void RequestBinaryCancel() override {}
    void SetFileResult(std::string, bool) override {}

    std::atomic<bool> flag{false};
    std::atomic<bool> incoming{false};
    std::atomic<bool> arq{true};
    std::size_t crcOkVerdicts = 0;
    std::vector<std::uint32_t> okCrcs;
};

const std::filesystem::path& ReceiveParent() {
    static const std::filesystem::path parent = [] {
        // Files live in memory; only the empty "tmp" folder is made here, and
        // every run shares it.
        auto p = std::filesystem::temp_directory_path() / "corvina-receiver-fuzz";
        std::filesystem::create_directories(p);
        return p;
    }();
    return parent;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryFileSystem files;
    CountingPort port;
    {
        corvina::IncomingTransfer receiver(port, ReceiveParent() / "tmp", files);
        cvfile::StreamParser parser;
        for (const cvfile::StreamEvent& event : parser.Push(data, size)) {
            if (event.kind != cvfile::StreamEventKind::Record) {
                continue;
            }
            switch (event.record.type) {
                case cvfile::RecordType::Start:
                    receiver.Begin(event.record);
                    break;
                case cvfile::RecordType::Data:
                    receiver.Data(event.record);
                    break;
                case cvfile::RecordType::End:
                    receiver.End(event.record);
                    break;
                case cvfile::RecordType::Cancel:
                    receiver.Cancel(event.record);
                    break;
                case cvfile::RecordType::Result:
                    receiver.EchoedResult(event.record);
                    break;
            }
        }
    }
    // The receiver is gone: only verified files may remain.
    if (files.stored.size() != port.crcOkVerdicts || files.files.size() != files.stored.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < files.stored.size(); ++i) {
        const Bytes& file = files.stored[i];
        if (cvfile::Crc32Ieee(file.data(), file.size()) != port.okCrcs[i]) {
            std::abort();
        }
    }
    return 0;
}
