// The Linux system backend with real windows on an X server. The host's idle calls drive it:
// idle() drains our own connection without blocking, runs due timers and paints. No thread of
// ours, no XInitThreads; an error handler of ours is installed only around our own requests.
#include "platform/Platform.h"
#include "platform/WaitingArea.h"
#include "platform/posix/MonotonicTimers.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/keysym.h>
#if defined(WADLING_HAVE_XFT)
#include <X11/Xft/Xft.h>
#endif
#include <poll.h>
#include <spawn.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/wait.h>
#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// ---- Scoped error trap -----------------------------------------------------------------------

Display* trapDisplay = nullptr;
int trapError = 0;
XErrorHandler previousHandler = nullptr;

int trapHandler(Display* display, XErrorEvent* event) {
    if (display == trapDisplay) {
        if (trapError == 0) trapError = event->error_code;
        return 0;
    }
    // Another connection's error (the host's) is not ours to swallow.
    return previousHandler != nullptr ? previousHandler(display, event) : 0;
}

// Catches the errors of our requests made in its scope; the host's handler is back at the end.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        outer_ = trapDisplay != nullptr;
        if (outer_) return; // nested: the outer trap does the work
        trapDisplay = display;
        trapError = 0;
        previousHandler = XSetErrorHandler(trapHandler);
    }
    ~ErrorTrap() { finish(); }
    // Waits for the server's answer to our requests so far; answers the first error (0: none).
    int finish() {
        if (outer_ || done_) return trapError;
        done_ = true;
        // A round trip only when a request may still be in flight.
        if (NextRequest(display_) - 1 != LastKnownRequestProcessed(display_))
            XSync(display_, False);
        XSetErrorHandler(previousHandler);
        trapDisplay = nullptr;
        previousHandler = nullptr;
        return trapError;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

private:
    Display* display_;
    bool outer_ = false;
    bool done_ = false;
};

// ---- Windows ---------------------------------------------------------------------------------

struct XWin {
    Window id = 0;
    XWin* parent = nullptr; ///< ours, or null for a foreign parent
    WindowSink* sink = nullptr;
    TRect bounds;
    bool visible = true;
    bool gone = false; ///< the server destroyed it (its parent went first)
    TRect waiting;
    bool eraseWaiting = false;
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shmAttached = false;
    bool shmPending = false; ///< the server may still read the shared image
    int width() const { return bounds.Right - bounds.Left; }
    int height() const { return bounds.Bottom - bounds.Top; }
};

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask |
                            StructureNotifyMask | FocusChangeMask;

int virtualKeyOf(KeySym sym) {
    if (sym >= XK_a && sym <= XK_z) return static_cast<int>(sym - XK_a) + 'A';
    if (sym >= XK_A && sym <= XK_Z) return static_cast<int>(sym - XK_A) + 'A';
    if (sym >= XK_0 && sym <= XK_9) return static_cast<int>(sym - XK_0) + '0';
    switch (sym) {
    case XK_BackSpace:
        return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab:
        return VK_TAB;
    case XK_Return:
    case XK_KP_Enter:
        return VK_RETURN;
    case XK_Shift_L:
    case XK_Shift_R:
        return VK_SHIFT;
    case XK_Control_L:
    case XK_Control_R:
        return VK_CONTROL;
    case XK_Alt_L:
    case XK_Alt_R:
        return VK_MENU;
    case XK_Escape:
        return VK_ESCAPE;
    case XK_space:
        return VK_SPACE;
    case XK_Prior:
    case XK_KP_Prior:
        return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next:
        return VK_NEXT;
    case XK_End:
    case XK_KP_End:
        return VK_END;
    case XK_Home:
    case XK_KP_Home:
        return VK_HOME;
    case XK_Left:
    case XK_KP_Left:
        return VK_LEFT;
    case XK_Up:
    case XK_KP_Up:
        return VK_UP;
    case XK_Right:
    case XK_KP_Right:
        return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down:
        return VK_DOWN;
    case XK_Execute:
        return VK_EXECUTE;
    case XK_Delete:
    case XK_KP_Delete:
        return VK_DELETE;
    default:
        return 0;
    }
}

class X11Backend final : public detail::MonotonicTimers<Backend> {
public:
    ~X11Backend() override {
        while (!windows_.empty())
            destroyWindow(windows_.front().get());
        closeDisplayIfUnused();
    }

    void idle() override {
        reapChildren();
        if (display_ != nullptr) {
            ErrorTrap trap(display_);
            drainEvents();
        }
        runDueTimers();
        paintWaiting();
    }

