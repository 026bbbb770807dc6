#pragma once
// Windowless push and toggle buttons: a visual state worked out from enabled, down, pointer
// and focus; a Down state that can flip on every click; groups in which at most one button of
// an owner is down.

#include "runtime/Exception.h"
#include "toolkit/cDIBControl.h"

#include <cstdint>
#include <string>

namespace toolkit {

/// Visual states, tested in the order disabled, down, pointer inside or focused, normal.
enum TDIBButtonState : std::uint8_t {
    bsNormal = 0,
    bsMouseClick = 1, ///< pointer inside or focused, left button pressed
    bsDisabled = 2,
    bsMouseOver = 3, ///< pointer inside or focused, left button not pressed
    bsDown = 4,
};

class EDIBButtonError : public runtime::Exception {
public:
    using Exception::Exception;
};

class TAbstractDIBButton : public TCustomDIBControl {
public:
    explicit TAbstractDIBButton(runtime::TComponent* owner);
    std::string ClassName() const override { return "TAbstractDIBButton"; }

    std::uint8_t State() const { return state_; }
    /// 0: no group. Buttons of one owner with the same positive group are exclusive. A
    /// negative value raises EDIBButtonError "Invalid group." and changes nothing.
    int Group() const { return group_; }
    void SetGroup(int value);
    bool Down() const { return down_; }
    /// Going down releases the other down buttons of the group.
    virtual void SetDown(bool value);
    /// Every click flips Down (after OnClick, which sees the state from before).
    bool ToggleDown() const { return toggleDown_; }
    void SetToggleDown(bool value) { toggleDown_ = value; }

    void Loaded() override;

protected:
    /// Stores a new state and repaints; an unchanged state does nothing.
    virtual void SetState(std::uint8_t value);
    /// Works the state out and sets it.
    virtual void UpdateState();

    void Click() override;
    void MouseEnter() override;
    void MouseLeave() override;
    void MouseDown(runtime::TMouseButton button, runtime::TShiftState shift, int x, int y) override;
    void MouseUp(runtime::TMouseButton button, runtime::TShiftState shift, int x, int y) override;
    void CMEnabledChanged(runtime::TMessage& message) override;

private:
    void releaseGroup();

    std::uint8_t state_ = bsNormal;
    int group_ = 0;
    bool down_ = false;
    bool toggleDown_ = false;
};

} // namespace toolkit
