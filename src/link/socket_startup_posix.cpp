#include "link/socket_startup.h"

namespace corvina {

// POSIX sockets need no start-up.
SocketStartup::SocketStartup() : started_(true) {}

SocketStartup::~SocketStartup() = default;

}  // namespace corvina
