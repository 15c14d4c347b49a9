#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "transfer/outgoing_transfer.h"
#include "transfer/transfer_port.h"

namespace corvina {

// The texts the file senders leave as their result.
inline constexpr std::string_view kCouldNotOpenBinary = "Could not open binary file";
inline constexpr std::string_view kCouldNotReadBinary = "Could not read binary file";
inline constexpr std::string_view kBinaryCancelled = "Binary file transfer cancelled";
inline constexpr std::string_view kBinaryArqGone = "Binary file transfer ended: ARQ disconnected";
inline constexpr std::string_view kCouldNotOpenText = "Could not open text file";
inline constexpr std::string_view kCouldNotReadText = "Could not read text file";
inline constexpr std::string_view kTextCancelled = "Text file transfer cancelled";
inline constexpr std::string_view kTextPathClosed =
    "Text file transfer ended: SIRVEX transmit path closed";

// Body of the file sender thread for a binary file: reads the file, builds its
// record stream and queues it as one BinaryFile item. It ends by storing the
// file-send result (empty when the stream was queued); on failure it also
// posts FileSendFinishedEvent with wParam 2. `name` is UTF-8. `port` and
// `outgoing` must outlive the call.
void SendBinaryFileWorker(TransferPort& port, OutgoingTransfer& outgoing,
                          const std::filesystem::path& path, const std::string& name,
                          std::uint64_t transferId);

// Body of the file sender thread for a text file: reads the file and queues
// its bytes unchanged as one TextFile item while the link can send. An empty
// file ends at once with FileSendFinishedEvent (wParam 1) and no error; a
// failure stores its text as the file-send result and posts the same event.
// `port` must outlive the call.
void SendTextFileWorker(TransferPort& port, const std::filesystem::path& path);

}  // namespace corvina
