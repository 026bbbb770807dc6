// The editor as an LV2 UI, instantiated through its descriptor by a pretend host on the headless
// backend: the same pixels as the VST 2 editor, port events moving it, the user's changes and
// MIDI map requests leaving through the write function, and a host's bad inputs.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "../support/UserSettings.h"
#include "editor/uEditor.h"
#include "entries/Lv2Ui.h"
#include "lv2/Lv2MapReport.h"
#include "lv2/Lv2Ports.h"
#include "platform/headless/Headless.h"

namespace {

constexpr uint32_t FirstControl = lv2glue::FirstControl;

/// What the UI wrote: a port, a protocol and the bytes.
struct Write {
    uint32_t port, protocol;
    std::vector<uint8_t> bytes;
    float value() const {
        float v = 0;
        if (bytes.size() == sizeof v) std::memcpy(&v, bytes.data(), sizeof v);
        return v;
    }
};

/// A touch (port, grabbed) or a write, in the order the host heard them.
struct Heard {
    enum Kind { Touch, Written } kind;
    uint32_t port;
    bool grabbed = false;
};

class Lv2UiTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless.setForeignParentOrigin(0, 0);
        // No Zoom choice of the developer's own reaches the window.
        testsupport::setUserSettingsFolder(std::filesystem::path(::testing::TempDir()) /
                                           "wadling-lv2ui-settings");
    }
    void TearDown() override {
        if (handle) lv2glue::uiDescriptor().cleanup(handle);
    }

    /// The UI with the given features (all of them by default).
    LV2UI_Handle instantiate(std::vector<const LV2_Feature*> list = {}) {
        if (list.empty()) list = {&parentFeature, &mapFeature, &touchFeature, &resizeFeature};
        list.push_back(nullptr);
        const LV2UI_Descriptor& d = lv2glue::uiDescriptor();
        return d.instantiate(&d, lv2glue::kPluginUri, "/nowhere/", &Lv2UiTest::write, this, &widget,
                             list.data());
    }
    /// The UI, once it asked the instance for its controller map.
    void open() {
        writes.clear();
        handle = instantiate();
        ASSERT_NE(handle, nullptr);
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].port, lv2glue::MidiIn);
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(writes[0].bytes.data());
        const LV2_Atom* command = nullptr;
        lv2_atom_object_get(object, id(lv2glue::kCommandUri), &command, 0);
        ASSERT_NE(command, nullptr);
        EXPECT_EQ(reinterpret_cast<const LV2_Atom_Int*>(command)->body, lv2glue::ReportMidiMap);
        writes.clear();
        heard.clear();
    }
    lv2glue::Lv2Ui& ui() { return *static_cast<lv2glue::Lv2Ui*>(handle); }
    TPluginEditorWindow& window() { return *ui().editor().window; }
    void portEvent(uint32_t port, float value) {
        lv2glue::uiDescriptor().port_event(handle, port, sizeof value, 0, &value);
    }
    int idle() {
        const auto* i = static_cast<const LV2UI_Idle_Interface*>(
            lv2glue::uiDescriptor().extension_data(LV2_UI__idleInterface));
        return i->idle(handle);
    }
    /// Advances the editor's timer once and lets the host's idle call run.
    void tick() {
        headless.advanceClock(100);
        idle();
    }
    std::vector<const Write*> floatsTo(uint32_t port) const {
        std::vector<const Write*> found;
        for (const Write& w : writes)
            if (w.port == port && w.protocol == 0) found.push_back(&w);
        return found;
    }
    /// The window's pixels (alpha dropped).
    std::vector<uint32_t> pixels(TPluginEditorWindow& w) const {
        std::vector<uint32_t> out;
        const platform::WindowHandle h = w.DIBContainer1->Handle();
        for (int y = 0; y < TPluginEditorWindow::kClientHeight; ++y)
            for (int x = 0; x < TPluginEditorWindow::kClientWidth; ++x)
                out.push_back(headless.pixel(h, x, y) & 0xFFFFFFu);
        return out;
    }
    void drag(const runtime::TControl& c, int dy) {
        const int x = c.Left() + c.Width() / 2, y = c.Top() + c.Height() / 2;
        headless.mouseDown(platform::MouseButton::Left, x, y);
        for (int moved = 0; moved != dy;) {
            moved += dy > moved ? std::min(10, dy - moved) : std::max(-10, dy - moved);
            headless.mouseMove(x, y + moved);
            idle();
        }
        headless.mouseUp(platform::MouseButton::Left, x, y + dy);
    }
    void menu(const runtime::TControl& c, std::vector<std::string> path) {
        headless.queueMenuChoice(std::move(path));
        headless.click(platform::MouseButton::Right, c.Left() + c.Width() / 2,
                       c.Top() + c.Height() / 2);
    }

    static void write(LV2UI_Controller controller, uint32_t port, uint32_t size, uint32_t protocol,
                      const void* buffer) {
        auto* self = static_cast<Lv2UiTest*>(controller);
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        self->writes.push_back({port, protocol, {bytes, bytes + size}});
        self->heard.push_back({Heard::Written, port});
    }
    static void touch(LV2UI_Feature_Handle h, uint32_t port, bool grabbed) {
        static_cast<Lv2UiTest*>(h)->heard.push_back({Heard::Touch, port, grabbed});
    }
    static int resize(LV2UI_Feature_Handle h, int width, int height) {
        static_cast<Lv2UiTest*>(h)->resizes.push_back({width, height});
        return 0;
    }
    LV2_URID id(const std::string& uri) { return ids.emplace(uri, ids.size() + 1).first->second; }

    platform::HeadlessSession headless;
    int hostWindow = 0; // the pretend parent's handle is its address
    std::map<std::string, LV2_URID> ids;
    LV2_URID_Map map{this, [](LV2_URID_Map_Handle h, const char* uri) {
                         return static_cast<Lv2UiTest*>(h)->id(uri);
                     }};
    LV2UI_Touch touchData{this, &Lv2UiTest::touch};
    LV2UI_Resize resizeData{this, &Lv2UiTest::resize};
    LV2_Feature parentFeature{LV2_UI__parent, &hostWindow};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature touchFeature{LV2_UI__touch, &touchData};
    LV2_Feature resizeFeature{LV2_UI__resize, &resizeData};
    LV2UI_Widget widget = nullptr;
    LV2UI_Handle handle = nullptr;
    std::vector<Write> writes;
    std::vector<Heard> heard;
    std::vector<std::pair<int, int>> resizes;
};

