#include "runtime/Controls.h"

#include "runtime/Application.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"

#include <algorithm>
#include <map>

namespace runtime {

namespace {

// User-interface thread only, like the windows.
TControl* captureControl = nullptr;
TControl* mouseControl = nullptr;

std::map<platform::WindowHandle, TWinControl*>& windowControls() {
    static std::map<platform::WindowHandle, TWinControl*> all;
    return all;
}

platform::Backend& system() {
    return platform::backend();
}

TPoint messagePoint(const TMessage& m) {
    return {LParamX(m.LParam), LParamY(m.LParam)};
}

void setMouseControl(TControl* control) {
    if (control == mouseControl) return;
    TControl* left = mouseControl;
    mouseControl = control;
    if (left != nullptr) left->Perform(CM_MOUSELEAVE, 0, reinterpret_cast<std::intptr_t>(left));
    // The leave handler may have moved on already.
    if (control != nullptr && mouseControl == control)
        control->Perform(CM_MOUSEENTER, 0, reinterpret_cast<std::intptr_t>(control));
}

TControl* controlUnderPointer() {
    int x = 0, y = 0;
    system().cursorPos(x, y);
    return FindDragTarget({x, y}, true);
}

} // namespace

TShiftState KeysToShiftState(std::uintptr_t keys) {
    TShiftState shift = 0;
    if ((keys & MK_SHIFT) != 0) shift |= ssShift;
    if ((keys & MK_CONTROL) != 0) shift |= ssCtrl;
    if ((keys & MK_LBUTTON) != 0) shift |= ssLeft;
    if ((keys & MK_RBUTTON) != 0) shift |= ssRight;
    if ((keys & MK_MBUTTON) != 0) shift |= ssMiddle;
    if (system().isKeyDown(VK_MENU)) shift |= ssAlt;
    return shift;
}

TShiftState KeyboardShiftState() {
    TShiftState shift = 0;
    if (system().isKeyDown(VK_SHIFT)) shift |= ssShift;
    if (system().isKeyDown(VK_CONTROL)) shift |= ssCtrl;
    if (system().isKeyDown(VK_MENU)) shift |= ssAlt;
    return shift;
}

TControl* GetCaptureControl() {
    return captureControl;
}

void SetCaptureControl(TControl* control) {
    if (control == nullptr) {
        if (captureControl == nullptr) return;
        captureControl = nullptr;
        system().releaseCapture();
        return;
    }
    auto* window = dynamic_cast<TWinControl*>(control);
    if (window == nullptr) window = control->Parent();
    // A control without a window cannot hold the platform's capture.
    if (window == nullptr || !window->HandleAllocated()) return;
    const platform::WindowHandle handle = window->Handle();
    // The window losing the capture drops its own control first.
    if (system().captureWindow() != handle) system().setCapture(handle);
    captureControl = control;
}

TWinControl* FindControl(platform::WindowHandle window) {
    const auto it = windowControls().find(window);
    return it != windowControls().end() ? it->second : nullptr;
}

TControl* FindDragTarget(TPoint screenPos, bool allowDisabled) {
    TWinControl* window = FindControl(system().windowFromPoint(screenPos.X, screenPos.Y));
    if (window == nullptr) return nullptr;
    TControl* child = window->ControlAtPos(window->ScreenToClient(screenPos), allowDisabled);
    return child != nullptr ? child : window;
}

TControl* MouseControl() {
    return mouseControl;
}

// ---- TControl --------------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    if (captureControl == this) SetCaptureControl(nullptr);
    if (mouseControl == this) mouseControl = nullptr;
    if (parent_ != nullptr) {
        if (visible_) parent_->InvalidateRect(BoundsRect(), true);
        parent_->removeControl(this);
    }
}

void TControl::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    const bool resized = width != width_ || height != height_;
    if (parent_ != nullptr && visible_) parent_->InvalidateRect(BoundsRect(), true);
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (auto* window = dynamic_cast<TWinControl*>(this); window && window->HandleAllocated())
        system().setWindowBounds(window->Handle(), window->windowBounds());
    Invalidate();
    if (resized) Resize();
}

