#pragma once
// Controls in the Windows message vocabulary. A TControl is windowless: its parent window
// routes messages to it (mouse messages in the control's own client coordinates). A TWinControl
// owns a platform window, holds child controls, routes the mouse to the child under the pointer
// (or the one holding the capture) and the keyboard to itself when it has the focus. Messages go
// through WndProc -> Dispatch -> one virtual handler per message -> the On... events.
// User-interface thread only.

#include "platform/Platform.h"
#include "runtime/Canvas.h"
#include "runtime/Components.h"
#include "runtime/Events.h"
#include "runtime/Messages.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace runtime {

class TWinControl;
class TCustomForm;
class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

/// Modifier keys and mouse buttons held, and whether a press was a double click.
using TShiftState = std::uint16_t;
inline constexpr TShiftState ssShift = 1u << 0;
inline constexpr TShiftState ssAlt = 1u << 1;
inline constexpr TShiftState ssCtrl = 1u << 2;
inline constexpr TShiftState ssLeft = 1u << 3;
inline constexpr TShiftState ssRight = 1u << 4;
inline constexpr TShiftState ssMiddle = 1u << 5;
inline constexpr TShiftState ssDouble = 1u << 6;

/// The shift state of a mouse message's MK_ bits, with Alt read from the keyboard.
TShiftState KeysToShiftState(std::uintptr_t keys);
/// The shift state of the modifier keys held now.
TShiftState KeyboardShiftState();

/// Pointer shapes (the platform's cursor numbers).
using TCursor = int;
inline constexpr TCursor crDefault = platform::cursor::Default;
inline constexpr TCursor crNone = platform::cursor::Hidden;
inline constexpr TCursor crArrow = platform::cursor::Arrow;
inline constexpr TCursor crCross = platform::cursor::Cross;
inline constexpr TCursor crIBeam = platform::cursor::IBeam;
inline constexpr TCursor crSizeNESW = platform::cursor::SizeNESW;
inline constexpr TCursor crSizeNS = platform::cursor::SizeNS;
inline constexpr TCursor crSizeNWSE = platform::cursor::SizeNWSE;
inline constexpr TCursor crSizeWE = platform::cursor::SizeWE;
inline constexpr TCursor crUpArrow = platform::cursor::UpArrow;
inline constexpr TCursor crHourGlass = platform::cursor::HourGlass;
inline constexpr TCursor crNo = platform::cursor::No;
inline constexpr TCursor crHandPoint = platform::cursor::HandPoint;
inline constexpr TCursor crSizeAll = platform::cursor::SizeAll;

using TControlStyle = std::uint32_t;
inline constexpr TControlStyle csAcceptsControls = 1u << 0;
inline constexpr TControlStyle csCaptureMouse = 1u << 1; ///< left press captures the mouse
inline constexpr TControlStyle csOpaque = 1u << 2;       ///< paints every pixel of its bounds
inline constexpr TControlStyle csClickEvents = 1u << 3;  ///< press and release make a click
inline constexpr TControlStyle csDoubleClicks = 1u << 4; ///< else a double click is a press
inline constexpr TControlStyle csSetCaption = 1u << 5;

using TControlState = std::uint32_t;
inline constexpr TControlState csLButtonDown = 1u << 0;
inline constexpr TControlState csClicked = 1u << 1; ///< a left press waits for its release
inline constexpr TControlState csFocusing = 1u << 2;

using TMouseEvent =
    std::function<void(TPersistent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TPersistent* sender, TShiftState shift, int x, int y)>;
/// `handled` set by the handler stops the default handling.
using TMouseWheelEvent = std::function<void(TPersistent* sender, TShiftState shift, int wheelDelta,
                                            TPoint mousePos, bool& handled)>;
/// A handler that sets `key` to 0 has handled it.
using TKeyEvent = std::function<void(TPersistent* sender, std::uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TPersistent* sender, char& key)>;
using TContextPopupEvent = std::function<void(TPersistent* sender, TPoint mousePos, bool& handled)>;

class TControl : public TComponent {
public:
    explicit TControl(TComponent* owner);
    ~TControl() override;
    std::string ClassName() const override { return "TControl"; }

