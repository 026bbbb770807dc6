// The Windows system backend. Each running timer owns a hidden message-only window with system
// timer 1 on it, held only while the timer runs. Ticks arrive as WM_TIMER on the creating thread.
#include "platform/Platform.h"
#include "platform/TimerQueue.h"
#include "platform/WindowlessBackend.h"

#include <windows.h>

#include <map>
#include <memory>

namespace platform {

namespace {

constexpr UINT_PTR kSystemTimerId = 1;
constexpr wchar_t kClassName[] = L"WadlingTimerWindow";

struct NativeTimer {
    HWND window = nullptr;
    std::function<void()> tick;
};

// UI thread only, like the windows themselves.
std::map<TimerId, std::unique_ptr<NativeTimer>>& timers() {
    static std::map<TimerId, std::unique_ptr<NativeTimer>> all;
    return all;
}

HINSTANCE thisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
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

// The class is registered while any timer window exists, so that no class outlives the
// library's code when a host unloads it.
bool registerClass() {
    if (!timers().empty()) return true;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = timerWindowProc;
    wc.hInstance = thisModule();
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

void unregisterClassIfUnused() {
    if (timers().empty()) UnregisterClassW(kClassName, thisModule());
}

void destroy(NativeTimer& timer) {
    if (timer.window == nullptr) return;
    KillTimer(timer.window, kSystemTimerId);
    DestroyWindow(timer.window);
    timer.window = nullptr;
}

class Win32Backend final : public detail::WindowlessBackend {
public:
    std::uint32_t tickCount() override { return GetTickCount(); }

    TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) override {
        if (intervalMs == 0 || !onTick || !registerClass()) return 0;
        auto timer = std::make_unique<NativeTimer>();
        timer->tick = std::move(onTick);
        timer->window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        thisModule(), nullptr);
        if (timer->window == nullptr) {
            unregisterClassIfUnused();
            return 0;
        }
        SetWindowLongPtrW(timer->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(timer.get()));
        if (SetTimer(timer->window, kSystemTimerId, intervalMs, nullptr) == 0) {
            destroy(*timer);
            unregisterClassIfUnused();
            return 0;
        }
        const TimerId id = detail::nextTimerId();
        timers().emplace(id, std::move(timer));
        return id;
    }

    void stopTimer(TimerId id) override {
        const auto it = timers().find(id);
        if (it == timers().end()) return;
        destroy(*it->second);
        timers().erase(it);
        unregisterClassIfUnused();
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
};

} // namespace

Backend& systemBackend() {
    static Win32Backend system;
    return system;
}

} // namespace platform