    // ---- Windows.
    WindowHandle createChildWindow(void* parent, const TRect& bounds, WindowSink* sink,
                                   std::string& error) override {
        if (parent == nullptr) {
            error = "A child window needs a parent window";
            return nullptr;
        }
        if (!openDisplay(error)) return nullptr;
        XWin* ourParent = find(parent);
        const Window parentId = ourParent != nullptr
                                    ? ourParent->id
                                    : static_cast<Window>(reinterpret_cast<std::uintptr_t>(parent));
        auto w = std::make_unique<XWin>();
        w->parent = ourParent;
        w->sink = sink;
        w->bounds = bounds;
        w->bounds.Right = std::max(w->bounds.Right, w->bounds.Left);
        w->bounds.Bottom = std::max(w->bounds.Bottom, w->bounds.Top);
        XSetWindowAttributes attributes{};
        attributes.colormap = DefaultColormap(display_, screen_);
        attributes.border_pixel = 0;
        attributes.background_pixmap = None; // we paint every pixel: no flash of a background
        attributes.event_mask = kEventMask;
        {
            ErrorTrap trap(display_);
            w->id = XCreateWindow(
                display_, parentId, w->bounds.Left, w->bounds.Top,
                static_cast<unsigned>(std::max(1, w->width())),
                static_cast<unsigned>(std::max(1, w->height())), 0, depth_, InputOutput, visual_,
                CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
            if (ourParent == nullptr) {
                // A host reads the editor's size from the normal hints of its first child.
                XSizeHints hints{};
                hints.flags = PSize | PMinSize | PMaxSize | PBaseSize;
                hints.width = hints.min_width = hints.max_width = hints.base_width = w->width();
                hints.height = hints.min_height = hints.max_height = hints.base_height =
                    w->height();
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
        }
        w->waiting = {0, 0, w->width(), w->height()};
        w->eraseWaiting = true;
        XWin* handle = w.get();
        windows_.push_back(std::move(w));
        return handle;
    }

    void destroyWindow(WindowHandle window) override {
        XWin* w = find(window);
        if (w == nullptr) return;
        w->sink = nullptr;
        for (;;) {
            auto it = std::find_if(windows_.rbegin(), windows_.rend(),
                                   [w](const auto& c) { return c->parent == w; });
            if (it == windows_.rend()) break;
            destroyWindow(it->get());
        }
        if (capture_ == w) releaseGrab();
        if (focus_ == w) focus_ = nullptr;
        if (hover_ == w) hover_ = nullptr;
        if (lastPress_.window == w) lastPress_.window = nullptr;
        {
            ErrorTrap trap(display_);
            freeImage(*w);
            // Gone with its parent already: a destroy request would only earn a BadWindow.
            if (!w->gone) XDestroyWindow(display_, w->id);
        }
        std::erase_if(windows_, [w](const auto& c) { return c.get() == w; });
        closeDisplayIfUnused();
    }

    void setWindowBounds(WindowHandle window, const TRect& bounds) override {
        XWin* w = find(window);
        if (w == nullptr) return;
        TRect b = bounds;
        b.Right = std::max(b.Right, b.Left);
        b.Bottom = std::max(b.Bottom, b.Top);
        const bool resized = b.Right - b.Left != w->width() || b.Bottom - b.Top != w->height();
        w->bounds = b;
        if (!w->gone) {
            ErrorTrap trap(display_);
            XMoveResizeWindow(display_, w->id, b.Left, b.Top,
                              static_cast<unsigned>(std::max(1, w->width())),
                              static_cast<unsigned>(std::max(1, w->height())));
        }
        if (resized) {
            w->waiting = {0, 0, w->width(), w->height()};
            w->eraseWaiting = true;
        }
    }

    void showWindow(WindowHandle window, bool visible) override {
        XWin* w = find(window);
        if (w == nullptr || w->visible == visible) return;
        w->visible = visible;
        if (!w->gone) {
            ErrorTrap trap(display_);
            if (visible)
                XMapWindow(display_, w->id);
            else
                XUnmapWindow(display_, w->id);
        }
        if (visible) {
            w->waiting = {0, 0, w->width(), w->height()};
            w->eraseWaiting = true;
        }
    }

    void invalidateRect(WindowHandle window, const TRect* rect, bool erase) override {
        if (XWin* w = find(window))
            detail::addWaiting(w->waiting, w->eraseWaiting, rect, w->width(), w->height(), erase);
    }

    void validateRect(WindowHandle window, const TRect& rect) override {
        if (XWin* w = find(window)) detail::removeWaiting(w->waiting, w->eraseWaiting, rect);
    }

    void updateWindow(WindowHandle window) override {
        XWin* w = find(window);
        if (w == nullptr || w->gone || isEmpty(w->waiting) || !showing(w)) return;
        if (w->eraseWaiting) {
            w->eraseWaiting = false;
            TMessage erase{WM_ERASEBKGND, 0, 0, 0};
            deliver(w, erase);
            if ((w = find(window)) == nullptr) return;
        }
        painted_ = false;
        TMessage paint{WM_PAINT, 0, 0, 0};
        deliver(w, paint);
        // A window that ignored the paint is validated, as the system's default handling does.
        if ((w = find(window)) != nullptr && !painted_) w->waiting = {};
    }

    TRect beginPaint(WindowHandle window) override {
        XWin* w = find(window);
        if (w == nullptr) return {};
        const TRect r = w->waiting;
        w->waiting = {};
        w->eraseWaiting = false;
        painted_ = true;
        return r;
    }

    void endPaint(WindowHandle) override {}

    void blitToWindow(WindowHandle window, const TRect& rect, PixelSurface* source, int sourceX,
                      int sourceY) override {
        XWin* w = find(window);
        if (w == nullptr || w->gone) return;
        int sw = 0, sh = 0;
        const std::uint8_t* bits = pixelSurfaceBits(source, sw, sh);
        // Only what lies in the window and in the source.
        TRect r = intersect(rect, {0, 0, w->width(), w->height()});
        r = intersect(r, {rect.Left - sourceX, rect.Top - sourceY, rect.Left - sourceX + sw,
                          rect.Top - sourceY + sh});
        if (bits == nullptr || isEmpty(r)) return;
        ErrorTrap trap(display_);
        if (!prepareImage(*w)) return;
        const int rowBytes = (r.Right - r.Left) * 4;
        for (int y = r.Top; y < r.Bottom; ++y) {
            const int sy = sourceY + (y - rect.Top);
            const int sx = sourceX + (r.Left - rect.Left);
            const std::uint8_t* from = bits + (static_cast<std::size_t>(sh - 1 - sy) * sw + sx) * 4;
            std::memcpy(w->image->data + static_cast<std::size_t>(y) * w->image->bytes_per_line +
                            static_cast<std::size_t>(r.Left) * 4,
                        from, static_cast<std::size_t>(rowBytes));
        }
        putImage(*w, r);
    }

    bool blit8BitToWindow(WindowHandle window, const TRect& rect, const std::uint8_t* indices,
                          const std::uint32_t* colours, int colourCount) override {
        XWin* w = find(window);
        if (w == nullptr || w->gone || indices == nullptr || isEmpty(rect)) return false;
        const TRect r = intersect(rect, {0, 0, w->width(), w->height()});
        if (isEmpty(r)) return true;
        ErrorTrap trap(display_);
        if (!prepareImage(*w)) return false;
        const long long rowWidth = static_cast<long long>(rect.Right) - rect.Left;
        for (int y = r.Top; y < r.Bottom; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(
                w->image->data + static_cast<std::size_t>(y) * w->image->bytes_per_line);
            for (int x = r.Left; x < r.Right; ++x) {
                const std::uint8_t index = indices[(y - rect.Top) * rowWidth + (x - rect.Left)];
                row[x] =
                    colours != nullptr && index < colourCount ? SwapRedBlue(colours[index]) : 0;
            }
        }
        putImage(*w, r);
        return true;
    }

    int displayBitsPerPixel() override { return display_ != nullptr && depth_ < 24 ? depth_ : 32; }

    // ---- Pointer.
    void setCapture(WindowHandle window) override {
        XWin* w = find(window);
        if (w == nullptr || w->gone) return;
        XWin* old = capture_;
        capture_ = w;
        {
            ErrorTrap trap(display_);
            XGrabPointer(display_, w->id, False,
                         ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime);
        }
        if (old != nullptr && old != w) {
            TMessage m{WM_CAPTURECHANGED, 0, reinterpret_cast<std::intptr_t>(w), 0};
            deliver(old, m);
        }
    }

    void releaseCapture() override {
        XWin* old = capture_;
        releaseGrab();
        if (old != nullptr) {
            TMessage m{WM_CAPTURECHANGED, 0, 0, 0};
            deliver(old, m);
        }
    }

    WindowHandle captureWindow() override { return capture_; }

    void cursorPos(int& x, int& y) override {
        x = y = 0;
        std::string error;
        if (!openDisplay(error)) return;
        Window root = 0, child = 0;
        int wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(display_, root_, &root, &child, &x, &y, &wx, &wy, &mask);
        closeDisplayIfUnused();
    }

    void setCursorPos(int x, int y) override {
        if (display_ == nullptr) return;
        ErrorTrap trap(display_);
        XWarpPointer(display_, None, root_, 0, 0, 0, 0, x, y);
        // The warp makes a motion event of its own: it is not the user's.
        warpPending_ = true;
        warpX_ = x;
        warpY_ = y;
    }

    int showCursor(bool show) override {
        const bool wasVisible = cursorCount_ >= 0;
        cursorCount_ += show ? 1 : -1;
        if (display_ != nullptr && wasVisible != (cursorCount_ >= 0)) {
            ErrorTrap trap(display_);
            for (const auto& w : windows_) {
                if (w->gone) continue;
                if (cursorCount_ < 0)
                    XDefineCursor(display_, w->id, blankCursor());
                else
                    XUndefineCursor(display_, w->id);
            }
        }
        return cursorCount_;
    }

    void setCursorShape(int cursor) override { cursorShape_ = cursor; }

    void clientToScreen(WindowHandle window, int& x, int& y) override {
        XWin* w = find(window);
        if (w == nullptr || w->gone) return;
        int ox = 0, oy = 0;
        origin(*w, ox, oy);
        x += ox;
        y += oy;
    }

    void screenToClient(WindowHandle window, int& x, int& y) override {
        XWin* w = find(window);
        if (w == nullptr || w->gone) return;
        int ox = 0, oy = 0;
        origin(*w, ox, oy);
        x -= ox;
        y -= oy;
    }

    WindowHandle windowFromPoint(int x, int y) override {
        XWin* best = nullptr;
        int bestDepth = -1;
        for (const auto& w : windows_) {
            if (w->gone || !showing(w.get())) continue;
            int ox = 0, oy = 0;
            origin(*w, ox, oy);
            if (x < ox || y < oy || x >= ox + w->width() || y >= oy + w->height()) continue;
            int depth = 0;
            for (XWin* p = w->parent; p != nullptr; p = p->parent)
                ++depth;
            if (depth >= bestDepth) {
                best = w.get();
                bestDepth = depth;
            }
        }
        return best;
    }

    void setFocus(WindowHandle window) override {
        XWin* w = find(window);
        if ((window != nullptr && w == nullptr) || w == focus_) return;
        XWin* old = focus_;
        focus_ = w;
        if (w != nullptr && !w->gone) {
            ErrorTrap trap(display_);
            XSetInputFocus(display_, w->id, RevertToParent, CurrentTime);
        }
        if (old != nullptr) {
            TMessage kill{WM_KILLFOCUS, reinterpret_cast<std::uintptr_t>(w), 0, 0};
            deliver(old, kill);
        }
        if (w != nullptr && focus_ == w) {
            TMessage set{WM_SETFOCUS, reinterpret_cast<std::uintptr_t>(old), 0, 0};
            deliver(w, set);
        }
    }

    WindowHandle focusedWindow() override { return focus_; }

    bool isKeyDown(int virtualKey) override {
        return virtualKey > 0 && virtualKey < 256 && held_[virtualKey];
    }

    int trackPopupMenu(WindowHandle owner, int x, int y,
                       const std::vector<MenuEntry>& items) override;
    int messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                   std::uint32_t flags) override;

    bool shellOpen(WindowHandle, const std::string& address) override {
        // Never a shell, and never an address that xdg-open would read as an option.
        if (address.empty() || address.front() == '-' || address.find('\0') != std::string::npos)
            return false;
        std::string program = "xdg-open";
        std::vector<char*> argv{program.data(), const_cast<char*>(address.c_str()), nullptr};
        pid_t pid = 0;
        if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv.data(), environ) != 0)
            return false;
        children_.push_back(pid);
        return true;
    }

