#include "toolkit/cDIBControl.h"

#include "runtime/Forms.h"
#include "runtime/Menus.h"
#include "runtime/Properties.h"
#include "runtime/ScopedFlag.h"
#include "runtime/Timer.h"
#include "toolkit/cDIBPanel.h"

#include <algorithm>
#include <cctype>
#include <type_traits>

namespace toolkit {

using namespace runtime::messages;
using platform::LParamX;
using platform::LParamY;
using runtime::TMessage;

namespace {

void registerControlClasses() {
    static const bool done = [] {
        runtime::PublishClass<TPointProperty>("TPointProperty", "TPersistent")
            .Integer("X", &TPointProperty::X, &TPointProperty::SetX)
            .Integer("Y", &TPointProperty::Y, &TPointProperty::SetY);
        runtime::PublishClass<TCustomDIBControl>("TCustomDIBControl", "TGraphicControl")
            .Integer("Opacity", &TCustomDIBControl::Opacity, &TCustomDIBControl::SetOpacity, "Byte")
            .Char("Accelerator", &TCustomDIBControl::Accelerator,
                  &TCustomDIBControl::SetAccelerator)
            .Integer("DIBTabOrder", &TCustomDIBControl::DIBTabOrder,
                     &TCustomDIBControl::SetDIBTabOrder, "SmallInt")
            .Object("DIBImageList", "TDIBImageList",
                    [](TCustomDIBControl& c) -> runtime::TPersistent* { return c.DIBImageList(); });
        runtime::PublishClass<TDIBWrapper>("TDIBWrapper", "TComponent");
        runtime::PublishClass<TPersistentWrapper>("TPersistentWrapper", "TComponent");
        return true;
    }();
    (void)done;
}

std::uint8_t buttonBit(runtime::TMouseButton button) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(button));
}

runtime::TPopupMenu& sharedPopupMenu() {
    static runtime::TPopupMenu menu(nullptr);
    return menu;
}

} // namespace

// ---- TPointProperty --------------------------------------------------------------------------

TPointProperty::TPointProperty() {
    registerControlClasses();
}

void TPointProperty::SetX(int value) {
    x_ = value;
    if (OnChange) OnChange(this);
}

void TPointProperty::SetY(int value) {
    y_ = value;
    if (OnChange) OnChange(this);
}

void TPointProperty::Assign(const runtime::TPersistent* source) {
    if (const auto* point = dynamic_cast<const TPointProperty*>(source)) {
        SetX(point->X());
        SetY(point->Y());
        return;
    }
    TPersistent::Assign(source);
}

// ---- TCustomDIBControl: life and geometry -----------------------------------------------------

namespace {

TCustomDIBContainer* containerOf(runtime::TComponent* component) {
    if (auto* container = dynamic_cast<TCustomDIBContainer*>(component)) return container;
    for (int i = 0; i < component->ComponentCount(); ++i)
        if (auto* container = dynamic_cast<TCustomDIBContainer*>(component->Components(i)))
            return container;
    return nullptr;
}

[[noreturn]] void parentError() {
    throw EDIBControlError("Parent must be a TDIBContainer");
}

} // namespace

TCustomDIBControl::TCustomDIBControl(runtime::TComponent* owner) : TGraphicControl(owner) {
    registerControlClasses();
    if (owner == nullptr) throw EDIBControlError("Owner cannot be nil");
    TCustomDIBContainer* container = containerOf(owner);
    if (container == nullptr) parentError();
    templateProps_ = {"Width", "Height"};
    repeatTimer_ = std::make_unique<TDIBTimer>(nullptr);
    repeatTimer_->SetOnTimer([this](runtime::TPersistent*) { repeatTick(); });
    SetParent(container);
    SetBounds(0, 0, 32, 32);
}

TCustomDIBControl::~TCustomDIBControl() {
    IncludeState(runtime::csDestroying);
    repeatTimer_.reset();
    if (TCustomDIBContainer* container = Container()) container->removeFromTabList(this);
    links_.clear();
}

TCustomDIBContainer* TCustomDIBControl::Container() const {
    return dynamic_cast<TCustomDIBContainer*>(Parent());
}

