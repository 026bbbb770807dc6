#include "platform/x11/X11Backend.h"

#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Keys.h"

#include <X11/Xutil.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>

extern char** environ;

namespace platform::x11 {

namespace {

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            StructureNotifyMask | FocusChangeMask;

} // namespace

X11Backend::~X11Backend() {
    while (!windowList().empty())
        destroyWindow(windowList().front().get());
    closeDisplayIfUnused();
}

void X11Backend::idle() {
    reapChildren();
    if (display_ != nullptr) {
        ErrorTrap trap(display_);
        drainEvents();
    }
    runDueTimers();
    paintWaiting();
}

void X11Backend::afterModalStep() {
    runDueTimers();
    paintWaiting();
}

// ---- Windows ---------------------------------------------------------------------------------

std::unique_ptr<WindowState> X11Backend::makeWindow(void* parent, WindowState* ourParent,
                                                    const TRect& bounds, std::string& error) {
    if (!openDisplay(error)) return nullptr;
    const Window parentId = ourParent != nullptr
                                ? static_cast<XWindowState*>(ourParent)->id
                                : static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));
    auto w = std::make_unique<XWindowState>();
    const int width = bounds.Right - bounds.Left, height = bounds.Bottom - bounds.Top;
    XSetWindowAttributes attributes{};
    attributes.colormap = DefaultColormap(display_, screen_);
    attributes.border_pixel = 0;
    attributes.background_pixmap = None; // we paint every pixel: no flash of a background
    attributes.event_mask = kEventMask;
    ErrorTrap trap(display_);
    w->id = XCreateWindow(
        display_, parentId, bounds.Left, bounds.Top, static_cast<unsigned>(std::max(1, width)),
        static_cast<unsigned>(std::max(1, height)), 0, depth_, InputOutput, visual_,
        CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    if (ourParent == nullptr) {
        // A host reads the editor's size from the normal hints of its first child.
        XSizeHints hints{};
        hints.flags = PSize | PMinSize | PMaxSize | PBaseSize;
        hints.width = hints.min_width = hints.max_width = hints.base_width = width;
        hints.height = hints.min_height = hints.max_height = hints.base_height = height;
        XSetWMNormalHints(display_, w->id, &hints);
    }
    if (cursorCount_ < 0) XDefineCursor(display_, w->id, blankCursor());
    XMapWindow(display_, w->id);
    if (trap.finish() != 0) {
        if (w->id != 0) {
            ErrorTrap again(display_);
            XDestroyWindow(display_, w->id);
        }
        error = "The parent window is not a window of this X server";
        closeDisplayIfUnused();
        return nullptr;
    }
    return w;
}

void X11Backend::destroyWindow(WindowHandle window) {
    WindowManager::destroyWindow(window);
    closeDisplayIfUnused();
}

void X11Backend::releaseWindow(WindowState& window) {
    auto& w = static_cast<XWindowState&>(window);
    ErrorTrap trap(display_);
    w.image.release(display_);
    // Gone with its parent already: a destroy request would only earn a BadWindow.
    if (!w.gone) XDestroyWindow(display_, w.id);
}

void X11Backend::boundsChanged(WindowState& window, int, int) {
    auto& w = static_cast<XWindowState&>(window);
    ErrorTrap trap(display_);
    XMoveResizeWindow(display_, w.id, w.bounds.Left, w.bounds.Top,
                      static_cast<unsigned>(std::max(1, w.width())),
                      static_cast<unsigned>(std::max(1, w.height())));
}

void X11Backend::visibilityChanged(WindowState& window) {
    auto& w = static_cast<XWindowState&>(window);
    ErrorTrap trap(display_);
    if (w.visible)
        XMapWindow(display_, w.id);
    else
        XUnmapWindow(display_, w.id);
}

std::uint32_t* X11Backend::blitPixels(WindowState& window, std::size_t& stride) {
    auto& w = static_cast<XWindowState&>(window);
    ErrorTrap trap(display_);
    return w.image.prepare(display_, visual_, depth_, w.width(), w.height(), shm_, stride);
}

void X11Backend::presentBlit(WindowState& window, const TRect& rect) {
    auto& w = static_cast<XWindowState&>(window);
    ErrorTrap trap(display_);
    w.image.put(display_, w.id, rect.Left, rect.Top, rect.Right, rect.Bottom);
}

void X11Backend::clientOrigin(const WindowState& window, int& x, int& y) {
    Window child = 0;
    x = y = 0;
    ErrorTrap trap(display_);
    XTranslateCoordinates(display_, static_cast<const XWindowState&>(window).id, root_, 0, 0, &x,
                          &y, &child);
}

