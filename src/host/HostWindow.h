#pragma once
// A top-level window of the test host, the parent a plug-in's editor opens in, with a message
// loop of its own: for tools and tests that show an editor without a real host. One window per
// object, used on the thread that opened it.

#include <functional>
#include <memory>
#include <string>

namespace host {

class HostWindow {
public:
    HostWindow();
    ~HostWindow(); ///< closes the window
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    /// Opens a visible window whose client area is `width` x `height` (at least 1 x 1) and
    /// answers its native handle (Windows: HWND), the parent to give the editor. An open window
    /// is closed first. Null, with the reason in lastError(), when the system refuses.
    void* open(const std::string& title, int width, int height);

    /// Why the last open failed.
    const std::string& lastError() const;

    /// Runs the message loop for `milliseconds` (negative: until the user closes the window),
    /// calling `idle` about every 20 ms and once before returning, as a host's idle calls do.
    /// Answers whether the window is still open.
    bool runIdleLoop(int milliseconds, const std::function<void()>& idle);

    /// Destroys the window (and with it any child window still inside); harmless when closed.
    void close();

    /// The native handle, or null when closed (also after the user closed it).
    void* handle() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace host
