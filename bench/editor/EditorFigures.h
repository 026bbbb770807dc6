#pragma once
// What the editor's open benchmarks print: processor and wall time of a step, and the resident
// memory of the process.

#include <chrono>
#include <cstdio>
#include <ctime>
#if __has_include(<unistd.h>)
#include <unistd.h>
#endif

namespace editorbench {

/// Resident memory of this process in bytes, from /proc/self/statm; -1 where there is none.
inline long long residentBytes() {
#if __has_include(<unistd.h>)
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return -1;
    long long size = 0, resident = 0;
    const int read = std::fscanf(file, "%lld %lld", &size, &resident);
    std::fclose(file);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
#else
    return -1;
#endif
}

inline double megabytes(long long bytes) {
    return double(bytes) / (1024.0 * 1024.0);
}

/// Processor time (every thread of the process) and wall time since construction. Both: on a
/// shared machine the wall time includes waiting for a core.
class Stopwatch {
public:
    double processorMs() const { return 1000.0 * double(std::clock() - cpu_) / CLOCKS_PER_SEC; }
    double wallMs() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_)
            .count();
    }

private:
    std::clock_t cpu_ = std::clock();
    std::chrono::steady_clock::time_point wall_ = std::chrono::steady_clock::now();
};

/// One line: what was done, its times, and the resident memory now and since `base`.
inline void report(const char* what, const Stopwatch* watch, long long base) {
    const long long now = residentBytes();
    if (watch != nullptr)
        std::printf("%-34s processor %6.2f ms, wall %7.2f ms, ", what, watch->processorMs(),
                    watch->wallMs());
    else
        std::printf("%-34s %41s", what, "");
    if (now >= 0)
        std::printf("resident %7.1f MB (%+.1f MB)\n", megabytes(now), megabytes(now - base));
    else
        std::printf("resident unknown\n");
    std::fflush(stdout);
}

} // namespace editorbench
