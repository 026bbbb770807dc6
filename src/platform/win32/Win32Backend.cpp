// The Windows system backend.
// Timers: each running timer owns a hidden message-only window with system timer 1 on it, held
// only while the timer runs; ticks arrive as WM_TIMER on the creating thread.
// Windows: plain child windows of a class of this module. Several copies of the library (and
// several instances) live in one host process, so every class name carries the module handle
// and a counter, and a class is unregistered with the module's own handle when its last window
// goes: no class outlives the code of its window procedure when a host unloads the library.
// The process's DPI awareness is the host's business and is never touched.
#include "platform/Platform.h"
#include "platform/TimerQueue.h"
#include "platform/win32/Win32Windows.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace platform {

namespace {

constexpr UINT_PTR kSystemTimerId = 1;

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// A window class of this module, registered while it has windows.
class ModuleClass {
public:
    ModuleClass(const char* prefix, WNDPROC procedure, UINT style)
        : prefix_(prefix), procedure_(procedure), style_(style) {}

    // The class name to create a window with; empty when the system refuses the class.
    const std::wstring& acquire() {
        if (users_ == 0) {
            unregisterPending();
            // A fresh name each registration: a class left behind by a copy of the library that
            // was unloaded without cleaning up can never be mistaken for ours.
            wchar_t name[96];
            std::swprintf(
                name, 96, L"%hs%llX.%u", prefix_,
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(thisModule())),
                ++registrations_);
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.style = style_;
            wc.lpfnWndProc = procedure_;
            wc.hInstance = thisModule();
            wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
            wc.lpszClassName = name;
            if (RegisterClassExW(&wc) == 0) {
                name_.clear();
                return name_;
            }
            name_ = name;
        }
        ++users_;
        return name_;
    }

    // A class cannot go while its last window is still being destroyed (release from
    // WM_NCDESTROY): it is then kept for unregisterPending.
    void release() {
        if (users_ == 0 || --users_ > 0) return;
        pending_.push_back(std::move(name_));
        name_.clear();
        unregisterPending();
    }

    void unregisterPending() {
        std::erase_if(pending_, [](const std::wstring& name) {
            return UnregisterClassW(name.c_str(), thisModule()) != FALSE ||
                   GetLastError() == ERROR_CLASS_DOES_NOT_EXIST;
        });
    }

    unsigned users() const { return users_; }
    const std::wstring& name() const { return name_; }

private:
    const char* prefix_;
    WNDPROC procedure_;
    UINT style_;
    unsigned users_ = 0;
    unsigned registrations_ = 0;
    std::wstring name_;
    std::vector<std::wstring> pending_;
};

// ---- Timers ----------------------------------------------------------------------------------

struct NativeTimer {
    HWND window = nullptr;
    std::function<void()> tick;
};

// UI thread only, like the windows themselves.
std::map<TimerId, std::unique_ptr<NativeTimer>>& timers() {
    static std::map<TimerId, std::unique_ptr<NativeTimer>> all;
    return all;
}

