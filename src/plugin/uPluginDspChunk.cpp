#include "plugin/uPluginDspChunk.h"

#include "plugin/uPluginMathLanes.h"

#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>

#if WADLING_MATH_LANES && defined(__x86_64__)
// Four lanes where the processor has AVX2 (checked at run time); the 32-bit builds keep SSE2.
#define WADLING_WIDE_LANES 1
#include <immintrin.h>
#define WADLING_AVX2 __attribute__((target("avx2")))
#else
#define WADLING_WIDE_LANES 0
#endif

namespace dsp {

namespace {

// The output stage of one sample: softClip and the mix.
inline float mixOne(float in, float wet, double dry, double wetGain) {
    return static_cast<float>(in * dry + softClip(wet) * wetGain);
}

} // namespace

#if WADLING_MATH_LANES

namespace {

using dmath::double2;
using dmath::pair;
using dmath::roundToFloat;
using dmath::select;

// Samples per group. The passes of one group depend on each other, but the band filters of
// the next group do not depend on this group's overshoot smoother: one loop runs both, so that
// the processor carries the two recursions side by side.
constexpr int kGroup = 8;

// What the passes hand on, per sample; spare slots so that the two- and four-lane passes may
// run over the chunk's end.
constexpr int kSpare = 3;
struct Scratch {
    float level[kMaxChunk + kSpare];
    float envelope[kMaxChunk + kSpare];
    float releaseMs[kMaxChunk + kSpare];
    float releaseCoef[kMaxChunk + kSpare];
    double releaseCoefWide[kMaxChunk + kSpare];
    float target[kMaxChunk + kSpare];
    std::int32_t above[kMaxChunk + kSpare]; // all bits set above the threshold, else 0
    float overshoot[kMaxChunk + kSpare];
};

// x < y ? ifLess : otherwise for floats, without a branch that the signal decides; the
// comparison of the floats, the choice between doubles.
inline double lessSelect(float x, float y, double ifLess, double otherwise) {
    const __m128 less = _mm_cmplt_ss(_mm_set_ss(x), _mm_set_ss(y));
    const double2 wide = _mm_castps_pd(_mm_unpacklo_ps(less, less));
    return dmath::lane0(select(wide, _mm_set_sd(ifLess), _mm_set_sd(otherwise)));
}

// The band filters (left and right in the two lanes), the linked level and the envelope:
// eqStep, then detectorStep as far as the envelope.
struct Filter {
    double2 lo, hi;
    float envelope;
    double2 loSplit, hiSplit, loGain, midGain, hiGain;
    double attack, release;

    Filter(const EqState& eq, const EqSettings& c, const DetectorSettings& dc, float env)
        : lo(pair(eq.loL, eq.loR)), hi(pair(eq.hiL, eq.hiR)), envelope(env),
          loSplit(_mm_set1_pd(c.loSplitCoef)), hiSplit(_mm_set1_pd(c.hiSplitCoef)),
          loGain(_mm_set1_pd(c.loGain)), midGain(_mm_set1_pd(c.midGain)),
          hiGain(_mm_set1_pd(c.hiGain)), attack(dc.envAttackCoef), release(dc.envReleaseCoef) {}

    WADLING_HOT_INLINE void step(const float* inL, const float* inR, float* eqOutL, float* eqOutR,
                                 Scratch& s, int i) {
        const double2 x = pair(inL[i], inR[i]);
        lo = roundToFloat(lo + (x - lo) * loSplit);
        hi = roundToFloat(hi + (x - hi) * hiSplit);
        const __m128 out = _mm_cvtpd_ps((x - hi) * hiGain + (hi - lo) * midGain + loGain * lo);
        eqOutL[i] = _mm_cvtss_f32(out);
        eqOutR[i] = _mm_cvtss_f32(_mm_shuffle_ps(out, out, 1));
        const double2 magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), _mm_cvtps_pd(out));
        const float d =
            std::min(static_cast<float>((dmath::lane0(magnitude) + dmath::lane1(magnitude)) * 0.5),
                     std::numeric_limits<float>::max());
        s.level[i] = d;
        const double envDiff = static_cast<double>(envelope) - d;
        envelope = static_cast<float>(envDiff * lessSelect(envelope, d, attack, release) + d);
        s.envelope[i] = envelope;
    }