TPoint TControl::ClientOrigin() const {
    if (auto* window = dynamic_cast<const TWinControl*>(this);
        window && window->HandleAllocated()) {
        int x = 0, y = 0;
        system().clientToScreen(window->handle_, x, y);
        return {x, y};
    }
    if (parent_ == nullptr) return {left_, top_};
    const TPoint origin = parent_->ClientOrigin();
    return {origin.X + left_, origin.Y + top_};
}

TPoint TControl::ClientToScreen(TPoint point) const {
    const TPoint origin = ClientOrigin();
    return {point.X + origin.X, point.Y + origin.Y};
}

TPoint TControl::ScreenToClient(TPoint point) const {
    const TPoint origin = ClientOrigin();
    return {point.X - origin.X, point.Y - origin.Y};
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    for (TControl* p = parent; p != nullptr; p = p->parent_)
        if (p == this) throw EInvalidOperation("A control cannot have itself as its parent");
    if (parent_ != nullptr) {
        if (visible_) parent_->InvalidateRect(BoundsRect(), true);
        parent_->removeControl(this);
    }
    if (parent != nullptr) {
        parent->insertControl(this);
        Invalidate();
    }
}

TCustomForm* TControl::ParentForm() const {
    for (const TControl* c = this; c != nullptr; c = c->parent_)
        if (auto* form = dynamic_cast<const TCustomForm*>(c)) return const_cast<TCustomForm*>(form);
    return nullptr;
}

void TControl::SetVisible(bool value) {
    if (value == visible_) return;
    visible_ = value;
    if (parent_ != nullptr) parent_->InvalidateRect(BoundsRect(), true);
    if (!value && captureControl == this) SetCaptureControl(nullptr);
    Perform(CM_VISIBLECHANGED, value ? 1 : 0);
}

