// Sample rate, reset, and the audio loop: the sidechain EQ and the detector over spans of
// chunks that end at queued MIDI events (uPluginDspChunk), then the saturator and the
// equal-power mix.

#include "plugin/uPlugin.h"
#include "plugin/uPluginDenormals.h"
#include "plugin/uPluginDsp.h"
#include "plugin/uPluginDspChunk.h"
#include "plugin/uPluginTestHooks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr auto relaxed = std::memory_order_relaxed;
constexpr int32_t kInitialBufferCapacity = 512;
constexpr float kMinProcessingRate = 2000.0f;
constexpr float kMaxProcessingRate = 10'000'000.0f;

} // namespace

void APlugin::setSampleRate(float rate) {
    // Rates that are not a rate at all change nothing. Below kMinProcessingRate the upper split
    // coefficient (2000 / rate) would pass 1 and the band filters would ring up to infinity.
    if (!(rate > 0.0f)) return;
    rate = std::clamp(rate, kMinProcessingRate, kMaxProcessingRate);
    AudioEffectX::setSampleRate(rate);
    const float inv = static_cast<float>(1.0 / rate);
    const float spm = static_cast<float>(0.001 * rate);
    invSampleRate.store(inv, relaxed);
    samplesPerMs.store(spm, relaxed);
    eqLoSplitCoef.store(static_cast<float>(250.0 * inv), relaxed);
    eqHiSplitCoef.store(static_cast<float>(2000.0 * inv), relaxed);
    for (Atomic* state : {&eqLoStateL, &eqLoStateR, &eqHiStateL, &eqHiStateR})
        state->store(0.0f, relaxed);
    envAttackCoef.store(dsp::timeCoef(envAttackMs.load(relaxed), spm), relaxed);
    envReleaseCoef.store(dsp::timeCoef(envReleaseMs.load(relaxed), spm), relaxed);
    envelope.store(0.0f, relaxed);
    grAttackCoef.store(dsp::timeCoef(grAttackMs.load(relaxed), spm), relaxed);
    grReleaseCoef.store(dsp::timeCoef(50.0f, spm), relaxed);
    overshootDb.store(0.0f, relaxed);
    gain.store(1.0f, relaxed);
}

void APlugin::setProcessingDefaults() {
    const float inv = static_cast<float>(1.0 / sampleRate);
    const float spm = static_cast<float>(0.001 * sampleRate);
    invSampleRate.store(inv, relaxed);
    samplesPerMs.store(spm, relaxed);
    bufferCapacity = kInitialBufferCapacity;
    for (auto* buffer : {&workBufL, &workBufR, &sideBufL, &sideBufR})
        *buffer = std::make_unique<float[]>(kInitialBufferCapacity);
    // Until the host sets a rate the split sits at 300 Hz and 7 kHz.
    eqLoSplitCoef.store(static_cast<float>(300.0 * inv), relaxed);
    eqHiSplitCoef.store(static_cast<float>(7000.0 * inv), relaxed);
    for (Atomic* g : {&eqLoGain, &eqMidGain, &eqHiGain})
        g->store(1.0f, relaxed);
    for (Atomic* state : {&eqLoStateL, &eqLoStateR, &eqHiStateL, &eqHiStateR})
        state->store(0.0f, relaxed);
    ratio.store(6.0f, relaxed);
    slope.store(dsp::slopeFor(6.0f), relaxed);
    envAttackMs.store(10.0f, relaxed);
    envReleaseMs.store(50.0f, relaxed);
    envAttackCoef.store(dsp::timeCoef(10.0f, spm), relaxed);
    envReleaseCoef.store(dsp::timeCoef(50.0f, spm), relaxed);
    envelope.store(0.0f, relaxed);
    grAttackMs.store(10.0f, relaxed);
    grReleaseMs.store(50.0f, relaxed);
    grAttackCoef.store(dsp::timeCoef(grAttackMs.load(relaxed), spm), relaxed);
    grReleaseCoef.store(dsp::timeCoef(grReleaseMs.load(relaxed), spm), relaxed);
    overshootDb.store(0.0f, relaxed);
    gain.store(1.0f, relaxed);
    thresholdDb.store(-24.0f, relaxed);
    thresholdLin.store(dsp::dbToGain(-24.0), relaxed);
    updateMakeup();
    listen.store(false, relaxed);
}

