#include "editor/uEditorScale.h"

#include "editor/art/ArtScale.h"
#include "platform/Platform.h"
#include "plugin/uPluginMidiMap.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace editorscale {

namespace {

constexpr const char* kFileName = "WadlingCompressorZoom.txt";
constexpr const char* kKey = "zoom=";

bool said(double factor) {
    return std::isfinite(factor) && factor > 0;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

int choose(int userChoice, double hostFactor, double systemFactor) {
    if (editorart::isSupportedScale(userChoice)) return userChoice;
    if (said(hostFactor)) return editorart::supportedScaleAtOrBelow(hostFactor * 100);
    if (said(systemFactor)) return editorart::supportedScaleAtOrBelow(systemFactor * 100);
    return 100;
}

std::string choiceFile(const std::string& settingsFolder) {
    return midimap::userSettingsFile(settingsFolder, kFileName);
}

int readChoice(const std::string& path) {
    if (path.empty()) return kAutomatic;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return kAutomatic;
    char text[32] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, file.get());
    // One line: "zoom=automatic" or "zoom=<density>"; anything else is not ours to guess at.
    std::string line(text, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    if (line.rfind(kKey, 0) != 0) return kAutomatic;
    const std::string value = line.substr(std::string(kKey).size());
    for (int s : editorart::kScales)
        if (value == std::to_string(s)) return s;
    return kAutomatic;
}

bool writeChoice(const std::string& path, int choice) {
    if (path.empty() || (choice != kAutomatic && !editorart::isSupportedScale(choice)))
        return false;
    const std::size_t cut = path.find_last_of(platform::pathSeparators());
    if (cut != std::string::npos && !platform::createFolder(path.substr(0, cut))) return false;
    const std::string text =
        std::string(kKey) + (choice == kAutomatic ? "automatic" : std::to_string(choice)) + "\n";
    return midimap::replaceFileText(path, text);
}

} // namespace editorscale