bool TControl::Showing() const {
    for (const TControl* c = this; c != nullptr; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

void TControl::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    if (!value && captureControl == this) SetCaptureControl(nullptr);
    Perform(CM_ENABLEDCHANGED);
}

void TControl::SetCursor(TCursor value) {
    cursor_ = value;
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
    if (menu == popupMenu_) return;
    if (popupMenu_ != nullptr) popupMenu_->RemoveFreeNotification(this);
    popupMenu_ = menu;
    if (menu != nullptr) menu->FreeNotification(this);
}

TPopupMenu* TControl::GetPopupMenu() {
    return popupMenu_;
}

void TControl::SetColor(TColor value) {
    if (value == color_) return;
    color_ = value;
    Invalidate();
}

void TControl::SetFont(const TFont& font) {
    if (font == font_) return;
    font_ = font;
    Invalidate();
}

void TControl::SetCaption(const std::string& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    Invalidate();
}

void TControl::Invalidate() {
    if (parent_ != nullptr && Showing())
        parent_->InvalidateRect(BoundsRect(), (style_ & csOpaque) == 0);
}

void TControl::Update() {
    if (parent_ != nullptr) parent_->Update();
}

void TControl::BringToFront() {
    if (parent_ == nullptr) return;
    auto& list = parent_->controls_;
    std::erase(list, this);
    list.push_back(this);
    Invalidate();
}

void TControl::SendToBack() {
    if (parent_ == nullptr) return;
    auto& list = parent_->controls_;
    std::erase(list, this);
    list.insert(list.begin(), this);
    Invalidate();
}

bool TControl::MouseCapture() const {
    return captureControl == this;
}

void TControl::SetMouseCapture(bool value) {
    if (value)
        SetCaptureControl(this);
    else if (captureControl == this)
        SetCaptureControl(nullptr);
}

std::intptr_t TControl::Perform(std::uint32_t msg, std::uintptr_t wParam, std::intptr_t lParam) {
    TMessage message{msg, wParam, lParam, 0};
    WndProc(message);
    return message.Result;
}

void TControl::WndProc(TMessage& message) {
    if ((style_ & csDoubleClicks) == 0) {
        if (message.Msg == WM_LBUTTONDBLCLK)
            message.Msg = WM_LBUTTONDOWN;
        else if (message.Msg == WM_RBUTTONDBLCLK)
            message.Msg = WM_RBUTTONDOWN;
        else if (message.Msg == WM_MBUTTONDBLCLK)
            message.Msg = WM_MBUTTONDOWN;
    }
    Dispatch(message);
}

void TControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_LBUTTONDOWN:
        WMLButtonDown(m);
        break;
    case WM_LBUTTONUP:
        WMLButtonUp(m);
        break;
    case WM_LBUTTONDBLCLK:
        WMLButtonDblClk(m);
        break;
    case WM_RBUTTONDOWN:
        WMRButtonDown(m);
        break;
    case WM_RBUTTONUP:
        WMRButtonUp(m);
        break;
    case WM_RBUTTONDBLCLK:
        WMRButtonDblClk(m);
        break;
    case WM_MBUTTONDOWN:
        WMMButtonDown(m);
        break;
    case WM_MBUTTONUP:
        WMMButtonUp(m);
        break;
    case WM_MBUTTONDBLCLK:
        WMMButtonDblClk(m);
        break;
    case WM_MOUSEMOVE:
        WMMouseMove(m);
        break;
    case WM_MOUSEWHEEL:
        WMMouseWheel(m);
        break;
    case CM_MOUSEENTER:
        CMMouseEnter(m);
        break;
    case CM_MOUSELEAVE:
        CMMouseLeave(m);
        break;
    case CM_ENABLEDCHANGED:
        CMEnabledChanged(m);
        break;
    case CM_VISIBLECHANGED:
        CMVisibleChanged(m);
        break;
    case CM_HITTEST:
        CMHitTest(m);
        break;
    case CM_CURSORQUERY:
        CMCursorQuery(m);
        break;
    case CM_CANCELMODE:
        CMCancelMode(m);
        break;
    default:
        DefaultHandler(m);
        break;
    }
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::mouseDown(TMessage& m, TMouseButton button, TShiftState extra) {
    const TPoint p = messagePoint(m);
    MouseDown(button, KeysToShiftState(m.WParam) | extra, p.X, p.Y);
}

void TControl::mouseUp(TMessage& m, TMouseButton button) {
    const TPoint p = messagePoint(m);
    MouseUp(button, KeysToShiftState(m.WParam), p.X, p.Y);
}

void TControl::WMLButtonDown(TMessage& m) {
    if ((style_ & csCaptureMouse) != 0) SetMouseCapture(true);
    if ((style_ & csClickEvents) != 0) state_ |= csClicked;
    state_ |= csLButtonDown;
    mouseDown(m, TMouseButton::mbLeft, 0);
}

void TControl::WMLButtonDblClk(TMessage& m) {
    if ((style_ & csCaptureMouse) != 0) SetMouseCapture(true);
    state_ |= csLButtonDown;
    if ((style_ & csClickEvents) != 0) DblClick();
    mouseDown(m, TMouseButton::mbLeft, ssDouble);
}

void TControl::WMLButtonUp(TMessage& m) {
    if ((style_ & csCaptureMouse) != 0) SetMouseCapture(false);
    state_ &= ~csLButtonDown;
    if ((state_ & csClicked) != 0) {
        state_ &= ~csClicked;
        const TPoint p = messagePoint(m);
        if (ClientRect().Contains(p.X, p.Y)) Click();
    }
    mouseUp(m, TMouseButton::mbLeft);
}

void TControl::WMRButtonDown(TMessage& m) {
    mouseDown(m, TMouseButton::mbRight, 0);
}

void TControl::WMRButtonDblClk(TMessage& m) {
    mouseDown(m, TMouseButton::mbRight, ssDouble);
}

void TControl::WMRButtonUp(TMessage& m) {
    mouseUp(m, TMouseButton::mbRight);
    // The context menu follows the release, as the system's does; parents get their chance
    // when a control shows none.
    const TPoint screen = ClientToScreen(messagePoint(m));
    for (TControl* c = this; c != nullptr; c = c->parent_)
        if (c->DoContextPopup(screen)) break;
}

