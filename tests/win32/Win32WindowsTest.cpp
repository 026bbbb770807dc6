// The system backend's windows inside the test host's window: a runtime form with a panel that
// paints a known pattern, driven by synthesised system messages.
#include "platform/win32/Win32Windows.h"
#include "host/HostWindow.h"
#include "platform/Messages.h"
#include "platform/Platform.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::backend;
using platform::TRect;

std::uint32_t pattern(int x, int y) {
    return static_cast<std::uint32_t>(((x * 7) & 0xFF) << 16 | ((y * 5) & 0xFF) << 8 |
                                      ((x ^ y) & 0xFF));
}

// Paints pattern() through BeginPaint and one blit per paint, and records its mouse input.
class PatternPanel : public runtime::TWinControl {
public:
    using TWinControl::TWinControl;
    int paints = 0;
    TRect lastPaint{};
    std::vector<std::string> input;
    std::vector<std::uint32_t> messages;

    void WndProc(platform::TMessage& message) override {
        messages.push_back(message.Msg);
        TWinControl::WndProc(message);
    }

protected:
    void WMPaint(platform::TMessage&) override {
        const TRect r = BeginPaint();
        ++paints;
        lastPaint = r;
        std::uint8_t* bits = nullptr;
        std::string error;
        platform::PixelSurface* surface =
            platform::createPixelSurface(Width(), Height(), &bits, error);
        ASSERT_NE(surface, nullptr) << error;
        auto* pixels = reinterpret_cast<std::uint32_t*>(bits);
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x)
                pixels[static_cast<std::size_t>(Height() - 1 - y) * Width() + x] = pattern(x, y);
        BlitToWindow(r, surface, r.Left, r.Top);
        EndPaint();
        platform::destroyPixelSurface(surface);
    }
    void MouseDown(runtime::TMouseButton b, runtime::TShiftState s, int x, int y) override {
        input.push_back("down " + std::to_string(static_cast<int>(b)) + " " + std::to_string(x) +
                        "," + std::to_string(y));
        TWinControl::MouseDown(b, s, x, y);
    }
    void MouseUp(runtime::TMouseButton b, runtime::TShiftState s, int x, int y) override {
        input.push_back("up " + std::to_string(static_cast<int>(b)));
        TWinControl::MouseUp(b, s, x, y);
    }
    void DblClick() override {
        input.push_back("double");
        TWinControl::DblClick();
    }
};

struct TestForm {
    std::unique_ptr<runtime::TCustomForm> form;
    PatternPanel* panel = nullptr;

    explicit TestForm(void* parent) {
        form = runtime::MakeForm<runtime::TCustomForm>(nullptr);
        form->SetParentWindow(parent);
        form->SetBounds(0, 0, 160, 100);
        panel = new PatternPanel(form.get());
        panel->SetBounds(10, 20, 64, 48);
        panel->SetParent(form.get());
        form->ShowForm();
    }
    HWND formWindow() { return static_cast<HWND>(form->Handle()); }
    HWND panelWindow() { return static_cast<HWND>(panel->Handle()); }
};

// A window's client pixels as 0x00RRGGBB, read through a DIB section.
std::vector<std::uint32_t> readPixels(HWND window, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                      static_cast<const std::uint32_t*>(bits) + width * height);
    for (auto& p : pixels)
        p &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

