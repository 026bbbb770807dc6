// The LV2 UI's idle with nothing to do, as a host calls it between frames: the bundle's UI
// library loaded through lv2ui_descriptor, its editor embedded in a host window of our own on
// the X server, then 1000 idle calls timed one by one. Prints the mean, median and largest.
// Usage: bench_lv2_ui_idle (on a display, e.g. under xvfb-run).

#include "host/HostWindow.h"
#include "lv2/Lv2Ports.h"

#include <dlfcn.h>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<std::string, LV2_URID> ids;

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    return ids.emplace(uri, LV2_URID(ids.size() + 1)).first->second;
}

void ignoreWrite(LV2UI_Controller, uint32_t, uint32_t, uint32_t, const void*) {}

} // namespace

int main() {
    void* library = dlopen(WADLING_LV2_UI_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    const auto entry =
        reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
    const LV2UI_Descriptor* ui = entry != nullptr ? entry(0) : nullptr;
    if (ui == nullptr) return 1;
    host::HostWindow window;
    void* parent = window.open("bench_lv2_ui_idle", 490, 322);
    if (parent == nullptr) {
        std::fprintf(stderr, "no host window (is there a display?)\n");
        return 1;
    }
    LV2_URID_Map map{nullptr, &mapUri};
    LV2_Feature parentFeature{LV2_UI__parent, parent};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&parentFeature, &mapFeature, nullptr};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle handle =
        ui->instantiate(ui, lv2glue::kPluginUri, "", &ignoreWrite, nullptr, &widget, features);
    const auto* idle =
        static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
    if (handle == nullptr || idle == nullptr) return 1;
    // Let the first frame and the window's first events go by: then there is nothing to do.
    for (int i = 0; i < 50; ++i)
        idle->idle(handle);
    std::vector<double> us;
    for (int i = 0; i < 1000; ++i) {
        const auto start = std::chrono::steady_clock::now();
        idle->idle(handle);
        us.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
    }
    double sum = 0;
    for (double u : us)
        sum += u;
    std::sort(us.begin(), us.end());
    std::printf("LV2 UI idle with nothing to do: mean %.2f us, median %.2f us, max %.1f us "
                "(1000 calls)\n",
                sum / double(us.size()), us[us.size() / 2], us.back());
    ui->cleanup(handle);
    window.close();
    dlclose(library);
    return 0;
}