void TControl::WMMButtonDown(TMessage& m) {
    mouseDown(m, TMouseButton::mbMiddle, 0);
}

void TControl::WMMButtonDblClk(TMessage& m) {
    mouseDown(m, TMouseButton::mbMiddle, ssDouble);
}

void TControl::WMMButtonUp(TMessage& m) {
    mouseUp(m, TMouseButton::mbMiddle);
}

void TControl::WMMouseMove(TMessage& m) {
    const TPoint p = messagePoint(m);
    MouseMove(KeysToShiftState(m.WParam), p.X, p.Y);
}

void TControl::WMMouseWheel(TMessage& m) {
    const auto delta = static_cast<std::int16_t>(static_cast<std::uint16_t>(m.WParam >> 16));
    const TShiftState shift = KeysToShiftState(m.WParam & 0xFFFF);
    if (DoMouseWheel(shift, delta, messagePoint(m))) {
        m.Result = 1;
        return;
    }
    if (parent_ != nullptr) m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
}

void TControl::CMMouseEnter(TMessage&) {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::CMMouseLeave(TMessage&) {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TControl::CMEnabledChanged(TMessage&) {
    Invalidate();
}

void TControl::CMVisibleChanged(TMessage&) {}

void TControl::CMHitTest(TMessage& m) {
    m.Result = ClientRect().Contains(LParamX(m.LParam), LParamY(m.LParam)) ? HTCLIENT : HTNOWHERE;
}

void TControl::CMCursorQuery(TMessage& m) {
    m.Result = cursor_;
}

void TControl::CMCancelMode(TMessage&) {
    if (MouseCapture()) SetMouseCapture(false);
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, TPoint mousePos) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
    return handled;
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

bool TControl::DoContextPopup(TPoint screenPos) {
    bool handled = false;
    if (OnContextPopup) OnContextPopup(this, ScreenToClient(screenPos), handled);
    if (handled) return true;
    TPopupMenu* menu = GetPopupMenu();
    if (menu == nullptr || !menu->AutoPopup()) return false;
    menu->SetPopupComponent(this);
    menu->Popup(screenPos.X, screenPos.Y);
    return true;
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == popupMenu_) popupMenu_ = nullptr;
    TComponent::Notification(component, operation);
}

void TControl::SetControlStateFlag(TControlState flag, bool on) {
    if (on)
        state_ |= flag;
    else
        state_ &= ~flag;
}

// ---- TGraphicControl -------------------------------------------------------------------------

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {}

// ---- TWinControl -----------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    if (captureControl != nullptr && ContainsControl(captureControl)) SetCaptureControl(nullptr);
    if (mouseControl != nullptr && ContainsControl(mouseControl)) mouseControl = nullptr;
    DestroyHandle();
    // The children belong to their owners; they only lose their parent.
    for (TControl* child : controls_)
        child->parent_ = nullptr;
    controls_.clear();
    platform::destroyPixelSurface(paintSurface_);
}

TControl* TWinControl::Controls(int index) const {
    if (index < 0 || index >= ControlCount()) return nullptr;
    return controls_[static_cast<std::size_t>(index)];
}

bool TWinControl::ContainsControl(const TControl* control) const {
    for (const TControl* c = control; c != nullptr; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(TPoint point, bool allowDisabled, bool allowWinControls) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl* c = *it;
        if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
        if (!allowWinControls && dynamic_cast<TWinControl*>(c) != nullptr) continue;
        if (!c->BoundsRect().Contains(point.X, point.Y)) continue;
        if (c->Perform(CM_HITTEST, 0, MakeLParam(point.X - c->Left(), point.Y - c->Top())) != 0)
            return c;
    }
    return nullptr;
}

void TWinControl::Broadcast(TMessage& message) {
    // A copy: a handler may add or remove children.
    const std::vector<TControl*> children = controls_;
    for (TControl* child : children) {
        child->WndProc(message);
        if (message.Result != 0) return;
    }
}

