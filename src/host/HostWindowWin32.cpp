// The test host's window on Windows: an overlapped top-level window of a class of this program.
#include "host/HostWindow.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace host {

namespace {

constexpr wchar_t kClassName[] = L"WadlingTestHostWindow";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

LRESULT CALLBACK hostWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(hwnd, &r);
        FillRect(reinterpret_cast<HDC>(wParam), &r,
                 reinterpret_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool registerClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = hostWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

std::wstring widen(const std::string& text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(n, 1)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(std::wcslen(wide.c_str()));
    return wide;
}

BOOL CALLBACK countWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

double seconds(const FILETIME& t) {
    const ULONGLONG ticks = (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<double>(ticks) * 1e-7; // 100 ns units
}

} // namespace

struct HostWindow::Impl {
    HWND hwnd = nullptr;
};

HostWindow::HostWindow() : impl_(std::make_unique<Impl>()) {}

HostWindow::~HostWindow() {
    close();
}

void* HostWindow::open(const std::string& title, int w, int h) {
    close();
    if (w <= 0 || h <= 0) {
        error_ = "Invalid window size";
        return nullptr;
    }
    if (!registerClass()) {
        error_ =
            "Windows refused the host window class (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    RECT frame{0, 0, w, h};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    impl_->hwnd = CreateWindowExW(0, kClassName, widen(title).c_str(), kStyle, 40, 40,
                                  frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (impl_->hwnd == nullptr) {
        error_ = "Windows refused the host window (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    ShowWindow(impl_->hwnd, SW_SHOWNORMAL);
    UpdateWindow(impl_->hwnd);
    return impl_->hwnd;
}

void HostWindow::runIdleLoop(int intervalMs, const std::function<bool()>& callback) {
    if (intervalMs <= 0) intervalMs = 1;
    ULONGLONG next = GetTickCount64();
    while (isOpen()) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam)); // for the caller's own loop
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!isOpen()) return;
        const ULONGLONG now = GetTickCount64();
        if (now >= next) {
            if (!callback()) return;
            next += static_cast<ULONGLONG>(intervalMs);
            if (next < now) next = now + static_cast<ULONGLONG>(intervalMs);
            continue;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(next - now), QS_ALLINPUT);
    }
}

void HostWindow::close() {
    if (impl_->hwnd != nullptr && IsWindow(impl_->hwnd) != FALSE) DestroyWindow(impl_->hwnd);
    impl_->hwnd = nullptr;
}

bool HostWindow::isOpen() const {
    // The user may have closed the window from its system menu.
    if (impl_->hwnd != nullptr && IsWindow(impl_->hwnd) == FALSE) impl_->hwnd = nullptr;
    return impl_->hwnd != nullptr;
}

bool HostWindow::resize(int w, int h) {
    if (!isOpen() || w <= 0 || h <= 0) return false;
    RECT frame{0, 0, w, h};
    AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
    return SetWindowPos(impl_->hwnd, nullptr, 0, 0, frame.right - frame.left,
                        frame.bottom - frame.top,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

bool HostWindow::clientOrigin(int& x, int& y) const {
    if (!isOpen()) return false;
    POINT p{0, 0};
    if (ClientToScreen(impl_->hwnd, &p) == FALSE) return false;
    x = p.x;
    y = p.y;
    return true;
}

std::int64_t HostWindow::shownPixel(int x, int y) const {
    if (!isOpen()) return -1;
    RECT client;
    GetClientRect(impl_->hwnd, &client);
    if (x < 0 || y < 0 || x >= client.right || y >= client.bottom) return -1;
    POINT p{x, y};
    ClientToScreen(impl_->hwnd, &p);
    // The screen's device context: the parent's own excludes its child windows.
    HDC screen = GetDC(nullptr);
    if (screen == nullptr) return -1;
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    if (c == CLR_INVALID) return -1;
    return static_cast<std::int64_t>(GetRValue(c)) << 16 |
           static_cast<std::int64_t>(GetGValue(c)) << 8 | GetBValue(c);
}

HostWindow::Resources HostWindow::resources() const {
    Resources r;
    if (isOpen())
        EnumChildWindows(impl_->hwnd, &countWindow, reinterpret_cast<LPARAM>(&r.childWindows));
    HANDLE self = GetCurrentProcess();
    DWORD handles = 0;
    if (GetProcessHandleCount(self, &handles) != FALSE)
        r.systemHandles = static_cast<long>(handles);
    r.drawingObjects = static_cast<long>(GetGuiResources(self, GR_GDIOBJECTS));
    r.interfaceObjects = static_cast<long>(GetGuiResources(self, GR_USEROBJECTS));
    return r;
}

double processCpuSeconds() {
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user) == FALSE)
        return 0.0;
    return seconds(kernel) + seconds(user);
}

} // namespace host
