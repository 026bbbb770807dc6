#include "plugin/uPluginDspChunk.h"

#include "plugin/uPluginMathLanes.h"

#include <algorithm>
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
using dmath::lessSelect;
using dmath::pair;
using dmath::roundToFloat;
using dmath::select;

// Samples per group. The loop runs the three recursions side by side, one group apart: the
// band filters of group g, the envelope of group g - 1 and the overshoot smoother of group g - 2.
// Between the groups, passes over whole groups compute what depends on nothing carried from
// sample to sample (the equalised output and the level, the release law and the target, the
// gain), so that the recursions carry as little as possible.
constexpr int kGroup = 4;

// What the passes hand on, per sample; spare slots so that the two- and four-lane passes may
// run over the span's end.
constexpr int kSpare = 3;
struct Scratch {
    double lo[2 * kMaxSpan]; // left and right of each sample, as the band filters hold them
    double hi[2 * kMaxSpan];
    float level[kMaxSpan + kSpare];
    float envelope[kMaxSpan + kSpare];
    float releaseMs[kMaxSpan + kSpare];
    float releaseCoef[kMaxSpan + kSpare];
    double releaseCoefWide[kMaxSpan + kSpare];
    float target[kMaxSpan + kSpare];
    std::int32_t above[kMaxSpan + kSpare]; // all bits set above the threshold, else 0
    float overshoot[kMaxSpan + kSpare];
};

// The band filters of eqStep, left and right in the two lanes.
struct Bands {
    double2 lo, hi;
    double2 loSplit, hiSplit;

    Bands(const EqState& eq, const EqSettings& c)
        : lo(pair(eq.loL, eq.loR)), hi(pair(eq.hiL, eq.hiR)), loSplit(_mm_set1_pd(c.loSplitCoef)),
          hiSplit(_mm_set1_pd(c.hiSplitCoef)) {}

    WADLING_HOT_INLINE void step(const float* inL, const float* inR, Scratch& s, int i) {
        const double2 x = pair(inL[i], inR[i]);
        lo = roundToFloat(lo + (x - lo) * loSplit);
        hi = roundToFloat(hi + (x - hi) * hiSplit);
        _mm_storeu_pd(&s.lo[2 * i], lo);
        _mm_storeu_pd(&s.hi[2 * i], hi);
    }

    void store(EqState& eq) const {
        eq = {static_cast<float>(dmath::lane0(lo)), static_cast<float>(dmath::lane1(lo)),
              static_cast<float>(dmath::lane0(hi)), static_cast<float>(dmath::lane1(hi))};
    }

    // clearNonFinite at the end of a chunk.
    void settle() {
        EqState eq;
        store(eq);
        clearNonFinite(eq);
        lo = pair(eq.loL, eq.loR);
        hi = pair(eq.hiL, eq.hiR);
    }
};

// The equalised output and the linked level of eqStep and detectorStep for one sample. in and
// eqOut may be the same memory: each sample is read before it is written.
WADLING_HOT_INLINE void levelOne(const EqSettings& c, const float* inL, const float* inR,
                                 float* eqOutL, float* eqOutR, Scratch& s, int i) {
    const double2 x = pair(inL[i], inR[i]);
    const double2 lo = _mm_loadu_pd(&s.lo[2 * i]);
    const double2 hi = _mm_loadu_pd(&s.hi[2 * i]);
    const __m128 out =
        _mm_cvtpd_ps((x - hi) * _mm_set1_pd(c.hiGain) + (hi - lo) * _mm_set1_pd(c.midGain) +
                     _mm_set1_pd(c.loGain) * lo);
    eqOutL[i] = _mm_cvtss_f32(out);
    eqOutR[i] = _mm_cvtss_f32(_mm_shuffle_ps(out, out, 1));
    const double2 magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), _mm_cvtps_pd(out));
    s.level[i] =
        std::min(static_cast<float>((dmath::lane0(magnitude) + dmath::lane1(magnitude)) * 0.5),
                 std::numeric_limits<float>::max());
}

