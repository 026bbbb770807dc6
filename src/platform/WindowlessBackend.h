#pragma once
// Window hooks for a system backend whose real windows are not built yet: creating a window
// fails with a clear reason, everything that needs a window answers neutrally, and the pointer
// and keyboard questions say "nothing of ours". Not part of the platform interface.

#include "platform/Platform.h"

namespace platform::detail {

class WindowlessBackend : public Backend {
public:
    WindowHandle createChildWindow(void*, const TRect&, WindowSink*, std::string& error) override {
        error = "Windows are not available on this system's backend yet";
        return nullptr;
    }
    void destroyWindow(WindowHandle) override {}
    void setWindowBounds(WindowHandle, const TRect&) override {}
    void showWindow(WindowHandle, bool) override {}
    void invalidateRect(WindowHandle, const TRect*, bool) override {}
    void validateRect(WindowHandle, const TRect&) override {}
    void updateWindow(WindowHandle) override {}
    TRect beginPaint(WindowHandle) override { return {}; }
    void endPaint(WindowHandle) override {}
    void blitToWindow(WindowHandle, const TRect&, PixelSurface*, int, int) override {}
    bool blit8BitToWindow(WindowHandle, const TRect&, const std::uint8_t*, const std::uint32_t*,
                          int) override {
        return false;
    }
    int displayBitsPerPixel() override { return 32; }
    void setCapture(WindowHandle) override {}
    void releaseCapture() override {}
    WindowHandle captureWindow() override { return nullptr; }
    void cursorPos(int& x, int& y) override { x = y = 0; }
    void setCursorPos(int, int) override {}
    int showCursor(bool show) override { return show ? 0 : -1; }
    void setCursorShape(int) override {}
    void clientToScreen(WindowHandle, int&, int&) override {}
    void screenToClient(WindowHandle, int&, int&) override {}
    WindowHandle windowFromPoint(int, int) override { return nullptr; }
    void setFocus(WindowHandle) override {}
    WindowHandle focusedWindow() override { return nullptr; }
    bool isKeyDown(int) override { return false; }
    int trackPopupMenu(WindowHandle, int, int, const std::vector<MenuEntry>&, int) override {
        return 0;
    }
    int messageBox(WindowHandle, const std::string&, const std::string&, std::uint32_t,
                   int) override {
        return 0;
    }
    bool shellOpen(WindowHandle, const std::string&) override { return false; }
};

} // namespace platform::detail