    // Bounds, in the parent's client coordinates.
    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int value) { SetBounds(value, top_, width_, height_); }
    void SetTop(int value) { SetBounds(left_, value, width_, height_); }
    void SetWidth(int value) { SetBounds(left_, top_, value, height_); }
    void SetHeight(int value) { SetBounds(left_, top_, width_, value); }
    /// Moves and sizes the control (sizes below 0 become 0), invalidating the old and the new
    /// place; OnResize fires when the size changed.
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return {left_, top_, left_ + width_, top_ + height_}; }
    void SetBoundsRect(const TRect& r) {
        SetBounds(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    }
    /// (0, 0, width, height).
    virtual TRect ClientRect() const { return {0, 0, width_, height_}; }
    int ClientWidth() const { return ClientRect().Right; }
    int ClientHeight() const { return ClientRect().Bottom; }
    virtual void SetClientWidth(int value) { SetWidth(value); }
    virtual void SetClientHeight(int value) { SetHeight(value); }
    /// Screen position of the client area's top left corner ((0, 0) without a window).
    TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint point) const;
    TPoint ScreenToClient(TPoint point) const;

    TWinControl* Parent() const { return parent_; }
    /// Moves the control into `parent`'s children (null: out of any). A parent inside this
    /// control, or the control itself, raises EInvalidOperation.
    virtual void SetParent(TWinControl* parent);
    /// The form the control sits on (itself when it is a form), or null.
    TCustomForm* ParentForm() const;

    bool Visible() const { return visible_; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    /// Visible, and so is every parent.
    bool Showing() const;
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool value);
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor value);
    TPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(TPopupMenu* menu);
    /// The menu a right click shows: PopupMenu in the base.
    virtual TPopupMenu* GetPopupMenu();
    TControlStyle ControlStyle() const { return style_; }
    void SetControlStyle(TControlStyle style) { style_ = style; }
    TControlState ControlState() const { return state_; }
    TColor Color() const { return color_; }
    virtual void SetColor(TColor value);
    const TFont& Font() const { return font_; }
    virtual void SetFont(const TFont& font);
    const std::string& Caption() const { return caption_; }
    virtual void SetCaption(const std::string& caption);

    /// Repaint the control's rectangle in its window at the next paint.
    virtual void Invalidate();
    /// Paint what waits in the control's window now.
    virtual void Update();
    void Repaint() {
        Invalidate();
        Update();
    }
    /// Top (last painted, first hit) or bottom of the parent's children.
    void BringToFront();
    void SendToBack();

    /// Whether this control holds the mouse capture; setting it takes or releases it.
    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    /// Sends a message to the control and answers its Result.
    std::intptr_t Perform(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    /// Every message enters here. The base turns double clicks into presses for controls
    /// without csDoubleClicks, then dispatches.
    virtual void WndProc(TMessage& message);
    /// Calls the handler of the message's number, or DefaultHandler.
    virtual void Dispatch(TMessage& message);
    /// What unhandled messages get: nothing (Result stays as it is).
    virtual void DefaultHandler(TMessage& message);

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TNotifyEvent OnResize;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TMouseWheelEvent OnMouseWheel;
    TContextPopupEvent OnContextPopup;

protected:
    // One handler per message; the bases fire the events below.
    virtual void WMLButtonDown(TMessage& message);
    virtual void WMLButtonUp(TMessage& message);
    virtual void WMLButtonDblClk(TMessage& message);
    virtual void WMRButtonDown(TMessage& message);
    virtual void WMRButtonUp(TMessage& message);
    virtual void WMRButtonDblClk(TMessage& message);
    virtual void WMMButtonDown(TMessage& message);
    virtual void WMMButtonUp(TMessage& message);
    virtual void WMMButtonDblClk(TMessage& message);
    virtual void WMMouseMove(TMessage& message);
    virtual void WMMouseWheel(TMessage& message);
    virtual void CMMouseEnter(TMessage& message);
    virtual void CMMouseLeave(TMessage& message);
    virtual void CMEnabledChanged(TMessage& message);
    virtual void CMVisibleChanged(TMessage& message);
    /// Answers HTCLIENT for points inside the client rectangle.
    virtual void CMHitTest(TMessage& message);
    /// Answers the control's Cursor.
    virtual void CMCursorQuery(TMessage& message);
    /// Releases a capture this control holds.
    virtual void CMCancelMode(TMessage& message);

    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    /// OnMouseWheel; answers whether it was handled.
    virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos);
    virtual void Click();
    virtual void DblClick();
    /// OnContextPopup, then GetPopupMenu's Popup at `screenPos` unless handled. Answers
    /// whether a menu was shown or the event handled it (else the parent gets a chance).
    virtual bool DoContextPopup(TPoint screenPos);
    virtual void Resize();
    void Notification(TComponent* component, TOperation operation) override;

    void SetControlStateFlag(TControlState flag, bool on);

