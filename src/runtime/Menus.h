#pragma once
// Popup menus: a tree of items shown through the platform, which answers with the chosen item;
// that item's OnClick then runs. Items are components of their owner (the form); the tree only
// links them, and an item that goes away leaves its menu.

#include "runtime/Components.h"
#include "runtime/Events.h"
#include "runtime/Messages.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace runtime {

class TMenuItem : public TComponent {
public:
    explicit TMenuItem(TComponent* owner);
    ~TMenuItem() override;
    std::string ClassName() const override { return "TMenuItem"; }

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption) { caption_ = caption; }
    /// A caption of "-" makes the item a separator.
    bool IsLine() const { return caption_ == "-"; }
    bool Checked() const { return checked_; }
    /// Checking a radio item unchecks the radio items of its group beside it.
    void SetChecked(bool value);
    bool RadioItem() const { return radioItem_; }
    void SetRadioItem(bool value);
    std::uint8_t GroupIndex() const { return groupIndex_; }
    void SetGroupIndex(std::uint8_t value) { groupIndex_ = value; }
    bool Visible() const { return visible_; }
    void SetVisible(bool value) { visible_ = value; }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }

    // Sub-items.
    int Count() const { return static_cast<int>(items_.size()); }
    /// The sub-item at index, or null.
    TMenuItem* Items(int index) const;
    TMenuItem* Parent() const { return parent_; }
    /// Position among the parent's items, or -1.
    int MenuIndex() const;
    /// Appends an item (taking it out of any other menu first); null, this item or one of its
    /// parents raise EMenuError.
    void Add(TMenuItem* item);
    /// Inserts at index (clamped to 0..Count).
    void Insert(int index, TMenuItem* item);
    /// Takes an item out (ignored when it is not a sub-item).
    void Remove(TMenuItem* item);
    /// Takes every sub-item out.
    void Clear();
    /// The first sub-item with this caption, or null.
    TMenuItem* Find(std::string_view caption) const;

    /// Fires OnClick.
    virtual void Click();
    TNotifyEvent OnClick;

private:
    std::string caption_;
    bool checked_ = false;
    bool radioItem_ = false;
    std::uint8_t groupIndex_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    TMenuItem* parent_ = nullptr;
    std::vector<TMenuItem*> items_;
};

class EMenuError : public Exception {
public:
    using Exception::Exception;
};

class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TComponent* owner);
    ~TPopupMenu() override;
    std::string ClassName() const override { return "TPopupMenu"; }

    /// The root of the tree (owned by the menu); its sub-items are the menu's items.
    TMenuItem* Items() const { return items_.get(); }
    bool AutoPopup() const { return autoPopup_; }
    void SetAutoPopup(bool value) { autoPopup_ = value; }
    /// The control that showed the menu last (set before Popup by the control), or null.
    TComponent* PopupComponent() const { return popupComponent_; }
    void SetPopupComponent(TComponent* component);

    /// OnPopup, then shows the visible items at a screen point through the platform; the
    /// chosen item's Click runs after the menu has closed. Ignored while already showing.
    virtual void Popup(int x, int y);
    /// Whether a key message is one of the menu's shortcuts: items here carry none, so no.
    virtual bool IsShortCut(const TMessage& message) {
        (void)message;
        return false;
    }
    TNotifyEvent OnPopup;

protected:
    virtual void DoPopup();
    void Notification(TComponent* component, TOperation operation) override;

private:
    std::unique_ptr<TMenuItem> items_;
    bool autoPopup_ = true;
    TComponent* popupComponent_ = nullptr;
    bool showing_ = false;
};

} // namespace runtime