platform::WindowHandle TWinControl::Handle() {
    if (handle_ == nullptr) CreateHandle();
    return handle_;
}

TRect TWinControl::windowBounds() const {
    return BoundsRect();
}

void TWinControl::CreateHandle() {
    if (handle_ != nullptr) return;
    void* parentNative = nullptr;
    if (Parent() != nullptr)
        parentNative = Parent()->Handle();
    else
        parentNative = parentWindow_;
    if (parentNative == nullptr)
        throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    std::string error;
    platform::WindowHandle handle =
        system().createChildWindow(parentNative, windowBounds(), this, error);
    if (handle == nullptr) throw EOutOfResources("Error creating window: " + error);
    handle_ = handle;
    windowControls()[handle_] = this;
    if (!Visible()) system().showWindow(handle_, false);
    for (TControl* child : std::vector<TControl*>(controls_))
        if (auto* window = dynamic_cast<TWinControl*>(child)) window->CreateHandle();
}

void TWinControl::DestroyHandle() {
    for (TControl* child : controls_)
        if (auto* window = dynamic_cast<TWinControl*>(child)) window->DestroyHandle();
    if (handle_ == nullptr) return;
    if (captureControl != nullptr && ContainsControl(captureControl)) SetCaptureControl(nullptr);
    platform::WindowHandle handle = handle_;
    handle_ = nullptr;
    windowControls().erase(handle);
    system().destroyWindow(handle);
}

void TWinControl::SetParentWindow(void* window) {
    if (window == parentWindow_) return;
    parentWindow_ = window;
    if (Parent() == nullptr && handle_ != nullptr) DestroyHandle();
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c != nullptr; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const {
    return handle_ != nullptr && system().focusedWindow() == handle_;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    system().setFocus(Handle());
}

void TWinControl::Invalidate() {
    if (handle_ != nullptr)
        system().invalidateRect(handle_, nullptr, (ControlStyle() & csOpaque) == 0);
}

void TWinControl::Update() {
    if (handle_ != nullptr) system().updateWindow(handle_);
}

void TWinControl::InvalidateRect(const TRect& rect, bool erase) {
    if (handle_ != nullptr) system().invalidateRect(handle_, &rect, erase);
}

void TWinControl::ValidateRect(const TRect& rect) {
    if (handle_ != nullptr) system().validateRect(handle_, rect);
}

TRect TWinControl::BeginPaint() {
    return handle_ != nullptr ? system().beginPaint(handle_) : TRect{};
}

void TWinControl::EndPaint() {
    if (handle_ != nullptr) system().endPaint(handle_);
}

void TWinControl::BlitToWindow(const TRect& rect, platform::PixelSurface* source, int sourceX,
                               int sourceY) {
    if (handle_ != nullptr) system().blitToWindow(handle_, rect, source, sourceX, sourceY);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::SetVisible(bool value) {
    if (value == Visible()) return;
    TControl::SetVisible(value);
    if (handle_ != nullptr) system().showWindow(handle_, value);
}

void TWinControl::SetParent(TWinControl* parent) {
    if (parent == Parent()) return;
    if (handle_ != nullptr) DestroyHandle();
    TControl::SetParent(parent);
    if (parent != nullptr && parent->HandleAllocated()) CreateHandle();
}

void TWinControl::insertControl(TControl* control) {
    controls_.push_back(control);
    control->parent_ = this;
}

void TWinControl::removeControl(TControl* control) {
    std::erase(controls_, control);
    control->parent_ = nullptr;
}

void TWinControl::windowMessage(platform::WindowHandle, TMessage& message) {
    // Nothing unwinds into the system or the host.
    try {
        WndProc(message);
    } catch (...) {
        Application().HandleException();
    }
}

void TWinControl::WndProc(TMessage& message) {
    if (IsMouseMessage(message.Msg)) {
        const TPoint p = messagePoint(message);
        if (message.Msg == WM_MOUSEMOVE) trackMouseControl(p);
        TControl* target = nullptr;
        if (captureControl != nullptr) {
            if (captureControl != this && captureControl->Parent() == this &&
                dynamic_cast<TWinControl*>(captureControl) == nullptr)
                target = captureControl;
        } else {
            target = ControlAtPos(p);
        }
        if (target != nullptr) {
            TMessage routed = message;
            routed.LParam = MakeLParam(p.X - target->Left(), p.Y - target->Top());
            target->WndProc(routed);
            message.Result = routed.Result;
            return;
        }
    }
    TControl::WndProc(message);
}

void TWinControl::trackMouseControl(TPoint clientPoint) {
    setMouseControl(FindDragTarget(ClientToScreen(clientPoint), true));
}

void TWinControl::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_PAINT:
        WMPaint(m);
        break;
    case WM_ERASEBKGND:
        WMEraseBkgnd(m);
        break;
    case WM_SETFOCUS:
        WMSetFocus(m);
        break;
    case WM_KILLFOCUS:
        WMKillFocus(m);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        WMKeyDown(m);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        WMKeyUp(m);
        break;
    case WM_CHAR:
        WMChar(m);
        break;
    case WM_SYSCHAR:
        WMSysChar(m);
        break;
    case WM_GETDLGCODE:
        WMGetDlgCode(m);
        break;
    case WM_SETCURSOR:
        WMSetCursor(m);
        break;
    case WM_CAPTURECHANGED:
        WMCaptureChanged(m);
        break;
    case WM_MOUSELEAVE:
        // The pointer left this window: whatever is under it now (perhaps nothing of ours)
        // becomes the mouse control.
        if (mouseControl != nullptr && ContainsControl(mouseControl))
            setMouseControl(controlUnderPointer());
        break;
    case CM_DIALOGCHAR:
        CMDialogChar(m);
        break;
    case CM_DIALOGKEY:
        CMDialogKey(m);
        break;
    case CM_FOCUSCHANGED:
        CMFocusChanged(m);
        break;
    case CM_ENTER:
        CMEnter(m);
        break;
    case CM_EXIT:
        CMExit(m);
        break;
    default:
        TControl::Dispatch(m);
        break;
    }
}

