#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "link/transport.h"

namespace corvina {

// How long Open waits for each resolved address to accept the connection.
inline constexpr std::chrono::milliseconds kTelnetConnectLimit{5000};

// A new, closed TCP ("Telnet") transport to `host` (a dotted address or any
// name the resolver accepts, UTF-8) and `port`. No validation here; Open
// resolves, connects, tunes the socket for low latency and sends nothing. The
// transport doubles IAC on the way out, strips Telnet commands on the way in
// and answers the peer's option requests from inside Read. Interrupt ends a
// connect under way at once, but not a name lookup.
std::unique_ptr<ITransport> CreateTelnetTransport(const std::string& host, std::uint16_t port);

// As above with another per-address connect limit; lets tests of an
// unanswered connect finish quickly.
std::unique_ptr<ITransport> CreateTelnetTransport(const std::string& host, std::uint16_t port,
                                                  std::chrono::milliseconds connectLimit);

}  // namespace corvina
