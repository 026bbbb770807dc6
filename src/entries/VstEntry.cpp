// The library's VST 2 entry: `main` (what 32-bit Windows hosts call) and `VSTPluginMain` (what
// 64-bit and Linux hosts look for first), both undecorated C names; see the export lists beside
// this file.

#include "editor/APluginEditor.h"

namespace {

AudioEffect* createPlugin(audioMasterCallback audioMaster) {
    return createPluginWithEditor(audioMaster); // owned by the host's record now
}

} // namespace

extern "C" {

WADLING_EXPORT AEffect* VSTCALLBACK wadlingMain(audioMasterCallback audioMaster) WADLING_MAIN_NAME;

WADLING_EXPORT AEffect* VSTCALLBACK wadlingMain(audioMasterCallback audioMaster) {
    return vstPluginEntry(audioMaster, createPlugin);
}

WADLING_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) {
    return vstPluginEntry(audioMaster, createPlugin);
}
}
