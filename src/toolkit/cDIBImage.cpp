#include "toolkit/cDIBImage.h"

#include "runtime/Properties.h"
#include "toolkit/cDIBFeatures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace toolkit {

namespace {

constexpr long double kMaxSide = 65535;

int side(long double value) {
    if (!(value >= 0)) return 0; // NaN and negatives
    return static_cast<int>(std::min(value, kMaxSide));
}

void registerImageClasses() {
    static const bool done = [] {
        runtime::PublishClass<TCustomDIBImage>("TCustomDIBImage", "TCustomDIBControl");
        using I = TDIBImage;
        runtime::PublishClass<I>("TDIBImage", "TCustomDIBImage")
            .Float("Angle", &I::Angle, &I::SetAngle)
            .Boolean("AutoSize", &I::AutoSize, &I::SetAutoSize)
            .Boolean("Center", &I::Center, &I::SetCenter)
            .Integer("Opacity", &I::Opacity, &I::SetOpacity, "Byte")
            .Float("Scale", &I::Scale, &I::SetScale)
            .Boolean("Stretch", &I::Stretch, &I::SetStretch)
            .Object("IndexMain", "TDIBImageLink",
                    [](I& i) -> runtime::TPersistent* { return i.IndexMain(); })
            .Object("Children", "TControlList",
                    [](I& i) -> runtime::TPersistent* { return &ChildrenOf(i); })
            .Object("DIBFeatures", "TDIBFeatures",
                    [](I& i) -> runtime::TPersistent* { return &DIBFeaturesOf(i); });
        return true;
    }();
    (void)done;
}

} // namespace

void ScaledBoundingSize(int width, int height, long double angle, long double scaleX,
                        long double scaleY, int& boundWidth, int& boundHeight) {
    const long double w = width * scaleX / 100, h = height * scaleY / 100;
    if (angle != 0) {
        const long double a = -angle * std::numbers::pi_v<long double> / 180;
        const long double c = std::fabs(std::cos(a)), s = std::fabs(std::sin(a));
        boundWidth = side(std::floor(std::ceil(std::fabs(w) * c + std::fabs(h) * s) / 2) * 2);
        boundHeight = side(std::floor(std::ceil(std::fabs(w) * s + std::fabs(h) * c) / 2) * 2);
    } else {
        boundWidth = side(std::ceil(std::fabs(w)));
        boundHeight = side(std::ceil(std::fabs(h)));
    }
}

TCustomDIBImage::TCustomDIBImage(runtime::TComponent* owner) : TCustomDIBControl(owner) {
    indexMain_ = CreateImageLink();
    DIBFeaturesOf(*this);
    ChildrenOf(*this);
}

TCustomDIBImage::~TCustomDIBImage() = default;

void TCustomDIBImage::SetAngle(long double value) {
    if (!std::isfinite(value)) value = 0;
    // fmod rather than repeated steps, so that a huge angle costs no more than a small one.
    value = std::fmod(value, 360.0L);
    if (value < 0) value += 360;
    if (value >= 360) value -= 360; // a tiny negative angle rounds up to 360
    angle_ = value;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::SetScale(long double value) {
    if (!std::isfinite(value)) return;
    scale_ = value;
    stretch_ = false;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::SetCenter(bool value) {
    if (value == center_) return;
    center_ = value;
    AdjustSize();
    Invalidate();
}

void TCustomDIBImage::SetStretch(bool value) {
    stretch_ = value;
    if (value) StoreAutoSize(false);
    Invalidate();
}

void TCustomDIBImage::SetAutoSize(bool value) {
    TCustomDIBControl::SetAutoSize(value);
    Invalidate();
}

bool TCustomDIBImage::CanAutoSize(int& width, int& height) {
    TAbstractSuperDIB* image = nullptr;
    if (!indexMain_->GetImage(image)) return false;
    ScaledBoundingSize(image->Width(), image->Height(), angle_, scale_, scale_, width, height);
    width -= width % 2;
    height -= height % 2;
    return true;
}

void TCustomDIBImage::Paint() {
    TCustomDIBControl::Paint();
    TAbstractSuperDIB* image = nullptr;
    TAbstractSuperDIB* buffer = PaintBuffer();
    if (buffer == nullptr || !indexMain_->GetImage(image)) return;
    const int width = image->Width(), height = image->Height();
    image->SetAutoSize(true);
    image->SetAngle(angle_);
    image->SetScaleX(scale_);
    image->SetScaleY(scale_);
    if (stretch_) {
        image->SetScaleX(Width() * 100.0L / width);
        image->SetScaleY(Height() * 100.0L / height);
    }
    int boundWidth = 0, boundHeight = 0;
    ScaledBoundingSize(width, height, angle_, image->ScaleX(), image->ScaleY(), boundWidth,
                       boundHeight);
    int x = 0, y = 0;
    if (center_ && !AutoSize()) {
        x = Width() / 2 - boundWidth / 2;
        y = Height() / 2 - boundHeight / 2;
    }
    image->SetClipRect(buffer->ClipRect());
    image->Draw(x, y, width, height, *buffer);
}

TDIBImage::TDIBImage(runtime::TComponent* owner) : TCustomDIBImage(owner) {
    registerImageClasses();
    for (const char* name : {"Angle", "AutoSize", "Center", "Opacity", "Scale", "Stretch"})
        RegisterTemplateProperty(name);
}

} // namespace toolkit