Window X11Backend::idOf(WindowHandle window) const {
    const auto* w = static_cast<const XWindowState*>(find(window));
    return w != nullptr && !w->gone ? w->id : 0;
}

XWindowState* X11Backend::findId(Window id) const {
    for (const auto& w : windowList()) {
        auto* x = static_cast<XWindowState*>(w.get());
        if (x->id == id && !x->gone) return x;
    }
    return nullptr;
}

// ---- Pointer and focus -----------------------------------------------------------------------

void X11Backend::grabPointer(WindowState* window) {
    if (display_ == nullptr) return;
    ErrorTrap trap(display_);
    if (window == nullptr)
        XUngrabPointer(display_, CurrentTime);
    else
        XGrabPointer(display_, static_cast<XWindowState*>(window)->id, False,
                     ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime);
}

void X11Backend::takeKeyboardFocus(WindowState& window) {
    ErrorTrap trap(display_);
    XSetInputFocus(display_, static_cast<XWindowState&>(window).id, RevertToParent, CurrentTime);
}

void X11Backend::cursorPos(int& x, int& y) {
    x = y = 0;
    std::string error;
    if (!openDisplay(error)) return;
    Window root = 0, child = 0;
    int wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(display_, root_, &root, &child, &x, &y, &wx, &wy, &mask);
    closeDisplayIfUnused();
}

void X11Backend::setCursorPos(int x, int y) {
    if (display_ == nullptr) return;
    ErrorTrap trap(display_);
    XWarpPointer(display_, None, root_, 0, 0, 0, 0, x, y);
    // The warp makes a motion event of its own: it is not the user's.
    warpPending_ = true;
    warpX_ = x;
    warpY_ = y;
}

int X11Backend::showCursor(bool show) {
    const bool wasVisible = cursorCount_ >= 0;
    cursorCount_ += show ? 1 : -1;
    if (display_ != nullptr && wasVisible != (cursorCount_ >= 0)) {
        ErrorTrap trap(display_);
        for (const auto& state : windowList()) {
            const auto& w = static_cast<const XWindowState&>(*state);
            if (w.gone) continue;
            if (cursorCount_ < 0)
                XDefineCursor(display_, w.id, blankCursor());
            else
                XUndefineCursor(display_, w.id);
        }
    }
    return cursorCount_;
}

Cursor X11Backend::blankCursor() {
    if (blank_ == 0) {
        static const char zero[1] = {0};
        Pixmap pixmap = XCreateBitmapFromData(display_, root_, zero, 1, 1);
        XColor black{};
        blank_ = XCreatePixmapCursor(display_, pixmap, pixmap, &black, &black, 0, 0);
        XFreePixmap(display_, pixmap);
    }
    return blank_;
}

// ---- Connection and shell --------------------------------------------------------------------

bool X11Backend::openDisplay(std::string& error) {
    if (display_ != nullptr) return true;
    // Our own connection, never the host's.
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
        error = "Cannot open the X display";
        return false;
    }
    screen_ = DefaultScreen(display_);
    root_ = RootWindow(display_, screen_);
    visual_ = DefaultVisual(display_, screen_);
    depth_ = DefaultDepth(display_, screen_);
    // WADLING_X11_NO_SHM=1 takes the plain path (tests of it, remote displays).
    const char* noShm = std::getenv("WADLING_X11_NO_SHM");
    shm_.state = noShm != nullptr && noShm[0] == '1' ? 0 : -1;
    blank_ = 0;
    return true;
}

Display* X11Backend::ensureDisplay() {
    std::string error;
    return openDisplay(error) ? display_ : nullptr;
}

double X11Backend::displayScale(void*) {
    // The desktop's font scale, which the toolkits' scale follows on X11: the resources of
    // the screen as they were when our connection opened.
    Display* display = ensureDisplay();
    if (display == nullptr) return 0;
    const char* resources = XResourceManagerString(display);
    const double scale = resources != nullptr ? scaleFromXResources(resources) : 0;
    closeDisplayIfUnused();
    return scale;
}

void X11Backend::closeDisplayIfUnused() {
    if (display_ == nullptr || !windowList().empty()) return;
    if (blank_ != 0) XFreeCursor(display_, blank_);
    XCloseDisplay(display_);
    display_ = nullptr;
    blank_ = 0;
}

bool X11Backend::shellOpen(WindowHandle, const std::string& address) {
    // Never a shell, and never an address that xdg-open would read as an option.
    if (address.empty() || address.front() == '-' || address.find('\0') != std::string::npos)
        return false;
    std::string program = "xdg-open";
    std::vector<char*> argv{program.data(), const_cast<char*>(address.c_str()), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv.data(), environ) != 0) return false;
    children_.push_back(pid);
    return true;
}

