#pragma once
// The demo's input: about ten seconds of music-like stereo material with strong dynamics
// (kick, snare, hi-hat, bass, a pad and a sustained lead; a quiet intro, loud grooves, a
// near-silent break and a crescendo). Pure arithmetic, no library calls: every build
// synthesises the same samples.

#include <cstdint>
#include <vector>

namespace render {

struct DemoMaterial {
    uint32_t sampleRate = 44100;
    std::vector<float> left, right;
};

DemoMaterial synthesiseDemo();

} // namespace render
