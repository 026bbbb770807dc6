#pragma once
// Replaces the program's global allocator with one that counts every allocation, for checks
// that a path allocates nothing. Include from exactly one source file of a program.

#include <atomic>
#include <cstdlib>
#include <new>

namespace wadling_test {
inline std::atomic<long> allocationCount{0};
} // namespace wadling_test

void* operator new(std::size_t size) {
    wadling_test::allocationCount.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
// GCC takes the free() inside a replaced operator delete for a mismatch with operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept {
    std::free(p);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
void operator delete(void* p, std::size_t) noexcept {
    ::operator delete(p);
}
