// Time from loading the plug-in library to a finished effClose, as a host's scan does it.
// Run it in a fresh process each time: a second load in one process costs nothing.
#include "platform/Platform.h"
#include "vst/DAEffect.h"

#include <string>

#include <chrono>
#include <cstdio>

namespace {

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : WADLING_PLUGIN_PATH;
    using clock = std::chrono::steady_clock;
    const auto t0 = clock::now();
    std::string error;
    void* library = platform::loadLibrary(path, error);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, error.c_str());
        return 1;
    }
    const auto t1 = clock::now();
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(platform::librarySymbol(library, "main"));
    AEffect* effect = entry != nullptr ? entry(host) : nullptr;
    const auto t2 = clock::now();
    if (effect == nullptr) {
        std::fprintf(stderr, "no effect from main\n");
        return 1;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    const auto t3 = clock::now();
    auto us = [](auto d) { return std::chrono::duration<double, std::micro>(d).count(); };
    std::printf("dlopen %.0f us, main %.0f us, effClose %.0f us, total %.0f us\n", us(t1 - t0),
                us(t2 - t1), us(t3 - t2), us(t3 - t0));
    platform::unloadLibrary(library);
    return 0;
}