private:
    struct LastPress {
        XWin* window = nullptr;
        unsigned button = 0;
        Time time = 0;
        int x = 0, y = 0;
    };

    std::vector<std::unique_ptr<XWin>> windows_;
    Display* display_ = nullptr;
    int screen_ = 0;
    Window root_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 24;
    int shmUsable_ = -1; ///< -1 unknown, 0 refused, 1 works
    Cursor blank_ = 0;
    XWin* capture_ = nullptr;
    XWin* focus_ = nullptr;
    XWin* hover_ = nullptr;
    LastPress lastPress_;
    bool held_[256] = {};
    bool painted_ = false;
    bool warpPending_ = false;
    int warpX_ = 0, warpY_ = 0;
    int cursorCount_ = 0;
    int cursorShape_ = 0;
    std::vector<pid_t> children_;

    static constexpr Time kDoubleClickMs = 500;
    static constexpr int kDoubleClickDistance = 2;

    friend class PopupSession;

    XWin* find(const void* handle) const {
        for (const auto& w : windows_)
            if (w.get() == handle) return w.get();
        return nullptr;
    }

    XWin* findId(Window id) const {
        for (const auto& w : windows_)
            if (w->id == id && !w->gone) return w.get();
        return nullptr;
    }

    bool showing(const XWin* w) const {
        for (; w != nullptr; w = w->parent)
            if (!w->visible) return false;
        return true;
    }

    bool openDisplay(std::string& error) {
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
        shmUsable_ = noShm != nullptr && noShm[0] == '1' ? 0 : -1;
        blank_ = 0;
        return true;
    }

    void closeDisplayIfUnused() {
        if (display_ == nullptr || !windows_.empty()) return;
        if (blank_ != 0) XFreeCursor(display_, blank_);
        XCloseDisplay(display_);
        display_ = nullptr;
        blank_ = 0;
    }

    Cursor blankCursor() {
        if (blank_ == 0) {
            static const char zero[1] = {0};
            Pixmap pixmap = XCreateBitmapFromData(display_, root_, zero, 1, 1);
            XColor black{};
            blank_ = XCreatePixmapCursor(display_, pixmap, pixmap, &black, &black, 0, 0);
            XFreePixmap(display_, pixmap);
        }
        return blank_;
    }

    void releaseGrab() {
        capture_ = nullptr;
        if (display_ != nullptr) {
            ErrorTrap trap(display_);
            XUngrabPointer(display_, CurrentTime);
        }
    }

    void deliver(XWin* w, TMessage& message) {
        if (w != nullptr && w->sink != nullptr) w->sink->windowMessage(w, message);
    }

    void origin(const XWin& w, int& x, int& y) {
        Window child = 0;
        x = y = 0;
        ErrorTrap trap(display_);
        XTranslateCoordinates(display_, w.id, root_, 0, 0, &x, &y, &child);
    }

    // The image covers the whole window and is made once (again only when the window grew).
    bool prepareImage(XWin& w) {
        const int width = std::max(1, w.width()), height = std::max(1, w.height());
        if (w.image != nullptr && w.image->width >= width && w.image->height >= height) {
            if (w.shmPending) {
                XSync(display_, False); // the server has read the previous frame
                w.shmPending = false;
            }
            return true;
        }
        freeImage(w);
        if (depth_ < 24) return false;
        if (shmUsable_ != 0 && XShmQueryExtension(display_)) {
            w.image = XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap,
                                      nullptr, &w.shm, static_cast<unsigned>(width),
                                      static_cast<unsigned>(height));
            if (w.image != nullptr && w.image->bits_per_pixel == 32) {
                w.shm.shmid =
                    shmget(IPC_PRIVATE, static_cast<std::size_t>(w.image->bytes_per_line) * height,
                           IPC_CREAT | 0600);
                if (w.shm.shmid >= 0) {
                    w.shm.shmaddr = w.image->data =
                        static_cast<char*>(shmat(w.shm.shmid, nullptr, 0));
                    if (w.shm.shmaddr != reinterpret_cast<char*>(-1)) {
                        w.shm.readOnly = True;
                        // A real attach, its answer awaited: remote servers refuse it late.
                        ErrorTrap probe(display_);
                        const int earlier = trapError;
                        trapError = 0;
                        XShmAttach(display_, &w.shm);
                        XSync(display_, False);
                        const bool ok = trapError == 0;
                        trapError = earlier; // the probe's refusal is handled here
                        // Marked for removal now: it goes when the last user detaches.
                        shmctl(w.shm.shmid, IPC_RMID, nullptr);
                        if (ok) {
                            w.shmAttached = true;
                            shmUsable_ = 1;
                            return true;
                        }
                        shmdt(w.shm.shmaddr);
                    } else {
                        shmctl(w.shm.shmid, IPC_RMID, nullptr);
                    }
                }
                w.image->data = nullptr;
            }
            if (w.image != nullptr) XDestroyImage(w.image);
            w.image = nullptr;
            shmUsable_ = 0;
        }
        const std::size_t stride = static_cast<std::size_t>(width) * 4;
        auto* data = static_cast<char*>(std::calloc(stride * height, 1));
        if (data == nullptr) return false;
        w.image = XCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, data,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32,
                               static_cast<int>(stride));
        if (w.image == nullptr || w.image->bits_per_pixel != 32) {
            if (w.image != nullptr)
                XDestroyImage(w.image); // frees data
            else
                std::free(data);
            w.image = nullptr;
            return false;
        }
        return true;
    }

    void putImage(XWin& w, const TRect& r) {
        GC gc = DefaultGC(display_, screen_);
        const auto width = static_cast<unsigned>(r.Right - r.Left);
        const auto height = static_cast<unsigned>(r.Bottom - r.Top);
        if (w.shmAttached) {
            XShmPutImage(display_, w.id, gc, w.image, r.Left, r.Top, r.Left, r.Top, width, height,
                         False);
            w.shmPending = true;
        } else {
            XPutImage(display_, w.id, gc, w.image, r.Left, r.Top, r.Left, r.Top, width, height);
        }
        XFlush(display_);
    }

    void freeImage(XWin& w) {
        if (w.image == nullptr) return;
        if (w.shmAttached) {
            XShmDetach(display_, &w.shm);
            XSync(display_, False);
            shmdt(w.shm.shmaddr);
            w.image->data = nullptr;
            w.shmAttached = false;
        }
        XDestroyImage(w.image);
        w.image = nullptr;
    }

    void reapChildren() {
        std::erase_if(children_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
    }

    void paintWaiting() {
        for (int round = 0; round < 16; ++round) {
            bool any = false;
            std::vector<XWin*> all;
            for (const auto& w : windows_)
                all.push_back(w.get());
            for (XWin* w : all) {
                if (find(w) == nullptr || w->gone || isEmpty(w->waiting) || !showing(w)) continue;
                any = true;
                updateWindow(w);
            }
            if (!any) return;
        }
    }

    std::uintptr_t mouseKeys(unsigned state) const {
        std::uintptr_t keys = 0;
        if (state & Button1Mask) keys |= MK_LBUTTON;
        if (state & Button3Mask) keys |= MK_RBUTTON;
        if (state & Button2Mask) keys |= MK_MBUTTON;
        if (state & ShiftMask) keys |= MK_SHIFT;
        if (state & ControlMask) keys |= MK_CONTROL;
        return keys;
    }

    // A pointer event at a root point: to the capture, else the window it happened in.
    void pointerMessage(XWin* w, std::uint32_t msg, std::uintptr_t keys, int rootX, int rootY,
                        int x, int y) {
        XWin* target = capture_ != nullptr ? capture_ : w;
        if (target == nullptr) return;
        if (target != w) {
            int ox = 0, oy = 0;
            origin(*target, ox, oy);
            x = rootX - ox;
            y = rootY - oy;
        }
        if (msg == WM_MOUSEMOVE && capture_ == nullptr) {
            TMessage setCursor{WM_SETCURSOR, reinterpret_cast<std::uintptr_t>(target),
                               static_cast<std::intptr_t>(HTCLIENT | (WM_MOUSEMOVE << 16)), 0};
            deliver(target, setCursor);
            if (find(target) == nullptr) return;
        }
        TMessage m{msg, keys, MakeLParam(x, y), 0};
        deliver(target, m);
    }

    void setHover(XWin* w) {
        if (hover_ == w) return;
        XWin* left = hover_;
        hover_ = w;
        if (left != nullptr) {
            TMessage leave{WM_MOUSELEAVE, 0, 0, 0};
            deliver(left, leave);
        }
    }

    void dispatch(XEvent& event) {
        XWin* w = findId(event.xany.window);
        switch (event.type) {
        case Expose:
            if (w != nullptr) {
                const TRect r{event.xexpose.x, event.xexpose.y,
                              event.xexpose.x + event.xexpose.width,
                              event.xexpose.y + event.xexpose.height};
                invalidateRect(w, &r, true);
            }
            break;
        case DestroyNotify:
            // Our window went with the host's: nothing more is sent to it.
            if (XWin* d = findId(event.xdestroywindow.window)) {
                d->gone = true;
                if (capture_ == d) capture_ = nullptr;
                if (hover_ == d) hover_ = nullptr;
            }
            break;
        case MotionNotify: {
            if (warpPending_ && event.xmotion.x_root == warpX_ && event.xmotion.y_root == warpY_) {
                warpPending_ = false;
                break;
            }
            if (capture_ == nullptr) setHover(w);
            pointerMessage(w, WM_MOUSEMOVE, mouseKeys(event.xmotion.state), event.xmotion.x_root,
                           event.xmotion.y_root, event.xmotion.x, event.xmotion.y);
            break;
        }
        case EnterNotify:
            if (capture_ == nullptr && event.xcrossing.mode == NotifyNormal) {
                setHover(w);
                pointerMessage(w, WM_MOUSEMOVE, mouseKeys(event.xcrossing.state),
                               event.xcrossing.x_root, event.xcrossing.y_root, event.xcrossing.x,
                               event.xcrossing.y);
            }
            break;
        case LeaveNotify:
            if (capture_ == nullptr && event.xcrossing.mode == NotifyNormal &&
                event.xcrossing.detail != NotifyInferior && hover_ == w)
                setHover(nullptr);
            break;
        case ButtonPress:
        case ButtonRelease: {
            const XButtonEvent& b = event.xbutton;
            const bool down = event.type == ButtonPress;
            if (b.button == Button4 || b.button == Button5) {
                if (!down) break;
                XWin* target = capture_ != nullptr ? capture_ : (focus_ != nullptr ? focus_ : w);
                const int delta = b.button == Button4 ? 120 : -120;
                TMessage m{WM_MOUSEWHEEL,
                           (static_cast<std::uintptr_t>(static_cast<std::uint16_t>(delta)) << 16) |
                               mouseKeys(b.state),
                           MakeLParam(b.x_root, b.y_root), 0};
                deliver(target, m);
                break;
            }
            if (b.button < Button1 || b.button > Button3) break;
            const int key = b.button == Button1   ? VK_LBUTTON
                            : b.button == Button3 ? VK_RBUTTON
                                                  : VK_MBUTTON;
            held_[key] = down;
            // The state bits describe the moment before the event.
            unsigned state = b.state;
            const unsigned bit = b.button == Button1   ? Button1Mask
                                 : b.button == Button2 ? Button2Mask
                                                       : Button3Mask;
            state = down ? (state | bit) : (state & ~bit);
            const std::uint32_t base = key == VK_LBUTTON   ? WM_LBUTTONDOWN
                                       : key == VK_RBUTTON ? WM_RBUTTONDOWN
                                                           : WM_MBUTTONDOWN;
            std::uint32_t msg = down ? base : base + 1;
            if (down) {
                XWin* target = capture_ != nullptr ? capture_ : w;
                const bool isDouble = lastPress_.window == target && target != nullptr &&
                                      lastPress_.button == b.button &&
                                      b.time - lastPress_.time <= kDoubleClickMs &&
                                      std::abs(b.x_root - lastPress_.x) <= kDoubleClickDistance &&
                                      std::abs(b.y_root - lastPress_.y) <= kDoubleClickDistance;
                if (isDouble) {
                    msg = base + 2;
                    lastPress_.window = nullptr;
                } else {
                    lastPress_ = {target, b.button, b.time, b.x_root, b.y_root};
                }
            }
            pointerMessage(w, msg, mouseKeys(state), b.x_root, b.y_root, b.x, b.y);
            break;
        }
        case KeyPress:
        case KeyRelease: {
            char text[8] = {};
            KeySym sym = 0;
            const int length = XLookupString(&event.xkey, text, sizeof text, &sym, nullptr);
            const int key = virtualKeyOf(sym);
            const bool down = event.type == KeyPress;
            if (key != 0) held_[key] = down;
            XWin* target = focus_ != nullptr ? focus_ : w;
            if (target == nullptr) break;
            const bool alt = (event.xkey.state & Mod1Mask) != 0;
            const std::intptr_t lParam = 1 | (alt ? KF_ALTDOWN_LPARAM : 0);
            if (key != 0) {
                TMessage m{down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN)
                                : (alt ? WM_SYSKEYUP : WM_KEYUP),
                           static_cast<std::uintptr_t>(key), lParam, 0};
                deliver(target, m);
            }
            if (down && length == 1 && find(target) != nullptr) {
                TMessage c{alt ? WM_SYSCHAR : WM_CHAR,
                           static_cast<std::uintptr_t>(static_cast<unsigned char>(text[0])), lParam,
                           0};
                deliver(target, c);
            }
            break;
        }
        case FocusOut:
            if (w != nullptr && w == focus_ && event.xfocus.mode == NotifyNormal &&
                event.xfocus.detail != NotifyInferior) {
                focus_ = nullptr;
                TMessage kill{WM_KILLFOCUS, 0, 0, 0};
                deliver(w, kill);
            }
            break;
        default:
            break;
        }
    }

    void drainEvents() {
        while (display_ != nullptr && XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            dispatch(event);
        }
    }

