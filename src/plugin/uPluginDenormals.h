#pragma once
// Flush-to-zero and denormals-are-zero for the length of one processing call. The band filters
// decay into the denormal range within a fraction of a second of silence, and x86 processors
// take a hundred times longer per operation on denormals. The caller's mode comes back on exit.

#if defined(__SSE__) || defined(__x86_64__) || defined(_M_X64)
#include <xmmintrin.h>

class DenormalGuard {
public:
    DenormalGuard() : saved(_mm_getcsr()) { _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero); }
    ~DenormalGuard() { _mm_setcsr(saved); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;

private:
    unsigned saved;
};
#else
class DenormalGuard {};
#endif
