// The surface itself: its pixel buffer, properties, assignment, sharing and imported pictures.
#include "toolkit/cDIBKernels.h"

#include "runtime/Picture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace toolkit {

using namespace dib;

// ---- Construction and pixels ----------------------------------------------------------------

TAbstractSuperDIB::TAbstractSuperDIB() {
    ResetProperties();
}

TAbstractSuperDIB::~TAbstractSuperDIB() {
    // Concrete classes free owned pixels in their own destructors (FreePixels is theirs).
    detachBorrowers();
    if (lender_ != nullptr) lender_->forgetBorrower(this);
}

void TAbstractSuperDIB::ResetProperties() {
    angle_ = 0;
    autoSize_ = false;
    masked_ = false;
    opacity_ = 255;
    scaleX_ = scaleY_ = 100;
    transparent_ = false;
    SelectDrawRoutine();
}

void TAbstractSuperDIB::detachBorrowers() {
    for (TAbstractSuperDIB* b : borrowers_) {
        b->pixels_ = nullptr;
        b->lender_ = nullptr;
    }
    borrowers_.clear();
}

void TAbstractSuperDIB::forgetBorrower(TAbstractSuperDIB* b) {
    borrowers_.erase(std::remove(borrowers_.begin(), borrowers_.end(), b), borrowers_.end());
}

void TAbstractSuperDIB::releasePixels() {
    if (pixels_ != nullptr) {
        if (ownsPixels_) {
            // Surfaces that borrowed these pixels lose them rather than keep a dangling pointer.
            detachBorrowers();
            if (shared_)
                shared_.reset();
            else
                FreePixels(pixels_);
        } else if (lender_ != nullptr) {
            lender_->forgetBorrower(this);
        }
    }
    pixels_ = nullptr;
    lender_ = nullptr;
    ownsPixels_ = true;
}

bool TAbstractSuperDIB::PixelsShared() const {
    return lender_ != nullptr ? lender_->PixelsShared() : shared_ != nullptr;
}

void TAbstractSuperDIB::ensureWritable(bool keepContent) {
    if (lender_ != nullptr) {
        lender_->ensureWritable(keepContent);
        return;
    }
    if (!shared_) return;
    std::uint8_t* own = AllocPixels(width_, height_); // raises with nothing changed
    if (keepContent) std::memcpy(own, pixels_, byteCount());
    shared_.reset();
    pixels_ = own;
    for (TAbstractSuperDIB* b : borrowers_)
        b->pixels_ = own;
}

void TAbstractSuperDIB::replacePixels(int width, int height,
                                      std::shared_ptr<const TDIBPixelBlock> shared,
                                      const std::function<std::uint8_t*()>& own) {
    const bool wasFull = clip_ == fullRect(width_, height_);
    std::vector<TAbstractSuperDIB*> followers;
    if (pixels_ != nullptr && ownsPixels_ && width == width_ && height == height_)
        followers.swap(borrowers_);
    releasePixels();
    placePixels(shared ? const_cast<std::uint8_t*>(shared->Pixels()) : own(), width, height,
                wasFull);
    shared_ = std::move(shared);
    borrowers_ = std::move(followers);
    for (TAbstractSuperDIB* b : borrowers_)
        b->pixels_ = pixels_;
}

void TAbstractSuperDIB::placePixels(std::uint8_t* pixels, int width, int height, bool wasFull) {
    pixels_ = pixels;
    width_ = static_cast<std::uint16_t>(width);
    height_ = static_cast<std::uint16_t>(height);
    if (wasFull)
        clip_ = fullRect(width, height);
    else
        SetClipRect(clip_);
}

void TAbstractSuperDIB::adoptSize(int w, int h) {
    width_ = static_cast<std::uint16_t>(w);
    height_ = static_cast<std::uint16_t>(h);
    clip_ = fullRect(w, h);
}

void TAbstractSuperDIB::SetSize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width > kMaxSide || height > kMaxSide) throw EDIBError(sizeMessage(width, height));
    if (width == width_ && height == height_ && pixels_ != nullptr) return;
    const bool wasFull = clip_ == fullRect(width_, height_);
    releasePixels();
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u >
        static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()))
        throw EDIBError(sizeMessage(width, height));
    placePixels(AllocPixels(width, height), width, height, wasFull);
}

