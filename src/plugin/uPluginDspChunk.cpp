#include "plugin/uPluginDspChunk.h"

#include "plugin/uPluginMathLanes.h"

#include <limits>

namespace dsp {

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

// What the passes hand on, per sample; one spare slot so that the two-lane passes may run
// over an odd chunk's end.
struct Scratch {
    float level[kMaxChunk + 1];
    float envelope[kMaxChunk + 1];
    float releaseMs[kMaxChunk + 1];
    float releaseCoef[kMaxChunk + 1];
    double releaseCoefWide[kMaxChunk + 1];
    float target[kMaxChunk + 1];
    bool above[kMaxChunk + 1];
    float overshoot[kMaxChunk + 1];
};

// x < y ? ifLess : otherwise for floats, without a branch that the signal decides; the
// comparison of the floats, the choice between doubles.
inline double lessSelect(float x, float y, double ifLess, double otherwise) {
    const __m128 less = _mm_cmplt_ss(_mm_set_ss(x), _mm_set_ss(y));
    const double2 wide = _mm_castps_pd(_mm_unpacklo_ps(less, less));
    return dmath::lane0(select(wide, _mm_set_sd(ifLess), _mm_set_sd(otherwise)));
}

// The band filters (left and right in the two lanes), the linked level and the envelope:
// eqStep and the first two steps of detectorStep.
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

// The overshoot smoother: step 5 of detectorStep.
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

// Two at a time: the release law and the target in dB (steps 3 and 4 of detectorStep).
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
        s.above[i] = d0 - c.thresholdLin > 0.0f;
        s.above[i + 1] = d1 - c.thresholdLin > 0.0f;
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

// Two at a time: the gain (step 6 of detectorStep). gains has room for the spare lane.
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

} // namespace

void detectChunk(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                 const DetectorSettings& detSettings, const float* inL, const float* inR,
                 float* eqOutL, float* eqOutR, float* gains, int n) {
    if (n <= 0) return;
    if (n > kMaxChunk) n = kMaxChunk;
    Scratch s;
    float gainOut[kMaxChunk + 1];
    Filter filter(eq, eqSettings, detSettings, det.envelope);
    Smoother smoother{det.overshootDb, detSettings.grAttackCoef};
    const auto groupEnd = [n](int from) { return from + kGroup < n ? from + kGroup : n; };
    // The spare lane of an odd chunk sees silence; its results are not used.
    s.level[n] = s.envelope[n] = s.overshoot[n] = 0.0f;

    for (int i = 0; i < groupEnd(0); ++i)
        filter.step(inL, inR, eqOutL, eqOutR, s, i);
    targetPass(detSettings, s, 0, groupEnd(0));
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
        if (next < n) targetPass(detSettings, s, next, groupEnd(next));
        gainPass(detSettings, s, gainOut, from, end);
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

} // namespace dsp
