// Any bytes as a map file: the reader never writes outside the table, never assigns a
// parameter that does not exist, gives the same map however the bytes arrive in pieces, and
// reads its own output back unchanged.

#include "plugin/uPluginMidiMap.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

midimap::CcMap read(std::string_view text, std::size_t piece) {
    midimap::CcMap map;
    map.fill(-1);
    midimap::LineReader reader(map);
    for (std::size_t at = 0; at < text.size(); at += piece)
        reader.feed(text.substr(at, piece));
    reader.finish();
    return map;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const midimap::CcMap whole = read(text, size == 0 ? 1 : size);
    for (std::int32_t param : whole)
        if (param < -1 || param >= midimap::kParams) std::abort();
    const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 7;
    if (read(text, piece) != whole) std::abort();
    if (read(midimap::formatMap(whole), 64) != whole) std::abort();
    return 0;
}