    void store(EqState& eq) const {
        eq = {static_cast<float>(dmath::lane0(lo)), static_cast<float>(dmath::lane1(lo)),
              static_cast<float>(dmath::lane0(hi)), static_cast<float>(dmath::lane1(hi))};
    }
};

// The overshoot smoother of detectorStep.
struct Smoother {
    float overshoot;
    double attack;

    WADLING_HOT_INLINE void step(Scratch& s, int i) {
        const float t = s.target[i];
        // Adding and taking away the offset change nothing once the overshoot is 2^-58 or more
        // (the offset is below half its last place); skipping them there shortens the chain.
        float ov = overshoot;
        if (!(std::fabs(ov) >= 0x1p-58f)) [[unlikely]]
            ov += denormalOffset;
        const double ovDiff = static_cast<double>(ov) - t;
        ov = static_cast<float>(ovDiff * lessSelect(ov, t, attack, s.releaseCoefWide[i]) + t);
        if (!(std::fabs(ov) >= 0x1p-58f)) [[unlikely]]
            ov -= denormalOffset;
        overshoot = ov;
        s.overshoot[i] = ov;
    }
};

// Two samples of the output stage at once: the steps of softClip's formula and the mix, in the
// same order and with the same float32 roundings (the division, the costliest step, runs for
// both lanes at once). A pair with a sample at or beyond softClipTailFrom (or NaN) goes through
// softClip, whose asymptote the formula would miss there or overflow.
inline void mixTwo(const float* in, const float* wet, float* out, double dry, double wetGain) {
    const double2 w = pair(wet[0], wet[1]);
    const double2 magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), w);
    if (_mm_movemask_pd(_mm_cmplt_pd(magnitude, _mm_set1_pd(softClipTailFrom))) != 3) [[unlikely]] {
        out[0] = mixOne(in[0], wet[0], dry, wetGain);
        out[1] = mixOne(in[1], wet[1], dry, wetGain);
        return;
    }
    const double2 x = pair(in[0], in[1]);
    const double2 q = roundToFloat(w * w);
    const double2 num = roundToFloat(12.0 * q + 144.0);
    const double2 u = roundToFloat((q + 60.0) * softClipWeight);
    const double2 sat = roundToFloat(num / (u * q + 144.0));
    const double2 clipped = roundToFloat(w * sat);
    const double2 o = x * dry + clipped * wetGain;
    // Two float stores: a block may start at any float, so out need not be 8-byte aligned.
    const __m128 rounded = _mm_cvtpd_ps(o);
    out[0] = _mm_cvtss_f32(rounded);
    out[1] = _mm_cvtss_f32(_mm_shuffle_ps(rounded, rounded, 1));
}

