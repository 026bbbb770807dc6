// The LV2 library's entry: one plug-in, index 0. The export list beside this file keeps it the
// only symbol the bundle's library shows.

#include "lv2/Lv2Descriptor.h"

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &lv2glue::descriptor() : nullptr;
}