public:
    // Used by the modal loops of menus and message boxes.
    Display* ensureDisplay() {
        std::string error;
        return openDisplay(error) ? display_ : nullptr;
    }
    Window rootWindow() const { return root_; }
    Visual* visual() const { return visual_; }
    int depth() const { return depth_; }
    int screen() const { return screen_; }
    void releaseDisplay() { closeDisplayIfUnused(); }
    // Events of other windows while a modal loop runs: the editor keeps painting.
    void dispatchOther(XEvent& event) { dispatch(event); }
    void afterModalStep() {
        runDueTimers();
        paintWaiting();
    }
    Window idOf(WindowHandle window) const {
        const XWin* w = find(window);
        return w != nullptr && !w->gone ? w->id : 0;
    }
};

// ---- Menus and message boxes drawn by us ----------------------------------------------------

constexpr std::uint32_t kMenuFace = 0xF0F0F0, kMenuText = 0x000000, kMenuSelected = 0x3366CC,
                        kMenuSelectedText = 0xFFFFFF, kMenuDisabled = 0x808080,
                        kMenuBorder = 0x606060;
constexpr int kItemHeight = 20, kSeparatorHeight = 7, kMarkWidth = 18, kArrowWidth = 16;

// Framework colours are 0x00BBGGRR; surfaces take the same.
std::uint32_t rgb(std::uint32_t value) {
    return ((value & 0xFF) << 16) | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

struct Popup;

// The system font of menus and message boxes while one is open (null: the built-in font).
#if defined(WADLING_HAVE_XFT)
XftFont* uiFont = nullptr;
Display* uiFontDisplay = nullptr;
#endif

void openUiFont(Display* display, int screen) {
#if defined(WADLING_HAVE_XFT)
    // 8 pt at 96 dots per inch; fontconfig picks the nearest sans-serif face it has.
    uiFont = XftFontOpenName(display, screen, "sans-serif:pixelsize=11:antialias=true");
    uiFontDisplay = uiFont != nullptr ? display : nullptr;
#else
    (void)display;
    (void)screen;
#endif
}

void closeUiFont() {
#if defined(WADLING_HAVE_XFT)
    if (uiFont != nullptr) XftFontClose(uiFontDisplay, uiFont);
    uiFont = nullptr;
    uiFontDisplay = nullptr;
#endif
}

bool haveUiFont() {
#if defined(WADLING_HAVE_XFT)
    return uiFont != nullptr;
#else
    return false;
#endif
}

void drawSystemTexts(Popup& popup);

// A top-level window of ours outside the window list: an override-redirect popup or a dialog.
struct Popup {
    Display* display = nullptr;
    Window id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    PixelSurface* surface = nullptr;
    std::uint8_t* bits = nullptr;
    XImage* image = nullptr;
    struct Text {
        int x, y;
        std::string text;
        std::uint32_t colour;
    };
    std::vector<Text> texts; ///< drawn with the system font over the picture

    bool open(X11Backend& backend, int px, int py, int w, int h, bool overrideRedirect) {
        display = backend.ensureDisplay();
        if (display == nullptr) return false;
        std::string error;
        surface = createPixelSurface(w, h, &bits, error);
        if (surface == nullptr) return false;
        x = px;
        y = py;
        width = w;
        height = h;
        XSetWindowAttributes a{};
        a.override_redirect = overrideRedirect ? True : False;
        a.colormap = DefaultColormap(display, backend.screen());
        a.border_pixel = 0;
        a.background_pixmap = None;
        a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                       KeyPressMask | StructureNotifyMask;
        ErrorTrap trap(display);
        id = XCreateWindow(
            display, backend.rootWindow(), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
            0, backend.depth(), InputOutput, backend.visual(),
            CWOverrideRedirect | CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &a);
        auto* data = static_cast<char*>(std::calloc(static_cast<std::size_t>(w) * h * 4, 1));
        image = data == nullptr
                    ? nullptr
                    : XCreateImage(display, backend.visual(),
                                   static_cast<unsigned>(backend.depth()), ZPixmap, 0, data,
                                   static_cast<unsigned>(w), static_cast<unsigned>(h), 32, w * 4);
        if (image == nullptr) std::free(data);
        return true;
    }

    void map() {
        ErrorTrap trap(display);
        XMapRaised(display, id);
    }

    void show() {
        if (image == nullptr || image->bits_per_pixel != 32) return;
        for (int row = 0; row < height; ++row)
            std::memcpy(image->data + static_cast<std::size_t>(row) * image->bytes_per_line,
                        bits + static_cast<std::size_t>(height - 1 - row) * width * 4,
                        static_cast<std::size_t>(width) * 4);
        ErrorTrap trap(display);
        XPutImage(display, id, DefaultGC(display, DefaultScreen(display)), image, 0, 0, 0, 0,
                  static_cast<unsigned>(width), static_cast<unsigned>(height));
        drawSystemTexts(*this);
        XFlush(display);
    }

    void close() {
        if (display != nullptr && id != 0) {
            ErrorTrap trap(display);
            XDestroyWindow(display, id);
        }
        if (image != nullptr) XDestroyImage(image);
        destroyPixelSurface(surface);
        id = 0;
        image = nullptr;
        surface = nullptr;
    }

    bool contains(int rx, int ry) const {
        return rx >= x && ry >= y && rx < x + width && ry < y + height;
    }
};

SurfaceFont menuFont(std::uint32_t colour) {
    SurfaceFont font;
    font.name = "Sans";
    font.height = 11;
    font.colour = colour;
    return font;
}

void textExtent(const std::string& text, int& width, int& height) {
#if defined(WADLING_HAVE_XFT)
    if (uiFont != nullptr) {
        XGlyphInfo info{};
        XftTextExtentsUtf8(uiFontDisplay, uiFont, reinterpret_cast<const FcChar8*>(text.data()),
                           static_cast<int>(text.size()), &info);
        width = info.xOff;
        height = uiFont->ascent + uiFont->descent;
        return;
    }
#endif
    surfaceTextExtent(nullptr, text, menuFont(0), width, height);
}

// Text with its top left corner at (x, y): the system font after the picture, else built in.
void drawText(Popup& popup, int x, int y, const std::string& text, std::uint32_t colour) {
    if (haveUiFont())
        popup.texts.push_back({x, y, text, colour});
    else
        surfaceText(popup.surface, x, y, text, menuFont(colour));
}

void drawSystemTexts(Popup& popup) {
#if defined(WADLING_HAVE_XFT)
    if (uiFont == nullptr || popup.texts.empty()) return;
    Display* d = popup.display;
    const int screen = DefaultScreen(d);
    XftDraw* draw =
        XftDrawCreate(d, popup.id, DefaultVisual(d, screen), DefaultColormap(d, screen));
    if (draw == nullptr) return;
    for (const Popup::Text& t : popup.texts) {
        XRenderColor c{static_cast<unsigned short>((t.colour & 0xFF) * 0x101),
                       static_cast<unsigned short>(((t.colour >> 8) & 0xFF) * 0x101),
                       static_cast<unsigned short>(((t.colour >> 16) & 0xFF) * 0x101), 0xFFFF};
        XftColor colour{};
        if (!XftColorAllocValue(d, DefaultVisual(d, screen), DefaultColormap(d, screen), &c,
                                &colour))
            continue;
        XftDrawStringUtf8(draw, &colour, uiFont, t.x, t.y + uiFont->ascent,
                          reinterpret_cast<const FcChar8*>(t.text.data()),
                          static_cast<int>(t.text.size()));
        XftColorFree(d, DefaultVisual(d, screen), DefaultColormap(d, screen), &colour);
    }
    XftDrawDestroy(draw);
#else
    (void)popup;
#endif
}

struct MenuLevel {
    const std::vector<MenuEntry>* entries = nullptr;
    Popup popup;
    int selected = -1;
    std::vector<int> tops; ///< each entry's top
};

bool selectable(const MenuEntry& e) {
    return !e.separator && e.enabled;
}

void drawLevel(MenuLevel& level) {
    PixelSurface* s = level.popup.surface;
    level.popup.texts.clear();
    const int w = level.popup.width, h = level.popup.height;
    surfaceFillRect(s, 0, 0, w, h, rgb(kMenuFace));
    surfaceLine(s, 0, 0, w - 1, 0, rgb(kMenuBorder));
    surfaceLine(s, w - 1, 0, w - 1, h - 1, rgb(kMenuBorder));
    surfaceLine(s, w - 1, h - 1, 0, h - 1, rgb(kMenuBorder));
    surfaceLine(s, 0, h - 1, 0, 0, rgb(kMenuBorder));
    const auto& entries = *level.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& e = entries[i];
        const int top = level.tops[i];
        if (e.separator) {
            surfaceLine(s, 3, top + 3, w - 3, top + 3, rgb(kMenuBorder));
            continue;
        }
        const bool selected = static_cast<int>(i) == level.selected;
        const std::uint32_t face = selected ? kMenuSelected : kMenuFace;
        const std::uint32_t text = !e.enabled ? kMenuDisabled
                                   : selected ? kMenuSelectedText
                                              : kMenuText;
        surfaceFillRect(s, 1, top, w - 1, top + kItemHeight, rgb(face));
        int tw = 0, th = 0;
        textExtent(e.caption, tw, th);
        const int ty = top + (kItemHeight - th) / 2;
        drawText(level.popup, kMarkWidth + 2, ty, e.caption, text);
        if (e.checked) {
            const int cx = kMarkWidth / 2 + 1, cy = top + kItemHeight / 2;
            if (e.radio) {
                surfaceFillRect(s, cx - 3, cy - 2, cx + 3, cy + 3, rgb(text));
                surfaceFillRect(s, cx - 2, cy - 3, cx + 2, cy + 4, rgb(text));
            } else {
                for (int k = 0; k < 3; ++k) {
                    surfaceLine(s, cx - 4, cy - 1 + k, cx - 1, cy + 2 + k, rgb(text));
                    surfaceLine(s, cx - 1, cy + 2 + k, cx + 5, cy - 4 + k, rgb(text));
                }
            }
        }
        if (!e.items.empty()) {
            const int ax = w - kArrowWidth / 2 - 2, ay = top + kItemHeight / 2;
            for (int k = 0; k < 4; ++k)
                surfaceLine(s, ax - 2 + k, ay - 3 + k, ax - 2 + k, ay + 4 - k, rgb(text));
        }
    }
    level.popup.show();
}

