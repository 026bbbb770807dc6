#include "runtime/Forms.h"

#include <algorithm>

namespace runtime {

namespace {

// Windowed controls inside `parent` in tab order, each followed by its own.
void tabOrderList(const TWinControl* parent, std::vector<TWinControl*>& list) {
    std::vector<TWinControl*> children;
    for (int i = 0; i < parent->ControlCount(); ++i)
        if (auto* window = dynamic_cast<TWinControl*>(parent->Controls(i)))
            children.push_back(window);
    std::stable_sort(
        children.begin(), children.end(),
        [](const TWinControl* a, const TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
    for (TWinControl* child : children) {
        list.push_back(child);
        tabOrderList(child, list);
    }
}

} // namespace

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
    SetVisible(false);
    SetControlStyle(csAcceptsControls | csCaptureMouse | csClickEvents | csSetCaption | csOpaque |
                    csDoubleClicks);
}

TCustomForm::~TCustomForm() = default;

void TCustomForm::ShowForm() {
    SetVisible(true);
    HandleNeeded();
}

void TCustomForm::SetActiveControl(TWinControl* control) {
    if (control != nullptr && (control == this || !ContainsControl(control)))
        throw EInvalidOperation("The active control must be a control of the form");
    activeControl_ = control;
    if (control != nullptr && HandleAllocated() && control->CanFocus()) control->SetFocus();
}

TWinControl* TCustomForm::FindNextControl(TWinControl* current, bool forward,
                                          bool checkTabStop) const {
    std::vector<TWinControl*> list;
    tabOrderList(this, list);
    if (list.empty()) return nullptr;
    const auto count = static_cast<long long>(list.size());
    const auto found = std::find(list.begin(), list.end(), current);
    long long start = found != list.end() ? found - list.begin() : (forward ? -1 : count);
    for (long long step = 1; step <= count; ++step) {
        long long i = forward ? start + step : start - step;
        i = ((i % count) + count) % count;
        TWinControl* candidate = list[static_cast<std::size_t>(i)];
        if (candidate->CanFocus() && (candidate->TabStop() || !checkTabStop)) return candidate;
    }
    return nullptr;
}

bool TCustomForm::SelectNext(TWinControl* current, bool forward, bool checkTabStop) {
    TWinControl* next = FindNextControl(current, forward, checkTabStop);
    if (next == nullptr) return false;
    SetActiveControl(next);
    return true;
}

bool TCustomForm::PreviewKeyDown(std::uint16_t& key, TShiftState shift) {
    if (!keyPreview_) return false;
    KeyDown(key, shift);
    return key == 0;
}

bool TCustomForm::PreviewKeyUp(std::uint16_t& key, TShiftState shift) {
    if (!keyPreview_) return false;
    KeyUp(key, shift);
    return key == 0;
}

bool TCustomForm::PreviewKeyPress(char& key) {
    if (!keyPreview_) return false;
    KeyPress(key);
    return key == 0;
}

bool TCustomForm::IsShortCut(TMessage& message) {
    bool handled = false;
    if (OnShortCut) OnShortCut(message, handled);
    return handled;
}

void TCustomForm::DoCreate() {
    if (OnCreate) OnCreate(this);
}

void TCustomForm::CMDialogKey(TMessage& message) {
    if (static_cast<int>(message.WParam) != VK_TAB) return;
    const bool backwards = (KeyboardShiftState() & ssShift) != 0;
    if (SelectNext(activeControl_, !backwards, true)) message.Result = 1;
}

void TCustomForm::CMFocusChanged(TMessage& message) {
    TWinControl::CMFocusChanged(message);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == activeControl_) activeControl_ = nullptr;
    TWinControl::Notification(component, operation);
}

} // namespace runtime
