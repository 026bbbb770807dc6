// Large blocks straight from the kernel. Blocks of 2 MiB and more start on a 2 MiB boundary and
// ask for transparent huge pages: filling a fresh 17 MB picture then takes 8 faults and a few
// dozen more, not 4200, which matters where page faults are dear (virtual machines).
#include "platform/Platform.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <limits>

namespace platform {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

/// `bytes` rounded up to whole pages; 0 when that does not fit.
std::size_t wholePages(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    if (bytes == 0) bytes = 1;
    if (bytes > std::numeric_limits<std::size_t>::max() - page) return 0;
    return (bytes + page - 1) / page * page;
}

void* mapAnonymous(std::size_t length) {
    void* block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return block == MAP_FAILED ? nullptr : block;
}

} // namespace

void* allocateLargeBlock(std::size_t bytes) {
    const std::size_t length = wholePages(bytes);
    if (length == 0) return nullptr;
    if (length < kHugePage || length > std::numeric_limits<std::size_t>::max() - kHugePage)
        return mapAnonymous(length);
    // Map a huge page more than needed and give back what lies outside the aligned block.
    auto* mapped = static_cast<std::uint8_t*>(mapAnonymous(length + kHugePage));
    if (mapped == nullptr) return nullptr;
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > start) munmap(mapped, aligned - start);
    const std::uintptr_t end = start + length + kHugePage;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    auto* block = reinterpret_cast<void*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(block, length, MADV_HUGEPAGE); // a hint: refused, the block has small pages
#endif
    return block;
}

void releaseLargeBlock(void* block, std::size_t bytes) {
    if (block != nullptr) munmap(block, wholePages(bytes));
}

void dropFilePages(const void* data, std::size_t bytes) {
#ifdef MADV_DONTNEED
    // Only whole pages inside the range: its neighbours may be data that was written.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    if (data == nullptr || bytes > std::numeric_limits<std::uintptr_t>::max() - start) return;
    const std::uintptr_t first = (start + page - 1) & ~(page - 1);
    const std::uintptr_t last = (start + bytes) & ~(page - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
    (void)data;
    (void)bytes;
#endif
}

} // namespace platform
