#include "runtime/Controls.h"
#include "platform/headless/Headless.h"
#include "runtime/Application.h"
#include "runtime/Dialogs.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"
#include "runtime/Shell.h"

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace runtime;
using platform::MouseButton;

namespace {

// A windowless control that writes what happens to it into a shared log.
class Spy : public TGraphicControl {
public:
    Spy(TComponent* owner, std::string label, std::vector<std::string>* log)
        : TGraphicControl(owner), label_(std::move(label)), log_(log) {
        OnClick = [this](TPersistent*) { note("click"); };
        OnDblClick = [this](TPersistent*) { note("dblclick"); };
        OnMouseEnter = [this](TPersistent*) { note("enter"); };
        OnMouseLeave = [this](TPersistent*) { note("leave"); };
        OnMouseDown = [this](TPersistent*, TMouseButton b, TShiftState s, int x, int y) {
            note(std::string(b == TMouseButton::mbLeft ? "down" : "rdown") +
                 ((s & ssDouble) != 0 ? "(double)" : "") + ((s & ssShift) != 0 ? "(shift)" : "") +
                 " " + std::to_string(x) + "," + std::to_string(y));
        };
        OnMouseUp = [this](TPersistent*, TMouseButton b, TShiftState, int x, int y) {
            note(std::string(b == TMouseButton::mbLeft ? "up" : "rup") + " " + std::to_string(x) +
                 "," + std::to_string(y));
        };
        OnMouseMove = [this](TPersistent*, TShiftState, int x, int y) {
            note("move " + std::to_string(x) + "," + std::to_string(y));
        };
    }
    std::string ClassName() const override { return "TSpy"; }

protected:
    void DefaultHandler(TMessage& m) override {
        if (m.Msg == CM_DIALOGCHAR && std::toupper(static_cast<int>(m.WParam)) == label_[0]) {
            note("accelerator");
            m.Result = 1;
        }
    }

private:
    void note(const std::string& what) { log_->push_back(label_ + ":" + what); }
    std::string label_;
    std::vector<std::string>* log_;
};

// A form inside a pretend host window whose client area starts at screen (300, 200); two
// windowless controls A (10, 10, 40 x 30) and B (60, 10, 40 x 30).
class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        headless.setForeignParentOrigin(300, 200);
        form = MakeForm<TForm>(nullptr);
        form->SetParentWindow(&host);
        form->SetBounds(0, 0, 200, 100);
        form->SetColor(0x00336699);
        a = make("A", {10, 10, 50, 40});
        b = make("B", {60, 10, 100, 40});
        form->ShowForm();
        headless.paintWaiting();
    }
    Spy* make(const std::string& label, TRect bounds) {
        Spy* spy = TComponent::Create<Spy>(form.get(), label, &log);
        spy->SetParent(form.get());
        spy->SetBoundsRect(bounds);
        return spy;
    }
    // Screen point of a form client point.
    int sx(int x) const { return 300 + x; }
    int sy(int y) const { return 200 + y; }
    std::vector<std::string> take() { return std::exchange(log, {}); }

    platform::HeadlessSession headless;
    int host = 0;
    std::vector<std::string> log;
    std::unique_ptr<TForm> form;
    Spy* a = nullptr;
    Spy* b = nullptr;
};

} // namespace

TEST_F(Controls, PressAndReleaseInsideIsAClickBeforeTheRelease) {
    headless.mouseMove(sx(15), sy(12));
    take();
    headless.click(MouseButton::Left, sx(15), sy(12));
    EXPECT_EQ(take(), (std::vector<std::string>{"A:down 5,2", "A:click", "A:up 5,2"}));
}

TEST_F(Controls, ReleaseOutsideTheCapturingControlIsNoClickAndMovesStayWithIt) {
    headless.mouseMove(sx(15), sy(12));
    headless.mouseDown(MouseButton::Left, sx(15), sy(12));
    take();
    headless.mouseMove(sx(70), sy(15)); // over B, A holds the capture
    headless.mouseUp(MouseButton::Left, sx(70), sy(15));
    const auto events = take();
    EXPECT_EQ(events, (std::vector<std::string>{"A:leave", "B:enter", "A:move 60,5", "A:up 60,5"}));
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(headless.captureWindow(), nullptr);
    headless.mouseMove(sx(71), sy(15));
    EXPECT_EQ(take(), (std::vector<std::string>{"B:move 11,5"}));
}

