#include "toolkit/cDIBKnob.h"

#include "runtime/Mouse.h"
#include "runtime/Properties.h"
#include "toolkit/cDIBFeatures.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace toolkit {

using runtime::TMessage;
using runtime::TMouseButton;
using runtime::TShiftState;

namespace {

constexpr int kMaxInc = 32767;

TKnobInc toInc(int value) {
    return static_cast<TKnobInc>(std::clamp(value, 1, kMaxInc));
}

int clampToInt(std::int64_t value) {
    return static_cast<int>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

void registerKnobClasses() {
    static const bool done = [] {
        runtime::PublishClass<TCustomDIBKnob>("TCustomDIBKnob", "TCustomDIBControl");
        using K = TDIBKnob;
        runtime::PublishClass<K>("TDIBKnob", "TCustomDIBKnob")
            .Boolean("AutoSize", &K::AutoSize, &K::SetAutoSize)
            .Boolean("DrawTweens", &K::DrawTweens, &K::SetDrawTweens)
            .Boolean("LoopLastFrame", &K::LoopLastFrame, &K::SetLoopLastFrame)
            .Integer("Min", &K::Min, &K::SetMin)
            .Integer("Max", &K::Max, &K::SetMax)
            .Integer("NumGlyphs", &K::NumGlyphs, &K::SetNumGlyphs)
            .Integer("Opacity", &K::Opacity, &K::SetOpacity, "Byte")
            .Enumeration("Orientation", "TKnobOrientation", {"koVertical", "koHorizontal"},
                         &K::Orientation, &K::SetOrientation)
            .Integer("PageSize", &K::PageSize, &K::SetPageSize, "TKnobInc")
            .Integer("Position", &K::Position, &K::SetPosition)
            .Integer("SmallChange", &K::SmallChange, &K::SetSmallChange, "TKnobInc")
            .Boolean("UseFineTune", &K::UseFineTune, &K::SetUseFineTune)
            .Object("IndexMain", "TDIBImageLink",
                    [](K& k) -> runtime::TPersistent* { return k.IndexMain(); })
            .Object("DIBFeatures", "TDIBFeatures",
                    [](K& k) -> runtime::TPersistent* { return &DIBFeaturesOf(k); });
        return true;
    }();
    (void)done;
}

} // namespace

TCustomDIBKnob::TCustomDIBKnob(runtime::TComponent* owner) : TCustomDIBControl(owner) {
    indexMain_ = CreateImageLink();
    DIBFeaturesOf(*this);
    StoreAutoSize(true);
}

TCustomDIBKnob::~TCustomDIBKnob() {
    // A knob freed in the middle of a drag must not leave the pointer hidden.
    if (dragging_) runtime::ShowCursor(true);
}

void TCustomDIBKnob::SetMax(int value) {
    value = std::max(value, INT_MIN + 1); // Min has to fit below it
    max_ = value;
    if (min_ >= value) SetMin(value - 1);
    range_ = std::int64_t(max_) - min_;
    if (max_ < position_) SetPosition(max_);
    Invalidate();
}

void TCustomDIBKnob::SetMin(int value) {
    value = std::min(value, INT_MAX - 1); // Max has to fit above it
    min_ = value;
    if (value >= max_) SetMax(value + 1);
    range_ = std::int64_t(max_) - min_;
    if (position_ < min_) SetPosition(min_);
    Invalidate();
}

void TCustomDIBKnob::SetPosition(int value) {
    if (value < min_)
        value = min_;
    else if (value > max_)
        value = max_;
    if (value != position_) {
        position_ = value;
        fraction_ = static_cast<float>(static_cast<double>(std::int64_t(position_) - min_) /
                                       static_cast<double>(range_));
        if (OnChange) OnChange(this);
    }
    Invalidate();
}

void TCustomDIBKnob::SetSmallChange(int value) {
    smallChange_ = toInc(value);
}

void TCustomDIBKnob::SetPageSize(int value) {
    pageSize_ = toInc(value);
}

void TCustomDIBKnob::SetNumGlyphs(int value) {
    if (value <= 0) throw EDIBKnobError("NumGlyphs must be greater than 0.");
    numGlyphs_ = value;
    AdjustSize();
    Invalidate();
}

void TCustomDIBKnob::SetDrawTweens(bool value) {
    drawTweens_ = value;
    Invalidate();
}

void TCustomDIBKnob::SetLoopLastFrame(bool value) {
    loopLastFrame_ = value;
    Invalidate();
}

void TCustomDIBKnob::SetOrientation(TKnobOrientation value) {
    orientation_ = value == koHorizontal ? koHorizontal : koVertical;
}

int TCustomDIBKnob::GetFrameIndex() const {
    // At most (2^32 - 1) * (2^31 - 1): the product fits in 64 bits.
    return static_cast<int>((std::int64_t(position_) - min_) * numGlyphs_ /
                            (std::int64_t(max_) - min_ + 1));
}

bool TCustomDIBKnob::CanAutoSize(int& width, int& height) {
    return FrameSize(*indexMain_, numGlyphs_, width, height);
}

void TCustomDIBKnob::Paint() {
    TCustomDIBControl::Paint();
    TAbstractSuperDIB* image = nullptr;
    TAbstractSuperDIB* buffer = PaintBuffer();
    if (buffer == nullptr || !indexMain_->GetImage(image)) return;
    if (drawTweens_)
        image->DrawGlyphTween(0, 0, loopLastFrame_, position_, max_, min_, *buffer, numGlyphs_);
    else
        image->DrawGlyph(0, 0, *buffer, numGlyphs_, GetFrameIndex());
}

void TCustomDIBKnob::StartKnobDrag() {
    dragging_ = true;
    pendingDrag_ = 0;
    dragStart_ = runtime::CursorPos();
    runtime::ShowCursor(false);
}

void TCustomDIBKnob::EndKnobDrag() {
    dragging_ = false;
    runtime::SetCursorPos(dragStart_);
    runtime::ShowCursor(true);
}

void TCustomDIBKnob::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomDIBControl::MouseDown(button, shift, x, y);
    if (button == TMouseButton::mbLeft && !dragging_) StartKnobDrag();
}

