#include "entries/Lv2Ui.h"

#include <cmath>
#include <cstring>
#include <optional>
#include <string_view>

#include <lv2/atom/atom.h>

#include "editor/uEditor.h"
#include "lv2/Lv2Ports.h"
#include "platform/Platform.h"

namespace lv2glue {
namespace {

const void* featureData(const LV2_Feature* const* features, const char* uri) {
    if (!features) return nullptr;
    for (; *features; ++features)
        if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
    return nullptr;
}

} // namespace

Lv2Ui::Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map& map,
             const LV2UI_Touch* touch)
    : write(write), controller(controller),
      touch(touch), urid{map.map(map.handle, LV2_ATOM__eventTransfer),
                         map.map(map.handle, LV2_ATOM__Object),
                         map.map(map.handle, LV2_ATOM__Int),
                         map.map(map.handle, kMidiMapRequestUri),
                         map.map(map.handle, kCommandUri),
                         map.map(map.handle, kParameterUri)},
      reportUrid(map),
      effect(std::make_unique<APlugin>(&Lv2Ui::hostCallback, &createPluginEditor)) {
    effect->getAeffect()->user = this;
}

Lv2Ui::~Lv2Ui() {
    endGestures();
    editor().close();
    // The instance keeps the controller map and its file: this copy, which shows the instance's
    // reports and names the file they go to, never writes it.
    effect->midiMapFiles = midimap::MapFiles{};
}

std::unique_ptr<Lv2Ui> Lv2Ui::create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                     const LV2_Feature* const* features) {
    void* parent = const_cast<void*>(featureData(features, LV2_UI__parent));
    const auto* map = static_cast<const LV2_URID_Map*>(featureData(features, LV2_URID__map));
    if (!write || !parent || !map || !map->map) return nullptr;
    const auto* touch = static_cast<const LV2UI_Touch*>(featureData(features, LV2_UI__touch));
    if (touch && !touch->touch) touch = nullptr;
    std::unique_ptr<Lv2Ui> ui(new Lv2Ui(write, controller, *map, touch));
    const auto* resize = static_cast<const LV2UI_Resize*>(featureData(features, LV2_UI__resize));
    if (resize && resize->ui_resize) ui->resize = resize;
    if (!ui->editor().open(parent)) return nullptr;
    ui->takeMidiMenu();
    // The map as the instance has it now, not as the file had it.
    ui->sendRequest(ReportMidiMap, -1);
    // The window's own size: the editor opens at the user's or the system's scale.
    if (const TPluginEditorWindow* window = pluginEditor(*ui->effect)->window.get();
        window && ui->resize)
        ui->resize->ui_resize(ui->resize->handle, window->ClientWidth(), window->ClientHeight());
    return ui;
}

LV2UI_Widget Lv2Ui::widget() const {
    TPluginEditorWindow* window = pluginEditor(*effect)->window.get();
    return window ? platform::backend().nativeWindow(window->Handle()) : nullptr;
}

intptr_t VSTCALLBACK Lv2Ui::hostCallback(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* /*ptr*/, float /*opt*/) {
    auto* self = effect ? static_cast<Lv2Ui*>(effect->user) : nullptr;
    if (opcode == audioMasterVersion) return 2400;
    if (self && opcode == audioMasterAutomate) self->parameterSet(index);
    // A new scale chosen while open: the host's resize feature answers for the host.
    if (self && opcode == audioMasterSizeWindow && self->resize && index > 0 && value > 0)
        return self->resize->ui_resize(self->resize->handle, index, static_cast<int>(value)) == 0;
    return 0;
}

void Lv2Ui::parameterSet(int32_t index) {
    if (index < 0 || index >= APlugin::kNumParams) return;
    const uint32_t port = FirstControl + static_cast<uint32_t>(index);
    // A value set while the pointer holds a control is part of a drag: the host hears the
    // gesture begin before its first value and end once the button is up (next idle).
    if (touch && platform::backend().captureWindow() && touched.insert(port).second)
        touch->touch(touch->handle, port, true);
    // The float the plug-in stored (clamped), which a VST 2 host would read back.
    const float stored = effect->getParameter(index);
    write(controller, port, sizeof(float), 0, &stored);
}

