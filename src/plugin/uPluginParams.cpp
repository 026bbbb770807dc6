// Parameters: the store, names, labels and display texts, and the mapping of each value to the
// processing state.

#include "platform/Platform.h"
#include "plugin/uPlugin.h"
#include "plugin/uPluginDsp.h"
#include "plugin/uPluginFormat.h"

#include <string>

namespace {

constexpr const char* kParamNames[APlugin::kNumParams] = {"EQLo",
                                                          "EQMid",
                                                          "EQHi",
                                                          "Squeeze",
                                                          "Dry/Wet",
                                                          "Skweezy",
                                                          "EQListen",
                                                          "Reserved for Reedmoor",
                                                          "Reserved for Reedmoor",
                                                          "Reserved for Reedmoor",
                                                          "Reserved for Reedmoor",
                                                          "Reserved for Reedmoor"};

constexpr const char* kUndefined = "undefined";

bool validIndex(int32_t index) {
    return index >= 0 && index < APlugin::kNumParams;
}

float clampParameter(float value) {
    if (value > 1.0f) return 1.0f;
    if (!(value >= 0.0f)) return 0.0f; // also NaN
    return value;
}

std::string bandDisplay(float db, char sep) {
    return db == -96.0f ? std::string("-oo") : display::formatHundredths(db, sep);
}

} // namespace

void APlugin::setParameter(int32_t index, float value) {
    value = clampParameter(value);
    if (!validIndex(index)) return;
    paramValues[index].store(value, std::memory_order_relaxed);
    programs[curProgram]->values[index].store(value, std::memory_order_relaxed);
    if (editorNotice) editorNotice->update();
    mapParameter(index, value);
}

float APlugin::getParameter(int32_t index) {
    return validIndex(index) ? paramValues[index].load(std::memory_order_relaxed) : 0.0f;
}

void APlugin::mapParameter(int32_t index, float v) {
    const auto setBand = [v](std::atomic<float>& db, std::atomic<float>& gain) {
        const dsp::BandGain band = dsp::bandGain(v);
        db.store(band.db, std::memory_order_relaxed);
        gain.store(band.gain, std::memory_order_relaxed);
    };
    switch (index) {
    case param::EQLo:
        setBand(eqLoDb, eqLoGain);
        break;
    case param::EQMid:
        setBand(eqMidDb, eqMidGain);
        break;
    case param::EQHi:
        setBand(eqHiDb, eqHiGain);
        break;
    case param::Squeeze: {
        const float db = dsp::thresholdDbFor(v);
        thresholdDb.store(db, std::memory_order_relaxed);
        thresholdLin.store(dsp::dbToGain(db), std::memory_order_relaxed);
        updateMakeup();
        break;
    }
    case param::DryWet: {
        const dsp::MixGains mix = dsp::mixGains(v);
        dryGain.store(mix.dry, std::memory_order_relaxed);
        wetGain.store(mix.wet, std::memory_order_relaxed);
        break;
    }
    case param::Skweezy: {
        const float r = dsp::ratioFor(v);
        ratio.store(r, std::memory_order_relaxed);
        slope.store(dsp::slopeFor(r), std::memory_order_relaxed);
        updateMakeup();
        break;
    }
    case param::EQListen:
        listen.store(v >= 0.5f, std::memory_order_relaxed);
        break;
    default:
        break; // reserved
    }
}

void APlugin::updateMakeup() {
    const float db = dsp::makeupDbFor(thresholdDb.load(std::memory_order_relaxed),
                                      slope.load(std::memory_order_relaxed));
    makeupDb.store(db, std::memory_order_relaxed);
    makeupLin.store(dsp::dbToGain(db), std::memory_order_relaxed);
}

void APlugin::getParameterName(int32_t index, char* text) {
    copyBoundedText(text, validIndex(index) ? kParamNames[index] : kUndefined, kHostParamNameSize);
}

void APlugin::getParameterLabel(int32_t index, char* label) {
    const char* text = !validIndex(index) ? kUndefined : index <= param::Squeeze ? "dB" : "";
    copyBoundedText(label, text, kHostParamLabelSize);
}

void APlugin::getParameterDisplay(int32_t index, char* text) {
    if (!validIndex(index)) {
        copyBoundedText(text, kUndefined, kHostParamDisplaySize);
        return;
    }
    const char sep = platform::decimalSeparator();
    const auto relaxed = std::memory_order_relaxed;
    std::string shown;
    switch (index) {
    case param::EQLo:
        shown = bandDisplay(eqLoDb.load(relaxed), sep);
        break;
    case param::EQMid:
        shown = bandDisplay(eqMidDb.load(relaxed), sep);
        break;
    case param::EQHi:
        shown = bandDisplay(eqHiDb.load(relaxed), sep);
        break;
    case param::Squeeze:
        shown = display::formatHundredths(thresholdDb.load(relaxed), sep);
        break;
    case param::DryWet: {
        const double v = paramValues[param::DryWet].load(relaxed);
        shown = std::to_string(display::roundToInt((1.0 - v) * 100.0)) + ":" +
                std::to_string(display::roundToInt(v * 100.0));
        break;
    }
    case param::Skweezy:
        shown = display::formatNumber(ratio.load(relaxed), sep) + ":1";
        break;
    case param::EQListen:
        shown = listen.load(relaxed) ? "SideChain" : "Effect";
        break;
    default:
        return; // reserved: the host's buffer stays as it was
    }
    copyBoundedText(text, shown.c_str(), kHostParamDisplaySize);
}
