#pragma once
// The LV2 build's identity and port layout, shared by the glue, the turtle generator and tests.

#include <cstdint>

#include "plugin/uPlugin.h"

namespace lv2glue {

inline constexpr const char* kPluginUri = "https://reedmoor.example/plugins/wadling-compressor";
/// The key of the state blob; below the plug-in's URI, so that no other plug-in's state is ours.
inline constexpr const char* kStateKeyUri =
    "https://reedmoor.example/plugins/wadling-compressor#state";

/// Port indices: audio first, then the MIDI sequences, then one control port per parameter in
/// the plug-in's own order, so that port FirstControl + i is parameter i.
enum Port : uint32_t {
    InL = 0,
    InR,
    OutL,
    OutR,
    MidiIn,
    MidiOut,
    FirstControl,
    PortCount = FirstControl + APlugin::kNumParams
};

} // namespace lv2glue
