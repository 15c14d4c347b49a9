#include "transfer/transfer_id.h"

#include <atomic>
#include <chrono>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace corvina {
namespace {

std::atomic<std::uint32_t> counter{0};
std::atomic<std::uint64_t> lastId{0};

std::uint32_t ProcessId() {
#ifdef _WIN32
    return static_cast<std::uint32_t>(_getpid());
#else
    return static_cast<std::uint32_t>(::getpid());
#endif
}

}  // namespace

std::uint64_t MixTransferId(std::uint64_t hundredNanoseconds, std::uint32_t processId,
                            std::uint32_t count) {
    const std::uint64_t x = hundredNanoseconds ^ (static_cast<std::uint64_t>(processId) << 32);
    return x == count ? 1 : x ^ count;
}

std::uint64_t NewTransferId() {
    // The clock moving on by as many ticks as the counter's low bits flip
    // gives the previous value again (going from count 1 to 2, one tick can
    // be enough); another turn takes a new count.
    for (;;) {
        const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
        const auto ticks =
            std::chrono::duration_cast<
                std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>>(sinceEpoch)
                .count();
        const std::uint32_t count = counter.fetch_add(1) + 1;
        const std::uint64_t id =
            MixTransferId(static_cast<std::uint64_t>(ticks), ProcessId(), count);
        if (lastId.exchange(id) != id) {
            return id;
        }
    }
}

}  // namespace corvina