void levelPass(const EqSettings& c, const float* inL, const float* inR, float* eqOutL,
               float* eqOutR, Scratch& s, int from, int to) {
    for (int i = from; i < to; ++i)
        levelOne(c, inL, inR, eqOutL, eqOutR, s, i);
}

// The envelope of detectorStep.
struct Envelope {
    float value;
    double attack, release;

    WADLING_HOT_INLINE void step(Scratch& s, int i) {
        const float d = s.level[i];
        const double envDiff = static_cast<double>(value) - d;
        value = static_cast<float>(envDiff * lessSelect(value, d, attack, release) + d);
        s.envelope[i] = value;
    }

    // flushDetector at the end of a chunk.
    void settle() { value = flushed(value); }
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

    // flushDetector at the end of a chunk.
    void settle() { overshoot = flushed(overshoot); }
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

// Four doubles from base[at[i]]. (The masked form: GCC 12 warns falsely about the plain one.)
WADLING_AVX2 inline double4 gather(const double* base, __m128i at) {
    const double4 all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
    return _mm256_mask_i32gather_pd(_mm256_setzero_pd(), base, at, all, 8);
}

// dmath::exp on four lanes, operation for operation; the table is read by gathers and the power
// of two is built in the exponent bits.
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
    const __m128i k = _mm256_cvttpd_epi32(kd);
    const double4 r = (x - kd * kLn2OverNHi) - kd * kLn2OverNLo;
    const double4 p = r + r * r * (0.5 + r * (1.0 / 6 + r * (1.0 / 24 + r * (1.0 / 120))));
    // Two doubles per entry: entry j starts at double 2j.
    const __m128i at = _mm_slli_epi32(_mm_and_si128(k, _mm_set1_epi32(kTableSize - 1)), 1);
    const double4 hi = gather(&kExpTable[0].hi, at);
    const double4 lo = gather(&kExpTable[0].lo, at);
    // |x| < 700 keeps 2^(k >> kTableBits) normal: its bits are the biased exponent alone.
    const __m256i e = _mm256_cvtepi32_epi64(_mm_srai_epi32(k, kTableBits));
    const double4 power =
        _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_add_epi64(e, _mm256_set1_epi64x(1023)), 52));
    return (hi + (hi * p + lo)) * power;
}

