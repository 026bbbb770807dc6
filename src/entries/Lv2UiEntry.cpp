// The LV2 UI library's entry: one UI, index 0; the export list beside this file keeps it the
// only symbol the library shows.

#include "entries/Lv2Ui.h"

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &lv2glue::uiDescriptor() : nullptr;
}
