#include "runtime/Menus.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace runtime;

namespace {

class Menus : public ::testing::Test {
protected:
    TMenuItem* item(const std::string& caption, TMenuItem* parent) {
        auto* made = TComponent::Create<TMenuItem>(&owner);
        made->SetCaption(caption);
        if (parent != nullptr) parent->Add(made);
        return made;
    }
    platform::HeadlessSession headless;
    TComponent owner{nullptr};
};

} // namespace

TEST_F(Menus, CheckingARadioItemUnchecksOnlyItsOwnGroup) {
    TPopupMenu menu(&owner);
    TMenuItem* a = item("A", menu.Items());
    TMenuItem* b = item("B", menu.Items());
    TMenuItem* c = item("C", menu.Items()); // another group
    TMenuItem* plain = item("Plain", menu.Items());
    for (TMenuItem* i : {a, b, c})
        i->SetRadioItem(true);
    c->SetGroupIndex(2);
    a->SetChecked(true);
    c->SetChecked(true);
    plain->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(c->Checked());
    EXPECT_TRUE(plain->Checked());
    // Turning a checked item into a radio item clears its checked siblings too.
    a->SetRadioItem(false);
    a->SetChecked(true);
    a->SetRadioItem(true);
    EXPECT_FALSE(b->Checked());
}

TEST_F(Menus, TheTreeKeepsOrderAndRefusesLoops) {
    TPopupMenu menu(&owner);
    TMenuItem* first = item("First", menu.Items());
    TMenuItem* last = item("Last", menu.Items());
    TMenuItem* sub = item("Sub", nullptr);
    menu.Items()->Insert(1, sub);
    TMenuItem* early = item("Early", nullptr);
    menu.Items()->Insert(-5, early); // clamped to the front
    EXPECT_EQ(menu.Items()->Items(0), early);
    EXPECT_EQ(sub->MenuIndex(), 2);
    EXPECT_EQ(last->MenuIndex(), 3);
    EXPECT_EQ(menu.Items()->Find("Sub"), sub);
    EXPECT_EQ(menu.Items()->Items(4), nullptr);

    TMenuItem* deep = item("Deep", sub);
    EXPECT_THROW(deep->Add(sub), EMenuError);
    EXPECT_THROW(sub->Add(sub), EMenuError);
    EXPECT_THROW(sub->Add(nullptr), EMenuError);
    // Adding an item elsewhere takes it out of its old place.
    first->Add(deep);
    EXPECT_EQ(sub->Count(), 0);
    EXPECT_EQ(deep->Parent(), first);
    // An item that goes away leaves its menu.
    TComponent::Free(first);
    EXPECT_EQ(menu.Items()->Count(), 3);
    EXPECT_EQ(deep->Parent(), nullptr);
}

TEST_F(Menus, PopupShowsVisibleItemsAndClicksTheChoiceAfterwards) {
    TPopupMenu menu(&owner);
    std::vector<std::string> events;
    TMenuItem* shown = item("Shown", menu.Items());
    TMenuItem* hidden = item("Hidden", menu.Items());
    TMenuItem* off = item("Off", menu.Items());
    TMenuItem* group = item("Group", menu.Items());
    TMenuItem* inner = item("Inner", group);
    hidden->SetVisible(false);
    off->SetEnabled(false);
    for (TMenuItem* i : {shown, hidden, off, group, inner})
        i->OnClick = [&events, i](TPersistent*) { events.push_back("click " + i->Caption()); };
    menu.OnPopup = [&](TPersistent*) { events.push_back("popup"); };
    headless.setMenuAnswerer([&](const platform::ShownMenu& m) {
        events.push_back("shown " + std::to_string(m.items.size()));
        return m.items[2].items[0].id;
    });
    menu.Popup(40, 50);
    EXPECT_EQ(events, (std::vector<std::string>{"popup", "shown 3", "click Inner"}));
    ASSERT_EQ(headless.shownMenus().size(), 1u);
    EXPECT_FALSE(headless.shownMenus()[0].items[1].enabled);

    headless.setMenuAnswerer(nullptr);
    headless.queueMenuChoice({"Off"}); // disabled: nothing
    events.clear();
    menu.Popup(0, 0);
    EXPECT_EQ(events, (std::vector<std::string>{"popup"}));
    // A menu with nothing visible is not shown at all.
    for (TMenuItem* i : {shown, off, group})
        i->SetVisible(false);
    menu.Popup(0, 0);
    EXPECT_EQ(headless.shownMenus().size(), 2u);
}
