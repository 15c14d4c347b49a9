// Replaces the test program's global operator new to record the largest single
// request, so that the tests see what the code under test asked for. Its own
// translation unit, so that the compiler never pairs an inlined free() with an
// allocation it took for the built-in operator new.

#include <atomic>
#include <cstdlib>
#include <new>

namespace cvfile::testing {
std::atomic<std::size_t> largestAllocation{0};
}  // namespace cvfile::testing

void* operator new(std::size_t size) {
    std::size_t seen = cvfile::testing::largestAllocation.load();
    while (size > seen && !cvfile::testing::largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
