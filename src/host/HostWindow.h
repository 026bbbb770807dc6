#pragma once
// A top-level window standing in for a host's editor window: the plug-in's editor opens inside
// it as a child, and an idle loop calls the editor as hosts do (effEditIdle every few ms).
// One implementation per system (HostWindowX11.cpp, HostWindowWin32.cpp).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace host {

class HostWindow {
public:
    HostWindow();
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    /// Opens a visible top-level window with a client area of w x h; answers its native handle
    /// (an X11 Window id or an HWND) for effEditOpen, or null with the reason in error().
    void* open(const std::string& title, int w, int h);

    /// Calls `callback` every `intervalMs` (> 0) until it answers false or the window is closed
    /// (by close() or by the user); handles the window's own events in between.
    void runIdleLoop(int intervalMs, const std::function<bool()>& callback);

    /// Destroys the window (child windows of the editor go with it); safe when not open.
    void close();

    bool isOpen() const;
    const std::string& error() const { return error_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
};

} // namespace host