// Two at a time: the release law and the target in dB of detectorStep.
void targetPass(const DetectorSettings& c, Scratch& s, int from, int to) {
    for (int i = from; i < to; i += 2) {
        const double2 releaseMs =
            roundToFloat(950.0 * pair(s.envelope[i], s.envelope[i + 1]) + 50.0);
        const __m128 ms = _mm_cvtpd_ps(releaseMs);
        const double2 samples = _mm_cvtps_pd(_mm_mul_ps(ms, _mm_set1_ps(c.samplesPerMs)));
        const double2 coef = roundToFloat(1.0 - 1.0 / samples);
        s.releaseMs[i] = dmath::lane0(releaseMs);
        s.releaseMs[i + 1] = dmath::lane1(releaseMs);
        s.releaseCoef[i] = dmath::lane0(coef);
        s.releaseCoef[i + 1] = dmath::lane1(coef);
        _mm_storeu_pd(&s.releaseCoefWide[i], coef);
        const float d0 = s.level[i];
        const float d1 = s.level[i + 1];
        s.above[i] = d0 - c.thresholdLin > 0.0f ? -1 : 0;
        s.above[i + 1] = d1 - c.thresholdLin > 0.0f ? -1 : 0;
        if (!s.above[i] && !s.above[i + 1]) {
            s.target[i] = s.target[i + 1] = 0.0f;
            continue;
        }
        const double2 target = roundToFloat(
            dmath::logOfFloat(d0 + denormalOffset, d1 + denormalOffset) * twentyOverLn10 -
            static_cast<double>(c.thresholdDb));
        s.target[i] = s.above[i] ? static_cast<float>(dmath::lane0(target)) : 0.0f;
        s.target[i + 1] = s.above[i + 1] ? static_cast<float>(dmath::lane1(target)) : 0.0f;
    }
}

// Two at a time: the gain of detectorStep. gains has room for the spare lanes.
void gainPass(const DetectorSettings& c, const Scratch& s, float* gains, int from, int to) {
    for (int i = from; i < to; i += 2) {
        const bool reduce0 = s.above[i] || s.overshoot[i] > overshootFloorDb;
        const bool reduce1 = s.above[i + 1] || s.overshoot[i + 1] > overshootFloorDb;
        if (!reduce0 && !reduce1) {
            gains[i] = gains[i + 1] = c.makeupLin;
            continue;
        }
        const double2 db = pair(s.overshoot[i], s.overshoot[i + 1]) * c.slope + c.makeupDb;
        const double2 gain = dmath::exp(db * ln10Over20);
        gains[i] = reduce0 ? static_cast<float>(dmath::lane0(gain)) : c.makeupLin;
        gains[i + 1] = reduce1 ? static_cast<float>(dmath::lane1(gain)) : c.makeupLin;
    }
}

#if WADLING_WIDE_LANES

using double4 = __m256d;

WADLING_AVX2 inline double4 quad(double a, double b, double c, double d) {
    return _mm256_set_pd(d, c, b, a);
}
WADLING_AVX2 inline double4 widen(__m128 v) {
    return _mm256_cvtps_pd(v);
}
WADLING_AVX2 inline double4 roundToFloat4(double4 v) {
    return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}
WADLING_AVX2 inline __m128 select4(__m128 mask, __m128 a, __m128 b) {
    return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
}

// dmath::exp on four lanes, operation for operation.
WADLING_AVX2 double4 exp4(double4 x) {
    using namespace dmath::detail;
    alignas(32) double lanes[4];
    const double4 inRange = _mm256_and_pd(_mm256_cmp_pd(x, _mm256_set1_pd(-700.0), _CMP_GT_OQ),
                                          _mm256_cmp_pd(x, _mm256_set1_pd(700.0), _CMP_LT_OQ));
    if (_mm256_movemask_pd(inRange) != 15) {
        _mm256_store_pd(lanes, x);
        return quad(dmath::exp(lanes[0]), dmath::exp(lanes[1]), dmath::exp(lanes[2]),
                    dmath::exp(lanes[3]));
    }
    constexpr double shift = 0x1.8p52;
    const double4 kd = (x * kNOverLn2 + shift) - shift;
    alignas(16) int k[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(k), _mm256_cvttpd_epi32(kd));
    const double4 r = (x - kd * kLn2OverNHi) - kd * kLn2OverNLo;
    const double4 p = r + r * r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120))));
    const auto& t = kExpTable;
    constexpr int m = kTableSize - 1;
    const double4 hi = quad(t[k[0] & m].hi, t[k[1] & m].hi, t[k[2] & m].hi, t[k[3] & m].hi);
    const double4 lo = quad(t[k[0] & m].lo, t[k[1] & m].lo, t[k[2] & m].lo, t[k[3] & m].lo);
    return (hi + (hi * p + lo)) *
           quad(powerOfTwo(k[0] >> kTableBits), powerOfTwo(k[1] >> kTableBits),
                powerOfTwo(k[2] >> kTableBits), powerOfTwo(k[3] >> kTableBits));
}

