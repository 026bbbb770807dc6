#pragma once
// A top-level window standing in for a host's editor window: the plug-in's editor opens inside
// it as a child, and an idle loop calls the editor as hosts do (effEditIdle every few ms).
// One implementation per system (HostWindowX11.cpp, HostWindowWin32.cpp).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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

    /// Gives the client area the size w x h (hosts resize to what effEditGetRect answers after
    /// effEditOpen). False when not open or the size is not positive.
    bool resize(int w, int h);

    /// The client area's top left corner in screen coordinates (the pointer's); false when not
    /// open.
    bool clientOrigin(int& x, int& y) const;

    /// The colour the screen shows at a client point, child windows included, as 0xRRGGBB;
    /// -1 when it cannot be read.
    std::int64_t shownPixel(int x, int y) const;

    /// What an editor opened in this window could leave behind; -1 where the system does not
    /// tell.
    struct Resources {
        int childWindows = 0;       ///< windows inside this one (all levels)
        long systemHandles = -1;    ///< the process's open handles or file descriptors
        long drawingObjects = -1;   ///< Windows GDI objects of the process
        long interfaceObjects = -1; ///< Windows USER objects of the process
    };
    Resources resources() const;
    const std::string& error() const { return error_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
};

/// Whether an editor's first frame has reached the screen: nine points of a window of w x h
/// remembered before the editor opens, any of which changing is its frame.
class FirstFrameProbe {
public:
    FirstFrameProbe(const HostWindow& window, int w, int h) : window_(window) {
        for (int i = 1; i <= 3; ++i)
            for (int j = 1; j <= 3; ++j)
                points_.push_back({w * i / 4, h * j / 4, window.shownPixel(w * i / 4, h * j / 4)});
    }
    bool shown() const {
        for (const Point& p : points_) {
            const std::int64_t now = window_.shownPixel(p.x, p.y);
            if (now >= 0 && p.before >= 0 && now != p.before) return true;
        }
        return false;
    }

private:
    struct Point {
        int x, y;
        std::int64_t before;
    };
    const HostWindow& window_;
    std::vector<Point> points_;
};

/// Processor time this process has used so far (user and system), in seconds.
double processCpuSeconds();

} // namespace host
