// libFuzzer target: the controller map file reader, fed untrusted text in arbitrary pieces.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "plugin/uPluginMidiMap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses where the text is cut, as file reads of any size would cut it.
    const size_t piece = 1 + data[0] % 64;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    midimap::CcMap map;
    map.fill(-1);
    midimap::LineReader reader(map);
    for (size_t at = 0; at < text.size(); at += piece)
        reader.feed(text.substr(at, piece));
    reader.finish();
    for (int32_t param : map)
        if (param < -1 || param >= midimap::kParams) std::abort();

    // What the plug-in writes, it reads back unchanged.
    midimap::CcMap again;
    again.fill(-1);
    midimap::LineReader back(again);
    back.feed(midimap::formatMap(map));
    back.finish();
    if (again != map) std::abort();
    return 0;
}