void TCustomDIBControl::SetParent(runtime::TWinControl* parent) {
    if (parent != nullptr && dynamic_cast<TCustomDIBContainer*>(parent) == nullptr) {
        TCustomDIBContainer* owned = containerOf(parent);
        if (owned == nullptr) parentError();
        parent = owned;
    }
    if (parent == Parent()) return;
    if (TCustomDIBContainer* old = Container()) old->removeFromTabList(this);
    TGraphicControl::SetParent(parent);
    if (parent != nullptr) applyTabOrder();
}

void TCustomDIBControl::SetBounds(int left, int top, int width, int height) {
    if (settingBounds_) return;
    const int oldLeft = Left(), oldTop = Top();
    {
        const runtime::TScopedFlag setting(settingBounds_);
        // A move that keeps the size keeps the paint stamp: hit regions stay as they are.
        const runtime::TScopedFlag kept(sizeKept_, std::max(width, 0) == Width() &&
                                                       std::max(height, 0) == Height());
        TGraphicControl::SetBounds(left, top, width, height);
    }
    const int dx = Left() - oldLeft, dy = Top() - oldTop;
    if ((dx != 0 || dy != 0) && children_ != nullptr)
        for (int i = 0; i < children_->ChildCount(); ++i)
            if (runtime::TControl* child = children_->Child(i); child != nullptr && child != this)
                child->SetBounds(child->Left() + dx, child->Top() + dy, child->Width(),
                                 child->Height());
}

void TCustomDIBControl::Invalidate() {
    TGraphicControl::Invalidate();
    if (!sizeKept_) lastInvalidation_ = runtime::TickCount();
}

void TCustomDIBControl::SetOpacity(std::uint8_t value) {
    if (value == opacity_) return;
    opacity_ = value;
    Invalidate();
}

void TCustomDIBControl::SetDIBTabOrder(int value) {
    tabOrder_ = std::clamp(value, -1, 32767);
    if (!HasState(runtime::csLoading)) applyTabOrder();
}

void TCustomDIBControl::applyTabOrder() {
    if (TCustomDIBContainer* container = Container())
        container->SetControlTabOrder(this, tabOrder_);
}

void TCustomDIBControl::Loaded() {
    TGraphicControl::Loaded();
    loading_ = false;
    if (features_ != nullptr) features_->ControlLoaded();
    applyTabOrder();
    AdjustSize();
}

// ---- Auto size --------------------------------------------------------------------------------

void TCustomDIBControl::SetAutoSize(bool value) {
    autoSize_ = value;
    AdjustSize();
}

bool TCustomDIBControl::CanAutoSize(int&, int&) {
    return false;
}

void TCustomDIBControl::AdjustSize() {
    int width = 0, height = 0;
    if (!autoSize_ || HasState(runtime::csLoading) || !CanAutoSize(width, height)) return;
    SetBounds(Left(), Top(), width, height);
}

bool TCustomDIBControl::FrameSize(const TDIBImageLink& strip, int frames, int& width, int& height) {
    TAbstractSuperDIB* image = nullptr;
    if (!strip.GetImage(image)) return false;
    width = image->Width() / frames;
    height = image->Height();
    return true;
}

bool TCustomDIBControl::ButtonPressed(runtime::TMouseButton button) const {
    return (pressed_ & buttonBit(button)) != 0;
}

void TCustomDIBControl::SetDIBFeatures(std::unique_ptr<TDIBFeatureHook> features) {
    features_ = std::move(features);
}

void TCustomDIBControl::SetChildren(std::unique_ptr<TDIBChildrenHook> children) {
    children_ = std::move(children);
}

void TCustomDIBControl::Notification(runtime::TComponent* component,
                                     runtime::TOperation operation) {
    if (operation == runtime::TOperation::opRemove) {
        if (component == imageList_) SetDIBImageList(nullptr);
        if (children_ != nullptr)
            if (auto* control = dynamic_cast<runtime::TControl*>(component))
                children_->DropChild(control);
    }
    TGraphicControl::Notification(component, operation);
}

// ---- Image links ------------------------------------------------------------------------------

