#pragma once
// A container on a form inside a pretend host window, on the headless backend, and a small
// control that paints a known colour, logs what happens to it and publishes a few properties.

#include "platform/headless/Headless.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"
#include "runtime/Properties.h"
#include "toolkit/cDIBControl.h"
#include "toolkit/cDIBPanel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace toolkit::testing {

/// Paints its whole rectangle in Colour (alpha 255), or nothing when Colour is negative.
class Swatch : public TCustomDIBControl {
public:
    Swatch(runtime::TComponent* owner, std::string label = "",
           std::vector<std::string>* log = nullptr)
        : TCustomDIBControl(owner), label_(std::move(label)), log_(log) {
        publish();
        ImageA = CreateImageLink();
        ImageB = CreateImageLink();
        OnMouseEnter = [this](runtime::TPersistent*) { note("enter"); };
        OnMouseLeave = [this](runtime::TPersistent*) { note("leave"); };
        OnMouseDown = [this](runtime::TPersistent*, runtime::TMouseButton, runtime::TShiftState,
                             int, int) { note("down"); };
        OnClick = [this](runtime::TPersistent*) { note("click"); };
        OnEnter = [this](runtime::TPersistent*) { note("focus"); };
        OnExit = [this](runtime::TPersistent*) { note("unfocus"); };
        OnKeyDown = [this](runtime::TPersistent*, std::uint16_t& key, runtime::TShiftState) {
            note("key " + std::to_string(key));
        };
    }
    std::string ClassName() const override { return "TSwatch"; }

    long long Colour = 0x0000FF; ///< framework colour (red), or < 0: paint nothing
    int GrowBottom = 0;          ///< rows added below the paint rectangle when it meets us
    int Paints = 0;
    int Highlights = 0, Unhighlights = 0;
    std::vector<std::pair<int, TDIBImageChange>> ImageNotices;
    bool FillMenu = false;
    TDIBImageLink* ImageA = nullptr;
    TDIBImageLink* ImageB = nullptr;

    // Published extras for templates.
    std::string Label() const { return caption_; }
    void SetLabel(const std::string& text) { caption_ = text; }
    long double Ratio() const { return ratio_; }
    void SetRatio(long double value) { ratio_ = value; }
    TPointProperty Offset;

protected:
    void Paint() override {
        ++Paints;
        note("paint");
        if (Colour >= 0)
            PaintBuffer()->FillRect(static_cast<TColor>(Colour), 0, 0, Width(), Height());
        // FillRect leaves alpha 0; the back buffer keeps whatever alpha it is given.
    }
    void AdjustUpdateRect(TRect& rect) override {
        const TRect b = BoundsRect();
        if (GrowBottom > 0 && rect.Left < b.Right && b.Left < rect.Right && rect.Top < b.Bottom &&
            b.Top < rect.Bottom)
            rect.Bottom += GrowBottom;
    }
    void Highlight() override { ++Highlights; }
    void Unhighlight() override { ++Unhighlights; }
    void ImageChanged(int index, TDIBImageChange kind) override {
        ImageNotices.emplace_back(index, kind);
    }
    void FillPopupMenu(runtime::TPopupMenu& menu) override;

private:
    void note(const std::string& what) {
        if (log_ != nullptr) log_->push_back(label_ + ":" + what);
    }
    static void publish() {
        static const bool done = [] {
            runtime::PublishClass<Swatch>("TSwatch", "TCustomDIBControl")
                .Object("ImageA", "TDIBImageLink",
                        [](Swatch& s) -> runtime::TPersistent* { return s.ImageA; })
                .Object("ImageB", "TDIBImageLink",
                        [](Swatch& s) -> runtime::TPersistent* { return s.ImageB; })
                .String("Label", &Swatch::Label, &Swatch::SetLabel)
                .Float("Ratio", &Swatch::Ratio, &Swatch::SetRatio)
                .Object("Offset", "TPointProperty",
                        [](Swatch& s) -> runtime::TPersistent* { return &s.Offset; });
            return true;
        }();
        (void)done;
    }
    std::string label_;
    std::vector<std::string>* log_;
    std::string caption_;
    long double ratio_ = 0;
    std::unique_ptr<runtime::TMenuItem> menuItem_;
};

inline void Swatch::FillPopupMenu(runtime::TPopupMenu& menu) {
    if (!FillMenu) return;
    if (menuItem_ == nullptr) {
        menuItem_ = std::make_unique<runtime::TMenuItem>(nullptr);
        menuItem_->SetCaption("Reset");
    }
    menu.Items()->Add(menuItem_.get());
}

/// A form at screen (100, 50) holding a 120 x 80 container in blue (framework colour 0xFF0000).
class ContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless.setForeignParentOrigin(100, 50);
        form = runtime::MakeForm<runtime::TForm>(nullptr);
        form->SetParentWindow(&host);
        form->SetBounds(0, 0, 120, 80);
        box = runtime::TComponent::Create<TDIBContainer>(form.get());
        box->SetParent(form.get());
        box->SetBounds(0, 0, 120, 80);
        box->SetColor(kBackground);
        form->ShowForm();
        headless.paintWaiting();
    }

    Swatch* make(const std::string& label, TRect bounds, long long colour) {
        Swatch* s = runtime::TComponent::Create<Swatch>(form.get(), label, &log);
        s->SetBoundsRect(bounds);
        s->Colour = colour;
        return s;
    }
    /// The colour on screen at a container point, as a framework colour.
    TColor screen(int x, int y) const {
        return platform::SwapRedBlue(headless.pixel(box->Handle(), x, y));
    }
    const platform::HeadlessWindow& window() const { return *headless.window(box->Handle()); }
    /// Screen position of a container point.
    void at(int x, int y, int& sx, int& sy) { headless.screenPoint(box->Handle(), x, y, sx, sy); }
    void click(int x, int y) {
        int sx = 0, sy = 0;
        at(x, y, sx, sy);
        headless.click(platform::MouseButton::Left, sx, sy);
    }
    void move(int x, int y) {
        int sx = 0, sy = 0;
        at(x, y, sx, sy);
        headless.mouseMove(sx, sy);
    }
    void count(const std::string& entry, int expected) {
        int n = 0;
        for (const auto& e : log)
            n += e == entry ? 1 : 0;
        EXPECT_EQ(n, expected) << entry;
    }

    static constexpr TColor kBackground = 0xFF0000;
    platform::HeadlessSession headless;
    int host = 0;
    std::unique_ptr<runtime::TForm> form;
    TDIBContainer* box = nullptr;
    std::vector<std::string> log;
};

} // namespace toolkit::testing
