// The test host's window on Windows: an overlapped top-level window of a class of this program.
#include "host/HostWindow.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace host {

namespace {

constexpr wchar_t kClassName[] = L"WadlingTestHostWindow";

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
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT frame{0, 0, w, h};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    impl_->hwnd = CreateWindowExW(0, kClassName, widen(title).c_str(), style, 40, 40,
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

} // namespace host
