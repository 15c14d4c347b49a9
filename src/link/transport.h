#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvina {

// One link to the modem: a serial port or a TCP connection. The session holds
// exactly one while it exists and never needs to know which kind it is.
//
// A transport has no lock of its own: one thread at a time may use it
// (Interrupt excepted). It is
// created closed. Failures are reported through the result and a UTF-8 message
// written to `error`; on success `error` is left untouched. Nothing is thrown
// except allocation failures.
class ITransport {
  public:
    // Releases the link as Close does.
    virtual ~ITransport() = default;

    // Opens the link; an open link is closed first, so Open also reopens. True
    // when the link is usable; on failure the link is closed.
    virtual bool Open(std::string& error) = 0;

    // Releases the link. Safe to call when already closed.
    virtual void Close() = 0;

    // Hands all `size` bytes at `data` to the system. False on failure.
    virtual bool Write(const std::uint8_t* data, std::size_t size, std::string& error) = 0;

    // Stores up to `capacity` received bytes in `buffer`, waiting at most
    // `timeoutMs` for the first one and returning as soon as any byte is there
    // (0 never waits). Returns the count stored, 0 when nothing arrived within
    // the wait (the caller simply polls again), or -1 when the link failed.
    virtual std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                              std::string& error) = 0;

    // Makes an Open under way on another thread, and every later one, give up
    // at once (it fails). The one call any thread may make while another uses
    // the transport. Links whose Open never waits for long ignore it.
    virtual void Interrupt() {}

    // Names the link for display (COM3, /dev/ttyUSB0, host:port).
    virtual std::string Description() const = 0;

  protected:
    ITransport() = default;
    ITransport(const ITransport&) = delete;
    ITransport& operator=(const ITransport&) = delete;
};

}  // namespace corvina