TDIBImageLink* TCustomDIBControl::CreateImageLink() {
    auto link = std::make_unique<TDIBImageLink>(this);
    link->SetDIBImageList(imageList_);
    link->OnImageChanged = [this](runtime::TPersistent*, int index, TDIBImageChange kind) {
        if (!HasState(runtime::csDestroying)) ImageChanged(index, kind);
    };
    links_.push_back(std::move(link));
    return links_.back().get();
}

TDIBImageLink* TCustomDIBControl::ImageLinks(int index) const {
    if (index < 0 || index >= ImageLinkCount()) return nullptr;
    return links_[static_cast<std::size_t>(index)].get();
}

void TCustomDIBControl::SetDIBImageList(TCustomDIBImageList* list) {
    if (list == imageList_) return;
    if (imageList_ != nullptr) imageList_->RemoveFreeNotification(this);
    imageList_ = list;
    if (list != nullptr) list->FreeNotification(this);
    for (auto& link : links_)
        link->SetDIBImageList(list);
    Invalidate();
}

void TCustomDIBControl::ImageChanged(int, TDIBImageChange) {
    AdjustSize();
    // Also when the size stayed: the picture itself may be new.
    Invalidate();
}

// ---- Paint ------------------------------------------------------------------------------------

void TCustomDIBControl::paintInto(TAbstractSuperDIB& back, TAbstractSuperDIB& buffer) {
    const int left = Left(), top = Top(), width = Width(), height = Height();
    back.Draw(std::max(-left, 0), std::max(-top, 0), width, height, buffer, std::max(left, 0),
              std::max(top, 0));
    PaintToBuffer(buffer);
    if (HasState(runtime::csDesigning)) {
        // A dashed outline shows the control's extent to the designer.
        for (int x = 0; x < buffer.Width(); x += 2) {
            buffer.FillRect(clBlack, x, 0, 1, 1);
            buffer.FillRect(clBlack, x, buffer.Height() - 1, 1, 1);
        }
        for (int y = 0; y < buffer.Height(); y += 2) {
            buffer.FillRect(clBlack, 0, y, 1, 1);
            buffer.FillRect(clBlack, buffer.Width() - 1, y, 1, 1);
        }
    }
    buffer.SetOpacity(opacity_);
    buffer.Draw(left, top, width, height, back);
}

void TCustomDIBControl::PaintToBuffer(TAbstractSuperDIB& buffer) {
    TAbstractSuperDIB* previous = paintBuffer_;
    paintBuffer_ = &buffer;
    auto* system = dynamic_cast<TCustomWinDIB*>(&buffer);
    Canvas().SetSurface(system != nullptr ? system->Canvas().Surface() : nullptr);
    try {
        DoPaintStart();
        Paint();
        DoPaintEnd();
    } catch (...) {
        Canvas().SetSurface(nullptr);
        paintBuffer_ = previous;
        throw;
    }
    Canvas().SetSurface(nullptr);
    paintBuffer_ = previous;
}

void TCustomDIBControl::DoPaintStart() {
    if (OnPaintStart) OnPaintStart(this);
}

void TCustomDIBControl::DoPaintEnd() {
    if (OnPaintEnd) OnPaintEnd(this);
}

void TCustomDIBControl::Paint() {
    if (OnPaint) OnPaint(this);
}

void TCustomDIBControl::AdjustUpdateRect(TRect&) {}

// ---- Popup menu and shortcuts -----------------------------------------------------------------

runtime::TPopupMenu* TCustomDIBControl::GetPopupMenu() {
    if (PopupMenu() != nullptr) return PopupMenu();
    runtime::TPopupMenu& shared = sharedPopupMenu();
    shared.Items()->Clear();
    FillPopupMenu(shared);
    return shared.Items()->Count() > 0 ? &shared : nullptr;
}

void TCustomDIBControl::FillPopupMenu(runtime::TPopupMenu&) {}

