#pragma once
// The state blob: what the host's ports do not hold. A controller or MIDI learn moves a
// parameter without moving its port, so the parameter values and the port values last applied
// travel together; restoring both keeps an unchanged port from undoing the controller's value.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "plugin/uPlugin.h"

namespace lv2glue {

struct SavedState {
    int32_t program = 0;
    std::array<float, APlugin::kNumParams> values{};
    std::array<float, APlugin::kNumParams> portValues{};
};

inline constexpr uint32_t kStateVersion = 1;
/// Magic, version, program, then both value tables; every field 4 bytes, little-endian.
inline constexpr size_t kStateSize = 4 + 4 + 4 + 2 * 4 * APlugin::kNumParams;
using StateBytes = std::array<uint8_t, kStateSize>;

StateBytes encodeState(const SavedState& state);
/// The state, or nothing when the bytes are not a blob of this version: wrong size or magic,
/// another version, a program outside 0..11, a parameter value outside 0..1 or a NaN anywhere.
std::optional<SavedState> decodeState(const void* data, size_t size);

} // namespace lv2glue
