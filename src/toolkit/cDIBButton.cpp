#include "toolkit/cDIBButton.h"

#include "runtime/Properties.h"

namespace toolkit {

using runtime::TMouseButton;
using runtime::TShiftState;

namespace {

void registerButtonClasses() {
    static const bool done = [] {
        runtime::PublishClass<TAbstractDIBButton>("TAbstractDIBButton", "TCustomDIBControl");
        return true;
    }();
    (void)done;
}

} // namespace

TAbstractDIBButton::TAbstractDIBButton(runtime::TComponent* owner) : TCustomDIBControl(owner) {
    registerButtonClasses();
    // A fast second click is another click, not a double click.
    SetControlStyle(ControlStyle() & ~runtime::csDoubleClicks);
}

void TAbstractDIBButton::SetGroup(int value) {
    if (value < 0) throw EDIBButtonError("Invalid group.");
    group_ = value;
    if (value > 0 && down_) releaseGroup();
}

void TAbstractDIBButton::SetDown(bool value) {
    down_ = value;
    UpdateState();
    if (down_) releaseGroup();
}

void TAbstractDIBButton::SetState(std::uint8_t value) {
    if (value == state_) return;
    state_ = value;
    Invalidate();
}

void TAbstractDIBButton::UpdateState() {
    std::uint8_t state = bsNormal;
    if (!Enabled())
        state = bsDisabled;
    else if (down_)
        state = bsDown;
    else if (MouseInside() || Focused())
        state = ButtonPressed(TMouseButton::mbLeft) ? bsMouseClick : bsMouseOver;
    SetState(state);
}

void TAbstractDIBButton::releaseGroup() {
    runtime::TComponent* owner = Owner();
    if (owner == nullptr || group_ == 0) return;
    for (int i = 0; i < owner->ComponentCount(); ++i) {
        auto* other = dynamic_cast<TAbstractDIBButton*>(owner->Components(i));
        if (other != nullptr && other != this && other->group_ == group_ && other->down_)
            other->SetDown(false);
    }
}

void TAbstractDIBButton::Loaded() {
    TCustomDIBControl::Loaded();
    UpdateState();
}

void TAbstractDIBButton::Click() {
    TCustomDIBControl::Click();
    if (toggleDown_) SetDown(!down_);
}

void TAbstractDIBButton::MouseEnter() {
    TCustomDIBControl::MouseEnter();
    UpdateState();
}

void TAbstractDIBButton::MouseLeave() {
    TCustomDIBControl::MouseLeave();
    UpdateState();
}

void TAbstractDIBButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomDIBControl::MouseDown(button, shift, x, y);
    if (button == TMouseButton::mbLeft) UpdateState();
}

void TAbstractDIBButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomDIBControl::MouseUp(button, shift, x, y);
    if (button == TMouseButton::mbLeft) UpdateState();
}

void TAbstractDIBButton::CMEnabledChanged(runtime::TMessage& message) {
    TCustomDIBControl::CMEnabledChanged(message);
    UpdateState();
}

} // namespace toolkit