bool TCustomDIBControl::CheckShortCut(TMessage& message) {
    // There is no application-wide key handling beyond the form's, so a designer's key goes
    // nowhere.
    if (HasState(runtime::csDesigning)) return false;
    if (runtime::TPopupMenu* menu = PopupMenu(); menu != nullptr && menu->IsShortCut(message))
        return true;
    runtime::TCustomForm* form = ParentForm();
    return form != nullptr && form->IsShortCut(message);
}

// ---- Mouse ------------------------------------------------------------------------------------

void TCustomDIBControl::WndProc(TMessage& message) {
    if (HasState(runtime::csDesigning)) {
        TGraphicControl::WndProc(message);
        return;
    }
    bool handled = false;
    if (features_ != nullptr) features_->ProcessMessage(message, handled);
    switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        repeatMessage_ = message;
        repeatMessage_.Msg = WM_LBUTTONDOWN;
        if (autoRepeat_ && !repeatTimer_->Enabled()) {
            repeatTimer_->SetInterval(repeatInterval_);
            repeatTimer_->SetEnabled(true);
        }
        break;
    case WM_MOUSEMOVE:
        lastMouse_ = {LParamX(message.LParam), LParamY(message.LParam)};
        if (ClientRect().Contains(lastMouse_.X, lastMouse_.Y) && !hot_)
            Perform(CM_MOUSEENTER, 0, reinterpret_cast<std::intptr_t>(this));
        break;
    case WM_LBUTTONUP:
        repeatTimer_->SetEnabled(false);
        if (hot_ && !mouseInside_) Perform(CM_MOUSELEAVE, 0, reinterpret_cast<std::intptr_t>(this));
        break;
    case CM_MOUSEENTER:
        MouseEnter();
        if (MouseCapture() && autoRepeat_) {
            repeatTimer_->SetEnabled(false);
            repeatTimer_->SetInterval(repeatInterval_);
            repeatTimer_->SetEnabled(true);
        }
        return;
    case CM_MOUSELEAVE:
        repeatTimer_->SetEnabled(false);
        MouseLeave();
        return;
    default:
        break;
    }
    if (!handled) TGraphicControl::WndProc(message);
}

void TCustomDIBControl::MouseEnter() {
    const bool was = focused_ || hot_;
    mouseInside_ = hot_ = true;
    if (!was) Highlight();
    if (OnMouseEnter) OnMouseEnter(this);
}

void TCustomDIBControl::MouseLeave() {
    mouseInside_ = false;
    if (MouseCapture()) return;
    hot_ = false;
    if (OnMouseLeave) OnMouseLeave(this);
    if (!focused_) Unhighlight();
}

// The notices are answered by MouseEnter and MouseLeave in WndProc.
void TCustomDIBControl::CMMouseEnter(TMessage&) {}
void TCustomDIBControl::CMMouseLeave(TMessage&) {}

void TCustomDIBControl::repeatTick() {
    if (stopRepeat_) {
        stopRepeat_ = false;
        repeatTimer_->SetEnabled(false);
        return;
    }
    TMessage again = repeatMessage_;
    WndProc(again);
}

void TCustomDIBControl::StopRepeat() {
    stopRepeat_ = true;
}

void TCustomDIBControl::MouseDown(runtime::TMouseButton button, runtime::TShiftState shift, int x,
                                  int y) {
    shift_ = shift;
    pressed_ |= buttonBit(button);
    if (tabOrder_ >= 0) TakeFocus();
    TGraphicControl::MouseDown(button, shift, x, y);
}

void TCustomDIBControl::MouseUp(runtime::TMouseButton button, runtime::TShiftState shift, int x,
                                int y) {
    shift_ = shift;
    pressed_ &= static_cast<std::uint8_t>(~buttonBit(button));
    TGraphicControl::MouseUp(button, shift, x, y);
    if (button == runtime::TMouseButton::mbLeft && hot_ && !mouseInside_) MouseLeave();
}

void TCustomDIBControl::Click() {
    TGraphicControl::Click();
    if (tabOrder_ >= 0 && !focused_) TakeFocus();
}

// ---- Focus and keys ---------------------------------------------------------------------------

void TCustomDIBControl::TakeFocus() {
    Perform(WM_SETFOCUS);
}

