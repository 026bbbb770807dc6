#pragma once
// Forms: the top of a window tree. A form here is always a child of a foreign window (the
// host's) given as ParentWindow; there is no message loop of ours, the host's drives it.

#include "runtime/Controls.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace runtime {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

class TCustomForm : public TWinControl {
public:
    explicit TCustomForm(TComponent* owner);
    ~TCustomForm() override;
    std::string ClassName() const override { return "TCustomForm"; }

    /// Makes the form visible and creates its window inside ParentWindow (or its parent).
    void ShowForm();
    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle value) { borderStyle_ = value; }
    /// Whether the form sees key messages before the focused control does.
    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool value) { keyPreview_ = value; }
    /// The windowed control of the form that has (or last had) the focus.
    TWinControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TWinControl* control);
    /// The next (or previous) focusable windowed control in tab order after `current`,
    /// wrapping around; null when none. With checkTabStop only TabStop controls count.
    TWinControl* FindNextControl(TWinControl* current, bool forward, bool checkTabStop) const;
    /// Focuses FindNextControl's answer; false when there is none.
    bool SelectNext(TWinControl* current, bool forward, bool checkTabStop);

    /// With KeyPreview, the form's own key handling (OnKeyDown, ...) sees a key meant for one
    /// of its controls first; true when it cleared the key. False without KeyPreview.
    bool PreviewKeyDown(std::uint16_t& key, TShiftState shift);
    bool PreviewKeyUp(std::uint16_t& key, TShiftState shift);
    bool PreviewKeyPress(char& key);
    /// Whether the form takes a key message as a shortcut: OnShortCut decides (none: no).
    virtual bool IsShortCut(TMessage& message);
    std::function<void(TMessage& message, bool& handled)> OnShortCut;

    /// The density the form is drawn at, in percent, which its popup menus and message boxes
    /// follow where the platform draws them; values below 1 count as 100.
    int PixelPercent() const { return pixelPercent_; }
    void SetPixelPercent(int value) { pixelPercent_ = value >= 1 ? value : 100; }

    /// Fires OnCreate: call once, when the form's components exist (MakeForm does).
    virtual void DoCreate();
    TNotifyEvent OnCreate;

protected:
    /// Tab and Shift+Tab move the focus between windowed controls.
    void CMDialogKey(TMessage& message) override;
    void CMFocusChanged(TMessage& message) override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TWinControl;
    /// Records the control that took the focus, without moving the focus.
    void SetActiveControlQuietly(TWinControl* control) { activeControl_ = control; }

    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsNone;
    bool keyPreview_ = false;
    TWinControl* activeControl_ = nullptr;
    int pixelPercent_ = 100;
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
    std::string ClassName() const override { return "TForm"; }
};

/// Builds a form (as its constructor leaves it), then fires its OnCreate.
template <class T, class... Args>
std::unique_ptr<T> MakeForm(Args&&... args) {
    auto form = std::make_unique<T>(std::forward<Args>(args)...);
    form->DoCreate();
    return form;
}

} // namespace runtime
