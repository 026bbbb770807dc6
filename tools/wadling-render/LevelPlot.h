#pragma once
// The demo's picture: input level, output level and gain in dB over time, as a PNG.

#include <string>
#include <vector>

namespace render {

/// Levels per 10 ms window: peak of both channels in dB for input and output, and the
/// resulting gain (output minus input) where the input is audible.
struct LevelTrace {
    double windowSeconds = 0.01;
    std::vector<double> inputDb, outputDb, gainDb; // gainDb is NaN where the input is silent
};

LevelTrace traceLevels(const std::vector<float>& inL, const std::vector<float>& inR,
                       const std::vector<float>& outL, const std::vector<float>& outR,
                       unsigned sampleRate);

/// True when this build can write PNG files.
bool canWritePng();
/// Draws the trace; throws std::runtime_error on failure or without PNG support.
void writeLevelPlot(const LevelTrace& trace, const std::string& path);

} // namespace render