int childWindowCount(HWND parent) {
    int count = 0;
    EnumChildWindows(
        parent,
        [](HWND, LPARAM counter) {
            ++*reinterpret_cast<int*>(counter);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

int messageWindowCount() {
    int count = 0;
    for (HWND w = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w != nullptr;
         w = FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
        ++count;
    return count;
}

int threadWindowCount() {
    int count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM counter) {
            *reinterpret_cast<int*>(counter) += 1 + childWindowCount(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

bool classRegistered(const std::wstring& name) {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    return !name.empty() &&
           GetClassInfoExW(platform::detail::moduleHandle(), name.c_str(), &info) != FALSE;
}

class Win32Windows : public ::testing::Test {
protected:
    void SetUp() override {
        parent = static_cast<HWND>(host.open("Backend test", 200, 150));
        ASSERT_NE(parent, nullptr) << host.error();
    }
    void pump() {
        host.runIdleLoop(1, [] { return false; });
    }
    void pumpFor(int ms) {
        int calls = 0;
        host.runIdleLoop(ms, [&calls] { return ++calls < 2; });
    }
    host::HostWindow host;
    HWND parent = nullptr;
};

TEST_F(Win32Windows, FormIsAVisibleChildOfTheHostWindowOfAModuleUniqueClass) {
    TestForm t(parent);
    HWND form = t.formWindow();
    EXPECT_EQ(GetParent(form), parent);
    const LONG_PTR style = GetWindowLongPtrW(form, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN),
              WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN);
    EXPECT_EQ(style & WS_POPUP, 0);
    RECT r;
    GetWindowRect(form, &r);
    POINT origin{0, 0};
    ClientToScreen(parent, &origin);
    EXPECT_EQ(r.left, origin.x);
    EXPECT_EQ(r.top, origin.y);
    EXPECT_EQ(r.right - r.left, 160);
    EXPECT_EQ(r.bottom - r.top, 100);
    EXPECT_NE(GetClassLongPtrW(form, GCL_STYLE) & CS_DBLCLKS, 0u);
    // The form's class is ours, of our module, and named after it.
    wchar_t name[128] = {};
    GetClassNameW(form, name, 128);
    EXPECT_EQ(std::wstring(name), platform::detail::windowClassName());
    wchar_t hex[32];
    swprintf(hex, 32, L"%llX",
             static_cast<unsigned long long>(
                 reinterpret_cast<std::uintptr_t>(platform::detail::moduleHandle())));
    EXPECT_NE(std::wstring(name).find(hex), std::wstring::npos);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(form, GWLP_HINSTANCE)),
              platform::detail::moduleHandle());
    // The panel is a child of the form, and opening took no keyboard focus from the host.
    EXPECT_EQ(GetParent(t.panelWindow()), form);
    EXPECT_EQ(backend().focusedWindow(), nullptr);
    const std::wstring className = name;
    EXPECT_TRUE(classRegistered(className));
    t.form.reset();
    EXPECT_FALSE(classRegistered(className));
    EXPECT_EQ(platform::detail::liveWindowCount(), 0u);
    EXPECT_EQ(childWindowCount(parent), 0);
}

TEST_F(Win32Windows, PaintBlitsThePatternAndEraseLeavesItAlone) {
    TestForm t(parent);
    HWND panel = t.panelWindow();
    InvalidateRect(panel, nullptr, TRUE);
    UpdateWindow(panel);
    ASSERT_GE(t.panel->paints, 1);
    EXPECT_EQ(t.panel->lastPaint, (TRect{0, 0, 64, 48}));
    auto pixels = readPixels(panel, 64, 48);
    int wrong = 0;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            wrong += pixels[static_cast<std::size_t>(y) * 64 + x] != pattern(x, y);
    EXPECT_EQ(wrong, 0);

    // Erasing is answered as done, and nothing is drawn over the pattern.
    HDC dc = GetDC(panel);
    EXPECT_NE(SendMessageW(panel, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0), 0);
    ReleaseDC(panel, dc);
    EXPECT_EQ(readPixels(panel, 64, 48), pixels);

    // A partial invalidation paints only that part.
    const int before = t.panel->paints;
    const RECT part{5, 6, 20, 30};
    InvalidateRect(panel, &part, FALSE);
    UpdateWindow(panel);
    EXPECT_EQ(t.panel->paints, before + 1);
    EXPECT_EQ(t.panel->lastPaint, (TRect{5, 6, 20, 30}));
}

TEST_F(Win32Windows, MouseMessagesCaptureAndDoubleClicksReachTheControl) {
    TestForm t(parent);
    HWND panel = t.panelWindow();
    SendMessageW(panel, WM_LBUTTONDOWN, MK_LBUTTON, platform::MakeLParam(12, 34));
    SendMessageW(panel, WM_LBUTTONUP, 0, platform::MakeLParam(12, 34));
    SendMessageW(panel, WM_LBUTTONDBLCLK, MK_LBUTTON, platform::MakeLParam(12, 34));
    SendMessageW(panel, WM_LBUTTONUP, 0, platform::MakeLParam(12, 34));
    SendMessageW(panel, WM_RBUTTONDOWN, MK_RBUTTON, platform::MakeLParam(-3, 70));
    const std::vector<std::string> expected{"down 0 12,34", "up 0", "double",
                                            "down 0 12,34", "up 0", "down 1 -3,70"};
    EXPECT_EQ(t.panel->input, expected);

    backend().setCapture(panel);
    EXPECT_EQ(backend().captureWindow(), panel);
    EXPECT_EQ(GetCapture(), panel);
    backend().releaseCapture();
    EXPECT_EQ(backend().captureWindow(), nullptr);
    // A stranger's window is never captured for it.
    backend().setCapture(parent);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Win32Windows, CoordinatesMapThroughTheHostWindow) {
    TestForm t(parent);
    POINT origin{10, 20};
    ClientToScreen(parent, &origin);
    int x = 3, y = 4;
    backend().clientToScreen(t.panelWindow(), x, y);
    EXPECT_EQ(x, origin.x + 3);
    EXPECT_EQ(y, origin.y + 4);
    backend().screenToClient(t.panelWindow(), x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
    // Unknown windows leave the point alone.
    backend().clientToScreen(parent, x, y);
    EXPECT_EQ(x, 3);
    EXPECT_EQ(y, 4);
}

TEST_F(Win32Windows, PointerQueriesAndLeaveNotices) {
    TestForm t(parent);
    HWND panel = t.panelWindow();
    POINT inside{30, 30};
    ClientToScreen(panel, &inside);
    EXPECT_EQ(backend().windowFromPoint(inside.x, inside.y), panel);
    POINT outside{190, 140}; // the host window's own area
    ClientToScreen(parent, &outside);
    EXPECT_EQ(backend().windowFromPoint(outside.x, outside.y), nullptr);

    // The endless drag's pointer: put back where it was, hidden and shown by count.
    backend().setCursorPos(inside.x, inside.y);
    int x = 0, y = 0;
    backend().cursorPos(x, y);
    EXPECT_EQ(x, inside.x);
    EXPECT_EQ(y, inside.y);
    const int shown = backend().showCursor(true);
    EXPECT_EQ(backend().showCursor(false), shown - 1);
    EXPECT_EQ(backend().showCursor(false), shown - 2);
    backend().showCursor(true);
    EXPECT_EQ(backend().showCursor(true), shown);
    backend().showCursor(false);

    // A move starts leave tracking; when the pointer goes elsewhere, the notice follows.
    backend().setCursorPos(inside.x, inside.y);
    SendMessageW(panel, WM_MOUSEMOVE, 0, platform::MakeLParam(30, 30));
    backend().setCursorPos(outside.x, outside.y);
    for (int i = 0; i < 200 && std::count(t.panel->messages.begin(), t.panel->messages.end(),
                                          std::uint32_t{WM_MOUSELEAVE}) == 0;
         ++i)
        pumpFor(10);
    EXPECT_EQ(std::count(t.panel->messages.begin(), t.panel->messages.end(),
                         std::uint32_t{WM_MOUSELEAVE}),
              1);
}

// Presses the first button of the message box it finds, after checking its contents.
struct BoxInspection {
    int buttons = 0;
    int icons = 0;
    bool found = false;
};
BoxInspection inspection;

void CALLBACK answerMessageBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = FindWindowW(L"#32770", L"Box caption");
    if (box == nullptr) return;
    KillTimer(nullptr, timer);
    inspection.found = true;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM) {
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
            if (_wcsicmp(name, L"Button") == 0) ++inspection.buttons;
            if (_wcsicmp(name, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
                IsWindowVisible(child) && SendMessageW(child, STM_GETICON, 0, 0) != 0)
                ++inspection.icons;
            return TRUE;
        },
        0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(Win32Windows, TheMessageBoxShowsOneOkButtonAndNoIcon) {
    TestForm t(parent);
    inspection = {};
    SetTimer(nullptr, 0, 50, answerMessageBox);
    EXPECT_EQ(backend().messageBox(t.formWindow(), "Some text", "Box caption", MB_OK, 100), IDOK);
    EXPECT_TRUE(inspection.found);
    EXPECT_EQ(inspection.buttons, 1);
    EXPECT_EQ(inspection.icons, 0);
}

TEST(Win32Shell, RefusedAddressesAnswerFalse) {
    EXPECT_FALSE(backend().shellOpen(nullptr, ""));
    EXPECT_FALSE(backend().shellOpen(nullptr, "Z:\\no\\such\\folder\\file.none"));
}

TEST(Win32Menus, TheShownMenuCarriesRadioMarksSeparatorsAndSubMenus) {
    std::vector<platform::MenuEntry> items(4);
    items[0] = {"Plain", 11, false, true, true, true, {}};
    items[1] = {"Other", 12, false, false, false, true, {}};
    items[2].separator = true;
    items[3].caption = "Sub";
    items[3].items.push_back({"Inner", 21, false, true, true, false, {}});
    HMENU menu = platform::detail::buildPopupMenu(items);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    auto info = [](HMENU m, UINT position) {
        MENUITEMINFOW i{};
        i.cbSize = sizeof i;
        i.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoW(m, position, TRUE, &i);
        return i;
    };
    const MENUITEMINFOW plain = info(menu, 0), other = info(menu, 1), line = info(menu, 2),
                        sub = info(menu, 3);
    EXPECT_EQ(plain.wID, 11u);
    EXPECT_NE(plain.fType & MFT_RADIOCHECK, 0u);
    EXPECT_NE(plain.fState & MFS_CHECKED, 0u);
    EXPECT_EQ(plain.fState & MFS_DISABLED, 0u);
    EXPECT_EQ(other.wID, 12u);
    EXPECT_EQ(other.fState & MFS_CHECKED, 0u);
    EXPECT_NE(other.fState & MFS_DISABLED, 0u);
    EXPECT_NE(line.fType & MFT_SEPARATOR, 0u);
    ASSERT_NE(sub.hSubMenu, nullptr);
    const MENUITEMINFOW inner = info(sub.hSubMenu, 0);
    EXPECT_EQ(inner.wID, 21u);
    EXPECT_EQ(inner.fType & MFT_RADIOCHECK, 0u);
    EXPECT_NE(inner.fState & MFS_CHECKED, 0u);
    wchar_t caption[32] = {};
    GetMenuStringW(sub.hSubMenu, 0, caption, 32, MF_BYPOSITION);
    EXPECT_EQ(std::wstring(caption), L"Inner");
    DestroyMenu(menu);
}

TEST_F(Win32Windows, APopupMenuChosenByKeyboardRunsTheItem) {
    TestForm t(parent);
    auto* menu = new runtime::TPopupMenu(t.form.get());
    std::vector<std::string> clicked;
    for (const char* caption : {"First", "-", "Second"}) {
        auto* item = new runtime::TMenuItem(t.form.get());
        item->SetCaption(caption);
        item->SetRadioItem(true);
        item->OnClick = [&clicked, item](runtime::TPersistent*) {
            clicked.push_back(item->Caption());
        };
        menu->Items()->Add(item);
    }
    menu->SetPopupComponent(t.panel);
    // The menu's own loop reads these keys: the second item (past the separator) is chosen.
    HWND panel = t.panelWindow();
    PostMessageW(panel, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(panel, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(panel, WM_KEYDOWN, VK_RETURN, 0);
    POINT at{20, 20};
    ClientToScreen(panel, &at);
    menu->Popup(at.x, at.y);
    EXPECT_EQ(clicked, std::vector<std::string>{"Second"});
}

TEST_F(Win32Windows, OpenCloseCyclesLeakNoWindowsClassesOrSystemObjects) {
    pump();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    const int messageWindowsBefore = messageWindowCount();
    const int threadWindowsBefore = threadWindowCount();
    std::wstring lastClass;
    for (int i = 0; i < 50; ++i) {
        TestForm t(parent);
        InvalidateRect(t.panelWindow(), nullptr, TRUE);
        UpdateWindow(t.panelWindow());
        ASSERT_GE(t.panel->paints, 1);
        const platform::TimerId timer = backend().startTimer(10, [] {});
        ASSERT_NE(timer, 0u);
        lastClass = platform::detail::windowClassName();
        backend().stopTimer(timer);
    }
    pump();
    EXPECT_EQ(platform::detail::liveWindowCount(), 0u);
    EXPECT_EQ(childWindowCount(parent), 0);
    EXPECT_FALSE(classRegistered(lastClass));
    EXPECT_EQ(messageWindowCount(), messageWindowsBefore); // the timers' windows
    EXPECT_EQ(threadWindowCount(), threadWindowsBefore);
    // Wine answers 0 here; Windows counts every handle.
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
}

TEST_F(Win32Windows, AHostDestroyingItsWindowFirstLeavesNothingBehind) {
    TestForm t(parent);
    HWND form = t.formWindow();
    const std::wstring className = platform::detail::windowClassName();
    host.close();
    EXPECT_FALSE(IsWindow(form));
    EXPECT_EQ(platform::detail::liveWindowCount(), 0u);
    // The runtime still holds the dead handles: every hook ignores them.
    backend().invalidateRect(form, nullptr, true);
    backend().setCapture(form);
    EXPECT_EQ(backend().captureWindow(), nullptr);
    t.form.reset();
    EXPECT_EQ(platform::detail::liveWindowCount(), 0u);
    EXPECT_FALSE(classRegistered(className));
    // A new window in a new host window works again.
    parent = static_cast<HWND>(host.open("again", 100, 100));
    TestForm again(parent);
    EXPECT_TRUE(IsWindow(again.formWindow()));
}

TEST_F(Win32Windows, ChildWindowsNeedALiveParent) {
    std::string error;
    EXPECT_EQ(backend().createChildWindow(nullptr, {0, 0, 10, 10}, nullptr, error), nullptr);
    EXPECT_FALSE(error.empty());
    error.clear();
    HWND dead = parent;
    host.close();
    EXPECT_EQ(backend().createChildWindow(dead, {0, 0, 10, 10}, nullptr, error), nullptr);
    EXPECT_FALSE(error.empty());
}

} // namespace
