#pragma once
// The sidechain EQ and the detector over a span of chunks of the audio loop. Only the band
// filters, the envelope and the smoothed overshoot are recursions; the level, the release
// coefficient, the logarithm and the exponential of each sample depend on nothing but those. So
// the three recursions run side by side as short serial steps, and two- or four-lane passes do
// the rest, every value rounded where eqStep and detectorStep round it: the same bits, sample
// for sample.

#include "plugin/uPluginDsp.h"

namespace dsp {

/// Longest chunk of the audio loop: the detector is flushed and the band filters cleared at the
/// end of every chunk.
inline constexpr int kMaxChunk = 32;
/// Longest span of chunks that one call runs (a multiple of kMaxChunk).
inline constexpr int kMaxSpan = 256;

/// n (at most kMaxSpan) samples of eqStep followed by detectorStep, in chunks of kMaxChunk from
/// the first sample, each followed by flushDetector and clearNonFinite: the equalised samples go
/// to eqOutL/eqOutR (which may be inL/inR: each is read before its index is written), the gain
/// of each sample to gains.
void detectSpan(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                const DetectorSettings& detSettings, const float* inL, const float* inR,
                float* eqOutL, float* eqOutR, float* gains, int n);

/// Whether detectSpan over this chunk would only confirm the rest: every state exactly +0 and every
/// input sample +0 or -0. Such a chunk equalises to +0, leaves the states as they are and gains
/// makeupLin throughout (settleSilentChunk).
bool silentAtRest(const EqState& eq, const DetectorState& det, const float* inL, const float* inR,
                  int n);
/// The chunk that silentAtRest accepted, without running the recursions: what the three calls
/// would give, to the bit.
void settleSilentChunk(DetectorState& det, const DetectorSettings& detSettings, float* eqOutL,
                       float* eqOutR, float* gains, int n);

/// The output stage: out = in x dryGain + softClip(wet) x wetGain, per sample in float32 as
/// softClip and the mix round, two or four samples at once. in and out may be the same memory.
void mixOutput(const float* in, const float* wet, float* out, int n, float dryGain, float wetGain);

/// Whether this processor runs the four-lane (AVX2) passes; 64-bit x86 builds only.
bool wideLanesAvailable();
/// Four lanes on or off (on only where available); on by default where available. The bits are
/// the same either way.
void setWideLanes(bool on);
bool wideLanesInUse();

/// The same as detectSpan, one sample after another through eqStep and detectorStep: the
/// definition that detectSpan must match.
inline void detectSpanReference(EqState& eq, const EqSettings& eqSettings, DetectorState& det,
                                const DetectorSettings& detSettings, const float* inL,
                                const float* inR, float* eqOutL, float* eqOutR, float* gains,
                                int n) {
    for (int i = 0; i < n; ++i) {
        float l, r;
        eqStep(eq, eqSettings, inL[i], inR[i], l, r);
        eqOutL[i] = l;
        eqOutR[i] = r;
        detectorStep(det, detSettings, l, r);
        gains[i] = det.gain;
        if ((i + 1) % kMaxChunk == 0 || i == n - 1) {
            flushDetector(det);
            clearNonFinite(eq);
        }
    }
}

} // namespace dsp
