#pragma once
// Popup menus and message boxes drawn by us, for a backend whose system offers none (X11): the
// layout, the pictures, pointer and keyboard navigation and the modal loop are written once here,
// over a few hooks by which the backend shows a picture in a top-level window and reports the
// input that reaches it. Windows shows its own menus and boxes; headless records them.
// Everything is laid out in design pixels (100 %) and drawn at the asking window's density, each
// edge at floor(x * percent / 100 + 1/2) as the editor's pictures place theirs.

#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::detail {

/// A top-level window of the backend's that shows a picture of ours.
class PopupWindow {
public:
    virtual ~PopupWindow() = default;
    /// The picture, of the window's size.
    virtual PixelSurface* surface() = 0;
    /// Text with its top left corner at (x, y) in the system's font, over the picture (or in the
    /// built-in font into it, where the system has none). Kept until clearTexts.
    virtual void drawText(int x, int y, const std::string& text, std::uint32_t colour) = 0;
    virtual void clearTexts() = 0;
    /// Put the picture and its texts on the screen.
    virtual void present() = 0;
};

/// One input event of a modal popup, in the backend's words translated.
struct PopupEvent {
    enum class Kind { Exposed, Moved, Pressed, Released, KeyPressed, Closed };
    Kind kind = Kind::Exposed;
    PopupWindow* window = nullptr; ///< where it happened; null: elsewhere, under a menu's grab
    int rootX = 0, rootY = 0;      ///< pointer events: the screen point
    int x = 0, y = 0;              ///< pointer events: the point in `window`
    bool primary = false;          ///< button events: the primary button
    int virtualKey = 0;            ///< key presses
};

enum class PopupKind { Menu, Dialog };

/// The pixel size of menu and box texts at 100 %: 8 pt at 96 dots per inch.
inline constexpr int kTextPixels = 11;

/// What a backend gives the drawn menus and boxes.
class PopupSystem {
public:
    virtual ~PopupSystem() = default;
    /// A mapped top-level window at a screen rectangle: an unmanaged one for a menu level, a
    /// dialog with a caption, kept above `owner`'s top-level window, for a box. Null if refused.
    virtual std::unique_ptr<PopupWindow> openPopup(const TRect& screenRect, PopupKind kind,
                                                   WindowHandle owner,
                                                   const std::string& caption) = 0;
    virtual void screenSize(int& width, int& height) = 0;
    /// The pixel size of the texts measured and drawn from now on (kTextPixels at 100 %); told
    /// before anything is measured.
    virtual void setTextSize(int pixels) = 0;
    virtual void textExtent(const std::string& text, int& width, int& height) = 0;
    /// Take the pointer and keyboard for a menu whose first level is `top`; null gives them back.
    virtual void grabInput(PopupWindow* top) = 0;
    /// The next event for the popups, after waiting a little for one; false when none came. The
    /// backend's own windows keep painting and hearing their other events meanwhile.
    virtual bool nextEvent(PopupEvent& event) = 0;
};

/// Shows a menu at a screen point, drawn at `percent` (below 1: 100), until the user chooses
/// (the entry's id) or dismisses it (0).
int runPopupMenu(PopupSystem& system, int x, int y, const std::vector<MenuEntry>& items,
                 int percent);

/// Shows a message box (MB_ flags) drawn at `percent` until answered: the button's id (IDOK,
/// IDYES...); 0 when the box could not be shown.
int runMessageBox(PopupSystem& system, WindowHandle owner, const std::string& text,
                  const std::string& caption, std::uint32_t flags, int percent);

} // namespace platform::detail