TEST_F(Controls, DoubleClicksOnlyForControlsThatAcceptThem) {
    headless.mouseMove(sx(15), sy(12));
    take();
    headless.doubleClick(MouseButton::Left, sx(15), sy(12));
    EXPECT_EQ(take(), (std::vector<std::string>{"A:down 5,2", "A:click", "A:up 5,2", "A:dblclick",
                                                "A:down(double) 5,2", "A:up 5,2"}));

    a->SetControlStyle(a->ControlStyle() & ~csDoubleClicks);
    headless.advanceClock(1000);
    headless.doubleClick(MouseButton::Left, sx(15), sy(12));
    EXPECT_EQ(take(), (std::vector<std::string>{"A:down 5,2", "A:click", "A:up 5,2", "A:down 5,2",
                                                "A:click", "A:up 5,2"}));
}

TEST_F(Controls, EnterAndLeaveFollowThePointerAcrossControlsAndOutOfTheWindow) {
    headless.mouseMove(sx(5), sy(5)); // the form itself
    headless.mouseMove(sx(20), sy(20));
    headless.mouseMove(sx(70), sy(20));
    headless.mouseMove(sx(70), sy(21));
    headless.mouseMove(sx(500), sy(500)); // off the window
    EXPECT_EQ(take(), (std::vector<std::string>{"A:enter", "A:move 10,10", "A:leave", "B:enter",
                                                "B:move 10,10", "B:move 10,11", "B:leave"}));
    EXPECT_EQ(MouseControl(), nullptr);
}

TEST_F(Controls, HiddenAndDisabledControlsAreNotHit) {
    a->SetEnabled(false);
    headless.click(MouseButton::Left, sx(15), sy(12));
    a->SetEnabled(true);
    b->Hide();
    headless.click(MouseButton::Left, sx(70), sy(12));
    for (const auto& event : take())
        EXPECT_EQ(event.find("down"), std::string::npos) << event;
    // The topmost of two overlapping controls takes the press.
    b->Show();
    b->SetBounds(20, 10, 40, 30);
    headless.click(MouseButton::Left, sx(25), sy(12));
    const auto events = take();
    EXPECT_NE(std::find(events.begin(), events.end(), "B:down 5,2"), events.end());
    EXPECT_EQ(std::find(events.begin(), events.end(), "A:down 15,2"), events.end());
}

TEST_F(Controls, CaptureLostToAnotherWindowIsDropped) {
    headless.mouseDown(MouseButton::Left, sx(15), sy(12));
    ASSERT_EQ(GetCaptureControl(), a);
    int otherHost = 0;
    auto second = MakeForm<TForm>(nullptr);
    second->SetParentWindow(&otherHost);
    second->SetBounds(0, 0, 10, 10);
    second->ShowForm();
    SetCaptureControl(second.get());
    EXPECT_EQ(GetCaptureControl(), second.get());
    EXPECT_FALSE(a->MouseCapture());
    // A control going away lets go of the capture it holds.
    second.reset();
    EXPECT_EQ(GetCaptureControl(), nullptr);
    EXPECT_EQ(headless.captureWindow(), nullptr);
}

TEST_F(Controls, MovingAControlRepaintsItsOldAndNewPlace) {
    headless.resetBlitCounts();
    a->SetBounds(120, 50, 40, 30);
    headless.paintWaiting();
    const auto* window = headless.window(form->Handle());
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(window->blitRects.size(), 1u);
    // One box around both places (the headless backend keeps the waiting area as one box).
    EXPECT_EQ(window->blitRects[0], (TRect{10, 10, 160, 80}));
    const std::uint32_t colour = headless.pixel(form->Handle(), 100, 60) & 0xFFFFFF;
    EXPECT_EQ(colour, platform::SwapRedBlue(0x00336699));
}

TEST_F(Controls, AWindowedPanelIsAChildWindowThatReceivesItsOwnMouse) {
    auto* panel = TComponent::Create<TPanel>(form.get());
    panel->SetBounds(100, 50, 80, 40);
    panel->SetColor(0x000000FF);
    panel->SetParent(form.get());
    Spy* inside = TComponent::Create<Spy>(form.get(), "P", &log);
    inside->SetParent(panel);
    inside->SetBounds(5, 5, 10, 10);
    headless.paintWaiting();
    ASSERT_TRUE(panel->HandleAllocated());
    EXPECT_EQ(headless.windowFromPoint(sx(150), sy(70)), panel->Handle());
    EXPECT_EQ(headless.pixel(panel->Handle(), 40, 20) & 0xFFFFFF,
              platform::SwapRedBlue(0x000000FF));
    EXPECT_EQ(panel->ClientOrigin(), (TPoint{400, 250}));
    take();
    headless.click(MouseButton::Left, sx(107), sy(58));
    EXPECT_EQ(take(), (std::vector<std::string>{"P:enter", "P:move 2,3", "P:down 2,3", "P:click",
                                                "P:up 2,3"}));
    // Moving the panel moves its window.
    panel->SetLeft(0);
    EXPECT_EQ(headless.window(panel->Handle())->bounds.Left, 0);
}

