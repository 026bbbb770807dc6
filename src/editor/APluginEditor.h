#pragma once
// Making the plug-in with its editor: the factory APlugin's constructor takes, and the
// creation function that the library's entry (and tools that link the plug-in) hand to
// vstPluginEntry.

#include "plugin/uPlugin.h"

#include <memory>

/// The editor wrapper of `plugin`.
std::unique_ptr<APluginEditor> createPluginEditor(APlugin& plugin);

/// A plug-in object with its editor; the caller (the entry glue) owns it through its record.
AudioEffect* createPluginWithEditor(audioMasterCallback audioMaster);
