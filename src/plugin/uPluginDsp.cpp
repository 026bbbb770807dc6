#include "plugin/uPluginDsp.h"

#include <cmath>

namespace dsp {

BandGain bandGain(float v) {
    double db;
    if (v > 0.5f)
        db = (v - 0.5) * 12.0;
    else if (v >= 0.25f)
        db = (0.5 - v) * -96.0;
    else {
        db = (0.25 - v) * -288.0 - 24.0;
        if (db < -95.9) return {-96.0f, 0.0f}; // the band is off
    }
    const float stored = static_cast<float>(db);
    return {stored, dbToGain(stored)};
}

float thresholdDbFor(float v) {
    const float f = static_cast<float>(1.0 - v);
    if (f >= 0.5f) return static_cast<float>((1.0 - f) * -48.0);
    if (f != 0.0f) return static_cast<float>(f * 32.0 - 40.0);
    return -40.0f;
}

float ratioFor(float v) {
    return static_cast<float>(v * 6.0 + 4.0);
}

float slopeFor(float ratio) {
    return static_cast<float>(1.0 / ratio - 1.0);
}

float makeupDbFor(float thresholdDb, float slope) {
    return static_cast<float>(static_cast<double>(thresholdDb) * slope * 0.9f);
}

MixGains mixGains(float v) {
    const double d = v - 0.5;
    return {static_cast<float>(std::sqrt(0.5 - d)), static_cast<float>(std::sqrt(0.5 + d))};
}

} // namespace dsp