bool openLevel(X11Backend& backend, std::vector<std::unique_ptr<MenuLevel>>& levels,
               const std::vector<MenuEntry>& entries, int x, int y) {
    auto level = std::make_unique<MenuLevel>();
    level->entries = &entries;
    int width = 80, height = 2;
    for (const MenuEntry& e : entries) {
        level->tops.push_back(height);
        if (e.separator) {
            height += kSeparatorHeight;
            continue;
        }
        int tw = 0, th = 0;
        textExtent(e.caption, tw, th);
        width = std::max(width, kMarkWidth + tw + kArrowWidth + 12);
        height += kItemHeight;
    }
    height += 2;
    // Kept on the screen.
    Display* display = backend.ensureDisplay();
    if (display == nullptr) return false;
    const int sw = DisplayWidth(display, backend.screen()),
              sh = DisplayHeight(display, backend.screen());
    x = std::clamp(x, 0, std::max(0, sw - width));
    y = std::clamp(y, 0, std::max(0, sh - height));
    if (!level->popup.open(backend, x, y, width, height, true)) return false;
    level->popup.map();
    drawLevel(*level);
    levels.push_back(std::move(level));
    return true;
}

int entryAt(const MenuLevel& level, int rootY) {
    const int y = rootY - level.popup.y;
    const auto& entries = *level.entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int h = entries[i].separator ? kSeparatorHeight : kItemHeight;
        if (y >= level.tops[i] && y < level.tops[i] + h) return static_cast<int>(i);
    }
    return -1;
}