std::uint8_t* TAbstractSuperDIB::RowPointer(int y) {
    if (pixels_ == nullptr || y < 0 || y >= height_) return nullptr;
    ensureWritable();
    return const_cast<std::uint8_t*>(std::as_const(*this).RowPointer(y));
}

const std::uint8_t* TAbstractSuperDIB::RowPointer(int y) const {
    if (pixels_ == nullptr || y < 0 || y >= height_) return nullptr;
    return pixels_ + (static_cast<std::size_t>(height_ - 1 - y) * width_) * 4;
}

std::uint8_t* TAbstractSuperDIB::Bits() {
    ensureWritable();
    return pixels_;
}

std::size_t TAbstractSuperDIB::byteCount() const {
    return static_cast<std::size_t>(width_) * height_ * 4;
}

// ---- Properties -----------------------------------------------------------------------------

void TAbstractSuperDIB::EndUpdate() {
    if (updateCount_ == 0) throw EDIBError("EndUpdate without BeginUpdate");
    if (--updateCount_ == 0) Changed();
}

void TAbstractSuperDIB::Changed() {
    SelectDrawRoutine();
    if (updateCount_ == 0 && OnChange) OnChange(this);
}

void TAbstractSuperDIB::SelectDrawRoutine() {
    if (opacity_ == 255)
        routine_ = masked_        ? TDrawRoutine::Masked
                   : transparent_ ? TDrawRoutine::Keyed
                                  : TDrawRoutine::Copy;
    else
        routine_ = masked_        ? TDrawRoutine::MaskedOpacity
                   : transparent_ ? TDrawRoutine::KeyedOpacity
                                  : TDrawRoutine::Opacity;
    routineOwner_ = {opacity_, transparentColor_};
}

void TAbstractSuperDIB::SetAngle(long double value) {
    if (!std::isfinite(value)) value = 0;
    // fmod instead of repeated +/- 360: a huge angle must not loop for ever.
    value = std::fmod(value, 360.0L);
    if (value < 0) value += 360;
    if (value >= 360) value = 0;
    if (value == angle_) return;
    angle_ = value;
    Changed();
}

void TAbstractSuperDIB::SetAutoSize(bool value) {
    if (value == autoSize_) return;
    autoSize_ = value;
    Changed();
}

void TAbstractSuperDIB::SetMasked(bool value) {
    if (value == masked_) return;
    masked_ = value;
    if (value) transparent_ = false;
    Changed();
}

void TAbstractSuperDIB::SetTransparent(bool value) {
    if (value == transparent_) return;
    transparent_ = value;
    if (value) masked_ = false;
    Changed();
}

void TAbstractSuperDIB::SetOpacity(std::uint8_t value) {
    if (value == opacity_) return;
    opacity_ = value;
    Changed();
}

void TAbstractSuperDIB::SetScale(long double value) {
    if (std::isnan(value) || (value == scaleX_ && value == scaleY_)) return;
    scaleX_ = scaleY_ = value;
    Changed();
}

void TAbstractSuperDIB::SetScaleX(long double value) {
    if (std::isnan(value) || value == scaleX_) return;
    scaleX_ = value;
    Changed();
}

void TAbstractSuperDIB::SetScaleY(long double value) {
    if (std::isnan(value) || value == scaleY_) return;
    scaleY_ = value;
    Changed();
}

TColor TAbstractSuperDIB::TransparentColor() const {
    if (transparentMode_ == tmAuto && pixels_ != nullptr)
        return platform::SwapRedBlue(low24(pixels_));
    return platform::SwapRedBlue(transparentColor_);
}

void TAbstractSuperDIB::SetTransparentColor(TColor value) {
    const std::uint32_t key = platform::SwapRedBlue(value);
    if (key == transparentColor_) return;
    transparentColor_ = key;
    Changed();
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode value) {
    if (value == transparentMode_) return;
    transparentMode_ = value;
    Changed();
}

void TAbstractSuperDIB::SetClipRect(TRect r) {
    if (r.Left > r.Right) std::swap(r.Left, r.Right);
    if (r.Top > r.Bottom) std::swap(r.Top, r.Bottom);
    r.Left = std::clamp(r.Left, 0, width_ - 1);
    r.Right = std::clamp(r.Right, 0, width_ - 1);
    r.Top = std::clamp(r.Top, 0, height_ - 1);
    r.Bottom = std::clamp(r.Bottom, 0, height_ - 1);
    clip_ = r;
}