void TWinControl::WMPaint(TMessage&) {
    const TRect rect = BeginPaint();
    const int width = Width(), height = Height();
    if (rect.Right > rect.Left && rect.Bottom > rect.Top && width > 0 && height > 0) {
        if (paintSurface_ == nullptr || paintWidth_ != width || paintHeight_ != height) {
            platform::destroyPixelSurface(paintSurface_);
            std::uint8_t* bits = nullptr;
            std::string error;
            paintSurface_ = platform::createPixelSurface(width, height, &bits, error);
            paintWidth_ = paintSurface_ != nullptr ? width : 0;
            paintHeight_ = paintSurface_ != nullptr ? height : 0;
        }
        if (paintSurface_ != nullptr) {
            platform::surfaceFillRect(paintSurface_, rect.Left, rect.Top, rect.Right, rect.Bottom,
                                      Color());
            BlitToWindow(rect, paintSurface_, rect.Left, rect.Top);
        }
    }
    EndPaint();
}

void TWinControl::WMEraseBkgnd(TMessage& m) {
    m.Result = 1;
}

void TWinControl::WMSetFocus(TMessage&) {
    if (TCustomForm* form = ParentForm(); form != nullptr && form != this) {
        form->SetActiveControlQuietly(this);
        TMessage changed{CM_FOCUSCHANGED, 0, reinterpret_cast<std::intptr_t>(this), 0};
        form->Broadcast(changed);
    }
    Perform(CM_ENTER);
}

void TWinControl::WMKillFocus(TMessage&) {
    Perform(CM_EXIT);
}

bool TWinControl::doKeyDown(TMessage& m) {
    TCustomForm* form = ParentForm();
    if (form != nullptr && form != this && form->KeyPreview() &&
        static_cast<TWinControl*>(form)->doKeyDown(m))
        return true;
    auto key = static_cast<std::uint16_t>(m.WParam);
    TShiftState shift = KeyboardShiftState();
    if ((m.LParam & KF_ALTDOWN_LPARAM) != 0) shift |= ssAlt;
    KeyDown(key, shift);
    m.WParam = key;
    return key == 0;
}

