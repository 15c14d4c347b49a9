#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvina::testing {

using Bytes = std::vector<std::uint8_t>;

Bytes ToBytes(const std::string& text);
std::string ToString(const Bytes& bytes);
Bytes Join(std::initializer_list<Bytes> parts);

// A modem's answer frame in wire form: 0xAA 0xAA, then channel, code, the data
// as the code delimits it (codes 1..5: the text and 0x00; 6..8: the length
// byte and the data; 0: nothing) and the CRC-16/X.25, all stuffed.
Bytes ResponseFrame(std::uint8_t channel, std::uint8_t code, const Bytes& data = {});
Bytes ResponseFrame(std::uint8_t channel, std::uint8_t code, const std::string& text);

// One request as the modem sees it.
struct HostRequest {
    std::uint8_t channel = 0;
    bool command = false;
    bool sequenceBit = false;
    bool sequenceStart = false;
    Bytes payload;
    Bytes raw;  // the stuffed wire bytes
    bool crcOk = false;

    std::string Text() const { return ToString(payload); }
};

// Splits the bytes written by the program into requests; keeps partial frames
// between calls. Bytes outside frames are ignored.
class RequestDecoder {
  public:
    std::vector<HostRequest> Push(const std::uint8_t* data, std::size_t size);
    void Reset();

  private:
    enum class State { Hunting, SyncSeen, InFrame };
    State state_ = State::Hunting;
    bool escape_ = false;
    Bytes body_;
    Bytes raw_;
};

}  // namespace corvina::testing
