// The drawn menus and message boxes on X11: top-level windows showing their pictures, texts in
// the system font where Xft is at hand, and the events of one modal loop.
#include "platform/DrawnMenus.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Keys.h"

#include <X11/Xutil.h>
#if defined(WADLING_HAVE_XFT)
#include <X11/Xft/Xft.h>
#endif
#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::x11 {

namespace {

// The built-in font, where the system has none.
SurfaceFont builtInFont(int pixels, std::uint32_t colour) {
    SurfaceFont font;
    font.name = "Sans";
    font.height = pixels;
    font.colour = colour;
    return font;
}

// The system font of menus and boxes while one is open (null: the built-in font).
class UiFont {
public:
    UiFont(Display* display, int screen, int pixels) : display_(display), pixels_(pixels) {
#if defined(WADLING_HAVE_XFT)
        // fontconfig picks the nearest sans-serif face it has.
        const std::string pattern =
            "sans-serif:pixelsize=" + std::to_string(pixels) + ":antialias=true";
        font_ = XftFontOpenName(display, screen, pattern.c_str());
#else
        (void)screen;
#endif
    }
    ~UiFont() {
#if defined(WADLING_HAVE_XFT)
        if (font_ != nullptr) XftFontClose(display_, font_);
#endif
    }
    UiFont(const UiFont&) = delete;
    UiFont& operator=(const UiFont&) = delete;

    bool present() const {
#if defined(WADLING_HAVE_XFT)
        return font_ != nullptr;
#else
        return false;
#endif
    }

    void extent(const std::string& text, int& width, int& height) const {
#if defined(WADLING_HAVE_XFT)
        if (font_ != nullptr) {
            XGlyphInfo info{};
            XftTextExtentsUtf8(display_, font_, reinterpret_cast<const FcChar8*>(text.data()),
                               static_cast<int>(text.size()), &info);
            width = info.xOff;
            height = font_->ascent + font_->descent;
            return;
        }
#endif
        surfaceTextExtent(nullptr, text, builtInFont(pixels_, 0), width, height);
    }

    struct Text {
        int x, y;
        std::string text;
        std::uint32_t colour;
    };

    void draw(Window window, const std::vector<Text>& texts) const {
#if defined(WADLING_HAVE_XFT)
        if (font_ == nullptr || texts.empty()) return;
        const int screen = DefaultScreen(display_);
        Visual* visual = DefaultVisual(display_, screen);
        const Colormap colormap = DefaultColormap(display_, screen);
        XftDraw* draw = XftDrawCreate(display_, window, visual, colormap);
        if (draw == nullptr) return;
        for (const Text& t : texts) {
            XRenderColor c{static_cast<unsigned short>((t.colour & 0xFF) * 0x101),
                           static_cast<unsigned short>(((t.colour >> 8) & 0xFF) * 0x101),
                           static_cast<unsigned short>(((t.colour >> 16) & 0xFF) * 0x101), 0xFFFF};
            XftColor colour{};
            if (!XftColorAllocValue(display_, visual, colormap, &c, &colour)) continue;
            XftDrawStringUtf8(draw, &colour, font_, t.x, t.y + font_->ascent,
                              reinterpret_cast<const FcChar8*>(t.text.data()),
                              static_cast<int>(t.text.size()));
            XftColorFree(display_, visual, colormap, &colour);
        }
        XftDrawDestroy(draw);
#else
        (void)window;
        (void)texts;
#endif
    }

    int pixels() const {
        return pixels_;
    }

private:
    Display* display_;
    int pixels_;
#if defined(WADLING_HAVE_XFT)
    XftFont* font_ = nullptr;
#endif
};

class X11Popup;

// One modal menu or box: its popups, its font, its grab and its event source.
class X11PopupSystem final : public detail::PopupSystem {
public:
    X11PopupSystem(X11Backend& backend, Display* display)
        : backend_(backend), display_(display),
          font_(std::make_unique<UiFont>(display, backend.screen(), detail::kTextPixels)) {}
    ~X11PopupSystem() override {
        font_.reset(); // before the connection may close
        backend_.releaseDisplay();
    }

    std::unique_ptr<detail::PopupWindow> openPopup(const TRect& rect, detail::PopupKind kind,
                                                   WindowHandle owner,
                                                   const std::string& caption) override;
    void screenSize(int& width, int& height) override {
        width = DisplayWidth(display_, backend_.screen());
        height = DisplayHeight(display_, backend_.screen());
    }
    void setTextSize(int pixels) override {
        if (pixels != font_->pixels())
            font_ = std::make_unique<UiFont>(display_, backend_.screen(), pixels);
    }
    void textExtent(const std::string& text, int& width, int& height) override {
        font_->extent(text, width, height);
    }
    void grabInput(detail::PopupWindow* top) override;
    bool nextEvent(detail::PopupEvent& event) override;