bool TAbstractSuperDIB::hasTransform() const {
    return angle_ != 0 || scaleX_ != 100 || scaleY_ != 100;
}

void TAbstractSuperDIB::CopyPropertiesTo(runtime::TPersistent* dest) const {
    auto* surface = dynamic_cast<TAbstractSuperDIB*>(dest);
    if (surface == nullptr)
        throw EDIBError("Cannot assign a TAbstractDIB to a " +
                        (dest != nullptr ? dest->ClassName() : std::string("nil")));
    if (surface == this) return;
    TAbstractSuperDIB& target = *surface;
    target.angle_ = angle_;
    target.autoSize_ = autoSize_;
    target.masked_ = masked_;
    target.opacity_ = opacity_;
    target.scaleX_ = scaleX_;
    target.scaleY_ = scaleY_;
    target.transparent_ = transparent_;
    target.transparentColor_ = transparentColor_;
    target.transparentMode_ = transparentMode_;
    target.routine_ = routine_;
    target.routineOwner_ = routineOwner_;
    if (!target.ownsPixels_) {
        // A borrowed buffer of another size must not be addressed with the new size.
        if (target.width_ != width_ || target.height_ != height_) target.releasePixels();
        target.adoptSize(width_, height_);
    }
}

void TAbstractSuperDIB::AssignTo(runtime::TPersistent* dest) const {
    if (auto* surface = dynamic_cast<TAbstractSuperDIB*>(dest)) {
        surface->Assign(this);
        return;
    }
    CopyPropertiesTo(dest); // raises the surface's own assignment error
}

void TAbstractSuperDIB::Assign(const runtime::TPersistent* from) {
    const auto* surfaceFrom = dynamic_cast<const TAbstractSuperDIB*>(from);
    if (surfaceFrom == nullptr) {
        TPersistent::Assign(from);
        return;
    }
    const TAbstractSuperDIB& source = *surfaceFrom;
    if (&source == this) return;
    if (source.pixels_ == nullptr) {
        releasePixels();
        adoptSize(source.width_, source.height_);
    } else {
        SetSize(source.width_, source.height_);
        ensureWritable(source.pixels_ == pixels_); // a borrower of ours reads what it copies
        std::memmove(pixels_, source.pixels_, byteCount());
    }
    source.CopyPropertiesTo(this);
    Changed();
}

void TAbstractSuperDIB::ShareFrom(TAbstractSuperDIB& other) {
    if (&other == this) return;
    releasePixels();
    ownsPixels_ = false;
    other.CopyPropertiesTo(this);
    adoptSize(other.width_, other.height_);
    ownsPixels_ = false; // even when the lender has no pixels: ours are gone either way
    TAbstractSuperDIB* lender = other.ownsPixels_ ? &other : other.lender_;
    if (other.pixels_ != nullptr && lender != nullptr) {
        pixels_ = other.pixels_;
        lender_ = lender;
        lender->borrowers_.push_back(this);
    }
}

// ---- Pictures -------------------------------------------------------------------------------

void TAbstractSuperDIB::ImportPicture(const std::string& fileName) {
    const runtime::TPicture picture = runtime::LoadPicture(fileName);
    BeginUpdate();
    SetSize(picture.Width, picture.Height);
    ensureWritable(false);
    std::memcpy(pixels_, picture.Pixels.data(), byteCount());
    if (picture.BitsPerPixel == 32)
        SetMasked(true);
    else
        for (std::size_t i = 3, n = byteCount(); i < n; i += 4)
            pixels_[i] = 255;
    EndUpdate();
}

void TAbstractSuperDIB::ImportMask(const std::string& fileName) {
    if (pixels_ == nullptr) throw EDIBError("You cannot import a mask until you have an image.");
    const runtime::TPicture picture = runtime::LoadPicture(fileName);
    TMemoryDIB source(picture.Width, picture.Height);
    std::memcpy(source.pixels_, picture.Pixels.data(), source.byteCount());
    TMemoryDIB stretched(width_, height_);
    stretched.StretchFrom(source);
    ensureWritable();
    for (std::size_t i = 0, n = byteCount(); i < n; i += 4)
        pixels_[i + 3] = stretched.pixels_[i];
    BeginUpdate();
    SetMasked(true);
    EndUpdate();
}

} // namespace toolkit
