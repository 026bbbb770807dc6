#pragma once
// The plug-in's LV2 descriptor; the library entry exports it.

#include <lv2/core/lv2.h>

namespace lv2glue {

const LV2_Descriptor& descriptor();

} // namespace lv2glue