TEST_F(Controls, KeysReachTheFocusedWindowAfterTheFormsPreview) {
    auto* first = TComponent::Create<TPanel>(form.get());
    auto* second = TComponent::Create<TPanel>(form.get());
    for (TPanel* p : {first, second}) {
        p->SetParent(form.get());
        p->SetTabStop(true);
    }
    second->SetTabOrder(1);
    std::vector<std::string> keys;
    first->OnKeyDown = [&](TPersistent*, std::uint16_t& key, TShiftState shift) {
        keys.push_back("first " + std::to_string(key) + ((shift & ssShift) ? " shift" : ""));
    };
    first->OnKeyPress = [&](TPersistent*, char& c) { keys.push_back(std::string("char ") + c); };
    second->OnEnter = [&](TPersistent*) { keys.push_back("second entered"); };
    first->SetFocus();
    EXPECT_EQ(form->ActiveControl(), first);

    headless.keyDown(VK_SHIFT);
    headless.pressKey('Q');
    headless.keyUp(VK_SHIFT);
    form->SetKeyPreview(true);
    form->OnKeyDown = [&](TPersistent*, std::uint16_t& key, TShiftState) {
        if (key == 'X') key = 0; // the form keeps X for itself
    };
    headless.pressKey('X');
    headless.pressKey(VK_TAB); // the panel does not want Tab: the form moves the focus
    EXPECT_EQ(keys, (std::vector<std::string>{"first 16 shift", "first 81 shift", "char Q",
                                              "char x", "first 9", "second entered"}));
    EXPECT_TRUE(second->Focused());
    EXPECT_EQ(form->ActiveControl(), second);
}

TEST_F(Controls, AltCharactersAreOfferedToEveryControlAsAccelerators) {
    auto* panel = TComponent::Create<TPanel>(form.get());
    panel->SetParent(form.get());
    panel->SetFocus();
    headless.keyDown(VK_MENU);
    headless.pressKey('B');
    headless.keyUp(VK_MENU);
    EXPECT_EQ(take(), (std::vector<std::string>{"B:accelerator"}));
}

TEST_F(Controls, ARightClickShowsThePopupMenuAndRunsTheChosenItem) {
    auto* menu = TComponent::Create<TPopupMenu>(form.get());
    std::vector<std::string> clicked;
    auto item = [&](const std::string& caption, TMenuItem* parent) {
        auto* i = TComponent::Create<TMenuItem>(form.get());
        i->SetCaption(caption);
        i->OnClick = [&clicked, i](TPersistent* sender) {
            clicked.push_back(i->Caption() + (sender == i ? "" : "?"));
        };
        parent->Add(i);
        return i;
    };
    TMenuItem* soft = item("Soft", menu->Items());
    TMenuItem* hard = item("Hard", menu->Items());
    for (TMenuItem* radio : {soft, hard}) {
        radio->SetRadioItem(true);
        radio->SetGroupIndex(1);
    }
    soft->SetChecked(true);
    TMenuItem* line = item("-", menu->Items());
    TMenuItem* more = item("More", menu->Items());
    item("Learn", more);
    menu->OnPopup = [&](TPersistent*) { line->SetVisible(menu->PopupComponent() == a); };
    a->SetPopupMenu(menu);
    form->SetPopupMenu(menu); // B has none: its parent's shows

    hard->SetChecked(true);
    EXPECT_FALSE(soft->Checked());
    headless.queueMenuChoice({"More", "Learn"});
    headless.click(MouseButton::Right, sx(20), sy(20));
    headless.queueMenuChoice({"Soft"});
    headless.click(MouseButton::Right, sx(70), sy(20));
    EXPECT_EQ(clicked, (std::vector<std::string>{"Learn", "Soft"}));

    const auto& shown = headless.shownMenus();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].x, sx(20));
    EXPECT_EQ(shown[0].owner, form->Handle());
    ASSERT_EQ(shown[0].items.size(), 4u);
    EXPECT_TRUE(shown[0].items[1].checked && shown[0].items[1].radio);
    EXPECT_FALSE(shown[0].items[0].checked);
    EXPECT_TRUE(shown[0].items[2].separator);
    EXPECT_EQ(shown[1].items.size(), 3u); // the separator hidden by OnPopup
    EXPECT_EQ(menu->PopupComponent(), form.get());

    headless.click(MouseButton::Right, sx(20), sy(20)); // dismissed
    EXPECT_EQ(clicked.size(), 2u);
}