void Lv2Ui::endGestures() {
    if (touch)
        for (uint32_t port : touched)
            touch->touch(touch->handle, port, false);
    touched.clear();
}

void Lv2Ui::portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    if (port == Notify && format == urid.eventTransfer) {
        if (const std::optional<MapReport> report = readMapReport(buffer, size, reportUrid)) {
            for (int cc = 0; cc < midimap::kControllers; ++cc)
                effect->midiCcMap[cc].store(report->map[cc], std::memory_order_relaxed);
            effect->midiLearnParam.store(report->learning, std::memory_order_relaxed);
        }
        return;
    }
    if (format != 0 || size != sizeof(float) || !buffer || port < FirstControl ||
        port >= ControlEnd)
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (std::isnan(value)) return;
    effect->setParameter(static_cast<int32_t>(port - FirstControl), value);
}

int Lv2Ui::idle() {
    editor().idle();
    if (!platform::backend().captureWindow()) endGestures();
    return editor().window ? 0 : 1;
}

void Lv2Ui::sendRequest(int32_t command, int32_t parameter) {
    // An object of two Int properties, each padded to 8 bytes as atoms are.
    struct IntProperty {
        LV2_Atom_Property_Body head;
        int32_t value;
        int32_t pad;
    };
    struct {
        LV2_Atom_Object object;
        IntProperty command, parameter;
    } request{};
    request.object.atom = {sizeof request - sizeof(LV2_Atom), urid.atomObject};
    request.object.body = {0, urid.midiMapRequest};
    request.command = {{urid.command, 0, {sizeof(int32_t), urid.atomInt}}, command, 0};
    request.parameter = {{urid.parameter, 0, {sizeof(int32_t), urid.atomInt}}, parameter, 0};
    write(controller, MidiIn, sizeof request, urid.eventTransfer, &request);
}

void Lv2Ui::takeMidiMenu() {
    TPluginEditorWindow& window = *editor().window;
    // Learning and the map's resets happen in the instance, which hears the controllers and
    // reports its map on notify; the local copy follows the resets at once, so that the mapping
    // shown is right even with a host that passes no reports.
    window.mnuitmMIDILearn->OnClick = [this](runtime::TPersistent*) {
        if (TPluginEditorWindow* w = editor().window.get()) sendRequest(LearnParameter, w->lastTag);
    };
    window.mnuitmResetMIDILearning->OnClick = [this](runtime::TPersistent*) {
        effect->clearMidiMap();
        sendRequest(ClearMidiMap, -1);
    };
    window.mnuitmRestoreDefaultMIDIMapping->OnClick = [this](runtime::TPersistent*) {
        effect->setDefaultMidiMap();
        sendRequest(DefaultMidiMap, -1);
    };
}

namespace {

Lv2Ui* from(LV2UI_Handle handle) {
    return static_cast<Lv2Ui*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* pluginUri,
                         const char* /*bundlePath*/, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
    if (!widget || !pluginUri || std::string_view(pluginUri) != kPluginUri) return nullptr;
    try {
        std::unique_ptr<Lv2Ui> ui = Lv2Ui::create(write, controller, features);
        if (!ui) return nullptr;
        *widget = ui->widget();
        return ui.release();
    } catch (...) {
        return nullptr;
    }
}

void cleanup(LV2UI_Handle handle) {
    delete from(handle);
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    if (handle) from(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) {
    if (!handle) return 1;
    try {
        return from(handle)->idle();
    } catch (...) {
        return 1;
    }
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::string_view(uri) == LV2_UI__idleInterface) return &kIdleInterface;
    return nullptr;
}

const LV2UI_Descriptor kUiDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

const LV2UI_Descriptor& uiDescriptor() {
    return kUiDescriptor;
}

} // namespace lv2glue
