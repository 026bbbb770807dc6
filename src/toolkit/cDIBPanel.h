#pragma once
// The container window of the toolkit's windowless controls. It owns a back buffer of its size
// and shares control buffers with the other containers of its thread. A paint fills the damaged
// part of the back buffer with Color, composes every control that meets it in creation order (the
// first at the bottom), draws the border, and sends the damaged rectangle to the screen in one
// blit.

#include "runtime/Components.h"
#include "runtime/Controls.h"
#include "runtime/Events.h"
#include "toolkit/cDIB.h"

#include <memory>
#include <string>
#include <vector>

namespace toolkit {

class TCustomDIBControl;
class TDIBBorder;

enum TBorderDrawPosition { bdOverControls, bdUnderControls };

/// A palette for 8-bit displays: a container picks the first one up when it is inserted into
/// its form and drops it when it goes. Unused on deeper displays.
class TDIBPaletteComponent : public runtime::TComponent {
public:
    /// Offers itself to the containers of its owner that have no palette yet.
    explicit TDIBPaletteComponent(runtime::TComponent* owner);
    std::string ClassName() const override { return "TDIBPaletteComponent"; }
    TDIBPalette Palette;
};

class TCustomDIBContainer : public runtime::TCustomPanel {
public:
    explicit TCustomDIBContainer(runtime::TComponent* owner);
    ~TCustomDIBContainer() override;
    std::string ClassName() const override { return "TCustomDIBContainer"; }

    /// Always the container's size (after loading).
    TWinDIB& BackBuffer() { return *backBuffer_; }
    /// The buffer the last control painted into (each paints into one of its own size). One
    /// buffer is kept per control size, up to a bound, so that painting allocates nothing once
    /// every size has been seen; past the bound the last buffer is resized as needed. The
    /// containers of a thread share the buffers: another container's paint may reuse this one.
    TWinDIB& ControlBuffer();

    /// The windowless control with the keyboard focus, or null.
    TCustomDIBControl* ActiveControl() const { return activeControl_; }
    /// Tells the old control it loses the focus, the new one that it gains it, then fires
    /// OnActiveControlChange. Ignored while already running.
    virtual void SetActiveControl(TCustomDIBControl* control);

    TDIBBorder* DIBBorder() const { return border_; }
    virtual void SetDIBBorder(TDIBBorder* border);
    TBorderDrawPosition BorderDrawPosition() const { return borderPosition_; }
    void SetBorderDrawPosition(TBorderDrawPosition value);
    TDIBPaletteComponent* Palette() const { return palette_; }
    void SetPalette(TDIBPaletteComponent* palette);
    /// The client area less the border's edges.
    TRect AdjustedClientRect() const;

    // The DIB tab list: the controls taking part in keyboard navigation, in tab order.
    int DIBTabCount() const { return static_cast<int>(tabList_.size()); }
    TCustomDIBControl* DIBTabList(int index) const;
    /// Puts `control` at `index` of the list (appended when beyond; left out when negative).
    void SetControlTabOrder(TCustomDIBControl* control, int index);
    /// Rebuilds the list from the controls' stored DIBTabOrder (after loading).
    virtual void RebuildTabOrder();
    /// The next (or previous) enabled control of the list after `current`, wrapping around;
    /// `wrapped` tells whether the step went past the end. Null when none.
    TCustomDIBControl* FindNextDIBControl(TCustomDIBControl* current, bool forward,
                                          bool& wrapped) const;
    bool Tabbing() const { return tabbing_; }

    /// The rectangle of the paint running or last run (client coordinates).
    TRect UpdateRect() const { return updateRect_; }
    /// Set while a paint has been postponed to paint a larger area.
    bool DirectPaintPending() const { return pending_; }

    void SetBounds(int left, int top, int width, int height) override;
    void Loaded() override;

    runtime::TNotifyEvent BeforePaint;
    runtime::TNotifyEvent AfterPaint;
    runtime::TNotifyEvent OnActiveControlChange;

protected:
    friend class TCustomDIBControl;

    /// The border when bdOverControls, then AfterPaint.
    virtual void AfterPaintBuffer();
    /// BeforePaint.
    virtual void BeforePaintBuffer();

    void WMPaint(runtime::TMessage& message) override;
    /// Never erases: the paint covers everything.
    void WMEraseBkgnd(runtime::TMessage& message) override;
    /// All keys, so that Tab and the arrows reach the active control.
    void WMGetDlgCode(runtime::TMessage& message) override;
    void WMKeyDown(runtime::TMessage& message) override;
    void WMKeyUp(runtime::TMessage& message) override;
    void WMChar(runtime::TMessage& message) override;
    void WMSetCursor(runtime::TMessage& message) override;
    void WMLButtonUp(runtime::TMessage& message) override;
    void CMEnter(runtime::TMessage& message) override;
    void CMExit(runtime::TMessage& message) override;
    void CMFocusChanged(runtime::TMessage& message) override;
    void Notification(runtime::TComponent* component, runtime::TOperation operation) override;
    void WndProc(runtime::TMessage& message) override;

private:
    bool adjustUpdateRect(const TRect& paintRect);
    void composeBuffer();
    void fillUpdateRect();
    void paintControls();
    void presentUpdateRect();
    bool activeWantsKey(runtime::TMessage& message);
    bool routeKeyToActive(runtime::TMessage& message);
    bool tabKey(bool backwards);
    void resizeBackBuffer();
    void removeFromTabList(TCustomDIBControl* control);
    void syncTabOrders();
    void routeCapturedRelease();

    std::unique_ptr<TWinDIB> backBuffer_;
    TWinDIB& controlBufferFor(int width, int height);

    std::shared_ptr<struct TDIBControlBuffers> controlBuffers_;
    std::size_t lastBuffer_ = 0;
    TRect updateRect_;
    TRect presentRect_;
    bool pending_ = false;
    TCustomDIBControl* activeControl_ = nullptr;
    std::vector<TCustomDIBControl*> tabList_;
    bool tabbing_ = false;
    bool settingActive_ = false;
    TDIBPaletteComponent* palette_ = nullptr;
    TDIBBorder* border_ = nullptr;
    TBorderDrawPosition borderPosition_ = bdOverControls;
};

class TDIBContainer : public TCustomDIBContainer {
public:
    using TCustomDIBContainer::TCustomDIBContainer;
    std::string ClassName() const override { return "TDIBContainer"; }
};

} // namespace toolkit