private:
    friend class TWinControl;
    void mouseDown(TMessage& message, TMouseButton button, TShiftState extra);
    void mouseUp(TMessage& message, TMouseButton button);

    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    TWinControl* parent_ = nullptr;
    bool visible_ = true;
    bool enabled_ = true;
    TCursor cursor_ = crDefault;
    TPopupMenu* popupMenu_ = nullptr;
    TControlStyle style_ = csCaptureMouse | csClickEvents | csSetCaption | csDoubleClicks;
    TControlState state_ = 0;
    TColor color_ = 0xF0F0F0;
    TFont font_;
    std::string caption_;
};

/// A windowless control that draws itself on a canvas its container binds while it paints.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* owner);
    std::string ClassName() const override { return "TGraphicControl"; }
    TCanvas& Canvas() { return canvas_; }

protected:
    /// Draws the control on Canvas; empty in the base.
    virtual void Paint() {}

private:
    TCanvas canvas_;
};

/// A control with a platform window: children, focus, keys and paint.
class TWinControl : public TControl, private platform::WindowSink {
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;
    std::string ClassName() const override { return "TWinControl"; }

    // Children, in paint order (the first is at the bottom).
    int ControlCount() const { return static_cast<int>(controls_.size()); }
    /// The child at index, or null.
    TControl* Controls(int index) const;
    /// Whether `control` is this control or lies inside it.
    bool ContainsControl(const TControl* control) const;
    /// The topmost visible child (enabled unless allowDisabled) whose hit test takes the client
    /// point; windowed children only with allowWinControls. Null when none.
    TControl* ControlAtPos(TPoint point, bool allowDisabled = false,
                           bool allowWinControls = false) const;
    /// Sends the message to every child until one answers a nonzero Result.
    void Broadcast(TMessage& message);

    // The platform window.
    /// The window, created (with those of the windowed children) when first asked for; a
    /// control with no parent and no ParentWindow, or a system refusal, raises EOutOfResources.
    platform::WindowHandle Handle();
    bool HandleAllocated() const { return handle_ != nullptr; }
    void HandleNeeded() { (void)Handle(); }
    /// Destroys the window (and the children's); it is made again when asked for.
    void DestroyHandle();
    /// A foreign window (the host's) that a control without a parent lives in.
    void* ParentWindow() const { return parentWindow_; }
    void SetParentWindow(void* window);

    // Focus.
    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool value) { tabStop_ = value; }
    int TabOrder() const { return tabOrder_; }
    void SetTabOrder(int value) { tabOrder_ = value; }
    /// Showing and enabled, and so is every parent.
    virtual bool CanFocus() const;
    /// Whether this window has the keyboard focus.
    bool Focused() const;
    /// Gives this window the keyboard focus.
    virtual void SetFocus();

    // Painting.
    void Invalidate() override;
    void Update() override;
    /// Marks a client rectangle for the next paint.
    void InvalidateRect(const TRect& rect, bool erase = false);
    void ValidateRect(const TRect& rect);
    /// Inside WMPaint: the rectangle to paint (then EndPaint).
    TRect BeginPaint();
    void EndPaint();
    /// Copies `rect` from `source` at (sourceX, sourceY) to the window.
    void BlitToWindow(const TRect& rect, platform::PixelSurface* source, int sourceX, int sourceY);
    /// The 8-bit display path: copies rows of palette indices (top row first, rect's width bytes
    /// each) to `rect` of the window with `colours` as colour table.
    bool Blit8BitToWindow(const TRect& rect, const std::uint8_t* indices,
                          const std::uint32_t* colours, int colourCount) {
        return platform::backend().blit8BitToWindow(Handle(), rect, indices, colours, colourCount);
    }
    /// Bits per pixel of the display the windows are on.
    static int DisplayBitsPerPixel() { return platform::backend().displayBitsPerPixel(); }

    void SetBounds(int left, int top, int width, int height) override;
    void SetVisible(bool value) override;
    void SetParent(TWinControl* parent) override;
    void WndProc(TMessage& message) override;
    void Dispatch(TMessage& message) override;

    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;

