#include "RecursionFloor.h"

#include "plugin/uPluginDsp.h"
#include "plugin/uPluginMathLanes.h"

#include <algorithm>
#include <ctime>
#include <emmintrin.h>

namespace bench {

namespace {

struct Tables {
    std::vector<float> level, target, releaseCoef;
};

struct Chains {
    dsp::EqState eq{};
    dsp::DetectorState det{0.0f, 50.0f, 0.0f, 0.0f, 1.0f};
};

// The steps of eqStep and detectorStep that carry state from sample to sample; the level, the
// target and the release coefficient, which depend on nothing carried, come from the tables.
float run(Chains& c, const dsp::EqSettings& eq, const dsp::DetectorSettings& ds,
          const std::vector<float>& left, const std::vector<float>& right, const Tables& t) {
    float sum = 0.0f;
    for (size_t i = 0; i < left.size(); ++i) {
        float l, r;
        dsp::eqStep(c.eq, eq, left[i], right[i], l, r);
        const float d = t.level[i];
        const double envDiff = static_cast<double>(c.det.envelope) - d;
        c.det.envelope = static_cast<float>(
            envDiff * dmath::lessSelect(c.det.envelope, d, ds.envAttackCoef, ds.envReleaseCoef) +
            d);
        const float target = t.target[i];
        const double ovDiff = static_cast<double>(c.det.overshootDb) - target;
        c.det.overshootDb =
            static_cast<float>(ovDiff * dmath::lessSelect(c.det.overshootDb, target,
                                                          ds.grAttackCoef, t.releaseCoef[i]) +
                               target);
        sum += c.det.envelope;
    }
    return sum + c.det.overshootDb;
}

} // namespace

double recursionFloorNs(const std::vector<float>& left, const std::vector<float>& right,
                        int rounds) {
    const unsigned csr = _mm_getcsr();
    _mm_setcsr(csr | 0x8040); // flush-to-zero and denormals-are-zero, as the plug-in runs
    const float spm = 44.1f;
    const float thresholdDb = dsp::thresholdDbFor(0.3f);
    const dsp::EqSettings eq{250.0f / 44100.0f, 2000.0f / 44100.0f, 1.0f, 1.0f, 1.0f};
    const dsp::DetectorSettings ds{dsp::timeCoef(10.0f, spm),
                                   dsp::timeCoef(50.0f, spm),
                                   dsp::timeCoef(10.0f, spm),
                                   spm,
                                   dsp::dbToGain(thresholdDb),
                                   thresholdDb,
                                   0.0f,
                                   1.0f,
                                   0.0f};
    // Levels, targets and release coefficients of a plausible run, made before the clock starts.
    Tables tables;
    for (size_t i = 0; i < left.size(); ++i) {
        const float level = (std::fabs(left[i]) + std::fabs(right[i])) * 0.5f;
        tables.level.push_back(level);
        tables.target.push_back(std::max(0.0f, 20.0f * std::log10(level + 1e-25f) - thresholdDb));
        tables.releaseCoef.push_back(dsp::timeCoef(50.0f + 950.0f * level, spm));
    }
    std::vector<double> ns;
    volatile float sink = 0.0f;
    for (int round = 0; round <= rounds; ++round) {
        Chains chains;
        const std::clock_t start = std::clock();
        sink = sink + run(chains, eq, ds, left, right, tables);
        const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        if (round > 0) ns.push_back(seconds * 1e9 / static_cast<double>(left.size()));
    }
    _mm_setcsr(csr);
    std::sort(ns.begin(), ns.end());
    return ns[ns.size() / 2];
}

} // namespace bench
