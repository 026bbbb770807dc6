#include "lv2/Lv2State.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace lv2glue {
namespace {

constexpr uint8_t kMagic[4] = {'W', 'D', 'L', 'S'};

void put(uint8_t*& at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        *at++ = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t take(const uint8_t*& at) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t{*at++} << (8 * i);
    return v;
}

} // namespace

StateBytes encodeState(const SavedState& state) {
    StateBytes bytes{};
    uint8_t* at = bytes.data();
    std::memcpy(at, kMagic, 4);
    at += 4;
    put(at, kStateVersion);
    put(at, static_cast<uint32_t>(state.program));
    for (float v : state.values)
        put(at, std::bit_cast<uint32_t>(v));
    for (float v : state.portValues)
        put(at, std::bit_cast<uint32_t>(v));
    return bytes;
}

std::optional<SavedState> decodeState(const void* data, size_t size) {
    if (!data || size != kStateSize) return std::nullopt;
    const auto* at = static_cast<const uint8_t*>(data);
    if (std::memcmp(at, kMagic, 4) != 0) return std::nullopt;
    at += 4;
    if (take(at) != kStateVersion) return std::nullopt;
    SavedState state;
    state.program = static_cast<int32_t>(take(at));
    if (state.program < 0 || state.program >= APlugin::kNumPrograms) return std::nullopt;
    for (float& v : state.values) {
        v = std::bit_cast<float>(take(at));
        if (!(v >= 0.0f && v <= 1.0f)) return std::nullopt;
    }
    // Port values are whatever the host wrote, out of range included, but never NaN: the glue
    // does not apply one.
    for (float& v : state.portValues) {
        v = std::bit_cast<float>(take(at));
        if (std::isnan(v)) return std::nullopt;
    }
    return state;
}

} // namespace lv2glue
