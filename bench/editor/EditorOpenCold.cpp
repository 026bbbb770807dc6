// effEditOpen to the first composed frame in a fresh process (nothing unpacked or built
// before), and the memory an open editor holds: the heap, and the resident memory (which also
// counts the pixel blocks that come straight from the system). Prints milliseconds and bytes.
// An argument is the host's scale in percent (100, 150 or 200).
#include "EditorFigures.h"
#include "EditorSession.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

long long heapInUse() {
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>(info.uordblks + info.hblkhd); // small blocks + mapped ones
#else
    return -1;
#endif
}

} // namespace

int main(int argc, char** argv) {
    editorbench::Session s;
    if (argc > 1) s.scale(std::atoi(argv[1]));
    const long long before = heapInUse();
    const long long residentBefore = editorbench::residentBytes();
    const std::clock_t cpuStart = std::clock();
    const auto start = std::chrono::steady_clock::now();
    if (!s.open()) {
        std::fprintf(stderr, "the editor did not open\n");
        return 1;
    }
    const auto end = std::chrono::steady_clock::now();
    const std::clock_t cpuEnd = std::clock();
    const long long held = heapInUse() - before;
    const long long resident = editorbench::residentBytes() - residentBefore;
    // Processor time as well: on a loaded machine the wall time includes waiting for a core.
    std::printf("cold open to first frame: %.2f ms (processor time %.2f ms)\n",
                std::chrono::duration<double, std::milli>(end - start).count(),
                1000.0 * double(cpuEnd - cpuStart) / CLOCKS_PER_SEC);
    if (before >= 0) std::printf("heap held by the open editor: %lld bytes\n", held);
    if (residentBefore >= 0)
        std::printf("resident memory grown by the open editor: %lld bytes\n", resident);
    s.close();
    return 0;
}