void APlugin::suspend() {
    for (Atomic* state : {&eqLoStateL, &eqLoStateR, &eqHiStateL, &eqHiStateR})
        state->store(0.0f, relaxed);
    overshootDb.store(0.0f, relaxed);
    envelope.store(0.0f, relaxed);
    grReleaseCoef.store(dsp::timeCoef(50.0f, samplesPerMs.load(relaxed)), relaxed);
    gain.store(1.0f, relaxed);
}

float APlugin::getVu() {
    return vu.exchange(0.0f, relaxed);
}

void APlugin::process(float** inputs, float** outputs, int32_t sampleFrames) {
    processReplacing(inputs, outputs, sampleFrames);
}

// Grows the four buffers to hold a block; if memory runs out the old ones stay and the block
// is processed in pieces of the capacity there is.
bool APlugin::growBuffers(int32_t sampleFrames) {
    std::unique_ptr<float[]> fresh[4];
    for (auto& buffer : fresh) {
#if WADLING_TEST_HOOKS
        if (plugin_test_hooks::failBufferAllocations.load(relaxed) > 0) {
            plugin_test_hooks::failBufferAllocations.fetch_sub(1, relaxed);
            return false;
        }
#endif
        buffer.reset(new (std::nothrow) float[static_cast<size_t>(sampleFrames)]);
        if (!buffer) return false;
    }
    workBufL = std::move(fresh[0]);
    workBufR = std::move(fresh[1]);
    sideBufL = std::move(fresh[2]);
    sideBufR = std::move(fresh[3]);
    bufferCapacity = sampleFrames;
    return true;
}

bool APlugin::reserveFrames(int32_t frames) {
    return frames <= bufferCapacity || growBuffers(frames);
}

void APlugin::processReplacing(float** inputs, float** outputs, int32_t sampleFrames) {
    if (sampleFrames <= 0 || !inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] ||
        !outputs[1])
        return;
    const DenormalGuard denormals;
    if (sampleFrames > bufferCapacity) growBuffers(sampleFrames);
    for (int32_t start = 0; start < sampleFrames; start += bufferCapacity)
        processPiece(inputs, outputs, start, std::min(bufferCapacity, sampleFrames - start));
    finishMidiBlock();
}

