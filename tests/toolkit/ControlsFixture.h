#pragma once
// The published controls inside a container on a form in a pretend host window, on the headless
// backend, with an image list of generated pictures and helpers that drive the pointer and the
// keyboard in container coordinates.

#include "platform/headless/Headless.h"
#include "runtime/Forms.h"
#include "toolkit/cDIBImageList.h"
#include "toolkit/cDIBPanel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace toolkit::testing {

/// A frame colour that differs for every frame and from the background.
inline TColor FrameColour(int frame) {
    return static_cast<TColor>(0x102030 + frame * 0x070503);
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless.setForeignParentOrigin(100, 50);
        form = runtime::MakeForm<runtime::TForm>(nullptr);
        form->SetParentWindow(&host);
        form->SetBounds(0, 0, 200, 150);
        box = runtime::TComponent::Create<TDIBContainer>(form.get());
        box->SetParent(form.get());
        box->SetBounds(0, 0, 200, 150);
        box->SetColor(kBackground);
        images = runtime::TComponent::Create<TDIBImageList>(form.get());
        form->ShowForm();
        headless.paintWaiting();
    }

    template <class T>
    T* make(int left, int top) {
        T* control = runtime::TComponent::Create<T>(form.get());
        control->SetDIBImageList(images);
        control->SetLeft(left);
        control->SetTop(top);
        return control;
    }

    /// A strip of `frames` opaque frames, each frameWidth x height in FrameColour(frame).
    int addStrip(int frames, int frameWidth, int height) {
        TDIBImagesItem* item = images->DIBImages().Add();
        TMemoryDIB& dib = item->DIB();
        dib.SetSize(frames * frameWidth, height);
        for (int f = 0; f < frames; ++f)
            fill(dib, FrameColour(f), 255, f * frameWidth, 0, frameWidth, height);
        return item->Index();
    }
    /// A width x height picture of `colour`, alpha 0 outside (x, y, w, h) where it is 255.
    int addSpot(int width, int height, TColor colour, int x, int y, int w, int h) {
        TDIBImagesItem* item = images->DIBImages().Add();
        TMemoryDIB& dib = item->DIB();
        dib.SetSize(width, height);
        fill(dib, colour, 0, 0, 0, width, height);
        fill(dib, colour, 255, x, y, w, h);
        dib.SetMasked(true);
        return item->Index();
    }
    static void fill(TAbstractSuperDIB& dib, TColor colour, std::uint8_t alpha, int x, int y, int w,
                     int h) {
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) {
                std::uint8_t* p = dib.RowPointer(j) + i * 4;
                p[0] = static_cast<std::uint8_t>(colour >> 16);
                p[1] = static_cast<std::uint8_t>(colour >> 8);
                p[2] = static_cast<std::uint8_t>(colour);
                p[3] = alpha;
            }
    }

    /// The colour on screen at a container point, as a framework colour.
    TColor screen(int x, int y) const {
        return platform::SwapRedBlue(headless.pixel(box->Handle(), x, y)) & 0xFFFFFF;
    }
    void at(int x, int y, int& sx, int& sy) { headless.screenPoint(box->Handle(), x, y, sx, sy); }
    void move(int x, int y) {
        int sx = 0, sy = 0;
        at(x, y, sx, sy);
        headless.mouseMove(sx, sy);
    }
    void down(int x, int y, platform::MouseButton button = platform::MouseButton::Left) {
        int sx = 0, sy = 0;
        at(x, y, sx, sy);
        headless.mouseDown(button, sx, sy);
    }
    void up(int x, int y, platform::MouseButton button = platform::MouseButton::Left) {
        int sx = 0, sy = 0;
        at(x, y, sx, sy);
        headless.mouseUp(button, sx, sy);
    }
    void click(int x, int y, platform::MouseButton button = platform::MouseButton::Left) {
        int sx = 0, sy = 0;
        at(x, y, sx, sy);
        headless.click(button, sx, sy);
    }
    /// Press at (x, y), move to (x + dx, y + dy) in `steps` equal steps, release wherever the
    /// pointer is then (a knob puts it back), and let the double-click time pass.
    void drag(int x, int y, int dx, int dy, int steps = 1) {
        down(x, y);
        for (int i = 1; i <= steps; ++i)
            move(x + dx * i / steps, y + dy * i / steps);
        int px = 0, py = 0;
        headless.cursorPos(px, py);
        headless.mouseUp(platform::MouseButton::Left, px, py);
        headless.advanceClock(1000);
    }

    static constexpr TColor kBackground = 0x804020;
    platform::HeadlessSession headless;
    int host = 0;
    std::unique_ptr<runtime::TForm> form;
    TDIBContainer* box = nullptr;
    TDIBImageList* images = nullptr;
};

} // namespace toolkit::testing
