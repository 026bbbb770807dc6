#pragma once
// The LV2 build's identity and port layout, shared by the glue, the turtle generator and tests.

#include <cstdint>

#include "plugin/uPlugin.h"

namespace lv2glue {

inline constexpr const char* kPluginUri = "https://reedmoor.example/plugins/wadling-compressor";
/// The key of the state blob; below the plug-in's URI, so that no other plug-in's state is ours.
inline constexpr const char* kStateKeyUri =
    "https://reedmoor.example/plugins/wadling-compressor#state";

/// The editor's requests to the instance, which may live in another process: an atom:Object of
/// this type on the midi_in port, with an atom:Int command (the MidiCommand values) and, for
/// learning, the parameter index.
inline constexpr const char* kMidiMapRequestUri =
    "https://reedmoor.example/plugins/wadling-compressor#MidiMapRequest";
inline constexpr const char* kCommandUri =
    "https://reedmoor.example/plugins/wadling-compressor#command";
inline constexpr const char* kParameterUri =
    "https://reedmoor.example/plugins/wadling-compressor#parameter";
/// As the editor's MIDI menu numbers its entries; ReportMidiMap asks for a report on notify.
enum MidiCommand : int32_t {
    LearnParameter = 0,
    ReportMidiMap = 1,
    ClearMidiMap = 2,
    DefaultMidiMap = 3
};
/// The instance's answer on the notify port (Lv2MapReport.h): an atom:Object of this type with
/// the controller map as an atom:Vector of atom:Int and the parameter being learnt.
inline constexpr const char* kMidiMapStateUri =
    "https://reedmoor.example/plugins/wadling-compressor#MidiMapState";
inline constexpr const char* kMapUri = "https://reedmoor.example/plugins/wadling-compressor#map";
inline constexpr const char* kLearningUri =
    "https://reedmoor.example/plugins/wadling-compressor#learning";

/// The editor as an LV2 UI.
inline constexpr const char* kUiUri = "https://reedmoor.example/plugins/wadling-compressor#ui";

/// Port indices: audio first, then the MIDI sequences, then one control port per parameter in
/// the plug-in's own order, so that port FirstControl + i is parameter i; the editor's notify
/// port came later and goes last, so that no earlier port moved.
enum Port : uint32_t {
    InL = 0,
    InR,
    OutL,
    OutR,
    MidiIn,
    MidiOut,
    FirstControl,
    ControlEnd = FirstControl + APlugin::kNumParams,
    Notify = ControlEnd,
    PortCount
};

} // namespace lv2glue