int step(const MenuLevel& level, int from, int direction) {
    const auto& entries = *level.entries;
    const int n = static_cast<int>(entries.size());
    if (n == 0) return -1;
    int i = from;
    for (int k = 0; k < n; ++k) {
        i = i < 0 ? (direction > 0 ? 0 : n - 1) : (i + direction + n) % n;
        if (selectable(entries[static_cast<std::size_t>(i)])) return i;
    }
    return -1;
}

} // namespace

int X11Backend::trackPopupMenu(WindowHandle, int x, int y, const std::vector<MenuEntry>& items) {
    if (items.empty()) return 0;
    Display* display = ensureDisplay();
    if (display == nullptr) return 0;
    openUiFont(display, screen());
    std::vector<std::unique_ptr<MenuLevel>> levels;
    if (!openLevel(*this, levels, items, x, y)) {
        closeUiFont();
        releaseDisplay();
        return 0;
    }
    // A capture of ours gives way to the menu's grab.
    if (capture_ != nullptr) releaseCapture();
    Window top = levels.front()->popup.id;
    {
        ErrorTrap trap(display);
        XSync(display, False);
        // Owner events on: motion over any of our popups arrives with its own window.
        for (int attempt = 0; attempt < 20; ++attempt) {
            if (XGrabPointer(display, top, True,
                             ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                             GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
                break;
            poll(nullptr, 0, 5);
        }
        XGrabKeyboard(display, top, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    }
    auto closeFrom = [&levels](std::size_t depth) {
        while (levels.size() > depth) {
            levels.back()->popup.close();
            levels.pop_back();
        }
    };
    auto openSub = [&](std::size_t depth) {
        MenuLevel& level = *levels[depth];
        closeFrom(depth + 1);
        if (level.selected < 0) return;
        const MenuEntry& e = (*level.entries)[static_cast<std::size_t>(level.selected)];
        if (e.items.empty() || !e.enabled) return;
        openLevel(*this, levels, e.items, level.popup.x + level.popup.width - 2,
                  level.popup.y + level.tops[static_cast<std::size_t>(level.selected)] - 2);
    };
    int chosen = -1; // -1 open, 0 dismissed, else the id
    bool pressSeen = false;
    while (chosen < 0) {
        if (XPending(display) == 0) {
            afterModalStep();
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 20);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        MenuLevel* levelOf = nullptr;
        std::size_t depth = 0;
        for (std::size_t i = 0; i < levels.size(); ++i)
            if (levels[i]->popup.id == event.xany.window) {
                levelOf = levels[i].get();
                depth = i;
            }
        if (levelOf == nullptr && event.type != KeyPress && event.type != ButtonPress &&
            event.type != ButtonRelease && event.type != MotionNotify) {
            dispatchOther(event);
            continue;
        }
        switch (event.type) {
        case Expose:
            if (levelOf != nullptr && event.xexpose.count == 0) levelOf->popup.show();
            break;
        case MotionNotify: {
            const int rx = event.xmotion.x_root, ry = event.xmotion.y_root;
            for (std::size_t i = levels.size(); i-- > 0;) {
                MenuLevel& level = *levels[i];
                if (!level.popup.contains(rx, ry)) continue;
                const int at = entryAt(level, ry);
                if (at != level.selected && (at < 0 || selectable((*level.entries)[at]))) {
                    level.selected = at;
                    drawLevel(level);
                    openSub(i);
                }
                break;
            }
            break;
        }
        case ButtonPress: {
            pressSeen = true;
            const int rx = event.xbutton.x_root, ry = event.xbutton.y_root;
            bool inside = false;
            for (const auto& level : levels)
                inside = inside || level->popup.contains(rx, ry);
            if (!inside) chosen = 0; // a click outside closes it
            break;
        }
        case ButtonRelease: {
            const int rx = event.xbutton.x_root, ry = event.xbutton.y_root;
            for (std::size_t i = levels.size(); i-- > 0;) {
                MenuLevel& level = *levels[i];
                if (!level.popup.contains(rx, ry)) continue;
                const int at = entryAt(level, ry);
                if (at >= 0) {
                    const MenuEntry& e = (*level.entries)[static_cast<std::size_t>(at)];
                    if (selectable(e) && e.items.empty()) chosen = e.id;
                }
                break;
            }
            (void)pressSeen;
            break;
        }
        case KeyPress: {
            KeySym sym = XLookupKeysym(&event.xkey, 0);
            MenuLevel& level = *levels.back();
            const std::size_t last = levels.size() - 1;
            switch (virtualKeyOf(sym)) {
            case VK_DOWN:
            case VK_UP:
                level.selected = step(level, level.selected, virtualKeyOf(sym) == VK_DOWN ? 1 : -1);
                drawLevel(level);
                break;
            case VK_RIGHT:
            case VK_RETURN: {
                if (level.selected < 0) break;
                const MenuEntry& e = (*level.entries)[static_cast<std::size_t>(level.selected)];
                if (!e.items.empty()) {
                    openSub(last);
                    if (levels.size() > last + 1) {
                        MenuLevel& sub = *levels.back();
                        sub.selected = step(sub, -1, 1);
                        drawLevel(sub);
                    }
                } else if (virtualKeyOf(sym) == VK_RETURN && selectable(e)) {
                    chosen = e.id;
                }
                break;
            }
            case VK_LEFT:
                if (levels.size() > 1) closeFrom(last);
                break;
            case VK_ESCAPE:
                if (levels.size() > 1)
                    closeFrom(last);
                else
                    chosen = 0;
                break;
            default:
                break;
            }
            break;
        }
        default:
            break;
        }
        (void)depth;
    }
    closeFrom(0);
    closeUiFont();
    {
        ErrorTrap trap(display);
        XUngrabPointer(display, CurrentTime);
        XUngrabKeyboard(display, CurrentTime);
    }
    releaseDisplay();
    return chosen;
}

int X11Backend::messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           std::uint32_t flags) {
    Display* display = ensureDisplay();
    if (display == nullptr) return 0;
    const std::uint32_t style = flags & 0x0F;
    const int okAnswer = style == MB_YESNO || style == MB_YESNOCANCEL ? IDYES : IDOK;
    const int escapeAnswer = style == MB_OK ? IDOK : style == MB_YESNO ? IDNO : IDCANCEL;
    const std::string button = okAnswer == IDYES ? "Yes" : "OK";
    openUiFont(display, screen());
    int tw = 0, th = 0;
    textExtent(text, tw, th);
    const int width = std::max(200, tw + 40), height = th + 70;
    const int buttonW = 80, buttonH = 24;
    const TRect buttonRect{(width - buttonW) / 2, height - buttonH - 12, (width + buttonW) / 2,
                           height - 12};
    int x = (DisplayWidth(display, screen()) - width) / 2,
        y = (DisplayHeight(display, screen()) - height) / 2;
    Popup box;
    if (!box.open(*this, x, y, width, height, false)) {
        closeUiFont();
        releaseDisplay();
        return 0;
    }
    {
        ErrorTrap trap(display);
        XStoreName(display, box.id, caption.c_str());
        // Transient for the top-level window that holds the owner.
        if (Window w = idOf(owner)) {
            Window root = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            for (;;) {
                if (!XQueryTree(display, w, &root, &parent, &children, &count)) break;
                if (children != nullptr) XFree(children);
                if (parent == root || parent == 0) break;
                w = parent;
            }
            XSetTransientForHint(display, box.id, w);
        }
        XSizeHints hints{};
        hints.flags = PPosition | PMinSize | PMaxSize;
        hints.x = x;
        hints.y = y;
        hints.min_width = hints.max_width = width;
        hints.min_height = hints.max_height = height;
        XSetWMNormalHints(display, box.id, &hints);
    }
    auto draw = [&](bool pressed) {
        box.texts.clear();
        surfaceFillRect(box.surface, 0, 0, width, height, rgb(kMenuFace));
        drawText(box, 20, 20, text, kMenuText);
        surfaceFillRect(box.surface, buttonRect.Left, buttonRect.Top, buttonRect.Right,
                        buttonRect.Bottom, rgb(kMenuBorder));
        surfaceFillRect(box.surface, buttonRect.Left + 1, buttonRect.Top + 1, buttonRect.Right - 1,
                        buttonRect.Bottom - 1, rgb(pressed ? 0xD0D0D0 : 0xE8E8E8));
        int bw = 0, bh = 0;
        textExtent(button, bw, bh);
        drawText(box, (width - bw) / 2, buttonRect.Top + (buttonH - bh) / 2, button, kMenuText);
        box.show();
    };
    box.map();
    {
        ErrorTrap trap(display);
        XSync(display, False);
        XSetInputFocus(display, box.id, RevertToParent, CurrentTime);
    }
    draw(false);
    int answer = 0;
    bool pressed = false;
    while (answer == 0) {
        if (XPending(display) == 0) {
            afterModalStep();
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, 20);
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.xany.window != box.id) {
            // The editor keeps painting; its input waits until the box is gone.
            if (event.type == Expose || event.type == DestroyNotify) dispatchOther(event);
            continue;
        }
        const auto inButton = [&](int px, int py) {
            return px >= buttonRect.Left && px < buttonRect.Right && py >= buttonRect.Top &&
                   py < buttonRect.Bottom;
        };
        switch (event.type) {
        case Expose:
            draw(pressed);
            break;
        case ButtonPress:
            pressed = event.xbutton.button == Button1 && inButton(event.xbutton.x, event.xbutton.y);
            draw(pressed);
            break;
        case ButtonRelease:
            if (pressed && inButton(event.xbutton.x, event.xbutton.y)) answer = okAnswer;
            pressed = false;
            draw(false);
            break;
        case KeyPress: {
            const int key = virtualKeyOf(XLookupKeysym(&event.xkey, 0));
            if (key == VK_RETURN || key == VK_SPACE) answer = okAnswer;
            if (key == VK_ESCAPE) answer = escapeAnswer;
            break;
        }
        case DestroyNotify:
            answer = escapeAnswer;
            box.id = 0;
            break;
        default:
            break;
        }
    }
    box.close();
    closeUiFont();
    releaseDisplay();
    return answer;
}

Backend& systemBackend() {
    static X11Backend system;
    return system;
}

} // namespace platform
