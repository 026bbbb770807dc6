// Programs: the factory table, selection, renaming and the names shown to the host.

#include "plugin/uPlugin.h"

#include <cstring>

namespace {

struct FactoryProgram {
    const char* name;
    float values[param::EQListen]; // the parameters before EQListen; the rest are 0
};

constexpr FactoryProgram kFactoryPrograms[APlugin::kNumPrograms] = {
    {"Oh, My Wadling", {0.5f, 0.5f, 0.5f, 0.3f, 0.5f, 0.5f}},
    {"Wugly Adling", {0.65f, 0.5f, 0.3f, 0.45f, 0.75f, 0.25f}},
    {"Flying Duck", {0.3f, 0.4f, 0.7f, 0.7f, 0.83f, 0.4f}},
    {"Hoi Sin", {0.4f, 0.6f, 0.45f, 0.65f, 1.0f, 0.35f}},
    {"My Ducky Day", {0.6f, 0.5f, 0.38f, 0.55f, 0.4f, 0.6f}},
    {"Dubber Ruck", {0.42f, 0.7f, 0.6f, 0.6f, 0.5f, 0.0f}},
    {"KwikKwak", {0.7f, 0.0f, 0.0f, 0.9f, 0.65f, 0.8f}},
    {"Duck Day Afternoon", {0.5f, 0.1f, 0.75f, 0.73f, 0.8f, 0.9f}},
    {"Plucky Duck", {0.0f, 0.7f, 0.0f, 0.8f, 0.5f, 0.5f}},
    {"Kwakkers", {0.8f, 0.4f, 0.6f, 0.63f, 0.6f, 0.75f}},
    {"A Duck for all Reasons", {0.1f, 0.5f, 0.7f, 0.4f, 0.55f, 0.45f}},
    {"Making a fast Duck", {0.7f, 0.6f, 0.2f, 0.2f, 0.9f, 0.7f}},
};

// Copies at most the field's 50 characters and always terminates.
void copyName(char (&dest)[APluginProgram::kNameSize], const char* source) {
    std::memset(dest, 0, sizeof dest);
    if (!source) return;
    std::strncpy(dest, source, sizeof dest - 1);
}

} // namespace

APluginProgram::APluginProgram() {
    for (auto& v : values)
        v.store(0.0f, std::memory_order_relaxed);
    copyName(name, "Reedmoor");
}

void APlugin::createPrograms() {
    for (int32_t i = kNumPrograms - 1; i >= 0; --i) {
        auto program = std::make_unique<APluginProgram>();
        copyName(program->name, kFactoryPrograms[i].name);
        for (int32_t p = 0; p < param::EQListen; ++p)
            program->values[p].store(kFactoryPrograms[i].values[p], std::memory_order_relaxed);
        programs[i] = std::move(program);
    }
}

void APlugin::refreshEditor() {
    if (editorNotice && !editorClosed.load(std::memory_order_relaxed)) editorNotice->update();
}

void APlugin::setProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    curProgram = program;
    const APluginProgram& current = *programs[program];
    for (int32_t i = 0; i < kNumParams; ++i)
        setParameter(i, current.values[i].load(std::memory_order_relaxed));
    refreshEditor();
}

void APlugin::setProgramName(char* name) {
    if (!name) return;
    copyName(programs[curProgram]->name, name);
    refreshEditor();
}

void APlugin::getProgramName(char* name) {
    copyBoundedText(name, programs[curProgram]->name, kHostProgramNameSize);
}

bool APlugin::getProgramNameIndexed(int32_t /*category*/, int32_t index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    copyBoundedText(text, programs[index]->name, kHostProgramNameSize);
    return true;
}
