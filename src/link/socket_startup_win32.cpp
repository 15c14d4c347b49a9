#include <winsock2.h>

#include "link/socket_startup.h"
#include "link/system_error.h"

namespace corvina {

SocketStartup::SocketStartup() {
    WSADATA data{};
    // WSAStartup returns its error instead of setting WSAGetLastError.
    const int code = WSAStartup(MAKEWORD(2, 2), &data);
    if (code != 0) {
        error_ = "Cannot start Windows Sockets: " + SystemErrorText(static_cast<unsigned>(code));
        return;
    }
    started_ = true;
}

SocketStartup::~SocketStartup() {
    if (started_) {
        WSACleanup();
    }
}

}  // namespace corvina