TEST_F(Lv2UiTest, TheWindowShowsWhatTheVst2EditorShowsForTheSameValues) {
    open();
    EXPECT_EQ(widget, window().Handle()) << "the headless backend's handles are the system's";
    EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{490, 322}}));
    EXPECT_EQ(window().ClientWidth(), 490);
    EXPECT_EQ(window().ClientHeight(), 322);

    const float values[] = {0.2f, 0.85f, 0.6f, 0.37f, 0.1f, 0.75f, 1.0f};
    APlugin vst(nullptr, &createPluginEditor);
    vst.midiMapFiles = midimap::MapFiles{};
    for (int i = 0; i < 7; ++i) {
        vst.setParameter(i, values[i]);
        portEvent(FirstControl + i, values[i]);
    }
    int vstParent = 0;
    ASSERT_TRUE(pluginEditor(vst)->open(&vstParent));
    tick();
    const auto shown = pixels(window());
    EXPECT_EQ(shown, pixels(*pluginEditor(vst)->window));
    EXPECT_NE(shown, std::vector<uint32_t>(shown.size(), shown.front())) << "a picture, drawn";
    EXPECT_TRUE(writes.empty()) << "the host's values are not sent back";
    pluginEditor(vst)->close();
}

TEST_F(Lv2UiTest, PortEventsMoveTheEditorAtItsNextTick) {
    open();
    portEvent(FirstControl + param::EQLo, 0.5f);
    portEvent(FirstControl + param::Squeeze, 0.25f);
    portEvent(FirstControl + param::EQListen, 1.0f);
    portEvent(FirstControl + param::Skweezy, 0.75f);
    tick();
    EXPECT_EQ(window().Duck3->Top(), 97) << "172 - round(0.5 x 150)";
    EXPECT_EQ(window().kbComp->Position(), 100);
    EXPECT_TRUE(window().btnListen->Down());
    EXPECT_TRUE(window().mnuSqeezy4->Checked());
    portEvent(FirstControl + param::EQLo, 0.9f);
    tick();
    EXPECT_EQ(window().Duck3->Top(), 37);
    EXPECT_TRUE(writes.empty());
}

TEST_F(Lv2UiTest, ADragWritesTheStoredFloatsInsideOneTouchGesture) {
    open();
    portEvent(FirstControl + param::EQLo, 0.5f);
    tick();
    drag(*window().Duck3, -30);
    idle();
    const uint32_t port = FirstControl + param::EQLo;
    const auto sent = floatsTo(port);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent.back()->value(), static_cast<float>(105.0L / 150.0L));
    EXPECT_EQ(sent.back()->value(), ui().plugin().getParameter(param::EQLo));
    ASSERT_EQ(heard.size(), 5u);
    EXPECT_EQ(heard.front().kind, Heard::Touch);
    EXPECT_TRUE(heard.front().grabbed);
    EXPECT_EQ(heard.back().kind, Heard::Touch);
    EXPECT_FALSE(heard.back().grabbed);
    for (const Heard& h : heard)
        EXPECT_EQ(h.port, port);

    // The host echoing the value moves nothing back out.
    portEvent(port, sent.back()->value());
    tick();
    EXPECT_EQ(floatsTo(port).size(), 3u);
}