// dmath::logOfFloat on four lanes, operation for operation; the table is read by gathers.
WADLING_AVX2 double4 logOfFloat4(__m128 f) {
    using namespace dmath::detail;
    const __m128i b = _mm_castps_si128(f);
    // usualForLog on every lane: positive and normal (bits - 2^23 below 0x7F000000 unsigned),
    // and not within the range that logNearOne takes.
    const __m128i flip = _mm_set1_epi32(static_cast<int>(0x80000000u));
    const __m128i normal =
        _mm_cmplt_epi32(_mm_xor_si128(_mm_sub_epi32(b, _mm_set1_epi32(0x00800000)), flip),
                        _mm_xor_si128(_mm_set1_epi32(0x7F000000), flip));
    const __m128 nearOne = _mm_and_ps(_mm_cmpgt_ps(f, _mm_set1_ps(0.9921875f)),
                                      _mm_cmplt_ps(f, _mm_set1_ps(1.0078125f)));
    if (_mm_movemask_ps(_mm_andnot_ps(nearOne, _mm_castsi128_ps(normal))) != 15) {
        alignas(16) float lanes[4];
        _mm_store_ps(lanes, f);
        return quad(dmath::logOfFloat(lanes[0]), dmath::logOfFloat(lanes[1]),
                    dmath::logOfFloat(lanes[2]), dmath::logOfFloat(lanes[3]));
    }
    // Four doubles per entry: entry j starts at double 4j.
    const __m128i at = _mm_slli_epi32(
        _mm_and_si128(_mm_srli_epi32(b, 23 - kTableBits), _mm_set1_epi32(kTableSize - 1)), 2);
    const double* table = &kLogTable[0].c;
    const double4 c = gather(table, at);
    const double4 invC = gather(table + 1, at);
    const double4 logCHi = gather(table + 2, at);
    const double4 logCLo = gather(table + 3, at);
    const double4 ex =
        _mm256_cvtepi32_pd(_mm_sub_epi32(_mm_srli_epi32(b, 23), _mm_set1_epi32(127)));
    const double4 mant = widen(_mm_castsi128_ps(
        _mm_or_si128(_mm_and_si128(b, _mm_set1_epi32(0x007FFFFF)), _mm_set1_epi32(0x3F800000))));
    const double4 r = (mant - c) * invC;
    const double4 r2 = r * r;
    const double4 poly =
        r2 * (-0.5 + r * (1.0 / 3 + r * (-0.25 + r * (0.2 + r * (-1.0 / 6 + r * (1.0 / 7))))));
    const double4 a = ex * kLn2Hi;
    const double4 s1 = a + logCHi;
    const double4 bv = s1 - a;
    const double4 err1 = (a - (s1 - bv)) + (logCHi - bv);
    const double4 s2 = s1 + r;
    const double4 err2 = (s1 - s2) + r;
    const double4 lo = ex * kLn2Lo + logCLo;
    return s2 + ((err1 + err2) + (poly + lo));
}

// levelPass, two samples (four lanes) at a time.
WADLING_AVX2 void levelPassWide(const EqSettings& c, const float* inL, const float* inR,
                                float* eqOutL, float* eqOutR, Scratch& s, int from, int to) {
    const double4 loGain = _mm256_set1_pd(c.loGain);
    const double4 midGain = _mm256_set1_pd(c.midGain);
    const double4 hiGain = _mm256_set1_pd(c.hiGain);
    int i = from;
    for (; i + 2 <= to; i += 2) {
        // Left and right of sample i, then of sample i + 1. A block may start at any float,
        // so the pairs are moved as unaligned 8-byte values.
        const __m128 left =
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(inL + i)));
        const __m128 right =
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(inR + i)));
        const double4 x = widen(_mm_unpacklo_ps(left, right));
        const double4 lo = _mm256_loadu_pd(&s.lo[2 * i]);
        const double4 hi = _mm256_loadu_pd(&s.hi[2 * i]);
        const __m128 out = _mm256_cvtpd_ps((x - hi) * hiGain + (hi - lo) * midGain + loGain * lo);
        const __m128 byChannel = _mm_shuffle_ps(out, out, _MM_SHUFFLE(3, 1, 2, 0));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(eqOutL + i), _mm_castps_si128(byChannel));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(eqOutR + i),
                         _mm_castps_si128(_mm_movehl_ps(byChannel, byChannel)));
        const double4 magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), widen(out));
        const __m128 level = _mm256_cvtpd_ps(_mm256_hadd_pd(magnitude, magnitude) * 0.5);
        // std::min's operand order, so that a NaN level stays NaN.
        const __m128 capped = _mm_min_ps(_mm_set1_ps(std::numeric_limits<float>::max()), level);
        s.level[i] = _mm_cvtss_f32(capped);
        s.level[i + 1] = _mm_cvtss_f32(_mm_movehl_ps(capped, capped));
    }
    for (; i < to; ++i)
        levelOne(c, inL, inR, eqOutL, eqOutR, s, i);
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
        const double4 target =
            roundToFloat4(logOfFloat4(_mm_add_ps(d, _mm_set1_ps(denormalOffset))) * twentyOverLn10 -
                          static_cast<double>(c.thresholdDb));
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

constexpr auto levelPassWide = levelPass;
constexpr auto targetPassWide = targetPass;
constexpr auto gainPassWide = gainPass;

