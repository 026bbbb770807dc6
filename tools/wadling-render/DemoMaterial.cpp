#include "DemoMaterial.h"

#include <cstddef>

namespace render {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 44100.0;
constexpr size_t kBeat = 22050;  // 120 beats per minute
constexpr size_t kBeats = 20;    // ten seconds
constexpr double kMaster = 0.45; // peaks just below full scale

// sin(2 pi phase) for any phase, by symmetry and a Taylor series on a quarter wave.
double sinCycles(double phase) {
    phase -= static_cast<double>(static_cast<long long>(phase));
    if (phase < 0) phase += 1.0;
    double x = phase < 0.5 ? phase : phase - 0.5; // half wave
    const double sign = phase < 0.5 ? 1.0 : -1.0;
    if (x > 0.25) x = 0.5 - x;
    const double t = 2.0 * kPi * x, t2 = t * t;
    const double s =
        t *
        (1 -
         t2 / 6 * (1 - t2 / 20 * (1 - t2 / 42 * (1 - t2 / 72 * (1 - t2 / 110 * (1 - t2 / 156))))));
    return sign * s;
}

// Coefficient of an exponential decay with time constant seconds, per sample.
double decay(double seconds) {
    return 1.0 - 1.0 / (seconds * kRate);
}

struct Noise {
    uint32_t state = 0x2545F491u;
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }
};

// How loud each beat is: a quiet intro, loud grooves, a break and a crescendo.
double sectionLevel(size_t beat) {
    if (beat < 4) return 0.12;                                         // intro
    if (beat < 8) return 0.85;                                         // groove
    if (beat < 10) return 0.01;                                        // near silence
    if (beat < 12) return 0.2 + 0.35 * static_cast<double>(beat - 10); // build-up
    return 1.0;                                                        // loud to the end
}

} // namespace

DemoMaterial synthesiseDemo() {
    DemoMaterial demo;
    const size_t n = kBeat * kBeats;
    demo.left.assign(n, 0.0f);
    demo.right.assign(n, 0.0f);
    Noise noise;
    const double bassNotes[] = {55.0, 55.0, 65.41, 73.42, 55.0, 82.41, 73.42, 65.41};
    double kickEnv = 0, kickGlide = 0, kickPhase = 0;
    double snareEnv = 0, snareTone = 0, snarePhase = 0;
    double hatEnv = 0, hatPrev = 0;
    double bassEnv = 0, bassPhase = 0, bassFreq = 55.0;
    double padPhase[3] = {0, 0, 0}, leadPhase = 0, vibPhase = 0;
    double level = 0.12;
    for (size_t i = 0; i < n; ++i) {
        const size_t beat = i / kBeat, inBeat = i % kBeat;
        const double target = sectionLevel(beat);
        level += (target - level) * 0.0005; // no clicks between sections
        const bool groove = beat >= 4 && !(beat >= 8 && beat < 10);
        if (inBeat == 0 && groove) {
            kickEnv = 1.0;
            kickGlide = 1.0;
            bassEnv = 1.0;
            bassFreq = bassNotes[beat % 8];
        }
        if (inBeat == 0 && groove && beat % 2 == 1) snareEnv = 1.0;
        if (beat >= 10 && beat < 12 && inBeat % (kBeat / 4) == 0) snareEnv = 0.6; // roll
        if (inBeat % (kBeat / 2) == 0) hatEnv = 1.0;
        if (i == n - kBeat) kickEnv = kickGlide = snareEnv = 1.0; // the final hit

        kickGlide *= decay(0.03);
        kickEnv *= decay(0.25);
        kickPhase += (50.0 + 110.0 * kickGlide) / kRate;
        const double kick = 0.9 * kickEnv * sinCycles(kickPhase);

        snareEnv *= decay(0.12);
        snareTone = snareEnv * snareEnv;
        snarePhase += 185.0 / kRate;
        const double snareNoise = noise.next();
        const double snare = 0.45 * snareEnv * snareNoise + 0.3 * snareTone * sinCycles(snarePhase);

        hatEnv *= decay(0.025);
        const double white = noise.next();
        const double hat = 0.25 * hatEnv * (white - hatPrev); // crude high-pass
        hatPrev = white;

        bassEnv *= decay(0.4);
        bassPhase += bassFreq / kRate;
        const double bass = 0.5 * (0.2 + 0.8 * bassEnv) *
                            (sinCycles(bassPhase) + 0.35 * sinCycles(2 * bassPhase) +
                             0.15 * sinCycles(3 * bassPhase));

        const double padFreq[3] = {220.0, 261.63, 329.63};
        double padL = 0, padR = 0;
        for (int k = 0; k < 3; ++k) {
            padPhase[k] += padFreq[k] / kRate;
            padL += sinCycles(padPhase[k]);
            padR += sinCycles(padPhase[k] * 1.003); // slight detune: width
        }
        const double pad = 0.12;

        vibPhase += 5.5 / kRate;
        leadPhase += (440.0 + 4.0 * sinCycles(vibPhase)) / kRate;
        const double lead = beat >= 12 ? 0.3 * sinCycles(leadPhase) : 0.0;

        const double drums = groove || beat >= 10 || i >= n - kBeat ? 1.0 : 0.3;
        const double centre = level * (drums * kick + bass * (groove ? 1.0 : 0.0) + lead);
        const double l = centre + level * (drums * (0.6 * snare + 0.4 * hat) + pad * padL);
        const double r = centre + level * (drums * (0.4 * snare + 0.8 * hat) + pad * padR);
        demo.left[i] = static_cast<float>(kMaster * l);
        demo.right[i] = static_cast<float>(kMaster * r);
    }
    return demo;
}

} // namespace render
