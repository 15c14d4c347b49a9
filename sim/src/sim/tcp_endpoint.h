#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "sim/posix_io.h"

namespace velksim {

class ModemCore;

// A modem's network port: listens on one address and serves one client at a
// time with the minimal Telnet layer; a second client is accepted and closed at
// once. Owns its thread; `modem` must outlive the endpoint.
class TcpEndpoint {
  public:
    TcpEndpoint(ModemCore& modem, std::string address, std::uint16_t port, bool telnetOffers);
    ~TcpEndpoint();
    TcpEndpoint(const TcpEndpoint&) = delete;
    TcpEndpoint& operator=(const TcpEndpoint&) = delete;

    // Binds and listens, then starts serving. False with `error` set when the
    // address cannot be used.
    bool Start(std::string& error);
    // Closes the client and the listener and joins the thread. Prompt.
    void Stop();
    // The bound port (the chosen one when asked for port 0); 0 before Start.
    std::uint16_t port() const { return boundPort_; }
    // Closes the current client connection; any thread.
    void DropClient();

  private:
    void Run();
    void Serve(UniqueFd client);
    void RefuseExtraClients() const;

    ModemCore& modem_;
    std::string address_;
    std::uint16_t port_;
    bool telnetOffers_;
    std::uint16_t boundPort_ = 0;
    UniqueFd listener_;
    WakePipe wake_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> drop_{false};
    std::thread thread_;
};

}  // namespace velksim
