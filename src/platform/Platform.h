#pragma once
// Everything the plug-in, the runtime and the toolkit ask of an operating system, in three
// groups:
// - process services (any thread): the library's own file, files and folders, locale,
//   terminal, shared libraries;
// - drawing services (user-interface thread): pixel surfaces, text and regions, the same under
//   every backend of a system, because they draw into memory;
// - the backend (user-interface thread): clock, timers and, with the editor, windows and input.
//   One object chosen once: the system's own (posix/ or win32/) unless a test or tool installs
//   the headless one (headless/Headless.h) for a scope.
// The posix/ and win32/ folders implement the services and the system backend.

#include "platform/Geometry.h"
#include "platform/Messages.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// ---- Process services (any thread) ---------------------------------------------------------

/// Full path of the library (or program) file that contains this code; empty if unknown.
std::string libraryFilePath();

/// The system's path separators, the preferred one first ("\\/" on Windows, "/" elsewhere).
std::string_view pathSeparators();

/// The user's own settings folder, without a trailing separator: %APPDATA% on Windows,
/// $XDG_CONFIG_HOME (when absolute) or ~/.config elsewhere. Empty when none is known.
std::string userSettingsFolder();

/// Creates the folder `path` with any missing parents. Answers whether it is a folder now.
bool createFolder(const std::string& path);

/// Replaces the file `target` by the file `source`, which goes away: atomically where the
/// system can (a reader sees the old file or the new one, never neither). A folder in the
/// target's place is never replaced. On failure `source` stays where it is.
bool replaceFile(const std::string& source, const std::string& target);

/// The decimal separator of the user's regional settings ('.' when none can be read).
char decimalSeparator();

/// Whether the process's standard error is an interactive terminal (for progress displays).
bool standardErrorIsTerminal();

/// Loads the shared library at `path` (UTF-8); null on failure, with the reason in `error`.
void* loadLibrary(const std::string& path, std::string& error);

/// Address of the exported `name` in a loaded library; null when it has none.
void* librarySymbol(void* library, const char* name);

/// Releases a library from loadLibrary (null is ignored).
void unloadLibrary(void* library);

/// `bytes` of memory (whole pages, zero) straight from the system, for buffers of a megabyte or
/// more: releaseLargeBlock gives them back whole, where the C++ heap may keep big freed blocks
/// resident. Null when the system refuses.
void* allocateLargeBlock(std::size_t bytes);

/// Gives back a block from allocateLargeBlock, with the size it was asked for; null is ignored.
void releaseLargeBlock(void* block, std::size_t bytes);

/// Lets the system drop the resident pages that lie wholly inside `bytes` of read-only data
/// mapped from the library's file (never written), which it reads back from the file on the
/// next touch. For large constant data read once, such as packed pictures after unpacking.
/// Where the system offers no such hint, nothing happens.
void dropFilePages(const void* data, std::size_t bytes);

// ---- The backend (user-interface thread) ---------------------------------------------------

/// Identifies a running timer; 0 is never a valid timer.
using TimerId = std::uint32_t;

struct PixelSurface;

/// A window of ours (opaque); null is never a window. Other handles (a host's parent window)
/// travel as plain void*.
using WindowHandle = void*;

/// Hears a window's messages in the vocabulary of Messages.h, on the user-interface thread; the
/// backend reads message.Result afterwards. Must not throw.
class WindowSink {
public:
    virtual ~WindowSink() = default;
    virtual void windowMessage(WindowHandle window, TMessage& message) = 0;
};

/// One entry of a popup menu as shown: an item with its id (> 0) and sub-items, or a separator.
struct MenuEntry {
    std::string caption;
    int id = 0;
    bool separator = false;
    bool enabled = true;
    bool checked = false;
    bool radio = false; ///< drawn with a radio mark when checked
    std::vector<MenuEntry> items;
};

/// Pointer shapes for setCursorShape, in the framework's numbering (the runtime's TCursor values
/// are these); a backend shows the arrow for a number it does not know. (`Hidden`, not `None`:
/// X11 defines None as a macro.)
namespace cursor {
enum : int {
    Default = 0, ///< the window's own: the arrow
    Hidden = -1, ///< no pointer over our windows
    Arrow = -2,
    Cross = -3,
    IBeam = -4,
    SizeNESW = -6,
    SizeNS = -7,
    SizeNWSE = -8,
    SizeWE = -9,
    UpArrow = -10,
    HourGlass = -11,
    No = -18,
    HandPoint = -21,
    SizeAll = -22,
};
} // namespace cursor

/// The hooks that differ between the system and the headless backend. Window hooks (child
/// window, paint, capture, cursor, keyboard, menus, message box, shell) join this class with
/// the editor; each gets a one-line comment here and an implementation in every backend.
class Backend {
public:
    virtual ~Backend() = default;