// dmath::logOfFloat on four lanes, operation for operation.
WADLING_AVX2 double4 logOfFloat4(const float* f) {
    using namespace dmath::detail;
    if (!usualForLog(f[0]) || !usualForLog(f[1]) || !usualForLog(f[2]) || !usualForLog(f[3]))
        return quad(dmath::logOfFloat(f[0]), dmath::logOfFloat(f[1]), dmath::logOfFloat(f[2]),
                    dmath::logOfFloat(f[3]));
    std::uint32_t b[4];
    const LogEntry* t[4];
    for (int i = 0; i < 4; ++i) {
        b[i] = std::bit_cast<std::uint32_t>(f[i]);
        t[i] = &kLogTable[(b[i] >> (23 - kTableBits)) & (kTableSize - 1)];
    }
    const auto e = [&b](int i) { return static_cast<int>(b[i] >> 23) - 127; };
    const double4 ex = quad(e(0), e(1), e(2), e(3));
    const double4 mant =
        quad(mantissaOf(b[0]), mantissaOf(b[1]), mantissaOf(b[2]), mantissaOf(b[3]));
    const double4 r = (mant - quad(t[0]->c, t[1]->c, t[2]->c, t[3]->c)) *
                      quad(t[0]->invC, t[1]->invC, t[2]->invC, t[3]->invC);
    const double4 r2 = r * r;
    const double4 poly =
        r2 * (-0.5 + r * (1.0 / 3 + r * (-0.25 + r * (0.2 + r * (-1.0 / 6 + r * (1.0 / 7))))));
    const double4 a = ex * kLn2Hi;
    const double4 bb = quad(t[0]->logCHi, t[1]->logCHi, t[2]->logCHi, t[3]->logCHi);
    const double4 s1 = a + bb;
    const double4 bv = s1 - a;
    const double4 err1 = (a - (s1 - bv)) + (bb - bv);
    const double4 s2 = s1 + r;
    const double4 err2 = (s1 - s2) + r;
    const double4 lo = ex * kLn2Lo + quad(t[0]->logCLo, t[1]->logCLo, t[2]->logCLo, t[3]->logCLo);
    return s2 + ((err1 + err2) + (poly + lo));
}

// targetPass, four at a time.
WADLING_AVX2 void targetPassWide(const DetectorSettings& c, Scratch& s, int from, int to) {
    for (int i = from; i < to; i += 4) {
        const double4 releaseMs = roundToFloat4(950.0 * widen(_mm_loadu_ps(&s.envelope[i])) + 50.0);
        const __m128 ms = _mm256_cvtpd_ps(releaseMs);
        const double4 samples = widen(_mm_mul_ps(ms, _mm_set1_ps(c.samplesPerMs)));
        const double4 coef = roundToFloat4(1.0 - 1.0 / samples);
        _mm_storeu_ps(&s.releaseMs[i], ms);
        _mm_storeu_ps(&s.releaseCoef[i], _mm256_cvtpd_ps(coef));
        _mm256_storeu_pd(&s.releaseCoefWide[i], coef);
        const __m128 d = _mm_loadu_ps(&s.level[i]);
        const __m128 above =
            _mm_cmpgt_ps(_mm_sub_ps(d, _mm_set1_ps(c.thresholdLin)), _mm_setzero_ps());
        _mm_storeu_ps(reinterpret_cast<float*>(&s.above[i]), above);
        if (_mm_movemask_ps(above) == 0) {
            _mm_storeu_ps(&s.target[i], _mm_setzero_ps());
            continue;
        }
        alignas(16) float x[4];
        _mm_store_ps(x, _mm_add_ps(d, _mm_set1_ps(denormalOffset)));
        const double4 target =
            roundToFloat4(logOfFloat4(x) * twentyOverLn10 - static_cast<double>(c.thresholdDb));
        _mm_storeu_ps(&s.target[i], _mm_and_ps(above, _mm256_cvtpd_ps(target)));
    }
}

