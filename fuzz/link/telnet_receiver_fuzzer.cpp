// Feeds arbitrary peer bytes through the Telnet receive machine, cut at an
// arbitrary point, and checks what must hold for any input: the split does
// not change the outcome, answers are well-formed, and escaping a payload and
// decoding it again gives the payload back.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <vector>

#include "link/telnet_receiver.h"

namespace {

struct Outcome {
    std::deque<std::uint8_t> payload;
    std::vector<std::uint8_t> replies;
};

void Run(corvina::TelnetReceiver& receiver, const std::uint8_t* data, std::size_t size,
         Outcome& out) {
    corvina::TelnetReply reply{};
    for (std::size_t i = 0; i < size; ++i) {
        if (receiver.Feed(data[i], out.payload, reply)) {
            if (reply[0] != corvina::kTelnetIac || reply[1] < corvina::kTelnetWill ||
                reply[1] > corvina::kTelnetDont) {
                std::abort();
            }
            out.replies.insert(out.replies.end(), reply.begin(), reply.end());
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t cut = data[0] % size;
    const std::uint8_t* stream = data + 1;
    const std::size_t length = size - 1;

    corvina::TelnetReceiver whole;
    Outcome one;
    Run(whole, stream, length, one);

    corvina::TelnetReceiver split;
    Outcome two;
    Run(split, stream, cut, two);
    Run(split, stream + cut, length - cut, two);
    if (one.payload != two.payload || one.replies != two.replies ||
        whole.State() != split.State() || one.payload.size() > length) {
        std::abort();
    }

    const std::vector<std::uint8_t> wire = corvina::TelnetEscape(stream, length);
    corvina::TelnetReceiver decoder;
    Outcome back;
    Run(decoder, wire.data(), wire.size(), back);
    if (!back.replies.empty() ||
        back.payload != std::deque<std::uint8_t>(stream, stream + length)) {
        std::abort();
    }
    return 0;
}