TEST_F(Controls, MessageBoxesAndShellRequestsGoThroughThePlatform) {
    headless.queueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBox("Mapping", "MIDI", MB_OKCANCEL, form.get()), IDCANCEL);
    EXPECT_EQ(MessageBox("Done", "", MB_OK), IDOK);
    ASSERT_EQ(headless.shownMessageBoxes().size(), 2u);
    EXPECT_EQ(headless.shownMessageBoxes()[0].text, "Mapping");
    EXPECT_EQ(headless.shownMessageBoxes()[0].caption, "MIDI");
    EXPECT_EQ(headless.shownMessageBoxes()[0].flags, MB_OKCANCEL);
    EXPECT_EQ(headless.shownMessageBoxes()[0].owner, form->Handle());
    EXPECT_EQ(headless.shownMessageBoxes()[1].owner, nullptr);

    EXPECT_TRUE(ShellOpen("https://example.org/", form.get()));
    EXPECT_FALSE(ShellOpen(""));
    headless.setShellAnswer(false);
    EXPECT_FALSE(ShellOpen("https://example.org/other"));
    EXPECT_EQ(headless.shellRequests(),
              (std::vector<std::string>{"https://example.org/", "https://example.org/other"}));
}

TEST_F(Controls, MenusAndBoxesAreAskedAtTheDensityOfTheirControlsForm) {
    auto* menu = TComponent::Create<TPopupMenu>(form.get());
    auto* item = TComponent::Create<TMenuItem>(form.get());
    item->SetCaption("Item");
    menu->Items()->Add(item);
    a->SetPopupMenu(menu);
    form->SetPixelPercent(150);
    headless.click(MouseButton::Right, sx(20), sy(20)); // windowless A: its form's density
    MessageBox("Text", "", MB_OK, form.get());
    form->SetPixelPercent(0); // no density: the design's
    headless.click(MouseButton::Right, sx(20), sy(20));
    MessageBox("Text", "", MB_OK, form.get());
    form->SetPixelPercent(200);
    menu->SetPopupComponent(nullptr);
    menu->Popup(0, 0); // nobody's: the design's
    MessageBox("Text", "", MB_OK);
    std::vector<int> menus, boxes;
    for (const auto& m : headless.shownMenus())
        menus.push_back(m.percent);
    for (const auto& b : headless.shownMessageBoxes())
        boxes.push_back(b.percent);
    EXPECT_EQ(menus, (std::vector<int>{150, 100, 100}));
    EXPECT_EQ(boxes, (std::vector<int>{150, 100, 100}));
}

TEST_F(Controls, ErrorsInHandlersStopAtTheApplication) {
    std::vector<std::string> caught;
    Application().OnException = [&](const std::exception& e) { caught.push_back(e.what()); };
    a->OnClick = [](TPersistent*) { throw std::runtime_error("handler failed"); };
    headless.click(MouseButton::Left, sx(15), sy(12));
    Application().OnException = nullptr;
    EXPECT_EQ(caught, (std::vector<std::string>{"handler failed"}));
}

TEST_F(Controls, WindowsNeedAPlaceAndAWillingSystem) {
    auto orphan = MakeForm<TForm>(nullptr);
    EXPECT_THROW(orphan->ShowForm(), EInvalidOperation);
    headless.setRefuseWindows(true);
    auto refused = MakeForm<TForm>(nullptr);
    refused->SetParentWindow(&host);
    EXPECT_THROW(refused->ShowForm(), EOutOfResources);
    EXPECT_THROW(form->SetParent(static_cast<TWinControl*>(form.get())), EInvalidOperation);
}

TEST_F(Controls, OnCreateRunsOnceWhenTheFormIsMade) {
    struct Made : TForm {
        explicit Made(int* count) : TForm(nullptr) {
            OnCreate = [count](TPersistent*) { ++*count; };
        }
    };
    int count = 0;
    auto made = MakeForm<Made>(&count);
    EXPECT_EQ(count, 1);
}