// gainPass, four at a time.
WADLING_AVX2 void gainPassWide(const DetectorSettings& c, const Scratch& s, float* gains, int from,
                               int to) {
    const __m128 makeup = _mm_set1_ps(c.makeupLin);
    for (int i = from; i < to; i += 4) {
        const __m128 ov = _mm_loadu_ps(&s.overshoot[i]);
        const __m128 reduce = _mm_or_ps(_mm_loadu_ps(reinterpret_cast<const float*>(&s.above[i])),
                                        _mm_cmpgt_ps(ov, _mm_set1_ps(overshootFloorDb)));
        if (_mm_movemask_ps(reduce) == 0) {
            _mm_storeu_ps(&gains[i], makeup);
            continue;
        }
        const double4 db = widen(ov) * static_cast<double>(c.slope) + c.makeupDb;
        const __m128 gain = _mm256_cvtpd_ps(exp4(db * ln10Over20));
        _mm_storeu_ps(&gains[i], select4(reduce, gain, makeup));
    }
}

// mixTwo, four at a time.
WADLING_AVX2 void mixWide(const float* in, const float* wet, float* out, int n, double dry,
                          double wetGain) {
    for (int i = 0; i + 4 <= n; i += 4) {
        const __m128 w32 = _mm_loadu_ps(wet + i);
        const __m128 magnitude = _mm_andnot_ps(_mm_set1_ps(-0.0f), w32);
        if (_mm_movemask_ps(_mm_cmplt_ps(magnitude, _mm_set1_ps(softClipTailFrom))) != 15)
            [[unlikely]] {
            for (int k = i; k < i + 4; ++k)
                out[k] = mixOne(in[k], wet[k], dry, wetGain);
            continue;
        }
        const double4 w = widen(w32);
        const double4 x = widen(_mm_loadu_ps(in + i));
        const double4 q = roundToFloat4(w * w);
        const double4 num = roundToFloat4(12.0 * q + 144.0);
        const double4 u = roundToFloat4((q + 60.0) * softClipWeight);
        const double4 sat = roundToFloat4(num / (u * q + 144.0));
        const double4 clipped = roundToFloat4(w * sat);
        _mm_storeu_ps(out + i, _mm256_cvtpd_ps(x * dry + clipped * wetGain));
    }
}

#else

constexpr auto targetPassWide = targetPass;
constexpr auto gainPassWide = gainPass;

#endif
} // namespace

void detectChunk(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                 const DetectorSettings& detSettings, const float* inL, const float* inR,
                 float* eqOutL, float* eqOutR, float* gains, int n) {
    if (n <= 0) return;
    if (n > kMaxChunk) n = kMaxChunk;
    Scratch s;
    float gainOut[kMaxChunk + kSpare];
    const bool wide = wideLanesInUse();
    const auto targets = wide ? targetPassWide : targetPass;
    const auto gainsOf = wide ? gainPassWide : gainPass;
    Filter filter(eq, eqSettings, detSettings, det.envelope);
    Smoother smoother{det.overshootDb, detSettings.grAttackCoef};
    const auto groupEnd = [n](int from) { return from + kGroup < n ? from + kGroup : n; };
    // The spare lanes see silence; their results are not used.
    for (int i = n; i < n + kSpare; ++i)
        s.level[i] = s.envelope[i] = s.overshoot[i] = 0.0f;

    for (int i = 0; i < groupEnd(0); ++i)
        filter.step(inL, inR, eqOutL, eqOutR, s, i);
    targets(detSettings, s, 0, groupEnd(0));
    for (int from = 0; from < n; from += kGroup) {
        // This group's smoother beside the next group's filters.
        const int next = from + kGroup;
        const int end = groupEnd(from);
        int i = from;
        for (; i < end && next + (i - from) < n; ++i) {
            filter.step(inL, inR, eqOutL, eqOutR, s, next + (i - from));
            smoother.step(s, i);
        }
        for (; i < end; ++i)
            smoother.step(s, i);
        if (next < n) targets(detSettings, s, next, groupEnd(next));
        gainsOf(detSettings, s, gainOut, from, end);
    }

    filter.store(eq);
    det.envelope = filter.envelope;
    det.overshootDb = smoother.overshoot;
    for (int i = 0; i < n; ++i)
        gains[i] = gainOut[i];
    det.grReleaseMs = s.releaseMs[n - 1];
    det.grReleaseCoef = s.releaseCoef[n - 1];
    det.gain = gains[n - 1];
}