void TCustomDIBControl::EnterFocus() {
    const bool was = focused_ || hot_;
    focused_ = true;
    if (TCustomDIBContainer* container = Container()) {
        container->SetActiveControl(this);
        if (container->HandleAllocated() && container->CanFocus() && !container->Focused())
            container->SetFocus();
    }
    if (!was) Highlight();
    if (OnEnter) OnEnter(this);
}

void TCustomDIBControl::ExitFocus() {
    focused_ = false;
    if (OnExit) OnExit(this);
    if (!hot_) Unhighlight();
}

void TCustomDIBControl::CMEnabledChanged(TMessage& message) {
    TGraphicControl::CMEnabledChanged(message);
    if (focused_ && !Enabled()) ExitFocus();
}

namespace {

runtime::TShiftState keyShift(const TMessage& message) {
    runtime::TShiftState shift = runtime::KeyboardShiftState();
    if ((message.LParam & KF_ALTDOWN_LPARAM) != 0) shift |= runtime::ssAlt;
    return shift;
}

// The form sees the key first when it previews keys.
runtime::TCustomForm* previewingForm(const runtime::TControl& control) {
    runtime::TCustomForm* form = control.ParentForm();
    return form != nullptr && form->KeyPreview() ? form : nullptr;
}

// A key goes to the previewing form's event, then to the control's own; a key either of them
// clears is handled, any other goes on to DefaultHandler.
template <class Key, class Event, class... Shift>
void deliverKey(TCustomDIBControl& control, TMessage& message,
                Event runtime::TWinControl::*formEvent, const Event& ownEvent,
                const Shift&... shift) {
    auto key = static_cast<Key>(message.WParam);
    if (runtime::TCustomForm* form = previewingForm(control); form && (form->*formEvent))
        (form->*formEvent)(form, key, shift...);
    if (key != 0 && ownEvent) ownEvent(&control, key, shift...);
    message.WParam = static_cast<std::make_unsigned_t<Key>>(key);
    if (key == 0)
        message.Result = 1;
    else
        control.DefaultHandler(message);
}

} // namespace

void TCustomDIBControl::HandleKeyDown(TMessage& message) {
    shift_ = keyShift(message);
    deliverKey<std::uint16_t>(*this, message, &runtime::TWinControl::OnKeyDown, OnKeyDown, shift_);
}

void TCustomDIBControl::HandleKeyUp(TMessage& message) {
    shift_ = keyShift(message);
    deliverKey<std::uint16_t>(*this, message, &runtime::TWinControl::OnKeyUp, OnKeyUp, shift_);
}

void TCustomDIBControl::HandleKeyPress(TMessage& message) {
    deliverKey<char>(*this, message, &runtime::TWinControl::OnKeyPress, OnKeyPress);
}

void TCustomDIBControl::Dispatch(TMessage& message) {
    switch (message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        HandleKeyDown(message);
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        HandleKeyUp(message);
        break;
    case WM_CHAR:
        HandleKeyPress(message);
        break;
    case WM_SETFOCUS:
        if (Enabled() && !focused_) EnterFocus();
        break;
    case WM_KILLFOCUS:
        if (focused_) ExitFocus();
        break;
    case WM_GETDLGCODE:
        if ((dialogKeys_ & dkAllKeys) != 0)
            message.Result = DLGC_WANTALLKEYS;
        else
            message.Result = ((dialogKeys_ & dkTab) != 0 ? DLGC_WANTTAB : 0) |
                             ((dialogKeys_ & dkArrows) != 0 ? DLGC_WANTARROWS : 0);
        break;
    case CM_DIALOGCHAR: {
        const auto wanted = static_cast<unsigned char>(accelerator_);
        const auto got = static_cast<unsigned char>(message.WParam & 0xFF);
        TCustomDIBContainer* container = Container();
        if (wanted != 0 && std::toupper(wanted) == std::toupper(got) && Enabled() && Visible() &&
            (runtime::KeyboardShiftState() & runtime::ssAlt) != 0 && container != nullptr &&
            container->CanFocus()) {
            Click();
            message.Result = 1;
        }
        break;
    }
    default:
        TGraphicControl::Dispatch(message);
        break;
    }
}

} // namespace toolkit