TEST_F(Lv2UiTest, TheCharacterMenuWritesEachOfItsValues) {
    open();
    tick();
    const uint32_t port = FirstControl + param::Skweezy;
    std::vector<float> chosen;
    for (runtime::TMenuItem* item : {window().mnuSqeezy2, window().mnuSqeezy3, window().mnuSqeezy4,
                                     window().mnuSqeezy5, window().mnuSqeezy1}) {
        menu(*window().EQs, {item->Caption()});
        idle();
        const auto sent = floatsTo(port);
        ASSERT_FALSE(sent.empty()) << item->Caption();
        chosen.push_back(sent.back()->value());
    }
    EXPECT_EQ(chosen, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f, 0.0f}));
    for (const Heard& h : heard)
        EXPECT_EQ(h.kind, Heard::Written) << "a menu choice is no gesture";
}

TEST_F(Lv2UiTest, MidiMenuRequestsGoToMidiInAsObjects) {
    open();
    tick();
    drag(*window().Duck2, 0); // the band the menu's learn entry is for
    menu(*window().Duck2, {"MIDI", "MIDI Learn"});
    menu(*window().Duck2, {"MIDI", "Reset MIDI Learning"});
    menu(*window().Duck2, {"MIDI", "Restore Default MIDI Mapping"});
    std::vector<std::pair<int32_t, int32_t>> requests;
    for (const Write& w : writes) {
        if (w.port != lv2glue::MidiIn) continue;
        EXPECT_EQ(w.protocol, id(LV2_ATOM__eventTransfer));
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(w.bytes.data());
        ASSERT_EQ(lv2_atom_total_size(&object->atom), w.bytes.size());
        ASSERT_EQ(object->atom.type, id(LV2_ATOM__Object));
        ASSERT_EQ(object->body.otype, id(lv2glue::kMidiMapRequestUri));
        const LV2_Atom* command = nullptr;
        const LV2_Atom* parameter = nullptr;
        lv2_atom_object_get(object, id(lv2glue::kCommandUri), &command, id(lv2glue::kParameterUri),
                            &parameter, 0);
        ASSERT_TRUE(command && parameter);
        requests.push_back({reinterpret_cast<const LV2_Atom_Int*>(command)->body,
                            reinterpret_cast<const LV2_Atom_Int*>(parameter)->body});
    }
    EXPECT_EQ(requests,
              (std::vector<std::pair<int32_t, int32_t>>{{lv2glue::LearnParameter, param::EQMid},
                                                        {lv2glue::ClearMidiMap, -1},
                                                        {lv2glue::DefaultMidiMap, -1}}));
    EXPECT_EQ(ui().plugin().midiLearnParam.load(), -1) << "the UI's copy learns nothing";
}

TEST_F(Lv2UiTest, TheInstancesMapReportsAreWhatShowMidiMappingShows) {
    open();
    const lv2glue::MapReportUrids reportUrid(map);
    // A report as the instance sends it: controller 70 learnt for Squeeze, Mid being learnt.
    lv2glue::MapReport sent{};
    sent.map.fill(-1);
    sent.map[70] = param::Squeeze;
    sent.learning = param::EQMid;
    std::vector<uint64_t> words(512);
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(words.data());
    sequence->atom = {sizeof(LV2_Atom_Sequence_Body), id(LV2_ATOM__Sequence)};
    ASSERT_TRUE(lv2glue::appendMapReport(*sequence, words.size() * 8 - sizeof(LV2_Atom), 0,
                                         reportUrid, sent));
    const LV2_Atom& report = lv2_atom_sequence_begin(&sequence->body)->body;
    const uint32_t size = lv2_atom_total_size(&report);
    const std::string before = ui().plugin().getMidiMapText();
    ASSERT_EQ(before.find("70: "), std::string::npos);

    // Damaged copies change nothing: cut short, another type, a parameter out of range.
    const LV2UI_Descriptor& d = lv2glue::uiDescriptor();
    const uint32_t transfer = id(LV2_ATOM__eventTransfer);
    d.port_event(handle, lv2glue::Notify, size - 8, transfer, &report);
    d.port_event(handle, lv2glue::Notify, size, 0, &report);
    d.port_event(handle, lv2glue::MidiOut, size, transfer, &report);
    std::vector<uint8_t> bad(reinterpret_cast<const uint8_t*>(&report),
                             reinterpret_cast<const uint8_t*>(&report) + size);
    bad[size - 8] = 12; // the parameter being learnt
    d.port_event(handle, lv2glue::Notify, size, transfer, bad.data());
    EXPECT_EQ(ui().plugin().getMidiMapText(), before);

    d.port_event(handle, lv2glue::Notify, size, transfer, &report);
    const std::string shown = ui().plugin().getMidiMapText();
    char squeeze[kTextScratchSize] = {};
    ui().plugin().getParameterName(param::Squeeze, squeeze);
    EXPECT_NE(shown.find("70: " + std::string(squeeze)), std::string::npos) << shown;
    EXPECT_NE(shown.find("Learning: "), std::string::npos) << shown;
    EXPECT_TRUE(writes.empty()) << "a report asks for nothing";
}

