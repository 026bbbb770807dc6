#include "PluginRenderer.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace render {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

bool parseInt(const std::string& s, int& out) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

} // namespace

PluginRenderer::PluginRenderer(const std::string& pluginPath)
    : library(host::PluginLibrary::load(pluginPath)),
      instance(std::make_unique<host::PluginInstance>(library, callback)) {
    instance->dispatch(effOpen);
}

PluginRenderer::~PluginRenderer() {
    if (running) stop();
    instance.reset(); // effClose
}

int PluginRenderer::numPrograms() const {
    return instance->effect()->numPrograms;
}
int PluginRenderer::numParams() const {
    return instance->effect()->numParams;
}

std::string PluginRenderer::programName(int index) {
    return instance->text(effGetProgramNameIndexed, index);
}

std::string PluginRenderer::parameterName(int index) {
    return instance->text(effGetParamName, index);
}

std::string PluginRenderer::parameterText(int index) {
    const std::string display = instance->text(effGetParamDisplay, index);
    const std::string label = instance->text(effGetParamLabel, index);
    return label.empty() ? display : display + " " + label;
}

float PluginRenderer::parameterValue(int index) {
    return instance->getParameter(index);
}

void PluginRenderer::selectProgram(const std::string& spec) {
    int number = -1;
    if (!parseInt(spec, number)) {
        for (int i = 0; i < numPrograms(); ++i)
            if (lower(programName(i)) == lower(spec)) number = i;
        if (number < 0) throw UsageError("unknown program \"" + spec + "\" (see --list)");
    }
    if (number < 0 || number >= numPrograms())
        throw UsageError("program " + spec + " out of range 0.." +
                         std::to_string(numPrograms() - 1));
    instance->dispatch(effSetProgram, 0, number);
}

int PluginRenderer::findParameter(const std::string& spec) {
    int index = -1;
    if (parseInt(spec, index)) {
        if (index < 0 || index >= numParams())
            throw UsageError("parameter " + spec + " out of range 0.." +
                             std::to_string(numParams() - 1));
        return index;
    }
    for (int i = 0; i < numParams(); ++i)
        if (lower(parameterName(i)) == lower(spec)) return i;
    throw UsageError("unknown parameter \"" + spec + "\" (see --list)");
}

void PluginRenderer::setParameter(const std::string& spec, const std::string& value) {
    const int index = findParameter(spec);
    double v = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), v);
    if (ec != std::errc() || end != value.data() + value.size() || !std::isfinite(v))
        throw UsageError("parameter " + spec + ": \"" + value + "\" is not a number");
    if (v < 0.0 || v > 1.0)
        throw UsageError("parameter " + spec + ": " + value + " is outside 0..1");
    instance->setParameter(index, static_cast<float>(v));
}

void PluginRenderer::start(float sampleRate, int blockSize) {
    instance->dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    instance->dispatch(effSetBlockSize, 0, blockSize);
    instance->dispatch(effMainsChanged, 0, 1);
    running = true;
}

void PluginRenderer::process(float* inL, float* inR, float* outL, float* outR, int frames) {
    float* inputs[] = {inL, inR};
    float* outputs[] = {outL, outR};
    instance->processReplacing(inputs, outputs, frames);
}

void PluginRenderer::stop() {
    instance->dispatch(effMainsChanged, 0, 0);
    running = false;
}

} // namespace render