    void forget(X11Popup* popup) { std::erase(popups_, popup); }
    const UiFont& font() const { return *font_; }
    Display* display() const { return display_; }

private:
    void setOwnerHints(Window box, WindowHandle owner, const TRect& rect,
                       const std::string& caption);
    X11Popup* popupOf(Window id) const;

    X11Backend& backend_;
    Display* display_;
    std::unique_ptr<UiFont> font_;
    std::vector<X11Popup*> popups_;
    bool grabbed_ = false;
};

class X11Popup final : public detail::PopupWindow {
public:
    X11Popup(X11PopupSystem& system, Window id, PixelSurface* surface, std::uint8_t* bits,
             int width, int height)
        : system_(system), id_(id), surface_(surface), bits_(bits), width_(width), height_(height) {
    }
    ~X11Popup() override {
        system_.forget(this);
        if (id_ != 0) {
            ErrorTrap trap(system_.display());
            XDestroyWindow(system_.display(), id_);
        }
        destroyPixelSurface(surface_);
    }
    X11Popup(const X11Popup&) = delete;
    X11Popup& operator=(const X11Popup&) = delete;

    PixelSurface* surface() override { return surface_; }
    void drawText(int x, int y, const std::string& text, std::uint32_t colour) override {
        if (system_.font().present())
            texts_.push_back({x, y, text, colour});
        else
            surfaceText(surface_, x, y, text, builtInFont(system_.font().pixels(), colour));
    }
    void clearTexts() override { texts_.clear(); }
    void present() override;

