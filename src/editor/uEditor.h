#pragma once
// The editor window: a borderless 490 x 322 form holding one container of bitmap controls. The
// big knob is the picture itself (27 frames, "Squeeze"); four figures are dragged like faders
// (the three EQ bands and the mix); a toggle button switches listening; a popup menu chooses
// the compression character and the MIDI functions. The window writes parameters only through
// setParameterAutomated and follows the plug-in through a mirror of the twelve values that its
// 100 ms timer reads.

#include "editor/APluginEditor.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"
#include "toolkit/cDIBGlyphButton.h"
#include "toolkit/cDIBImage.h"
#include "toolkit/cDIBImageList.h"
#include "toolkit/cDIBKnob.h"
#include "toolkit/cDIBPanel.h"
#include "toolkit/cDIBSettings.h"
#include "toolkit/cDIBTimer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

/// The maker's web page, opened by a click on the window.
inline constexpr const char* kMakerWebAddress = "https://reedmoor.example/wadling";

class TPluginEditorWindow : public runtime::TForm {
public:
    static constexpr int kClientWidth = 490;
    static constexpr int kClientHeight = 322;

    /// Builds the form and every component drawn at `percent` (a density of editorart::kScales;
    /// any other draws at 100); `mirror` is read by the timer (see APluginEditor). Everything
    /// is laid out and behaves in design pixels: positions and pointer moves are scaled at the
    /// edges, so a drag gives the values it gives at 100 %.
    TPluginEditorWindow(runtime::TComponent* owner, AParameterMirror& mirror, int percent = 100);
    ~TPluginEditorWindow() override;
    std::string ClassName() const override { return "TPluginEditorWindow"; }
    /// The density the window is drawn at, in percent.
    int Scale() const { return scale_; }
    /// The client size at `percent`.
    static int ClientWidthAt(int percent);
    static int ClientHeightAt(int percent);

    // ---- Components, in creation order.
    toolkit::TDIBSettings* DIBSettings1 = nullptr;
    toolkit::TDIBImageList* DIBImageList1 = nullptr;
    runtime::TPopupMenu* mnuSqzy = nullptr;
    runtime::TMenuItem* mnuSqeezy1 = nullptr;
    runtime::TMenuItem* mnuSqeezy2 = nullptr;
    runtime::TMenuItem* mnuSqeezy3 = nullptr;
    runtime::TMenuItem* mnuSqeezy4 = nullptr;
    runtime::TMenuItem* mnuSqeezy5 = nullptr;
    runtime::TMenuItem* mnuMIDISplit = nullptr;
    runtime::TMenuItem* mnuMIDI = nullptr;
    runtime::TMenuItem* mnuitmMIDILearn = nullptr;
    runtime::TMenuItem* mnuitmShowMIDImap = nullptr;
    runtime::TMenuItem* mnuitmResetMIDILearning = nullptr;
    runtime::TMenuItem* mnuitmRestoreDefaultMIDIMapping = nullptr;
    runtime::TMenuItem* mnuZoom = nullptr;
    /// "Automatic", "100 %", "150 %", "200 %": tags kAutomatic (0) and the densities.
    std::array<runtime::TMenuItem*, 4> mnuZoomItems{};
    toolkit::TDIBContainer* DIBContainer1 = nullptr;
    toolkit::TDIBKnob* kbComp = nullptr;
    toolkit::TDIBImage* DIBImage1 = nullptr;
    toolkit::TDIBImage* EQs = nullptr;
    toolkit::TDIBImage* Mix = nullptr;
    toolkit::TDIBImage* Banner = nullptr;
    toolkit::TDIBGlyphButton* btnListen = nullptr;
    toolkit::TDIBImage* Duck1 = nullptr;
    toolkit::TDIBImage* Duck2 = nullptr;
    toolkit::TDIBImage* Duck3 = nullptr;
    toolkit::TDIBImage* Duck4 = nullptr;
    toolkit::TDIBImage* Compression = nullptr;
    toolkit::TDIBTimer* Updater = nullptr;

    // ---- Handlers.
    void FormCreate(runtime::TPersistent* sender);
    void EQsMouseDown(runtime::TPersistent* sender, runtime::TMouseButton button,
                      runtime::TShiftState shift, int x, int y);
    void Duck1MouseDown(runtime::TPersistent* sender, runtime::TMouseButton button,
                        runtime::TShiftState shift, int x, int y);
    void Duck1MouseUp(runtime::TPersistent* sender, runtime::TMouseButton button,
                      runtime::TShiftState shift, int x, int y);
    void Duck1MouseMove(runtime::TPersistent* sender, runtime::TShiftState shift, int x, int y);
    void Duck1DblClick(runtime::TPersistent* sender);
    void kbCompChange(runtime::TPersistent* sender);
    void btnListenClick(runtime::TPersistent* sender);
    void mnuSqeezy1Click(runtime::TPersistent* sender);
    void mnuSqzyPopup(runtime::TPersistent* sender);
    void mnuitmMIDILearnClick(runtime::TPersistent* sender);
    void mnuZoomClick(runtime::TPersistent* sender);
    void DIBContainer1Click(runtime::TPersistent* sender);
    void UpdaterTimer(runtime::TPersistent* sender);

    // ---- Window state.
    /// Set by the wrapper when it creates the window; not owned.
    APlugin* plugin = nullptr;
    /// The wrapper that made the window and keeps its scale (not owned); without one the menu
    /// has no Zoom.
    APluginEditor* wrapper = nullptr;
    bool dragging = false;
    /// Last top (in design pixels) set or sent, in the order EQLo (Duck3), EQMid (Duck2), EQHi
    /// (Duck1), Dry/Wet (Duck4).
    std::array<std::int32_t, 4> lastTop{};
    std::int32_t lastSkweezy = 0;
    std::int32_t lastTag = -1;
    bool updating = false;
    AParameterMirror& mirror;

protected:
    /// Erases nothing: the container paints every pixel.
    void WMEraseBkgnd(runtime::TMessage& message) override;

private:
    int scale_ = 100;
    /// The process's unpacked pictures, which the image list shows: held while this window
    /// lives, so that every other editor window of the process shares them.
    std::shared_ptr<const void> pictures_;

    void buildImageList();
    void buildMenu();
    void buildControls();
    void checkSkweezy(int k);
};
