#pragma once
// The compressor's per-sample arithmetic and its parameter mappings, free of the plug-in
// object so that each can be checked on its own. The output is defined to the bit: each step is
// evaluated in double and rounded once to float32 when it is stored.

#include "plugin/uPluginMath.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The per-sample steps run inside the chunk loop; a call per sample costs more than the step.
#if defined(__GNUC__)
#define WADLING_HOT_INLINE [[gnu::always_inline]] inline
#else
#define WADLING_HOT_INLINE inline
#endif

namespace dsp {

/// Keeps the recursive detector states out of the denormal range.
inline constexpr float denormalOffset = 1e-25f;
inline constexpr double ln10Over20 = 0.11512925464970228;
inline constexpr double twentyOverLn10 = 8.685889638065037;
/// Below this smoothed overshoot (dB) the gain snaps back to the plain make-up gain.
inline constexpr float overshootFloorDb = 0.01f;

/// Coefficient of a one-pole smoother with a time constant of about ms milliseconds.
inline float timeCoef(float ms, float samplesPerMs) {
    const float samples = ms * samplesPerMs;
    return static_cast<float>(1.0 - 1.0 / samples);
}

inline float dbToGain(double db) {
    return static_cast<float>(dmath::exp(db * ln10Over20));
}

/// Beyond this magnitude w^2 and the numerator overflow float32 (1e19 gives inf, 1e20 NaN), so
/// the saturator takes its asymptote (12 / (13/17)) / w there; below it the formula holds.
inline constexpr float softClipTailFrom = 1e18f;
/// The saturator's denominator weight, 13/17 as the double it has always been written as.
inline constexpr double softClipWeight = 0.7647058823529411;
inline constexpr double softClipTailScale = 12.0 / softClipWeight;

/// The wet path's saturator: w (12w^2 + 144) / ((13/17)(w^2 + 60) w^2 + 144).
WADLING_HOT_INLINE float softClip(float w) {
    if (!(std::fabs(w) < softClipTailFrom)) return static_cast<float>(softClipTailScale / w);
    const float q = w * w;
    const float num = static_cast<float>(12.0 * q + 144.0);
    const float u = static_cast<float>((q + 60.0) * softClipWeight);
    const float s = static_cast<float>(num / (static_cast<double>(u) * q + 144.0));
    return w * s;
}

struct BandGain {
    float db;
    float gain;
};
/// dB and linear gain of one sidechain EQ band for a parameter value in 0..1.
BandGain bandGain(float v);
/// Threshold in dB for a "Squeeze" value in 0..1.
float thresholdDbFor(float v);
/// Compression ratio for a "Skweezy" value in 0..1, and its slope 1/ratio - 1.
float ratioFor(float v);
float slopeFor(float ratio);
/// Nine tenths of the gain reduction a steady full-scale signal would receive.
float makeupDbFor(float thresholdDb, float slope);

struct MixGains {
    float dry;
    float wet;
};
/// Equal-power crossfade for a "Dry/Wet" value in 0..1.
MixGains mixGains(float v);

/// End of the chunks that start at pos: the block's end or the next queued MIDI event, whichever
/// comes first. The chunks are kMaxChunk samples long from pos, the last one shorter. An event
/// behind pos (which hosts do not send) cannot stall the loop.
inline int spanEnd(int pos, int end, int nextEventPos) {
    return nextEventPos > pos && nextEventPos < end ? nextEventPos : end;
}

struct EqState {
    float loL, loR, hiL, hiR;
};
struct EqSettings {
    float loSplitCoef, hiSplitCoef, loGain, midGain, hiGain;
};

/// One sample of the complementary three-band split and its weighted sum.
WADLING_HOT_INLINE void eqStep(EqState& s, const EqSettings& c, float xL, float xR, float& eqL,
                               float& eqR) {
    s.loL = static_cast<float>(s.loL + (static_cast<double>(xL) - s.loL) * c.loSplitCoef);
    s.loR = static_cast<float>(s.loR + (static_cast<double>(xR) - s.loR) * c.loSplitCoef);
    s.hiL = static_cast<float>(s.hiL + (static_cast<double>(xL) - s.hiL) * c.hiSplitCoef);
    s.hiR = static_cast<float>(s.hiR + (static_cast<double>(xR) - s.hiR) * c.hiSplitCoef);
    eqL = static_cast<float>((static_cast<double>(xL) - s.hiL) * c.hiGain +
                             (static_cast<double>(s.hiL) - s.loL) * c.midGain +
                             static_cast<double>(c.loGain) * s.loL);
    eqR = static_cast<float>((static_cast<double>(xR) - s.hiR) * c.hiGain +
                             (static_cast<double>(s.hiR) - s.loR) * c.midGain +
                             static_cast<double>(c.loGain) * s.loR);
}

inline float finiteOrZero(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

/// A NaN or infinity in a band filter would stay there for good; such a state restarts at 0.
/// (By value, not through pointers: the states must stay in registers in the loop.)
inline void clearNonFinite(EqState& s) {
    s.loL = finiteOrZero(s.loL);
    s.loR = finiteOrZero(s.loR);
    s.hiL = finiteOrZero(s.hiL);
    s.hiR = finiteOrZero(s.hiR);
}

struct DetectorState {
    float envelope;
    float grReleaseMs;
    float grReleaseCoef;
    float overshootDb;
    float gain;
};
struct DetectorSettings {
    float envAttackCoef, envReleaseCoef, grAttackCoef, samplesPerMs;
    float thresholdLin, thresholdDb, slope, makeupLin, makeupDb;
};

/// One sample of the linked peak detector and gain computer; leaves the gain in s.gain.
WADLING_HOT_INLINE void detectorStep(DetectorState& s, const DetectorSettings& c, float eqL,
                                     float eqR) {
    // A boosted band can overflow float32 on finite input near its limit; an infinite level
    // would turn the overshoot into inf - inf. The largest float keeps every step finite.
    const float d =
        std::min(static_cast<float>((std::fabs(static_cast<double>(eqL)) + std::fabs(eqR)) * 0.5),
                 std::numeric_limits<float>::max());
    const double envDiff = static_cast<double>(s.envelope) - d;
    s.envelope =
        static_cast<float>(envDiff * (s.envelope < d ? c.envAttackCoef : c.envReleaseCoef) + d);
    s.grReleaseMs = static_cast<float>(950.0 * s.envelope + 50.0);
    s.grReleaseCoef = timeCoef(s.grReleaseMs, c.samplesPerMs);
    const bool above = d - c.thresholdLin > 0.0f;
    float target = 0.0f;
    if (above)
        target = static_cast<float>(dmath::logOfFloat(d + denormalOffset) * twentyOverLn10 -
                                    c.thresholdDb);
    float ov = s.overshootDb + denormalOffset;
    const double ovDiff = static_cast<double>(ov) - target;
    ov = static_cast<float>(ovDiff * (ov < target ? c.grAttackCoef : s.grReleaseCoef) + target);
    s.overshootDb = ov - denormalOffset;
    if (above || s.overshootDb > overshootFloorDb)
        s.gain = dbToGain(static_cast<double>(s.overshootDb) * c.slope + c.makeupDb);
    else
        s.gain = c.makeupLin;
}

inline float flushed(float v) {
    return std::fabs(v) < denormalOffset || std::isnan(v) ? 0.0f : v;
}

/// End of every chunk: tiny detector states become exactly 0, NaNs are cleared.
inline void flushDetector(DetectorState& s) {
    s.envelope = flushed(s.envelope);
    s.overshootDb = flushed(s.overshootDb);
}

} // namespace dsp
