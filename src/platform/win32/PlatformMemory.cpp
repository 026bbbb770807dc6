// Large blocks straight from the system's virtual memory, given back whole when released.
#include "platform/Platform.h"

#include <windows.h>

namespace platform {

void* allocateLargeBlock(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes == 0 ? 1 : bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void releaseLargeBlock(void* block, std::size_t) {
    if (block != nullptr) VirtualFree(block, 0, MEM_RELEASE);
}

// Windows counts an image's clean pages in the working set and trims it under pressure itself.
void dropFilePages(const void*, std::size_t) {}

} // namespace platform