LRESULT CALLBACK timerWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kSystemTimerId) {
        auto* timer = reinterpret_cast<NativeTimer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (timer != nullptr && timer->tick) {
            const auto tick = timer->tick; // the tick may stop (and free) its own timer
            tick();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

ModuleClass& timerClass() {
    static ModuleClass c("WadlingTimer", timerWindowProc, 0);
    return c;
}

void destroy(NativeTimer& timer) {
    if (timer.window == nullptr) return;
    KillTimer(timer.window, kSystemTimerId);
    DestroyWindow(timer.window);
    timer.window = nullptr;
    timerClass().release();
}

// ---- Windows ---------------------------------------------------------------------------------

struct NativeWindow {
    HWND hwnd = nullptr;
    WindowSink* sink = nullptr;
    PAINTSTRUCT paint{};
    bool painting = false;
    unsigned beginPaints = 0;
    bool trackingLeave = false;
};

// Every live window of ours by handle: a handle that is not here is a stranger's (or a window
// the host already destroyed) and is left alone.
std::map<HWND, std::unique_ptr<NativeWindow>>& windows() {
    static std::map<HWND, std::unique_ptr<NativeWindow>> all;
    return all;
}

NativeWindow* find(WindowHandle handle) {
    const auto it = windows().find(static_cast<HWND>(handle));
    return it == windows().end() ? nullptr : it->second.get();
}

int& cursorShape() {
    static int shape = 0; // a runtime cursor number; 0 is the default arrow
    return shape;
}

HCURSOR systemCursorFor(int cursor);

LRESULT CALLBACK childWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

ModuleClass& childClass() {
    static ModuleClass c("WadlingWindow", childWindowProc, CS_DBLCLKS);
    return c;
}

// Passes a system message to the window's sink; false when nobody listens any more.
bool toSink(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, TMessage& message) {
    NativeWindow* w = find(hwnd);
    if (w == nullptr || w->sink == nullptr) return false;
    message = {msg, static_cast<std::uintptr_t>(wParam), static_cast<std::intptr_t>(lParam), 0};
    w->sink->windowMessage(hwnd, message); // may destroy the window
    return true;
}

LRESULT CALLBACK childWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    TMessage m;
    switch (msg) {
    case WM_PAINT: {
        NativeWindow* w = find(hwnd);
        const unsigned begun = w != nullptr ? w->beginPaints : 0;
        toSink(hwnd, msg, wParam, lParam, m);
        // A sink that did not paint leaves the area valid, or WM_PAINT would repeat forever.
        if ((w = find(hwnd)) == nullptr || w->beginPaints == begun) ValidateRect(hwnd, nullptr);
        return 0;
    }
    case WM_ERASEBKGND:
        // The paint that follows covers the area: erasing would only flicker.
        toSink(hwnd, msg, wParam, lParam, m);
        return 1;
    case WM_MOUSEMOVE:
        if (NativeWindow* w = find(hwnd); w != nullptr && !w->trackingLeave) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            w->trackingLeave = TrackMouseEvent(&track) != FALSE;
        }
        toSink(hwnd, msg, wParam, lParam, m);
        return 0;
    case WM_MOUSELEAVE:
        if (NativeWindow* w = find(hwnd)) w->trackingLeave = false;
        toSink(hwnd, msg, wParam, lParam, m);
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd && LOWORD(lParam) == HTCLIENT) {
            if (toSink(hwnd, msg, wParam, lParam, m) && m.Result != 0) return TRUE;
            SetCursor(systemCursorFor(cursorShape()));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_CAPTURECHANGED:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_TIMER:
        if (toSink(hwnd, msg, wParam, lParam, m)) return m.Result;
        break;
    case WM_MOUSEWHEEL:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_GETDLGCODE:
        // Unanswered, these belong to the system (Alt+F4, the host's menu, scrolling parents).
        if (toSink(hwnd, msg, wParam, lParam, m) && m.Result != 0) return m.Result;
        break;
    case WM_NCDESTROY: {
        // Also reached when the host destroys its window first: the sink hears nothing more
        // and the handle becomes a stranger's.
        const auto it = windows().find(hwnd);
        if (it != windows().end()) {
            windows().erase(it);
            childClass().release();
        }
        break;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Only our own windows may be used as owners and capture holders.
HWND ours(WindowHandle handle) {
    return find(handle) != nullptr ? static_cast<HWND>(handle) : nullptr;
}

LPCWSTR systemCursorName(int cursor) {
    switch (cursor) {
    case cursor::Cross:
        return reinterpret_cast<LPCWSTR>(IDC_CROSS);
    case cursor::IBeam:
        return reinterpret_cast<LPCWSTR>(IDC_IBEAM);
    case cursor::SizeNESW:
        return reinterpret_cast<LPCWSTR>(IDC_SIZENESW);
    case cursor::SizeNS:
        return reinterpret_cast<LPCWSTR>(IDC_SIZENS);
    case cursor::SizeNWSE:
        return reinterpret_cast<LPCWSTR>(IDC_SIZENWSE);
    case cursor::SizeWE:
        return reinterpret_cast<LPCWSTR>(IDC_SIZEWE);
    case cursor::UpArrow:
        return reinterpret_cast<LPCWSTR>(IDC_UPARROW);
    case cursor::HourGlass:
        return reinterpret_cast<LPCWSTR>(IDC_WAIT);
    case cursor::No:
        return reinterpret_cast<LPCWSTR>(IDC_NO);
    case cursor::HandPoint:
        return reinterpret_cast<LPCWSTR>(IDC_HAND);
    case cursor::SizeAll:
        return reinterpret_cast<LPCWSTR>(IDC_SIZEALL);
    default:
        return reinterpret_cast<LPCWSTR>(IDC_ARROW);
    }
}

// Null for crNone: the pointer is hidden over our windows.
HCURSOR systemCursorFor(int cursor) {
    return cursor == cursor::Hidden ? nullptr : LoadCursorW(nullptr, systemCursorName(cursor));
}

void appendEntries(HMENU menu, const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        if (e.separator) {
            info.fMask = MIIM_FTYPE;
            info.fType = MFT_SEPARATOR;
            InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
            continue;
        }
        std::wstring caption = widen(e.caption);
        info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
        info.fType = e.radio ? MFT_RADIOCHECK : MFT_STRING;
        info.fState = (e.checked ? MFS_CHECKED : 0u) | (e.enabled ? 0u : MFS_DISABLED);
        info.wID = static_cast<UINT>(e.id > 0 ? e.id : 0);
        info.dwTypeData = caption.data();
        if (!e.items.empty()) {
            info.fMask |= MIIM_SUBMENU;
            info.hSubMenu = CreatePopupMenu();
            appendEntries(info.hSubMenu, e.items);
        }
        InsertMenuItemW(menu, GetMenuItemCount(menu), TRUE, &info);
    }
}

class Win32Backend final : public Backend {
public:
    std::uint32_t tickCount() override { return GetTickCount(); }

    TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) override {
        if (intervalMs == 0 || !onTick) return 0;
        const std::wstring& name = timerClass().acquire();
        if (name.empty()) return 0;
        auto timer = std::make_unique<NativeTimer>();
        timer->tick = std::move(onTick);
        timer->window = CreateWindowExW(0, name.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        thisModule(), nullptr);
        if (timer->window == nullptr) {
            timerClass().release();
            return 0;
        }
        SetWindowLongPtrW(timer->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(timer.get()));
        if (SetTimer(timer->window, kSystemTimerId, intervalMs, nullptr) == 0) {
            destroy(*timer);
            return 0;
        }
        const TimerId id = detail::nextTimerId();
        timers().emplace(id, std::move(timer));
        return id;
    }

    void stopTimer(TimerId id) override {
        const auto it = timers().find(id);
        if (it == timers().end()) return;
        auto timer = std::move(it->second);
        timers().erase(it);
        destroy(*timer);
    }

    void runDueTimers() override {
        // The host's message loop normally delivers WM_TIMER; this serves callers without one.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE))
            DispatchMessageW(&msg);
    }

    void stopAllTimers() override {
        while (!timers().empty())
            stopTimer(timers().begin()->first);
    }

    WindowHandle createChildWindow(void* parent, const TRect& bounds, WindowSink* sink,
                                   std::string& error) override {
        if (parent == nullptr || IsWindow(static_cast<HWND>(parent)) == FALSE) {
            error = "A child window needs a live parent window";
            return nullptr;
        }
        const std::wstring& name = childClass().acquire();
        if (name.empty()) {
            error =
                "Windows refused the window class (error " + std::to_string(GetLastError()) + ")";
            return nullptr;
        }
        const int width = bounds.Right > bounds.Left ? bounds.Right - bounds.Left : 0;
        const int height = bounds.Bottom > bounds.Top ? bounds.Bottom - bounds.Top : 0;
        // Registered before creation so that the messages of CreateWindowEx find it; the sink
        // hears them only once the handle is known.
        auto window = std::make_unique<NativeWindow>();
        NativeWindow* raw = window.get();
        HWND hwnd = CreateWindowExW(0, name.c_str(), L"",
                                    WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                                    bounds.Left, bounds.Top, width, height,
                                    static_cast<HWND>(parent), nullptr, thisModule(), nullptr);
        if (hwnd == nullptr) {
            error = "Windows refused the window (error " + std::to_string(GetLastError()) + ")";
            childClass().release();
            return nullptr;
        }
        raw->hwnd = hwnd;
        raw->sink = sink;
        windows()[hwnd] = std::move(window);
        return hwnd;
    }

    void destroyWindow(WindowHandle window) override {
        NativeWindow* w = find(window);
        if (w == nullptr) {
            // Typically a window the host destroyed with its own: its class can go now.
            childClass().unregisterPending();
            return;
        }
        w->sink = nullptr;
        // Child windows of ours go with it (WM_NCDESTROY silences each).
        for (auto& [hwnd, other] : windows())
            if (IsChild(w->hwnd, hwnd) != FALSE) other->sink = nullptr;
        DestroyWindow(w->hwnd);
        childClass().unregisterPending();
    }

    void setWindowBounds(WindowHandle window, const TRect& bounds) override {
        if (HWND hwnd = ours(window))
            SetWindowPos(hwnd, nullptr, bounds.Left, bounds.Top,
                         bounds.Right > bounds.Left ? bounds.Right - bounds.Left : 0,
                         bounds.Bottom > bounds.Top ? bounds.Bottom - bounds.Top : 0,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void showWindow(WindowHandle window, bool visible) override {
        if (HWND hwnd = ours(window)) ShowWindow(hwnd, visible ? SW_SHOWNA : SW_HIDE);
    }

    void invalidateRect(WindowHandle window, const TRect* rect, bool erase) override {
        HWND hwnd = ours(window);
        if (hwnd == nullptr) return;
        if (rect == nullptr) {
            InvalidateRect(hwnd, nullptr, erase ? TRUE : FALSE);
            return;
        }
        const RECT r{rect->Left, rect->Top, rect->Right, rect->Bottom};
        InvalidateRect(hwnd, &r, erase ? TRUE : FALSE);
    }

    void validateRect(WindowHandle window, const TRect& rect) override {
        const RECT r{rect.Left, rect.Top, rect.Right, rect.Bottom};
        if (HWND hwnd = ours(window)) ValidateRect(hwnd, &r);
    }

    void updateWindow(WindowHandle window) override {
        if (HWND hwnd = ours(window)) UpdateWindow(hwnd);
    }

    TRect beginPaint(WindowHandle window) override {
        NativeWindow* w = find(window);
        if (w == nullptr || w->painting) return {};
        if (BeginPaint(w->hwnd, &w->paint) == nullptr) return {};
        w->painting = true;
        ++w->beginPaints;
        const RECT& r = w->paint.rcPaint;
        return {r.left, r.top, r.right, r.bottom};
    }

    void endPaint(WindowHandle window) override {
        NativeWindow* w = find(window);
        if (w == nullptr || !w->painting) return;
        EndPaint(w->hwnd, &w->paint);
        w->painting = false;
    }

    void blitToWindow(WindowHandle window, const TRect& rect, PixelSurface* source, int sourceX,
                      int sourceY) override {
        NativeWindow* w = find(window);
        HDC from = static_cast<HDC>(pixelSurfaceDC(source));
        if (w == nullptr || from == nullptr || rect.Right <= rect.Left || rect.Bottom <= rect.Top)
            return;
        withDC(*w, [&](HDC to) {
            BitBlt(to, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top, from,
                   sourceX, sourceY, SRCCOPY);
            return true;
        });
    }

    bool blit8BitToWindow(WindowHandle window, const TRect& rect, const std::uint8_t* indices,
                          const std::uint32_t* colours, int colourCount) override {
        NativeWindow* w = find(window);
        if (w == nullptr || indices == nullptr || rect.Right <= rect.Left ||
            rect.Bottom <= rect.Top)
            return false;
        return withDC(*w, [&](HDC to) {
            return blit8Bit(to, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top,
                            indices, colours, colourCount);
        });
    }

    double displayScale(void* parent) override {
        // GetDpiForWindow arrives with Windows 10 1607: looked up, so that the library still
        // loads without it. The process's DPI awareness is the host's and stays as it is.
        using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
        static const auto getDpi = [] {
            HMODULE user = GetModuleHandleW(L"user32.dll");
            return user != nullptr ? reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
                                         GetProcAddress(user, "GetDpiForWindow")))
                                   : nullptr;
        }();
        HWND window = static_cast<HWND>(parent);
        if (getDpi == nullptr || window == nullptr || !IsWindow(window)) return 0;
        const UINT dpi = getDpi(window);
        return dpi > 0 ? dpi / 96.0 : 0;
    }

    int displayBitsPerPixel() override {
        HDC screen = GetDC(nullptr);
        const int bits = screen != nullptr ? GetDeviceCaps(screen, BITSPIXEL) : 32;
        if (screen != nullptr) ReleaseDC(nullptr, screen);
        return bits;
    }

    void setCapture(WindowHandle window) override {
        if (HWND hwnd = ours(window)) SetCapture(hwnd);
    }

    void releaseCapture() override { ReleaseCapture(); }

    WindowHandle captureWindow() override { return ours(GetCapture()); }

    void cursorPos(int& x, int& y) override {
        POINT p{};
        GetCursorPos(&p);
        x = p.x;
        y = p.y;
    }

    void setCursorPos(int x, int y) override { SetCursorPos(x, y); }

    int showCursor(bool show) override { return ShowCursor(show ? TRUE : FALSE); }

    void setCursorShape(int cursor) override {
        cursorShape() = cursor;
        // Seen at once when the pointer is over one of ours, not at its next move.
        POINT p{};
        if (GetCursorPos(&p) != FALSE && find(WindowFromPoint(p)) != nullptr)
            SetCursor(systemCursorFor(cursor));
    }

    void clientToScreen(WindowHandle window, int& x, int& y) override {
        HWND hwnd = ours(window);
        if (hwnd == nullptr) return;
        POINT p{x, y};
        ClientToScreen(hwnd, &p);
        x = p.x;
        y = p.y;
    }

    void screenToClient(WindowHandle window, int& x, int& y) override {
        HWND hwnd = ours(window);
        if (hwnd == nullptr) return;
        POINT p{x, y};
        ScreenToClient(hwnd, &p);
        x = p.x;
        y = p.y;
    }

    WindowHandle windowFromPoint(int x, int y) override { return ours(WindowFromPoint({x, y})); }

    void setFocus(WindowHandle window) override {
        if (HWND hwnd = ours(window)) SetFocus(hwnd);
    }

    WindowHandle focusedWindow() override { return ours(GetFocus()); }

    bool isKeyDown(int virtualKey) override {
        if (virtualKey <= 0 || virtualKey > 255) return false;
        return (GetKeyState(virtualKey) & 0x8000) != 0;
    }

    // The system's menus and boxes take their size from the system's metrics at the DPI of the
    // host's awareness (drawn at the monitor's DPI when the host is aware, stretched with the
    // host's windows when not), as the editor's automatic scale does; the Zoom choice does not
    // reach them.
    int trackPopupMenu(WindowHandle owner, int x, int y, const std::vector<MenuEntry>& items,
                       int) override {
        HWND hwnd = ours(owner);
        if (hwnd == nullptr || items.empty()) return 0;
        HMENU menu = detail::buildPopupMenu(items);
        if (menu == nullptr) return 0;
        const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x,
                                           y, 0, hwnd, nullptr);
        DestroyMenu(menu); // and its sub-menus
        return chosen > 0 ? static_cast<int>(chosen) : 0;
    }

    int messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags, int) override {
        return MessageBoxW(ours(owner), widen(text).c_str(), widen(caption).c_str(), flags);
    }

    bool shellOpen(WindowHandle owner, const std::string& address) override {
        if (address.empty()) return false;
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(
            ours(owner), L"open", widen(address).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        return result > 32;
    }

private:
    // The paint's device context inside WM_PAINT, the window's own otherwise.
    template <class Draw>
    static bool withDC(NativeWindow& w, Draw draw) {
        if (w.painting) return draw(w.paint.hdc);
        HDC dc = GetDC(w.hwnd);
        if (dc == nullptr) return false;
        const bool done = draw(dc);
        ReleaseDC(w.hwnd, dc);
        return done;
    }
};

} // namespace

namespace detail {

HMENU buildPopupMenu(const std::vector<MenuEntry>& items) {
    HMENU menu = CreatePopupMenu();
    if (menu != nullptr) appendEntries(menu, items);
    return menu;
}

std::size_t liveWindowCount() {
    return windows().size();
}

std::wstring windowClassName() {
    return childClass().name();
}

HINSTANCE moduleHandle() {
    return thisModule();
}

} // namespace detail

Backend& systemBackend() {
    static Win32Backend system;
    return system;
}

} // namespace platform
