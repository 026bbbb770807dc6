#include "runtime/Menus.h"

#include "runtime/Controls.h"
#include "runtime/Forms.h"
#include "runtime/ScopedFlag.h"

#include <algorithm>
#include <map>

namespace runtime {

// ---- TMenuItem -------------------------------------------------------------------------------

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
    if (parent_ != nullptr) parent_->Remove(this);
    for (TMenuItem* item : items_)
        item->parent_ = nullptr;
}

void TMenuItem::SetChecked(bool value) {
    checked_ = value;
    if (value && radioItem_ && parent_ != nullptr)
        for (TMenuItem* sibling : parent_->items_)
            if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_)
                sibling->checked_ = false;
}

void TMenuItem::SetRadioItem(bool value) {
    radioItem_ = value;
    if (value && checked_) SetChecked(true);
}

TMenuItem* TMenuItem::Items(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<std::size_t>(index)];
}

int TMenuItem::MenuIndex() const {
    if (parent_ == nullptr) return -1;
    const auto& siblings = parent_->items_;
    return static_cast<int>(std::find(siblings.begin(), siblings.end(), this) - siblings.begin());
}

void TMenuItem::Add(TMenuItem* item) {
    Insert(Count(), item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (item == nullptr) throw EMenuError("Cannot insert a null menu item");
    for (const TMenuItem* p = this; p != nullptr; p = p->parent_)
        if (p == item) throw EMenuError("A menu item cannot be inserted into itself");
    if (item->parent_ != nullptr) item->parent_->Remove(item);
    index = std::clamp(index, 0, Count());
    items_.insert(items_.begin() + index, item);
    item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
    const auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return;
    items_.erase(it);
    item->parent_ = nullptr;
}

void TMenuItem::Clear() {
    for (TMenuItem* item : items_)
        item->parent_ = nullptr;
    items_.clear();
}

TMenuItem* TMenuItem::Find(std::string_view caption) const {
    for (TMenuItem* item : items_)
        if (item->caption_ == caption) return item;
    return nullptr;
}

void TMenuItem::Click() {
    if (OnClick) OnClick(this);
}

// ---- TPopupMenu ------------------------------------------------------------------------------

namespace {

// The visible items as the platform shows them, numbering the choosable ones from 1.
std::vector<platform::MenuEntry> entries(const TMenuItem& parent, std::map<int, TMenuItem*>& byId) {
    std::vector<platform::MenuEntry> list;
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem* item = parent.Items(i);
        if (!item->Visible()) continue;
        platform::MenuEntry entry;
        entry.caption = item->Caption();
        entry.separator = item->IsLine();
        entry.enabled = item->Enabled();
        entry.checked = item->Checked();
        entry.radio = item->RadioItem();
        if (!entry.separator) {
            entry.id = static_cast<int>(byId.size()) + 1;
            byId[entry.id] = item;
            entry.items = entries(*item, byId);
        }
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace

TPopupMenu::TPopupMenu(TComponent* owner)
    : TComponent(owner), items_(std::make_unique<TMenuItem>(nullptr)) {}

TPopupMenu::~TPopupMenu() = default;

void TPopupMenu::SetPopupComponent(TComponent* component) {
    if (component == popupComponent_) return;
    if (popupComponent_ != nullptr) popupComponent_->RemoveFreeNotification(this);
    popupComponent_ = component;
    if (component != nullptr) component->FreeNotification(this);
}

void TPopupMenu::DoPopup() {
    if (OnPopup) OnPopup(this);
}

void TPopupMenu::Popup(int x, int y) {
    if (showing_) return;
    const TScopedFlag showing(showing_);
    DoPopup();
    std::map<int, TMenuItem*> byId;
    const std::vector<platform::MenuEntry> shown = entries(*items_, byId);
    if (shown.empty()) return;
    platform::WindowHandle owner = nullptr;
    int percent = 100;
    if (auto* control = dynamic_cast<TControl*>(popupComponent_)) {
        TWinControl* window = dynamic_cast<TWinControl*>(control);
        if (window == nullptr) window = control->Parent();
        if (window != nullptr && window->HandleAllocated()) owner = window->Handle();
        if (const TCustomForm* form = control->ParentForm()) percent = form->PixelPercent();
    }
    const int chosen = platform::backend().trackPopupMenu(owner, x, y, shown, percent);
    const auto it = byId.find(chosen);
    if (it != byId.end() && it->second->Count() == 0) it->second->Click();
}

void TPopupMenu::Notification(TComponent* component, TOperation operation) {
    if (operation == TOperation::opRemove && component == popupComponent_)
        popupComponent_ = nullptr;
    TComponent::Notification(component, operation);
}

} // namespace runtime
