#pragma once
// The plug-in linked into a program (a test, a benchmark, a tool) instead of loaded: created
// through the same entry glue as the binary's export, answered by a host of the program's, and
// sharing the program's headless backend. Plain C++, so that tools include it as well.

#include "editor/APluginEditor.h"
#include "editor/uEditor.h"
#include "host/VstHost.h"
#include "platform/headless/Headless.h"

namespace testsupport {

/// What the binary's export does, with the plug-in and its editor linked in.
inline AEffect* VSTCALLBACK linkedEntry(audioMasterCallback audioMaster) {
    return vstPluginEntry(audioMaster, &createPluginWithEditor);
}

/// The plug-in object behind an instance made through linkedEntry: the entry glue keeps the
/// AudioEffect in the record's object field.
inline APlugin& pluginObject(const host::PluginInstance& plugin) {
    return *static_cast<APlugin*>(static_cast<AudioEffect*>(plugin.effect()->object));
}

/// One linked plug-in with a recording host on the headless backend, and a pretend host
/// window to open the editor in (its handle is its address).
struct LinkedSession {
    platform::HeadlessSession headless;
    host::HostCallback host;
    host::PluginInstance plugin{&linkedEntry, host};
    int hostWindow = 0;

    APlugin& object() const { return pluginObject(plugin); }
    APluginEditor& wrapper() const { return *pluginEditor(object()); }
    /// The open editor window.
    TPluginEditorWindow& window() const { return *wrapper().window; }
};

} // namespace testsupport
