#pragma once
// The plug-in linked into the test, created through its entry with a recording host, its editor
// opened inside a pretend host window on the headless backend (screen = window coordinates).

#include "LinkedPlugin.h"
#include "UserSettings.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace editortest {

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Neither the user's controller map nor their Zoom choice: the design's window.
        testsupport::setUserSettingsFolder(std::filesystem::path(::testing::TempDir()) /
                                           "wadling-editor-settings");
        headless.setForeignParentOrigin(0, 0);
        plugin = std::make_unique<host::PluginInstance>(&testsupport::linkedEntry, host);
    }

    void TearDown() override {
        // The map file beside the test program outlives the instance: leave the default there.
        if (plugin && plugin->isOpen()) object().setDefaultMidiMap();
    }

    APlugin& object() { return testsupport::pluginObject(*plugin); }
    APluginEditor& wrapper() { return *pluginEditor(object()); }
    TPluginEditorWindow& window() { return *wrapper().window; }

    void open(void* parent = nullptr) {
        ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, parent ? parent : &hostWindow), 1);
        ASSERT_NE(wrapper().window, nullptr);
    }
    void close() { plugin->dispatch(effEditClose); }
    /// One timer period.
    void tick() { headless.advanceClock(100); }

    std::vector<host::CallRecord> automation() const { return host.calls(audioMasterAutomate); }

    /// The centre of a control (the container sits at the window's origin).
    static runtime::TPoint centre(const runtime::TControl& control) {
        return {control.Left() + control.Width() / 2, control.Top() + control.Height() / 2};
    }

    /// Presses the left button on the control's centre, moves the pointer vertically by `dy` in
    /// steps of at most 10 pixels, and releases it.
    void drag(const runtime::TControl& control, int dy) {
        const runtime::TPoint start = centre(control);
        headless.mouseDown(platform::MouseButton::Left, start.X, start.Y);
        int moved = 0;
        while (moved != dy) {
            const int step = dy > moved ? std::min(10, dy - moved) : std::max(-10, dy - moved);
            moved += step;
            headless.mouseMove(start.X, start.Y + moved);
        }
        headless.mouseUp(platform::MouseButton::Left, start.X, start.Y + dy);
    }

    /// Right-clicks the control's centre, choosing the menu entry reached by `path` (none:
    /// the menu is dismissed).
    void menu(const runtime::TControl& control, std::vector<std::string> path = {}) {
        if (!path.empty()) headless.queueMenuChoice(std::move(path));
        const runtime::TPoint at = centre(control);
        headless.click(platform::MouseButton::Right, at.X, at.Y);
    }

    /// What the window shows at a point (blue in the low byte, alpha dropped).
    std::uint32_t screen(int x, int y) const {
        return headless.pixel(windowHandle(), x, y) & 0xFFFFFFu;
    }
    platform::WindowHandle windowHandle() const {
        return const_cast<EditorTest*>(this)->window().DIBContainer1->Handle();
    }

    platform::HeadlessSession headless;
    host::HostCallback host;
    std::unique_ptr<host::PluginInstance> plugin;
    int hostWindow = 0; // the pretend host window's handle is its address
};

} // namespace editortest