#endif
} // namespace

void detectSpan(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                const DetectorSettings& detSettings, const float* inL, const float* inR,
                float* eqOutL, float* eqOutR, float* gains, int n) {
    if (n <= 0) return;
    if (n > kMaxSpan) n = kMaxSpan;
    Scratch s;
    float gainOut[kMaxSpan + kSpare];
    const bool wide = wideLanesInUse();
    const auto levelsOf = wide ? levelPassWide : levelPass;
    const auto targets = wide ? targetPassWide : targetPass;
    const auto gainsOf = wide ? gainPassWide : gainPass;
    Bands bands(eq, eqSettings);
    Envelope envelope{det.envelope, detSettings.envAttackCoef, detSettings.envReleaseCoef};
    Smoother smoother{det.overshootDb, detSettings.grAttackCoef};
    // The spare lanes see silence; their results are not used.
    for (int i = n; i < n + kSpare; ++i)
        s.level[i] = s.envelope[i] = s.overshoot[i] = 0.0f;
    const auto endsChunk = [n](int i) { return (i + 1) % kMaxChunk == 0 || i == n - 1; };

    const int groups = (n + kGroup - 1) / kGroup;
    for (int step = 0; step < groups + 2; ++step) {
        const int bandsFrom = step * kGroup;
        const int envelopeFrom = bandsFrom - kGroup;
        const int smootherFrom = envelopeFrom - kGroup;
        if (smootherFrom >= 0 && bandsFrom + kGroup <= n) {
            // All three groups whole: a chunk can end only after a group's last sample.
            for (int j = 0; j < kGroup; ++j) {
                bands.step(inL, inR, s, bandsFrom + j);
                envelope.step(s, envelopeFrom + j);
                smoother.step(s, smootherFrom + j);
            }
            if (endsChunk(bandsFrom + kGroup - 1)) bands.settle();
            if (endsChunk(envelopeFrom + kGroup - 1)) envelope.settle();
            if (endsChunk(smootherFrom + kGroup - 1)) smoother.settle();
        } else {
            for (int j = 0; j < kGroup; ++j) {
                const int b = bandsFrom + j, e = envelopeFrom + j, o = smootherFrom + j;
                if (b < n) {
                    bands.step(inL, inR, s, b);
                    if (endsChunk(b)) bands.settle();
                }
                if (e >= 0 && e < n) {
                    envelope.step(s, e);
                    if (endsChunk(e)) envelope.settle();
                }
                if (o >= 0 && o < n) {
                    smoother.step(s, o);
                    if (endsChunk(o)) smoother.settle();
                }
            }
        }
        if (bandsFrom < n)
            levelsOf(eqSettings, inL, inR, eqOutL, eqOutR, s, bandsFrom,
                     std::min(bandsFrom + kGroup, n));
        if (envelopeFrom >= 0 && envelopeFrom < n)
            targets(detSettings, s, envelopeFrom, std::min(envelopeFrom + kGroup, n));
        if (smootherFrom >= 0 && smootherFrom < n)
            gainsOf(detSettings, s, gainOut, smootherFrom, std::min(smootherFrom + kGroup, n));
    }

    bands.store(eq);
    det.envelope = envelope.value;
    det.overshootDb = smoother.overshoot;
    for (int i = 0; i < n; ++i)
        gains[i] = gainOut[i];
    det.grReleaseMs = s.releaseMs[n - 1];
    det.grReleaseCoef = s.releaseCoef[n - 1];
    det.gain = gains[n - 1];
}

#else

void detectSpan(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                const DetectorSettings& detSettings, const float* inL, const float* inR,
                float* eqOutL, float* eqOutR, float* gains, int n) {
    detectSpanReference(eq, eqSettings, det, detSettings, inL, inR, eqOutL, eqOutR, gains,
                        n < kMaxSpan ? n : kMaxSpan);
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