TEST_F(Lv2UiTest, BadHostInputsAreRefusedOrIgnored) {
    const LV2UI_Descriptor& d = lv2glue::uiDescriptor();
    EXPECT_EQ(instantiate({&mapFeature}), nullptr) << "no parent";
    EXPECT_EQ(instantiate({&parentFeature}), nullptr) << "no map";
    LV2_URID_Map noFunction{this, nullptr};
    LV2_Feature badMap{LV2_URID__map, &noFunction};
    EXPECT_EQ(instantiate({&parentFeature, &badMap}), nullptr);
    const LV2_Feature* features[] = {&parentFeature, &mapFeature, nullptr};
    EXPECT_EQ(d.instantiate(&d, "urn:another", "/", &Lv2UiTest::write, this, &widget, features),
              nullptr);
    EXPECT_EQ(d.instantiate(&d, lv2glue::kPluginUri, "/", nullptr, this, &widget, features),
              nullptr);
    EXPECT_EQ(d.instantiate(&d, nullptr, "/", &Lv2UiTest::write, this, &widget, features), nullptr);
    EXPECT_EQ(
        d.instantiate(&d, lv2glue::kPluginUri, "/", &Lv2UiTest::write, this, &widget, nullptr),
        nullptr);
    EXPECT_TRUE(headless.windows().empty()) << "nothing left behind";
    EXPECT_EQ(d.extension_data(nullptr), nullptr);
    EXPECT_EQ(d.extension_data("urn:nothing"), nullptr);
    d.port_event(nullptr, FirstControl, 4, 0, nullptr);

    open();
    tick();
    const int top = window().Duck3->Top();
    const float value = 0.9f;
    const double wide = 0.9;
    const uint32_t port = FirstControl + param::EQLo;
    d.port_event(handle, port, sizeof value, 0, nullptr);
    d.port_event(handle, port, sizeof wide, 0, &wide);
    d.port_event(handle, port, sizeof value, id(LV2_ATOM__eventTransfer), &value);
    d.port_event(handle, lv2glue::PortCount, sizeof value, 0, &value);
    d.port_event(handle, lv2glue::MidiOut, sizeof value, 0, &value);
    const float nan = std::nanf("");
    d.port_event(handle, port, sizeof nan, 0, &nan);
    tick();
    EXPECT_EQ(window().Duck3->Top(), top);
    EXPECT_TRUE(writes.empty());
}

TEST_F(Lv2UiTest, CleanupWithTheWindowOpenAndWithoutTouchOrResize) {
    handle = instantiate({&parentFeature, &mapFeature});
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(resizes.empty());
    tick();
    // A drag without the host's touch feature still writes.
    headless.mouseDown(platform::MouseButton::Left, window().Duck4->Left() + 5,
                       window().Duck4->Top() + 5);
    headless.mouseMove(window().Duck4->Left() + 5, window().Duck4->Top() + 25);
    EXPECT_FALSE(floatsTo(FirstControl + param::DryWet).empty());
    // The host cleans up with the button still held and the window open.
    lv2glue::uiDescriptor().cleanup(handle);
    handle = nullptr;
    EXPECT_TRUE(headless.windows().empty());
    EXPECT_EQ(headless.activeTimerCount(), 0u);

    // A second UI in the same process after the first.
    open();
    EXPECT_EQ(idle(), 0);
}

} // namespace

// The editor opens at the system's scale (or the user's Zoom) in an LV2 host too: the host is
// asked for the window's own size, and a scale chosen while open goes through the same request.
TEST_F(Lv2UiTest, TheHostIsAskedForTheSizeTheWindowOpensAtAndForANewOne) {
    headless.setDisplayScale(2.0);
    open();
    EXPECT_EQ(window().ClientWidth(), 980);
    EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{980, 644}}));
    // A host scale for the open editor ('PreS' 'AeCs', as VST 2 hosts send it).
    ASSERT_NE(window().plugin, nullptr);
    window().plugin->dispatcher(effVendorSpecific, 0x50726553, 0x41654373, nullptr, 1.5f);
    EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{980, 644}, {735, 483}}));
    EXPECT_EQ(window().ClientWidth(), 735) << "the host took the size: the window follows";
}
