// The windowless control: bounds, parent, visibility, the mouse messages and their events.
#include "runtime/Controls.h"

#include "runtime/ControlsCapture.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"

#include <algorithm>

namespace runtime {

TShiftState KeysToShiftState(std::uintptr_t keys) {
    TShiftState shift = 0;
    if ((keys & MK_SHIFT) != 0) shift |= ssShift;
    if ((keys & MK_CONTROL) != 0) shift |= ssCtrl;
    if ((keys & MK_LBUTTON) != 0) shift |= ssLeft;
    if ((keys & MK_RBUTTON) != 0) shift |= ssRight;
    if ((keys & MK_MBUTTON) != 0) shift |= ssMiddle;
    if (detail::system().isKeyDown(VK_MENU)) shift |= ssAlt;
    return shift;
}

TShiftState KeyboardShiftState() {
    TShiftState shift = 0;
    if (detail::system().isKeyDown(VK_SHIFT)) shift |= ssShift;
    if (detail::system().isKeyDown(VK_CONTROL)) shift |= ssCtrl;
    if (detail::system().isKeyDown(VK_MENU)) shift |= ssAlt;
    return shift;
}

// ---- TControl --------------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    if (GetCaptureControl() == this) SetCaptureControl(nullptr);
    if (MouseControl() == this) detail::ForgetMouseControl();
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
        detail::system().setWindowBounds(window->Handle(), window->windowBounds());
    Invalidate();
    if (resized) Resize();
}

TPoint TControl::ClientOrigin() const {
    if (auto* window = dynamic_cast<const TWinControl*>(this);
        window && window->HandleAllocated()) {
        int x = 0, y = 0;
        detail::system().clientToScreen(window->handle_, x, y);
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
    if (!value && GetCaptureControl() == this) SetCaptureControl(nullptr);
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
    if (!value && GetCaptureControl() == this) SetCaptureControl(nullptr);
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
    return GetCaptureControl() == this;
}

void TControl::SetMouseCapture(bool value) {
    if (value)
        SetCaptureControl(this);
    else if (GetCaptureControl() == this)
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
    const TPoint p = detail::messagePoint(m);
    MouseDown(button, KeysToShiftState(m.WParam) | extra, p.X, p.Y);
}

void TControl::mouseUp(TMessage& m, TMouseButton button) {
    const TPoint p = detail::messagePoint(m);
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
        const TPoint p = detail::messagePoint(m);
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
    const TPoint screen = ClientToScreen(detail::messagePoint(m));
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
    const TPoint p = detail::messagePoint(m);
    MouseMove(KeysToShiftState(m.WParam), p.X, p.Y);
}

void TControl::WMMouseWheel(TMessage& m) {
    const auto delta = static_cast<std::int16_t>(static_cast<std::uint16_t>(m.WParam >> 16));
    const TShiftState shift = KeysToShiftState(m.WParam & 0xFFFF);
    if (DoMouseWheel(shift, delta, detail::messagePoint(m))) {
        m.Result = 1;
        return;
    }
    // Straight to the parent's handler: its window would route the turn back here.
    if (parent_ != nullptr) parent_->Dispatch(m);
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

} // namespace runtime