    /// Milliseconds since an arbitrary start, wrapping at 2^32 (the controls' paint stamp).
    virtual std::uint32_t tickCount() = 0;

    /// Start a periodic timer that calls `onTick` every `intervalMs` (> 0) milliseconds on the
    /// user-interface thread. Answers 0 when the system refuses a timer. `onTick` must not throw.
    virtual TimerId startTimer(std::uint32_t intervalMs, std::function<void()> onTick) = 0;

    /// Stop a timer and release what it holds; unknown ids are ignored. Safe inside its own tick.
    virtual void stopTimer(TimerId id) = 0;

    /// Run every timer that is due. Hosts without a message loop of ours (Linux) call this from
    /// their idle entry; on Windows the system's timer messages do the same.
    virtual void runDueTimers() = 0;

    /// Stop every timer of this backend (it is being left).
    virtual void stopAllTimers() = 0;

    /// The host's idle call (effEditIdle): handle waiting window events without blocking, run
    /// due timers and paint what waits.
    virtual void idle() { runDueTimers(); }

    // ---- Windows and input. Client coordinates have (0, 0) at a window's top left corner;
    // screen coordinates are the pointer's. Hooks given an unknown window do nothing (or answer
    // false, 0, an empty rectangle).

    /// Create a visible child window of `parent` (a host's handle or one of ours) at `bounds`
    /// (parent's client coordinates); `sink` hears its messages until destroyWindow. Null, with
    /// the reason in `error`, when the system cannot.
    virtual WindowHandle createChildWindow(void* parent, const TRect& bounds, WindowSink* sink,
                                           std::string& error) = 0;

    /// Destroy a window and its child windows; their sinks hear nothing more.
    virtual void destroyWindow(WindowHandle window) = 0;

    /// Move and size a window within its parent.
    virtual void setWindowBounds(WindowHandle window, const TRect& bounds) = 0;

    /// Show or hide a window.
    virtual void showWindow(WindowHandle window, bool visible) = 0;

    /// Mark a rectangle (null: the whole client area) for painting: WM_PAINT follows when the
    /// system paints, preceded by WM_ERASEBKGND when `erase`.
    virtual void invalidateRect(WindowHandle window, const TRect* rect, bool erase) = 0;

    /// Take a rectangle out of the area waiting for paint.
    virtual void validateRect(WindowHandle window, const TRect& rect) = 0;

    /// Paint a window now when part of it is waiting (WM_PAINT before returning).
    virtual void updateWindow(WindowHandle window) = 0;

    /// Inside WM_PAINT: the rectangle to paint, which stops waiting. Pair with endPaint.
    virtual TRect beginPaint(WindowHandle window) = 0;

    /// End the paint begun by beginPaint.
    virtual void endPaint(WindowHandle window) = 0;

    /// Copy `rect` (client coordinates) to the window from `source` at (sourceX, sourceY).
    virtual void blitToWindow(WindowHandle window, const TRect& rect, PixelSurface* source,
                              int sourceX, int sourceY) = 0;

    /// Copy rows of palette indices (top row first, rect's width bytes each) to `rect` of the
    /// window with `colours` (framework colours) as colour table: the 8-bit display path.
    virtual bool blit8BitToWindow(WindowHandle window, const TRect& rect,
                                  const std::uint8_t* indices, const std::uint32_t* colours,
                                  int colourCount) = 0;

    /// Bits per pixel of the display our windows are on.
    virtual int displayBitsPerPixel() = 0;

    /// Send every mouse message to `window`, wherever the pointer is, until released. The
    /// window losing the capture gets WM_CAPTURECHANGED.
    virtual void setCapture(WindowHandle window) = 0;

    /// Release the mouse capture (WM_CAPTURECHANGED to its holder).
    virtual void releaseCapture() = 0;

    /// The window of ours holding the mouse capture, or null.
    virtual WindowHandle captureWindow() = 0;

    /// The system's own handle of one of our windows, as a host that embeds it wants it (an X
    /// window id on X11); backends whose handles are the system's answer the handle itself.
    virtual void* nativeWindow(WindowHandle window) { return window; }

    /// The pointer's screen position.
    virtual void cursorPos(int& x, int& y) = 0;

    /// Move the pointer to a screen position.
    virtual void setCursorPos(int x, int y) = 0;

    /// Hide (false) or show (true) the pointer, counted as the system counts (visible while
    /// the count is >= 0); answers the new count.
    virtual int showCursor(bool show) = 0;

    /// The pointer's shape over our windows from now on (a `cursor` number, Default 0).
    virtual void setCursorShape(int cursor) = 0;

    /// Map a window's client coordinates to screen coordinates.
    virtual void clientToScreen(WindowHandle window, int& x, int& y) = 0;

    /// Map screen coordinates to a window's client coordinates.
    virtual void screenToClient(WindowHandle window, int& x, int& y) = 0;

