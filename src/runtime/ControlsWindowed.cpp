// The windowed control: its platform window, children, routing of the mouse and the keyboard,
// focus and paint; and the plain panel.
#include "runtime/Controls.h"

#include "runtime/Application.h"
#include "runtime/ControlsCapture.h"
#include "runtime/Forms.h"

#include <algorithm>

namespace runtime {

// ---- TWinControl -----------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    if (TControl* capture = GetCaptureControl(); capture != nullptr && ContainsControl(capture))
        SetCaptureControl(nullptr);
    if (TControl* inside = MouseControl(); inside != nullptr && ContainsControl(inside))
        detail::ForgetMouseControl();
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
        detail::system().createChildWindow(parentNative, windowBounds(), this, error);
    if (handle == nullptr) throw EOutOfResources("Error creating window: " + error);
    handle_ = handle;
    detail::RegisterWindow(handle_, this);
    if (!Visible()) detail::system().showWindow(handle_, false);
    for (TControl* child : std::vector<TControl*>(controls_))
        if (auto* window = dynamic_cast<TWinControl*>(child)) window->CreateHandle();
}

void TWinControl::DestroyHandle() {
    for (TControl* child : controls_)
        if (auto* window = dynamic_cast<TWinControl*>(child)) window->DestroyHandle();
    if (handle_ == nullptr) return;
    if (TControl* capture = GetCaptureControl(); capture != nullptr && ContainsControl(capture))
        SetCaptureControl(nullptr);
    platform::WindowHandle handle = handle_;
    handle_ = nullptr;
    detail::UnregisterWindow(handle);
    detail::system().destroyWindow(handle);
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
    return handle_ != nullptr && detail::system().focusedWindow() == handle_;
}

void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    detail::system().setFocus(Handle());
}

void TWinControl::Invalidate() {
    if (handle_ != nullptr)
        detail::system().invalidateRect(handle_, nullptr, (ControlStyle() & csOpaque) == 0);
}

void TWinControl::Update() {
    if (handle_ != nullptr) detail::system().updateWindow(handle_);
}

void TWinControl::InvalidateRect(const TRect& rect, bool erase) {
    if (handle_ != nullptr) detail::system().invalidateRect(handle_, &rect, erase);
}

void TWinControl::ValidateRect(const TRect& rect) {
    if (handle_ != nullptr) detail::system().validateRect(handle_, rect);
}

TRect TWinControl::BeginPaint() {
    return handle_ != nullptr ? detail::system().beginPaint(handle_) : TRect{};
}

void TWinControl::EndPaint() {
    if (handle_ != nullptr) detail::system().endPaint(handle_);
}

void TWinControl::BlitToWindow(const TRect& rect, platform::PixelSurface* source, int sourceX,
                               int sourceY) {
    if (handle_ != nullptr) detail::system().blitToWindow(handle_, rect, source, sourceX, sourceY);
}

void TWinControl::SetBounds(int left, int top, int width, int height) {
    TControl::SetBounds(left, top, width, height);
}

void TWinControl::SetVisible(bool value) {
    if (value == Visible()) return;
    TControl::SetVisible(value);
    if (handle_ != nullptr) detail::system().showWindow(handle_, value);
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
        const TPoint p = detail::messagePoint(message);
        if (message.Msg == WM_MOUSEMOVE) trackMouseControl(p);
        TControl* target = nullptr;
        if (TControl* capture = GetCaptureControl(); capture != nullptr) {
            if (capture != this && capture->Parent() == this &&
                dynamic_cast<TWinControl*>(capture) == nullptr)
                target = capture;
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
    if (message.Msg == WM_MOUSEWHEEL) {
        // The turn goes to the control under the pointer (its point stays in screen terms).
        TControl* capture = GetCaptureControl();
        TControl* target = capture != nullptr && capture->Parent() == this
                               ? capture
                               : ControlAtPos(ScreenToClient(detail::messagePoint(message)));
        if (target != nullptr && dynamic_cast<TWinControl*>(target) == nullptr) {
            target->WndProc(message);
            return;
        }
    }
    TControl::WndProc(message);
}

void TWinControl::trackMouseControl(TPoint clientPoint) {
    detail::SetMouseControl(FindDragTarget(ClientToScreen(clientPoint), true));
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
        if (TControl* inside = MouseControl(); inside != nullptr && ContainsControl(inside))
            detail::SetMouseControl(detail::ControlUnderPointer());
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

// Child windows clip their parent's drawing, so an area that one of them covers needs no paint
// surface (nor the window image behind it): a form holding one full-size panel paints nothing.
bool TWinControl::coveredByChildWindow(const TRect& rect) const {
    for (int i = 0; i < ControlCount(); ++i) {
        const auto* child = dynamic_cast<const TWinControl*>(Controls(i));
        if (child == nullptr || !child->HandleAllocated() || !child->Visible()) continue;
        const TRect bounds = child->BoundsRect();
        if (bounds.Left <= rect.Left && bounds.Top <= rect.Top && bounds.Right >= rect.Right &&
            bounds.Bottom >= rect.Bottom)
            return true;
    }
    return false;
}

void TWinControl::WMPaint(TMessage&) {
    const TRect rect = BeginPaint();
    const int width = Width(), height = Height();
    if (rect.Right > rect.Left && rect.Bottom > rect.Top && width > 0 && height > 0 &&
        !coveredByChildWindow(rect)) {
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
    detail::system().cursorPos(x, y);
    const TPoint p = ScreenToClient({x, y});
    TCursor cursor = crDefault;
    if (TControl* child = ControlAtPos(p, true))
        cursor = static_cast<TCursor>(
            child->Perform(CM_CURSORQUERY, 0, MakeLParam(p.X - child->Left(), p.Y - child->Top())));
    if (cursor == crDefault)
        cursor = static_cast<TCursor>(Perform(CM_CURSORQUERY, 0, MakeLParam(p.X, p.Y)));
    detail::system().setCursorShape(cursor);
    m.Result = 1;
}

void TWinControl::WMCaptureChanged(TMessage& m) {
    const auto gaining = reinterpret_cast<platform::WindowHandle>(m.LParam);
    TControl* capture = GetCaptureControl();
    if (gaining == handle_ || capture == nullptr) return;
    if (capture == this || capture->Parent() == this) detail::DropCapture();
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
