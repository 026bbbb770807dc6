// effEditOpen to the first composed frame in a fresh process (nothing unpacked or built
// before), and the heap an open editor holds. Prints milliseconds and bytes.
#include "EditorSession.h"

#include <chrono>
#include <cstdio>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

long long heapInUse() {
#if defined(__GLIBC__)
    return static_cast<long long>(mallinfo2().uordblks);
#else
    return -1;
#endif
}

} // namespace

int main() {
    editorbench::Session s;
    const long long before = heapInUse();
    const auto start = std::chrono::steady_clock::now();
    if (!s.open()) {
        std::fprintf(stderr, "the editor did not open\n");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now();
    const long long held = heapInUse() - before;
    std::printf("cold open to first frame: %.2f ms\n",
                std::chrono::duration<double, std::milli>(end - start).count());
    if (before >= 0) std::printf("heap held by the open editor: %lld bytes\n", held);
    s.close();
    return 0;
}