    /// The deepest visible window of ours under a screen point, or null.
    virtual WindowHandle windowFromPoint(int x, int y) = 0;

    /// Give the keyboard focus to a window (WM_KILLFOCUS to the old one, WM_SETFOCUS to it).
    virtual void setFocus(WindowHandle window) = 0;

    /// The window of ours that has the keyboard focus, or null (the host has it).
    virtual WindowHandle focusedWindow() = 0;

    /// Whether a key or mouse button (virtual key code) is held down now.
    virtual bool isKeyDown(int virtualKey) = 0;

    /// Show a popup menu at a screen point and wait for the user: the chosen entry's id, or 0.
    /// `percent` is the density of the window that asks (100: the design's size); a backend
    /// that draws its own menus and boxes draws them at it, the system's follow the system.
    virtual int trackPopupMenu(WindowHandle owner, int x, int y,
                               const std::vector<MenuEntry>& items, int percent) = 0;

    /// A modal message box (MB_ flags): the button pressed (IDOK...), 0 when none was shown.
    virtual int messageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           std::uint32_t flags, int percent) = 0;

    /// Open a web address or document with the system shell's "open" verb; false if refused.
    virtual bool shellOpen(WindowHandle owner, const std::string& address) = 0;

    /// The scale the system asks of windows inside the host's window `parent` (1 at 96 dpi);
    /// 0 when it says nothing.
    virtual double displayScale(void* parent) {
        (void)parent;
        return 0;
    }
};

/// The scale an X resource string (XResourceManagerString) asks for: its Xft.dpi over 96; 0
/// without one, or for one that is not a positive number.
double scaleFromXResources(std::string_view resources);

/// The backend in use: the system's own unless another is installed.
Backend& backend();

/// The system's own backend of this build.
Backend& systemBackend();

/// Installs `replacement` as the backend for its lifetime and puts the previous one back at
/// the end; the timers of the backend being left are stopped both ways. Scopes nest; one
/// thread (the user-interface thread) installs and removes them.
class BackendScope {
public:
    explicit BackendScope(Backend& replacement);
    ~BackendScope();
    BackendScope(const BackendScope&) = delete;
    BackendScope& operator=(const BackendScope&) = delete;

private:
    Backend* previous_;
};

// ---- Drawing services (user-interface thread) ----------------------------------------------

/// A 32-bit bottom-up pixel buffer that the system can draw on and copy to a window (Win32: a
/// DIB section in its own memory device context; elsewhere plain memory).
struct PixelSurface;

/// Create a surface; answers null and a message in `error` when the system refuses.
PixelSurface* createPixelSurface(int width, int height, std::uint8_t** pixels, std::string& error);

/// Release a surface and its pixels; null is ignored.
void destroyPixelSurface(PixelSurface* surface);

/// A surface's pixels (bottom-up rows of blue, green, red, alpha) and size; null for null.
std::uint8_t* pixelSurfaceBits(PixelSurface* surface, int& width, int& height);

/// The system drawing handle of a surface (Win32: its device context), or null.
void* pixelSurfaceDC(PixelSurface* surface);

/// Bits per pixel of a device context; 0 for null or unknown handles.
int deviceBitsPerPixel(void* deviceContext);

/// Copy rows of palette indices (top row first, `width` bytes each) to an 8-bit device
/// context at (x, y), with `colours` (framework colours) as the bitmap's colour table.
bool blit8Bit(void* deviceContext, int x, int y, int width, int height, const std::uint8_t* indices,
              const std::uint32_t* colours, int colourCount);

/// Font of surface text: face name (the built-in font ignores it), pixel height, colour.
struct SurfaceFont {
    std::string name;
    int height = 13;
    std::uint32_t colour = 0;
};

/// Opaque fill of [left, right) x [top, bottom) (rows from the top), clipped to the surface.
void surfaceFillRect(PixelSurface* surface, int left, int top, int right, int bottom,
                     std::uint32_t colour);

/// Opaque one-pixel line from (x0, y0) up to but not including (x1, y1), clipped.
void surfaceLine(PixelSurface* surface, int x0, int y0, int x1, int y1, std::uint32_t colour);

/// Opaque text with its top left corner at (x, y), drawn only inside its extent box.
void surfaceText(PixelSurface* surface, int x, int y, const std::string& text,
                 const SurfaceFont& font);

/// Width and height in pixels of `text` in `font` (the surface may be null).
void surfaceTextExtent(PixelSurface* surface, const std::string& text, const SurfaceFont& font,
                       int& width, int& height);

/// A system region (Win32: HRGN) made of `count` rectangles; null when the system refuses.
void* createRegion(const TRect* rects, std::size_t count);

/// Whether pixel (x, y) lies in a region from createRegion (null holds nothing).
bool regionContains(void* region, int x, int y);

/// Release a region from createRegion; null is ignored.
void destroyRegion(void* region);

} // namespace platform