    Window id() const { return id_; }
    void lost() { id_ = 0; } // the server destroyed it

private:
    X11PopupSystem& system_;
    Window id_;
    PixelSurface* surface_;
    std::uint8_t* bits_;
    int width_, height_;
    std::vector<UiFont::Text> texts_; ///< drawn with the system font over the picture
};

void X11Popup::present() {
    if (id_ == 0) return;
    Display* d = system_.display();
    // Surfaces are bottom-up; the image is top-down, made for each frame (a popup is small).
    auto* data = static_cast<char*>(std::malloc(static_cast<std::size_t>(width_) * height_ * 4));
    if (data == nullptr) return;
    XImage* image =
        XCreateImage(d, DefaultVisual(d, DefaultScreen(d)),
                     static_cast<unsigned>(DefaultDepth(d, DefaultScreen(d))), ZPixmap, 0, data,
                     static_cast<unsigned>(width_), static_cast<unsigned>(height_), 32, width_ * 4);
    if (image == nullptr || image->bits_per_pixel != 32) {
        if (image != nullptr)
            XDestroyImage(image);
        else
            std::free(data);
        return;
    }
    for (int row = 0; row < height_; ++row)
        std::memcpy(image->data + static_cast<std::size_t>(row) * image->bytes_per_line,
                    bits_ + static_cast<std::size_t>(height_ - 1 - row) * width_ * 4,
                    static_cast<std::size_t>(width_) * 4);
    ErrorTrap trap(d);
    XPutImage(d, id_, DefaultGC(d, DefaultScreen(d)), image, 0, 0, 0, 0,
              static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    XDestroyImage(image);
    system_.font().draw(id_, texts_);
    XFlush(d);
}

std::unique_ptr<detail::PopupWindow> X11PopupSystem::openPopup(const TRect& rect,
                                                               detail::PopupKind kind,
                                                               WindowHandle owner,
                                                               const std::string& caption) {
    const int width = rect.Right - rect.Left, height = rect.Bottom - rect.Top;
    std::string error;
    std::uint8_t* bits = nullptr;
    PixelSurface* surface = createPixelSurface(width, height, &bits, error);
    if (surface == nullptr) return nullptr;
    const bool menu = kind == detail::PopupKind::Menu;
    XSetWindowAttributes a{};
    a.override_redirect = menu ? True : False;
    a.colormap = DefaultColormap(display_, backend_.screen());
    a.border_pixel = 0;
    a.background_pixmap = None;
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                   KeyPressMask | StructureNotifyMask;
    Window id = 0;
    {
        ErrorTrap trap(display_);
        id = XCreateWindow(
            display_, backend_.rootWindow(), rect.Left, rect.Top, static_cast<unsigned>(width),
            static_cast<unsigned>(height), 0, backend_.depth(), InputOutput, backend_.visual(),
            CWOverrideRedirect | CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &a);
        if (!menu) setOwnerHints(id, owner, rect, caption);
        XMapRaised(display_, id);
        if (!menu) {
            XSync(display_, False);
            XSetInputFocus(display_, id, RevertToParent, CurrentTime);
        }
    }
    auto popup = std::make_unique<X11Popup>(*this, id, surface, bits, width, height);
    popups_.push_back(popup.get());
    return popup;
}

void X11PopupSystem::setOwnerHints(Window box, WindowHandle owner, const TRect& rect,
                                   const std::string& caption) {
    XStoreName(display_, box, caption.c_str());
    // Transient for the top-level window that holds the owner.
    if (Window w = backend_.idOf(owner)) {
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        for (;;) {
            if (!XQueryTree(display_, w, &root, &parent, &children, &count)) break;
            if (children != nullptr) XFree(children);
            if (parent == root || parent == 0) break;
            w = parent;
        }
        XSetTransientForHint(display_, box, w);
    }
    XSizeHints hints{};
    hints.flags = PPosition | PMinSize | PMaxSize;
    hints.x = rect.Left;
    hints.y = rect.Top;
    hints.min_width = hints.max_width = rect.Right - rect.Left;
    hints.min_height = hints.max_height = rect.Bottom - rect.Top;
    XSetWMNormalHints(display_, box, &hints);
}

void X11PopupSystem::grabInput(detail::PopupWindow* top) {
    ErrorTrap trap(display_);
    if (top == nullptr) {
        XUngrabPointer(display_, CurrentTime);
        XUngrabKeyboard(display_, CurrentTime);
        grabbed_ = false;
        return;
    }
    // A capture of ours gives way to the menu's grab.
    if (backend_.captureWindow() != nullptr) backend_.releaseCapture();
    const Window id = static_cast<X11Popup*>(top)->id();
    XSync(display_, False);
    // Owner events on: motion over any of our popups arrives with its own window.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (XGrabPointer(display_, id, True,
                         ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                         GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
            break;
        poll(nullptr, 0, 5);
    }
    XGrabKeyboard(display_, id, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    grabbed_ = true;
}

X11Popup* X11PopupSystem::popupOf(Window id) const {
    for (X11Popup* p : popups_)
        if (p->id() == id && id != 0) return p;
    return nullptr;
}

bool X11PopupSystem::nextEvent(detail::PopupEvent& out) {
    using Kind = detail::PopupEvent::Kind;
    if (XPending(display_) == 0) {
        backend_.afterModalStep();
        pollfd fd{ConnectionNumber(display_), POLLIN, 0};
        poll(&fd, 1, 20);
        return false;
    }
    XEvent event;
    XNextEvent(display_, &event);
    X11Popup* popup = popupOf(event.xany.window);
    const bool input = event.type == KeyPress || event.type == ButtonPress ||
                       event.type == ButtonRelease || event.type == MotionNotify;
    if (popup == nullptr) {
        // Our other windows keep painting; their input belongs to a menu's grab, or waits.
        if (!input) backend_.dispatch(event);
        if (!input || !grabbed_) return false;
    }
    out.window = popup;
    switch (event.type) {
    case Expose:
        if (event.xexpose.count != 0) return false;
        out.kind = Kind::Exposed;
        return true;
    case DestroyNotify:
        popup->lost();
        out.kind = Kind::Closed;
        return true;
    case MotionNotify:
        out.kind = Kind::Moved;
        out.rootX = event.xmotion.x_root;
        out.rootY = event.xmotion.y_root;
        out.x = event.xmotion.x;
        out.y = event.xmotion.y;
        return true;
    case ButtonPress:
    case ButtonRelease:
        out.kind = event.type == ButtonPress ? Kind::Pressed : Kind::Released;
        out.rootX = event.xbutton.x_root;
        out.rootY = event.xbutton.y_root;
        out.x = event.xbutton.x;
        out.y = event.xbutton.y;
        out.primary = event.xbutton.button == Button1;
        return true;
    case KeyPress:
        out.kind = Kind::KeyPressed;
        out.virtualKey = virtualKeyOf(XLookupKeysym(&event.xkey, 0));
        return true;
    default:
        return false;
    }
}

} // namespace

int X11Backend::trackPopupMenu(WindowHandle, int x, int y, const std::vector<MenuEntry>& items,
                               int percent) {
    if (items.empty()) return 0;
    Display* display = ensureDisplay();
    if (display == nullptr) return 0;
    X11PopupSystem system(*this, display);
    return detail::runPopupMenu(system, x, y, items, percent);
}

int X11Backend::messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           std::uint32_t flags, int percent) {
    Display* display = ensureDisplay();
    if (display == nullptr) return 0;
    X11PopupSystem system(*this, display);
    return detail::runMessageBox(system, owner, text, caption, flags, percent);
}

} // namespace platform::x11
