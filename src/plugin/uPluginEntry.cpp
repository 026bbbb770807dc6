// The library's entry: `main` (what 32-bit Windows hosts call) and `VSTPluginMain` (what 64-bit
// and Linux hosts look for first), both undecorated C names; see the export lists beside this
// file.

#include "editor/APluginEditor.h"

namespace {

AudioEffect* createPlugin(audioMasterCallback audioMaster) {
    return createPluginWithEditor(audioMaster); // owned by the host's record now
}

} // namespace

#if defined(_WIN32)
#define WADLING_EXPORT
#define WADLING_MAIN_NAME
#else
#define WADLING_EXPORT __attribute__((visibility("default")))
// C++ reserves the name main for the program: the function gets another C++ name and the
// assembler name "main".
#define WADLING_MAIN_NAME __asm__("main")
#endif

extern "C" {

WADLING_EXPORT AEffect* VSTCALLBACK wadlingMain(audioMasterCallback audioMaster) WADLING_MAIN_NAME;

WADLING_EXPORT AEffect* VSTCALLBACK wadlingMain(audioMasterCallback audioMaster) {
    return vstPluginEntry(audioMaster, createPlugin);
}

WADLING_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
    return vstPluginEntry(audioMaster, createPlugin);
}
}
