#pragma once

#include <filesystem>

#include "session/host_session.h"
#include "session/ui_event.h"
#include "transfer/file_transfers.h"
#include "transfer/session_transfer_port.h"

namespace corvina {

// A HostSession wired to its file transfers, in the one order that works: the
// transfers are the session's hooks, so they are built before the session and
// destroyed after it (the session's destructor still calls the hooks). Files
// are received into `receiveFolder` and "shutdown.txt" is read from
// `scriptFolder` (the program's ProgramFolders). `sink` must outlive this
// object. Window thread.
class SessionWithTransfers {
  public:
    SessionWithTransfers(EventSink& sink, std::filesystem::path scriptFolder,
                         std::filesystem::path receiveFolder,
                         IncomingFileSystem& fileSystem = SystemIncomingFileSystem())
        : transfers_(port_, std::move(receiveFolder), fileSystem),
          session_(sink, std::move(scriptFolder), &transfers_) {
        port_.Attach(session_);
    }

    HostSession& session() { return session_; }
    FileTransfers& transfers() { return transfers_; }

  private:
    // Attached to session_ once it exists; nothing calls it before.
    SessionTransferPort port_;
    FileTransfers transfers_;
    HostSession session_;
};

}  // namespace corvina