TEST_F(Controls, APressOutsideAControlsShapeFallsToTheControlBelow) {
    // B over A, but B only takes points in its right half.
    struct HalfShaped : Spy {
        using Spy::Spy;
        void CMHitTest(TMessage& m) override {
            m.Result = LParamX(m.LParam) >= Width() / 2 ? HTCLIENT : HTNOWHERE;
        }
    };
    auto* half = TComponent::Create<HalfShaped>(form.get(), "H", &log);
    half->SetParent(form.get());
    half->SetBounds(10, 10, 40, 30); // exactly over A
    headless.click(MouseButton::Left, sx(12), sy(12));
    headless.click(MouseButton::Left, sx(45), sy(12));
    std::vector<std::string> downs;
    for (const auto& e : take())
        if (e.find(":down") != std::string::npos) downs.push_back(e);
    EXPECT_EQ(downs, (std::vector<std::string>{"A:down 2,2", "H:down 35,2"}));
}

TEST_F(Controls, ThePointerTakesTheShapeOfTheControlUnderIt) {
    a->SetCursor(crHandPoint);
    form->SetCursor(crCross);
    headless.mouseMove(sx(15), sy(15));
    EXPECT_EQ(headless.cursorShape(), crHandPoint);
    headless.mouseMove(sx(5), sy(5));
    EXPECT_EQ(headless.cursorShape(), crCross);
    headless.mouseMove(sx(70), sy(15)); // B has none: the form's
    EXPECT_EQ(headless.cursorShape(), crCross);
}

TEST_F(Controls, AWheelTurnNobodyHandlesGoesUpToTheParent) {
    std::vector<std::string> turns;
    a->OnMouseWheel = [&](TPersistent*, TShiftState, int delta, TPoint, bool& handled) {
        turns.push_back("A " + std::to_string(delta));
        handled = delta > 0;
    };
    form->OnMouseWheel = [&](TPersistent*, TShiftState, int delta, TPoint, bool&) {
        turns.push_back("form " + std::to_string(delta));
    };
    headless.mouseMove(sx(15), sy(15));
    headless.mouseWheel(120);
    headless.mouseWheel(-240);
    EXPECT_EQ(turns, (std::vector<std::string>{"A 120", "A -240", "form -240"}));
}

TEST_F(Controls, TabWrapsAroundAndSkipsWhatCannotTakeTheFocus) {
    std::vector<TPanel*> panels;
    for (int i = 0; i < 4; ++i) {
        auto* p = TComponent::Create<TPanel>(form.get());
        p->SetParent(form.get());
        p->SetTabStop(true);
        p->SetTabOrder(3 - i); // created in reverse tab order
        panels.push_back(p);
    }
    // Tab order: panels[3], [2], [1], [0]; [2] is disabled and [1] no tab stop.
    panels[2]->SetEnabled(false);
    panels[1]->SetTabStop(false);
    EXPECT_EQ(form->FindNextControl(nullptr, true, true), panels[3]);
    EXPECT_EQ(form->FindNextControl(panels[3], true, true), panels[0]);
    EXPECT_EQ(form->FindNextControl(panels[0], true, true), panels[3]);
    EXPECT_EQ(form->FindNextControl(panels[3], false, true), panels[0]);
    EXPECT_EQ(form->FindNextControl(panels[3], true, false), panels[1]);
    panels[0]->SetFocus();
    headless.pressKey(VK_TAB);
    EXPECT_TRUE(panels[3]->Focused());
    headless.keyDown(VK_SHIFT);
    headless.pressKey(VK_TAB);
    headless.keyUp(VK_SHIFT);
    EXPECT_TRUE(panels[0]->Focused());
}

TEST_F(Controls, HiddenWindowsAndControlsLeaveTheScreenToWhatIsBelow) {
    auto* panel = TComponent::Create<TPanel>(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(100, 50, 80, 40);
    headless.paintWaiting();
    panel->Hide();
    EXPECT_EQ(headless.windowFromPoint(sx(150), sy(70)), form->Handle());
    EXPECT_FALSE(panel->CanFocus());
    EXPECT_THROW(panel->SetFocus(), EInvalidOperation);
    a->SetBounds(10, 10, -5, 30); // a negative size is an empty control
    EXPECT_EQ(a->Width(), 0);
    headless.click(MouseButton::Left, sx(10), sy(12));
    for (const auto& e : take())
        EXPECT_EQ(e.rfind("A:", 0), std::string::npos) << e;
}
