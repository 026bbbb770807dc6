#pragma once
// Our exp and log on two lanes of doubles at once (SSE2). Each lane performs the IEEE double
// operations of dmath::exp and dmath::logOfFloat in the same order, so it gives exactly their
// bits; a pair with a lane outside the common range (zero, negative, subnormal, non-finite,
// near 1 for the logarithm, beyond +-700 for the exponential) goes through the scalar function.

#include "plugin/uPluginMath.h"

#if defined(__SSE2__) || defined(_M_X64)
#define WADLING_MATH_LANES 1
#include <emmintrin.h>

#include <bit>
#include <cstdint>

namespace dmath {

/// Two doubles; + - * / and mixing with a scalar work lane by lane as on plain doubles.
using double2 = __m128d;

inline double2 pair(double lane0, double lane1) {
    return _mm_set_pd(lane1, lane0);
}
inline double lane0(double2 v) {
    return _mm_cvtsd_f64(v);
}
inline double lane1(double2 v) {
    return _mm_cvtsd_f64(_mm_unpackhi_pd(v, v));
}
/// Each lane rounded to float32 and widened again: a float32 store in the scalar code.
inline double2 roundToFloat(double2 v) {
    return _mm_cvtps_pd(_mm_cvtpd_ps(v));
}
/// mask ? a : b, lane by lane, for a mask from a comparison.
inline double2 select(double2 mask, double2 a, double2 b) {
    return _mm_or_pd(_mm_and_pd(mask, a), _mm_andnot_pd(mask, b));
}

/// x < y ? ifLess : otherwise for floats, without a branch that the signal decides (a
/// mispredicted one costs more than the recursion it sits in): the comparison of the floats,
/// the choice between doubles.
inline double lessSelect(float x, float y, double ifLess, double otherwise) {
    const __m128 less = _mm_cmplt_ss(_mm_set_ss(x), _mm_set_ss(y));
    const double2 wide = _mm_castps_pd(_mm_unpacklo_ps(less, less));
    return lane0(select(wide, _mm_set_sd(ifLess), _mm_set_sd(otherwise)));
}

/// exp of each lane, the bits of dmath::exp.
inline double2 exp(double2 x) {
    using namespace detail;
    const double2 inRange =
        _mm_and_pd(_mm_cmpgt_pd(x, _mm_set1_pd(-700.0)), _mm_cmplt_pd(x, _mm_set1_pd(700.0)));
    if (_mm_movemask_pd(inRange) != 3) return pair(exp(lane0(x)), exp(lane1(x)));
    constexpr double shift = 0x1.8p52;
    const double2 kd = (x * kNOverLn2 + shift) - shift;
    const __m128i k = _mm_cvttpd_epi32(kd);
    const int k0 = _mm_cvtsi128_si32(k);
    const int k1 = _mm_cvtsi128_si32(_mm_shuffle_epi32(k, 1));
    const double2 r = (x - kd * kLn2OverNHi) - kd * kLn2OverNLo;
    const double2 p = r + r * r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120))));
    const ExpEntry& t0 = kExpTable[k0 & (kTableSize - 1)];
    const ExpEntry& t1 = kExpTable[k1 & (kTableSize - 1)];
    const double2 hi = pair(t0.hi, t1.hi);
    const double2 lo = pair(t0.lo, t1.lo);
    // |x| < 700 keeps the power of two normal: scale() is a single product there.
    return (hi + (hi * p + lo)) * pair(powerOfTwo(k0 >> kTableBits), powerOfTwo(k1 >> kTableBits));
}

namespace detail {

inline bool usualForLog(float f) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
    return bits - 0x00800000u < 0x7F000000u && !(f > 0.9921875f && f < 1.0078125f);
}

// The mantissa of f as a number in [1, 2).
inline double mantissaOf(std::uint32_t bits) {
    return std::bit_cast<float>((bits & 0x007FFFFFu) | 0x3F800000u);
}

} // namespace detail

/// log(f0) and log(f1), the bits of dmath::logOfFloat.
inline double2 logOfFloat(float f0, float f1) {
    using namespace detail;
    if (!usualForLog(f0) || !usualForLog(f1)) return pair(logOfFloat(f0), logOfFloat(f1));
    const std::uint32_t b0 = std::bit_cast<std::uint32_t>(f0);
    const std::uint32_t b1 = std::bit_cast<std::uint32_t>(f1);
    const LogEntry& t0 = kLogTable[(b0 >> (23 - kTableBits)) & (kTableSize - 1)];
    const LogEntry& t1 = kLogTable[(b1 >> (23 - kTableBits)) & (kTableSize - 1)];
    const double2 e = pair(static_cast<int>(b0 >> 23) - 127, static_cast<int>(b1 >> 23) - 127);
    const double2 m = pair(mantissaOf(b0), mantissaOf(b1));
    // From here on the operations of logReduced.
    const double2 r = (m - pair(t0.c, t1.c)) * pair(t0.invC, t1.invC);
    const double2 r2 = r * r;
    const double2 poly =
        r2 * (-0.5 + r * (1.0 / 3 + r * (-0.25 + r * (0.2 + r * (-1.0 / 6 + r * (1.0 / 7))))));
    const double2 a = e * kLn2Hi;
    const double2 b = pair(t0.logCHi, t1.logCHi);
    const double2 s1 = a + b;
    const double2 bv = s1 - a;
    const double2 err1 = (a - (s1 - bv)) + (b - bv);
    const double2 s2 = s1 + r;
    const double2 err2 = (s1 - s2) + r;
    const double2 lo = e * kLn2Lo + pair(t0.logCLo, t1.logCLo);
    return s2 + ((err1 + err2) + (poly + lo));
}

} // namespace dmath

#else
#define WADLING_MATH_LANES 0
#endif