void TCustomDIBKnob::MouseMove(TShiftState shift, int x, int y) {
    TCustomDIBControl::MouseMove(shift, x, y);
    if (!dragging_) return;
    const runtime::TPoint p = runtime::CursorPos();
    const std::int64_t d = orientation_ == koVertical ? std::int64_t(dragStart_.Y) - p.Y
                                                      : std::int64_t(p.X) - dragStart_.X;
    if (d == 0) return;
    // The pointer goes back to the start after every move: a part of a drag pixel would be
    // lost with it, so it waits for the next move.
    pendingDrag_ += d * 100;
    const std::int64_t pixels = pendingDrag_ / pixelPercent_;
    pendingDrag_ -= pixels * pixelPercent_;
    if (pixels != 0) {
        const int step = useFineTune_ && (shift & runtime::ssShift) == 0 ? pageSize_ : smallChange_;
        SetPosition(clampToInt(position_ + pixels * step));
    }
    runtime::SetCursorPos(dragStart_);
}

void TCustomDIBKnob::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    TCustomDIBControl::MouseUp(button, shift, x, y);
    if (button == TMouseButton::mbLeft && dragging_) EndKnobDrag();
}

void TCustomDIBKnob::HandleKeyDown(TMessage& message) {
    TCustomDIBControl::HandleKeyDown(message);
    // The base leaves the key as OnKeyDown left it: 0 when the handler took it.
    switch (static_cast<int>(message.WParam)) {
    case runtime::VK_PRIOR:
        SetPosition(clampToInt(std::int64_t(position_) + pageSize_));
        break;
    case runtime::VK_NEXT:
        SetPosition(clampToInt(std::int64_t(position_) - pageSize_));
        break;
    case runtime::VK_UP:
    case runtime::VK_RIGHT:
        SetPosition(clampToInt(std::int64_t(position_) + smallChange_));
        break;
    case runtime::VK_DOWN:
    case runtime::VK_LEFT:
        SetPosition(clampToInt(std::int64_t(position_) - smallChange_));
        break;
    default:
        break;
    }
}

TDIBKnob::TDIBKnob(runtime::TComponent* owner) : TCustomDIBKnob(owner) {
    registerKnobClasses();
    for (const char* name : {"AutoSize", "DrawTweens", "LoopLastFrame", "Min", "Max", "NumGlyphs",
                             "Opacity", "Orientation", "PageSize", "Position", "SmallChange"})
        RegisterTemplateProperty(name);
}

} // namespace toolkit