void TWinControl::WMKeyDown(TMessage& m) {
    if (doKeyDown(m)) return;
    const int key = static_cast<int>(m.WParam);
    std::intptr_t wanted = 0;
    if (key == VK_TAB)
        wanted = DLGC_WANTTAB;
    else if (key >= VK_LEFT && key <= VK_DOWN)
        wanted = DLGC_WANTARROWS;
    else if (key == VK_RETURN || key == VK_ESCAPE || key == VK_CANCEL || key == VK_EXECUTE)
        wanted = DLGC_WANTALLKEYS;
    if (wanted == 0) return;
    const std::intptr_t code = Perform(WM_GETDLGCODE);
    if ((code & (wanted | DLGC_WANTALLKEYS)) != 0) return;
    if (TCustomForm* form = ParentForm())
        if (form->Perform(CM_DIALOGKEY, m.WParam, m.LParam) != 0) m.Result = 1;
}

void TWinControl::WMKeyUp(TMessage& m) {
    auto key = static_cast<std::uint16_t>(m.WParam);
    const TShiftState shift = KeyboardShiftState();
    TCustomForm* form = ParentForm();
    if (form != nullptr && form != this && form->KeyPreview()) {
        static_cast<TWinControl*>(form)->KeyUp(key, shift);
        if (key == 0) return;
    }
    KeyUp(key, shift);
}

void TWinControl::WMChar(TMessage& m) {
    char c = static_cast<char>(m.WParam);
    TCustomForm* form = ParentForm();
    if (form != nullptr && form != this && form->KeyPreview()) {
        static_cast<TWinControl*>(form)->KeyPress(c);
        if (c == 0) return;
    }
    KeyPress(c);
}

void TWinControl::WMSysChar(TMessage& m) {
    TCustomForm* form = ParentForm();
    TWinControl* root = form != nullptr ? static_cast<TWinControl*>(form) : this;
    m.Result = root->Perform(CM_DIALOGCHAR, m.WParam, m.LParam);
}

void TWinControl::WMGetDlgCode(TMessage& m) {
    m.Result = 0;
}

void TWinControl::WMSetCursor(TMessage& m) {
    int x = 0, y = 0;
    system().cursorPos(x, y);
    const TPoint p = ScreenToClient({x, y});
    TCursor cursor = crDefault;
    if (TControl* child = ControlAtPos(p, true))
        cursor = static_cast<TCursor>(
            child->Perform(CM_CURSORQUERY, 0, MakeLParam(p.X - child->Left(), p.Y - child->Top())));
    if (cursor == crDefault)
        cursor = static_cast<TCursor>(Perform(CM_CURSORQUERY, 0, MakeLParam(p.X, p.Y)));
    system().setCursorShape(cursor);
    m.Result = 1;
}

void TWinControl::WMCaptureChanged(TMessage& m) {
    const auto gaining = reinterpret_cast<platform::WindowHandle>(m.LParam);
    if (gaining == handle_ || captureControl == nullptr) return;
    if (captureControl == this || captureControl->Parent() == this) captureControl = nullptr;
}

void TWinControl::CMDialogChar(TMessage& m) {
    Broadcast(m);
}

void TWinControl::CMDialogKey(TMessage&) {}

void TWinControl::CMFocusChanged(TMessage& m) {
    Broadcast(m);
}

void TWinControl::CMEnter(TMessage&) {
    DoEnter();
}

void TWinControl::CMExit(TMessage&) {
    DoExit();
}

void TWinControl::KeyDown(std::uint16_t& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(std::uint16_t& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

// ---- TCustomPanel ----------------------------------------------------------------------------

TCustomPanel::TCustomPanel(TComponent* owner) : TWinControl(owner) {
    SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque |
                    csDoubleClicks);
}

} // namespace runtime
