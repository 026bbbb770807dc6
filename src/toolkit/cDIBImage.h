#pragma once
// The image control: one image of an image list, optionally rotated, scaled, stretched to the
// control or centred in it, and able to size itself to the image.

#include "toolkit/cDIBControl.h"

#include <string>

namespace toolkit {

class TCustomDIBImage : public TCustomDIBControl {
public:
    explicit TCustomDIBImage(runtime::TComponent* owner);
    ~TCustomDIBImage() override;
    std::string ClassName() const override { return "TCustomDIBImage"; }

    /// Degrees, kept in 0 <= angle < 360 (non-finite values become 0).
    long double Angle() const { return angle_; }
    void SetAngle(long double value);
    /// Centre the image in the control (only without AutoSize).
    bool Center() const { return center_; }
    void SetCenter(bool value);
    /// The image.
    TDIBImageLink* IndexMain() const { return indexMain_; }
    /// Percent, both directions; setting it turns Stretch off. Non-finite values are ignored.
    long double Scale() const { return scale_; }
    void SetScale(long double value);
    /// Scale the image to the control's size; turns AutoSize off.
    bool Stretch() const { return stretch_; }
    void SetStretch(bool value);
    /// Repaints as well.
    void SetAutoSize(bool value) override;
    /// The even bounding size of the scaled, rotated image (AutoSize is off by default).
    bool CanAutoSize(int& width, int& height) override;

protected:
    void Paint() override;

private:
    long double angle_ = 0;
    bool center_ = false;
    TDIBImageLink* indexMain_ = nullptr;
    long double scale_ = 100;
    bool stretch_ = false;
};

/// The image control with its properties published and its template properties registered.
class TDIBImage : public TCustomDIBImage {
public:
    explicit TDIBImage(runtime::TComponent* owner);
    std::string ClassName() const override { return "TDIBImage"; }
};

/// The size of a width x height picture scaled by scaleX, scaleY percent and turned by angle
/// degrees (0 <= angle < 360), as drawing with auto size makes it: with a turn, the bounding box
/// rounded up, then down to even numbers; without, each side scaled and rounded up. Results are
/// kept to 0..65535.
void ScaledBoundingSize(int width, int height, long double angle, long double scaleX,
                        long double scaleY, int& boundWidth, int& boundHeight);

} // namespace toolkit