void X11Backend::reapChildren() {
    std::erase_if(children_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

// ---- Events: X fields into the window manager's input ----------------------------------------

void X11Backend::drainEvents() {
    while (display_ != nullptr && XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        dispatch(event);
    }
}

void X11Backend::syncModifiers(unsigned state) {
    setKeyHeld(VK_LBUTTON, (state & Button1Mask) != 0);
    setKeyHeld(VK_MBUTTON, (state & Button2Mask) != 0);
    setKeyHeld(VK_RBUTTON, (state & Button3Mask) != 0);
    setKeyHeld(VK_SHIFT, (state & ShiftMask) != 0);
    setKeyHeld(VK_CONTROL, (state & ControlMask) != 0);
    setKeyHeld(VK_MENU, (state & Mod1Mask) != 0);
}

detail::PointerEvent X11Backend::pointerEvent(XWindowState* w, int rootX, int rootY, int x, int y) {
    detail::PointerEvent event;
    // Under a grab X reports every event to the grabbing window: find the one really under it.
    event.under = captureWindow() != nullptr ? windowFromPoint(rootX, rootY) : w;
    event.rootX = rootX;
    event.rootY = rootY;
    event.window = w;
    event.x = x;
    event.y = y;
    return event;
}

void X11Backend::buttonEvent(const XButtonEvent& b, XWindowState* w) {
    const bool down = b.type == ButtonPress;
    syncModifiers(b.state);
    const detail::PointerEvent event = pointerEvent(w, b.x_root, b.y_root, b.x, b.y);
    if (b.button == Button4 || b.button == Button5) {
        if (down) wheelTurned(event, b.button == Button4 ? 120 : -120);
        return;
    }
    if (b.button < Button1 || b.button > Button3) return;
    const MouseButton button = b.button == Button1   ? MouseButton::Left
                               : b.button == Button3 ? MouseButton::Right
                                                     : MouseButton::Middle;
    buttonChanged(event, button, down, static_cast<std::uint32_t>(b.time));
}

void X11Backend::keyEvent(XKeyEvent& key, XWindowState* w) {
    char text[8] = {};
    KeySym sym = 0;
    const int length = XLookupString(&key, text, sizeof text, &sym, nullptr);
    const int virtualKey = virtualKeyOf(sym);
    const bool down = key.type == KeyPress;
    syncModifiers(key.state);
    keyChanged(w, virtualKey, down);
    if (down && length == 1) characterTyped(w, text[0]);
}

void X11Backend::dispatch(XEvent& event) {
    XWindowState* w = findId(event.xany.window);
    switch (event.type) {
    case Expose:
        if (w != nullptr) {
            const TRect r{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                          event.xexpose.y + event.xexpose.height};
            invalidateRect(w, &r, true);
        }
        break;
    case DestroyNotify:
        // Our window went with the host's: nothing more is sent to it.
        systemDestroyed(findId(event.xdestroywindow.window));
        break;
    case MotionNotify: {
        const XMotionEvent& m = event.xmotion;
        if (warpPending_ && m.x_root == warpX_ && m.y_root == warpY_) {
            warpPending_ = false;
            break;
        }
        syncModifiers(m.state);
        pointerMoved(pointerEvent(w, m.x_root, m.y_root, m.x, m.y));
        break;
    }
    case EnterNotify: {
        const XCrossingEvent& c = event.xcrossing;
        if (captureWindow() != nullptr || c.mode != NotifyNormal) break;
        syncModifiers(c.state);
        pointerMoved(pointerEvent(w, c.x_root, c.y_root, c.x, c.y));
        break;
    }
    case LeaveNotify: {
        const XCrossingEvent& c = event.xcrossing;
        if (captureWindow() == nullptr && c.mode == NotifyNormal && c.detail != NotifyInferior &&
            hover() == w)
            setHover(nullptr);
        break;
    }
    case ButtonPress:
    case ButtonRelease:
        buttonEvent(event.xbutton, w);
        break;
    case KeyPress:
    case KeyRelease:
        keyEvent(event.xkey, w);
        break;
    case FocusOut:
        if (event.xfocus.mode == NotifyNormal && event.xfocus.detail != NotifyInferior)
            focusTaken(w);
        break;
    default:
        break;
    }
}

} // namespace platform::x11

namespace platform {

Backend& systemBackend() {
    static x11::X11Backend system;
    return system;
}

} // namespace platform
