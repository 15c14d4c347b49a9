#pragma once

#include <cstdint>

namespace corvina {

// A fresh, non-zero transfer identifier: the system time in 100-ns steps,
// mixed with the process id and a process-wide counter, so two calls in the
// same process do not collide within one clock tick, and never give the same
// identifier twice in a row. Any thread.
std::uint64_t NewTransferId();

// The mixing step, for tests: (time XOR pid << 32) XOR counter, or 1 when
// that is 0.
std::uint64_t MixTransferId(std::uint64_t hundredNanoseconds, std::uint32_t processId,
                            std::uint32_t counter);

}  // namespace corvina