#else

void detectChunk(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                 const DetectorSettings& detSettings, const float* inL, const float* inR,
                 float* eqOutL, float* eqOutR, float* gains, int n) {
    detectChunkReference(eq, eqSettings, det, detSettings, inL, inR, eqOutL, eqOutR, gains,
                         n < kMaxChunk ? n : kMaxChunk);
}

#endif

bool silentAtRest(const EqState& eq, const DetectorState& det, const float* inL, const float* inR,
                  int n) {
    const auto bits = [](float v) { return std::bit_cast<std::uint32_t>(v); };
    if ((bits(eq.loL) | bits(eq.loR) | bits(eq.hiL) | bits(eq.hiR) | bits(det.envelope) |
         bits(det.overshootDb)) != 0)
        return false;
    std::uint32_t magnitudes = 0;
    for (int i = 0; i < n; ++i)
        magnitudes |= bits(inL[i]) | bits(inR[i]);
    return (magnitudes & 0x7FFFFFFFu) == 0;
}

void settleSilentChunk(DetectorState& det, const DetectorSettings& detSettings, float* eqOutL,
                       float* eqOutR, float* gains, int n) {
    // With the filters at +0, a signed zero in gives +0 out (-0 + +0 is +0) and +0 state; the
    // envelope stays +0, so the release law is its floor of 50 ms; the overshoot smoother only
    // moves by the denormal offset, which the flush takes away again.
    for (int i = 0; i < n; ++i) {
        eqOutL[i] = eqOutR[i] = 0.0f;
        gains[i] = detSettings.makeupLin;
    }
    det.grReleaseMs = 50.0f; // 950 ms x the envelope + 50 ms
    det.grReleaseCoef = timeCoef(det.grReleaseMs, detSettings.samplesPerMs);
    det.gain = detSettings.makeupLin;
}

namespace {

std::atomic<bool>& wideLanesSwitch() {
    static std::atomic<bool> on{wideLanesAvailable()};
    return on;
}

} // namespace

bool wideLanesAvailable() {
#if WADLING_WIDE_LANES
    static const bool available = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return available;
#else
    return false;
#endif
}

void setWideLanes(bool on) {
    wideLanesSwitch().store(on && wideLanesAvailable(), std::memory_order_relaxed);
}

bool wideLanesInUse() {
    return wideLanesSwitch().load(std::memory_order_relaxed);
}

void mixOutput(const float* in, const float* wet, float* out, int n, float dryGain, float wetGain) {
    const double dry = dryGain;
    const double wetMix = wetGain;
    int i = 0;
#if WADLING_WIDE_LANES
    if (wideLanesInUse()) {
        mixWide(in, wet, out, n, dry, wetMix);
        i = n - n % 4;
    }
#endif
#if WADLING_MATH_LANES
    for (; i + 2 <= n; i += 2)
        mixTwo(in + i, wet + i, out + i, dry, wetMix);
#endif
    for (; i < n; ++i)
        out[i] = mixOne(in[i], wet[i], dry, wetMix);
}

} // namespace dsp