protected:
    virtual void CreateHandle();
    /// Paints the update rectangle in Color, unless a child window covers it (the toolkit's
    /// containers compose instead).
    virtual void WMPaint(TMessage& message);
    /// Whether one visible child window covers `rect` (client coordinates).
    bool coveredByChildWindow(const TRect& rect) const;
    /// Answers 1: the paint covers everything.
    virtual void WMEraseBkgnd(TMessage& message);
    virtual void WMSetFocus(TMessage& message);
    virtual void WMKillFocus(TMessage& message);
    /// Key messages: the form previews them (KeyPreview), then KeyDown / KeyUp / KeyPress;
    /// an unhandled Tab or arrow key not wanted by WM_GETDLGCODE becomes the form's
    /// CM_DIALOGKEY, an Alt character its CM_DIALOGCHAR.
    virtual void WMKeyDown(TMessage& message);
    virtual void WMKeyUp(TMessage& message);
    virtual void WMChar(TMessage& message);
    virtual void WMSysChar(TMessage& message);
    /// Answers 0: no keys beyond ordinary ones.
    virtual void WMGetDlgCode(TMessage& message);
    /// Sets the pointer shape of the control under the pointer.
    virtual void WMSetCursor(TMessage& message);
    /// Drops the capture of a control of this window when another window takes it.
    virtual void WMCaptureChanged(TMessage& message);
    /// Passes a CM_DIALOGCHAR on to the children.
    virtual void CMDialogChar(TMessage& message);
    virtual void CMDialogKey(TMessage& message);
    virtual void CMFocusChanged(TMessage& message);
    virtual void CMEnter(TMessage& message);
    virtual void CMExit(TMessage& message);

    virtual void KeyDown(std::uint16_t& key, TShiftState shift);
    virtual void KeyUp(std::uint16_t& key, TShiftState shift);
    virtual void KeyPress(char& key);
    virtual void DoEnter();
    virtual void DoExit();

private:
    friend class TControl;
    void windowMessage(platform::WindowHandle window, TMessage& message) override;
    void insertControl(TControl* control);
    void removeControl(TControl* control);
    void routeMouse(TMessage& message);
    void trackMouseControl(TPoint clientPoint);
    bool doKeyDown(TMessage& message);
    TRect windowBounds() const;

    std::vector<TControl*> controls_;
    platform::WindowHandle handle_ = nullptr;
    void* parentWindow_ = nullptr;
    bool tabStop_ = false;
    int tabOrder_ = 0;
    platform::PixelSurface* paintSurface_ = nullptr;
    int paintWidth_ = 0, paintHeight_ = 0;
};

/// A windowed panel: accepts controls, paints opaquely; no border or bevel of its own.
class TCustomPanel : public TWinControl {
public:
    explicit TCustomPanel(TComponent* owner);
    std::string ClassName() const override { return "TCustomPanel"; }
    bool DoubleBuffered() const { return doubleBuffered_; }
    void SetDoubleBuffered(bool value) { doubleBuffered_ = value; }

private:
    bool doubleBuffered_ = false;
};

class TPanel : public TCustomPanel {
public:
    using TCustomPanel::TCustomPanel;
    std::string ClassName() const override { return "TPanel"; }
};

/// An operation that the control's state forbids (a parent loop, a window without a place).
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

/// The control holding the mouse capture, or null.
TControl* GetCaptureControl();
/// Gives the capture to a control (its window captures the platform mouse); null releases.
void SetCaptureControl(TControl* control);
/// The control of ours owning a platform window, or null.
TWinControl* FindControl(platform::WindowHandle window);
/// The control under a screen point: the deepest window there, then its child under the point.
TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);
/// The control that last received a mouse-enter notice and no leave since, or null.
TControl* MouseControl();

} // namespace runtime