void APlugin::processPiece(float** inputs, float** outputs, int32_t start, int32_t length) {
    const float* inL = inputs[0] + start;
    const float* inR = inputs[1] + start;
    float* workL = workBufL.get();
    float* workR = workBufR.get();
    std::memcpy(workL, inL, sizeof(float) * length);
    std::memcpy(workR, inR, sizeof(float) * length);
    // The side buffers hold this block only when it begins in normal mode; a chunk that runs
    // in normal mode without them reads the input copy in the work buffers instead, which
    // still holds the input at every index not yet processed.
    const bool sideFilled = paramValues[param::EQListen].load(relaxed) < 0.5f;
    if (sideFilled) {
        std::memcpy(sideBufL.get(), inL, sizeof(float) * length);
        std::memcpy(sideBufR.get(), inR, sizeof(float) * length);
    }
    const float* sideL = sideFilled ? sideBufL.get() : workL;
    const float* sideR = sideFilled ? sideBufR.get() : workR;

    dsp::EqState eq{eqLoStateL.load(relaxed), eqLoStateR.load(relaxed), eqHiStateL.load(relaxed),
                    eqHiStateR.load(relaxed)};
    dsp::DetectorState det{envelope.load(relaxed), grReleaseMs.load(relaxed),
                           grReleaseCoef.load(relaxed), overshootDb.load(relaxed),
                           gain.load(relaxed)};
    // Parameters change only between chunks on this thread (MIDI is dispatched at chunk
    // starts), so reading them once per chunk gives the same samples as reading them for every
    // sample; a change from another thread lands at the next chunk, within 32 samples.
    const auto eqSettings = [this] {
        return dsp::EqSettings{eqLoSplitCoef.load(relaxed), eqHiSplitCoef.load(relaxed),
                               eqLoGain.load(relaxed), eqMidGain.load(relaxed),
                               eqHiGain.load(relaxed)};
    };
    const auto detectorSettings = [this] {
        return dsp::DetectorSettings{
            envAttackCoef.load(relaxed), envReleaseCoef.load(relaxed), grAttackCoef.load(relaxed),
            samplesPerMs.load(relaxed),  thresholdLin.load(relaxed),   thresholdDb.load(relaxed),
            slope.load(relaxed),         makeupLin.load(relaxed),      makeupDb.load(relaxed)};
    };

    auto detect = dsp::detectSpan;
    bool fastPaths = true;
#if WADLING_TEST_HOOKS
    if (plugin_test_hooks::referenceLoop.load(relaxed)) {
        detect = dsp::detectSpanReference;
        fastPaths = false;
    }
#endif
    float eqL[dsp::kMaxSpan], eqR[dsp::kMaxSpan], gains[dsp::kMaxSpan];
    const int32_t end = start + length;
    for (int32_t pos = start; pos < end;) {
        if (pos == midiNextEventPos) dispatchMidiEvents(pos);
        // Chunks run from here to the next queued event in steps of kMaxChunk, as many as a
        // span holds; the parameters cannot change before that event on this thread.
        const int32_t spanEnd = dsp::spanEnd(pos, end, midiNextEventPos);
        const int32_t first = pos - start;
        const dsp::EqSettings eqNow = eqSettings();
        const dsp::DetectorSettings detectorNow = detectorSettings();
        const bool listening = listen.load(relaxed);
        const float* detL = listening ? workL + first : sideL + first;
        const float* detR = listening ? workR + first : sideR + first;
        // The equalised signal replaces the input copy in listen mode; the gain is computed,
        // not applied.
        float* eqOutL = listening ? workL + first : eqL;
        float* eqOutR = listening ? workR + first : eqR;
        int32_t len = std::min(dsp::kMaxChunk, spanEnd - pos);
        // A silent track costs little: once the detector is at rest, silence leaves it there.
        if (fastPaths && dsp::silentAtRest(eq, det, detL, detR, len)) {
            dsp::settleSilentChunk(det, detectorNow, eqOutL, eqOutR, gains, len);
        } else {
            len = std::min(dsp::kMaxSpan, spanEnd - pos);
            detect(eq, eqNow, det, detectorNow, detL, detR, eqOutL, eqOutR, gains, len);
        }
        if (!listening) {
            for (int32_t i = 0; i < len; ++i) {
                workL[first + i] *= gains[i];
                workR[first + i] *= gains[i];
            }
        }
        pos += len;
    }

    eqLoStateL.store(eq.loL, relaxed);
    eqLoStateR.store(eq.loR, relaxed);
    eqHiStateL.store(eq.hiL, relaxed);
    eqHiStateR.store(eq.hiR, relaxed);
    envelope.store(det.envelope, relaxed);
    grReleaseMs.store(det.grReleaseMs, relaxed);
    grReleaseCoef.store(det.grReleaseCoef, relaxed);
    overshootDb.store(det.overshootDb, relaxed);
    gain.store(det.gain, relaxed);

    float* outL = outputs[0] + start;
    float* outR = outputs[1] + start;
    if (paramValues[param::EQListen].load(relaxed) >= 0.5f) {
        std::memmove(outL, workL, sizeof(float) * length);
        std::memmove(outR, workR, sizeof(float) * length);
        return;
    }
    const float dry = dryGain.load(relaxed);
    const float wet = wetGain.load(relaxed);
    dsp::mixOutput(inL, workL, outL, length, dry, wet);
    dsp::mixOutput(inR, workR, outR, length, dry, wet);
}
