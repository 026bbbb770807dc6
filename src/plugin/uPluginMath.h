#pragma once
// Our own exp and log. The C libraries of Linux and Windows may disagree in the last bit of
// their exp and log, and one bit there can flip a float32 gain; these use IEEE double
// operations only (no library call, no fused multiply-add), so every build gives the same bits,
// within about one unit in the last place of the true result.

#include <bit>
#include <cstdint>
#include <limits>

namespace dmath {

namespace detail {

inline constexpr int kTableBits = 7;
inline constexpr int kTableSize = 1 << kTableBits;

struct ExpEntry {
    double hi, lo; // 2^(j/128) as a double-double
};
struct LogEntry {
    double c, invC, logCHi, logCLo; // c = 1 + (j + 0.5)/128, 1/c, and log(c) as a double-double
};

extern const double kLn2OverNHi, kLn2OverNLo, kNOverLn2, kLn2Hi, kLn2Lo;
extern const ExpEntry kExpTable[kTableSize];
extern const LogEntry kLogTable[kTableSize];

inline double powerOfTwo(int e) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(e + 1023) << 52);
}

// 2^e * v for v near 1, also when the result leaves the normal range.
inline double scale(double v, int e) {
    if (e >= -1022 && e <= 1023) return v * powerOfTwo(e);
    const int half = e / 2;
    return v * powerOfTwo(half) * powerOfTwo(e - half);
}

double logNearOne(double r);

} // namespace detail

/// e^x, deterministic on every build.
inline double exp(double x) {
    using namespace detail;
    if (!(x > -746.0)) return x != x ? x : 0.0;
    if (!(x < 709.7827128933840)) return std::numeric_limits<double>::infinity();
    // Round x*128/ln2 to an integer k by adding 1.5*2^52; k = 128*e + j.
    constexpr double shift = 0x1.8p52;
    const double kd = (x * kNOverLn2 + shift) - shift;
    const int k = static_cast<int>(kd);
    const double r = (x - kd * kLn2OverNHi) - kd * kLn2OverNLo; // |r| <= ln2/256
    const double p = r + r * r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120))));
    const ExpEntry& t = kExpTable[k & (kTableSize - 1)];
    return scale(t.hi + (t.hi * p + t.lo), k >> kTableBits);
}

namespace detail {

// log(2^e * m) for m in [1, 2) whose top bits index the table as j.
inline double logReduced(int e, int j, double m) {
    const LogEntry& t = kLogTable[j];
    const double r = (m - t.c) * t.invC; // m - c is exact; |r| <= 2^-8
    const double r2 = r * r;
    const double poly =
        r2 * (-0.5 + r * (1.0 / 3 + r * (-0.25 + r * (0.2 + r * (-1.0 / 6 + r * (1.0 / 7))))));
    // Sum e*ln2 + log(c) + r with the rounding errors of both additions kept (two-sum), so
    // the result is rounded essentially once. e*kLn2Hi is exact; |e*ln2 + log(c)| > |r|.
    const double a = e * kLn2Hi;
    const double b = t.logCHi;
    const double s1 = a + b;
    const double bv = s1 - a;
    const double err1 = (a - (s1 - bv)) + (b - bv);
    const double s2 = s1 + r;
    const double err2 = (s1 - s2) + r;
    const double lo = e * kLn2Lo + t.logCLo;
    return s2 + ((err1 + err2) + (poly + lo));
}

} // namespace detail

/// Natural logarithm, deterministic on every build; -inf for 0, NaN below 0.
inline double log(double x) {
    using namespace detail;
    if (!(x > 0.0))
        return x == 0.0 ? -std::numeric_limits<double>::infinity()
                        : std::numeric_limits<double>::quiet_NaN();
    if (x == std::numeric_limits<double>::infinity()) return x;
    if (x > 0.9921875 && x < 1.0078125) return logNearOne(x - 1.0);
    int e = 0;
    if (x < 0x1p-1022) {
        x *= 0x1p54; // subnormal: make it normal first
        e = -54;
    }
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(x);
    e += static_cast<int>(bits >> 52) - 1023;
    const int j = static_cast<int>(bits >> (52 - kTableBits)) & (kTableSize - 1);
    const double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    return logReduced(e, j, m);
}

/// log(f) for a float, the same bits as log(double(f)) with less work for the common case of
/// a positive normal number.
inline double logOfFloat(float f) {
    using namespace detail;
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(f);
    if (bits - 0x00800000u >= 0x7F000000u) return log(static_cast<double>(f));
    const double x = f;
    if (x > 0.9921875 && x < 1.0078125) return logNearOne(x - 1.0);
    const int e = static_cast<int>(bits >> 23) - 127;
    const int j = static_cast<int>(bits >> (23 - kTableBits)) & (kTableSize - 1);
    const double m = std::bit_cast<double>((static_cast<std::uint64_t>(bits & 0x007FFFFFu) << 29) |
                                           0x3FF0000000000000ull);
    return logReduced(e, j, m);
}

} // namespace dmath
