#pragma once
// The editor as an LV2 X11 UI. The host may run it in another process than the instance, so it
// owns a plug-in object of its own (no audio) for the editor to read and set: what the user sets
// leaves through the host's write function as control port floats, MIDI map requests leave as
// atom objects on midi_in, and the host's port values and the instance's controller map come
// back through portEvent.

#include <cstdint>
#include <memory>
#include <set>

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "editor/APluginEditor.h"
#include "lv2/Lv2MapReport.h"

namespace lv2glue {

class Lv2Ui {
public:
    /// Null without the host's parent window, urid:map or write function, or when the window
    /// cannot be made.
    static std::unique_ptr<Lv2Ui> create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                         const LV2_Feature* const* features);
    ~Lv2Ui();
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    /// What the host embeds: the editor window's system handle.
    LV2UI_Widget widget() const;
    /// A control port's float moves the editor at its next timer tick, as the VST 2 editor's
    /// update does; a map report on notify becomes the map the editor shows; anything else is
    /// ignored.
    void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    /// The host's idle call: window events, timers, paint, then the end of a finished gesture.
    int idle();

    APlugin& plugin() { return *effect; }
    APluginEditor& editor() { return *pluginEditor(*effect); }

private:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map& map,
          const LV2UI_Touch* touch);
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                             intptr_t value, void* ptr, float opt);
    void parameterSet(int32_t index);
    void endGestures();
    void sendRequest(int32_t command, int32_t parameter);
    void takeMidiMenu();

    LV2UI_Write_Function write;
    LV2UI_Controller controller;
    const LV2UI_Touch* touch;
    /// The host's resize feature, which answers the editor's size requests (null without it).
    const LV2UI_Resize* resize = nullptr;
    struct Urids {
        LV2_URID eventTransfer, atomObject, atomInt, midiMapRequest, command, parameter;
    } urid;
    MapReportUrids reportUrid;
    std::unique_ptr<APlugin> effect;
    /// Ports whose gesture the host was told of and not yet told the end of.
    std::set<uint32_t> touched;
};

const LV2UI_Descriptor& uiDescriptor();

} // namespace lv2glue
