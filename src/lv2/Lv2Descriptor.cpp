// The descriptor's C functions: each one guards the host's handle and keeps every exception on
// this side of the boundary.

#include "lv2/Lv2Descriptor.h"

#include <string_view>

#include <lv2/state/state.h>

#include "lv2/Lv2Plugin.h"

namespace lv2glue {
namespace {

Lv2Plugin* from(LV2_Handle handle) {
    return static_cast<Lv2Plugin*>(handle);
}

LV2_Handle instantiate(const LV2_Descriptor* /*descriptor*/, double rate,
                       const char* /*bundlePath*/, const LV2_Feature* const* features) {
    try {
        return Lv2Plugin::create(rate, features).release();
    } catch (...) {
        return nullptr;
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    if (handle) from(handle)->connectPort(port, data);
}

void activate(LV2_Handle handle) {
    if (handle) from(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    if (handle) from(handle)->run(frames);
}

void deactivate(LV2_Handle handle) {
    if (handle) from(handle)->deactivate();
}

void cleanup(LV2_Handle handle) {
    delete from(handle); // the plug-in writes its controller map here; it throws nothing
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
    if (!handle) return LV2_STATE_ERR_UNKNOWN;
    try {
        return from(handle)->save(store, state);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, uint32_t /*flags*/,
                         const LV2_Feature* const* /*features*/) {
    if (!handle) return LV2_STATE_ERR_UNKNOWN;
    try {
        return from(handle)->restore(retrieve, state);
    } catch (...) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

const LV2_State_Interface kStateInterface = {save, restore};

const void* extensionData(const char* uri) {
    if (uri && std::string_view(uri) == LV2_STATE__interface) return &kStateInterface;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                    run,        deactivate,  cleanup,     extensionData};

} // namespace

const LV2_Descriptor& descriptor() {
    return kDescriptor;
}

} // namespace lv2glue
