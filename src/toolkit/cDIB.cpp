#include "toolkit/cDIB.h"

#include "platform/Platform.h"
#include "runtime/Picture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace toolkit {

namespace {

// Pixels are read as little-endian words (blue in the low byte) on every target.
static_assert(std::endian::native == std::endian::little);

constexpr int kMaxSide = 65535;

std::uint32_t toPixelOrder(TColor c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
TColor toColor(std::uint32_t pixel) {
    return toPixelOrder(pixel) & 0xFFFFFF;
}

std::uint32_t low24(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
}

// Float to integer without undefined behaviour for NaN or huge values.
std::int64_t clampToInt64(long double v, std::int64_t limit) {
    if (std::isnan(v)) return 0;
    if (v > static_cast<long double>(limit)) return limit;
    if (v < -static_cast<long double>(limit)) return -limit;
    return static_cast<std::int64_t>(v);
}

std::uint32_t load(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void store(std::uint8_t* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
}

// (o * s + (o xor 255) * d + 255) >> 8 for blue, green and red at once, exactly: blue and red
// share one word in 16-bit lanes (each sum stays below 65536), green takes another. The alpha
// byte of the result is 0 for the caller to set.
std::uint32_t blendColours(unsigned o, std::uint32_t s, std::uint32_t d) {
    const unsigned r = o ^ 255;
    const std::uint32_t br = ((s & 0x00FF00FF) * o + (d & 0x00FF00FF) * r + 0x00FF00FF) >> 8;
    const std::uint32_t g = (((s >> 8) & 0xFF) * o + ((d >> 8) & 0xFF) * r + 0xFF) & 0xFF00;
    return (br & 0x00FF00FF) | g;
}

TDIBRect fullRect(int w, int h) {
    return {0, 0, w - 1, h - 1};
}

} // namespace

bool TDIBRegion::Contains(std::int32_t x, std::int32_t y) const {
    return std::any_of(Rects.begin(), Rects.end(), [x, y](const Run& r) {
        return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
    });
}

// ---- Trigonometric tables -------------------------------------------------------------------

const TTrigTables& TrigTables() {
    // Built on first rotation rather than at library load: hosts load every plug-in to scan it.
    static const TTrigTables tables = [] {
        constexpr int n = 360000;
        TTrigTables t;
        t.Sine.resize(n);
        t.Cosine.resize(n);
        t.SinePlus90.resize(n);
        t.CosinePlus90.resize(n);
        const long double pi = std::numbers::pi_v<long double>;
        // Where the exact value is a whole number (multiples of 30 degrees, the only angles
        // with such sines), a rounding error of the library would move the ceiling by one.
        auto exact = [](int deg) -> std::int32_t {
            switch (deg) {
            case 0:
            case 180:
                return 0;
            case 30:
            case 150:
                return 32768;
            case 90:
                return 65536;
            case 210:
            case 330:
                return -32768;
            case 270:
                return -65536;
            default:
                return std::numeric_limits<std::int32_t>::min();
            }
        };
        auto sine = [&](int i) {
            if (i % 1000 == 0) {
                const std::int32_t e = exact(i / 1000);
                if (e != std::numeric_limits<std::int32_t>::min()) return e;
            }
            return static_cast<std::int32_t>(std::ceil(std::sin(i * pi / 180000.0L) * 65536.0L));
        };
        for (int i = 0; i < n; ++i)
            t.Sine[i] = sine(i);
        // The others are the sine a quarter or half turn on, exactly: 90 degrees is 90,000
        // entries. cos x = sin(x + 90), sin(x + 90) = cos x, cos(x + 90) = sin(x + 180).
        for (int i = 0; i < n; ++i) {
            t.Cosine[i] = t.Sine[(i + 90000) % n];
            t.SinePlus90[i] = t.Sine[(i + 90000) % n];
            t.CosinePlus90[i] = t.Sine[(i + 180000) % n];
        }
        return t;
    }();
    return tables;
}

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
            FreePixels(pixels_);
        } else if (lender_ != nullptr) {
            lender_->forgetBorrower(this);
        }
    }
    pixels_ = nullptr;
    lender_ = nullptr;
    ownsPixels_ = true;
}

void TAbstractSuperDIB::adoptSize(int w, int h) {
    width_ = static_cast<std::uint16_t>(w);
    height_ = static_cast<std::uint16_t>(h);
    clip_ = fullRect(w, h);
}

void TAbstractSuperDIB::SetSize(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width > kMaxSide || height > kMaxSide)
        throw EDIBError("Cannot make a surface of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels");
    if (width == width_ && height == height_ && pixels_ != nullptr) return;
    const bool wasFull = clip_ == fullRect(width_, height_);
    releasePixels();
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) * 4u >
        static_cast<std::uint64_t>(std::numeric_limits<std::ptrdiff_t>::max()))
        throw EDIBError("Cannot make a surface of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels");
    pixels_ = AllocPixels(width, height);
    width_ = static_cast<std::uint16_t>(width);
    height_ = static_cast<std::uint16_t>(height);
    if (wasFull)
        clip_ = fullRect(width, height);
    else
        SetClipRect(clip_);
}

std::uint8_t* TAbstractSuperDIB::RowPointer(int y) {
    if (pixels_ == nullptr || y < 0 || y >= height_) return nullptr;
    return pixels_ + (static_cast<std::size_t>(height_ - 1 - y) * width_) * 4;
}

const std::uint8_t* TAbstractSuperDIB::RowPointer(int y) const {
    return const_cast<TAbstractSuperDIB*>(this)->RowPointer(y);
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
    if (transparentMode_ == tmAuto && pixels_ != nullptr) return toColor(low24(pixels_));
    return toColor(transparentColor_);
}

void TAbstractSuperDIB::SetTransparentColor(TColor value) {
    const std::uint32_t key = toPixelOrder(value);
    if (key == transparentColor_) return;
    transparentColor_ = key;
    Changed();
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode value) {
    if (value == transparentMode_) return;
    transparentMode_ = value;
    Changed();
}

void TAbstractSuperDIB::SetClipRect(TDIBRect r) {
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

// ---- Kernels --------------------------------------------------------------------------------

void TAbstractSuperDIB::KernelMaskImage(const std::uint8_t* s, std::uint8_t* d, int count,
                                        TRoutineOwner) const {
    for (int i = 0; i < count; ++i, s += 4, d += 4)
        d[0] = d[1] = d[2] = d[3] = s[3];
}

void TAbstractSuperDIB::KernelAlphaChannel(const std::uint8_t* s, std::uint8_t* d, int count,
                                           TRoutineOwner) const {
    for (int i = 0; i < count; ++i, s += 4, d += 4)
        d[3] = s[3];
}

void TAbstractSuperDIB::KernelCopy(const std::uint8_t* s, std::uint8_t* d, int count,
                                   TRoutineOwner) const {
    std::memmove(d, s, static_cast<std::size_t>(count) * 4);
}

void TAbstractSuperDIB::KernelOpacity(const std::uint8_t* s, std::uint8_t* d, int count,
                                      TRoutineOwner owner) const {
    const unsigned o = owner.Opacity;
    for (int i = 0; i < count; ++i, s += 4, d += 4) {
        const std::uint32_t sv = load(s), dv = load(d);
        const std::uint32_t a = std::max(sv >> 24, dv >> 24);
        store(d, blendColours(o, sv, dv) | (a << 24));
    }
}

void TAbstractSuperDIB::KernelMasked(const std::uint8_t* s, std::uint8_t* d, int count,
                                     TRoutineOwner) const {
    for (int i = 0; i < count; ++i, s += 4, d += 4) {
        const std::uint32_t sv = load(s), dv = load(d);
        const std::uint32_t sa = sv >> 24;
        store(d, blendColours(sa, sv, dv) | (std::max(sa, dv >> 24) << 24));
    }
}

void TAbstractSuperDIB::KernelMaskedOpacity(const std::uint8_t* s, std::uint8_t* d, int count,
                                            TRoutineOwner owner) const {
    const unsigned o = owner.Opacity;
    for (int i = 0; i < count; ++i, s += 4, d += 4) {
        const std::uint32_t sv = load(s), dv = load(d);
        const std::uint32_t sa = sv >> 24;
        store(d, blendColours((sa * o) >> 8, sv, dv) | (std::max(sa, dv >> 24) << 24));
    }
}

void TAbstractSuperDIB::KernelKeyed(const std::uint8_t* s, std::uint8_t* d, int count,
                                    TRoutineOwner owner) const {
    for (int i = 0; i < count; ++i, s += 4, d += 4) {
        if (low24(s) == owner.Key) continue;
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 0;
    }
}

void TAbstractSuperDIB::KernelKeyedOpacity(const std::uint8_t* s, std::uint8_t* d, int count,
                                           TRoutineOwner owner) const {
    const unsigned o = owner.Opacity;
    for (int i = 0; i < count; ++i, s += 4, d += 4) {
        const std::uint32_t sv = load(s);
        if ((sv & 0xFFFFFF) == owner.Key) continue;
        store(d, blendColours(o, sv, load(d)) | (sv & 0xFF000000));
    }
}

void TAbstractSuperDIB::runRow(TDrawRoutine routine, TRoutineOwner owner, const std::uint8_t* s,
                               std::uint8_t* d, int count) const {
    switch (routine) {
    case TDrawRoutine::MaskImage:
        KernelMaskImage(s, d, count, owner);
        break;
    case TDrawRoutine::AlphaChannel:
        KernelAlphaChannel(s, d, count, owner);
        break;
    case TDrawRoutine::Copy:
        KernelCopy(s, d, count, owner);
        break;
    case TDrawRoutine::Opacity:
        KernelOpacity(s, d, count, owner);
        break;
    case TDrawRoutine::Masked:
        KernelMasked(s, d, count, owner);
        break;
    case TDrawRoutine::MaskedOpacity:
        KernelMaskedOpacity(s, d, count, owner);
        break;
    case TDrawRoutine::Keyed:
        KernelKeyed(s, d, count, owner);
        break;
    case TDrawRoutine::KeyedOpacity:
        KernelKeyedOpacity(s, d, count, owner);
        break;
    }
}

// ---- Drawing --------------------------------------------------------------------------------

void TAbstractSuperDIB::drawWith(TDrawRoutine routine, TRoutineOwner owner, int x, int y, int width,
                                 int height, TAbstractSuperDIB& dest, int srcX, int srcY) {
    if (pixels_ == nullptr || dest.pixels_ == nullptr) return;
    // 64-bit throughout: positions and sizes near the int limits must not wrap.
    std::int64_t dx = x, dy = y, sx = srcX, sy = srcY, w = width, h = height;
    // A source rectangle starting left of or above this surface starts at its edge instead.
    if (sx < 0) {
        dx -= sx;
        w += sx;
        sx = 0;
    }
    if (sy < 0) {
        dy -= sy;
        h += sy;
        sy = 0;
    }
    // 1. The destination's clip rectangle.
    const TDIBRect& c = dest.clip_;
    if (dx < c.Left) {
        sx += c.Left - dx;
        w -= c.Left - dx;
        dx = c.Left;
    }
    if (dy < c.Top) {
        sy += c.Top - dy;
        h -= c.Top - dy;
        dy = c.Top;
    }
    if (dx + w - 1 > c.Right) w = c.Right - dx + 1;
    if (dy + h - 1 > c.Bottom) h = c.Bottom - dy + 1;
    // 2. This surface.
    w = std::min<std::int64_t>(w, width_ - sx);
    h = std::min<std::int64_t>(h, height_ - sy);
    if (w < 1 || h < 1) return;
    // 3. The destination buffer.
    if (dx >= dest.width_ || dy >= dest.height_ || dx < 0 || dy < 0) return;
    w = std::min<std::int64_t>(w, dest.width_ - dx);
    h = std::min<std::int64_t>(h, dest.height_ - dy);
    if (w < 1 || h < 1) return;
    // 4. Rows.
    for (std::int64_t j = 0; j < h; ++j) {
        const std::uint8_t* s = RowPointer(static_cast<int>(sy + j)) + sx * 4;
        std::uint8_t* d = dest.RowPointer(static_cast<int>(dy + j)) + dx * 4;
        runRow(routine, owner, s, d, static_cast<int>(w));
    }
    dest.Changed();
}

void TAbstractSuperDIB::Draw(int x, int y, int width, int height, TAbstractSuperDIB& dest, int srcX,
                             int srcY) {
    if (hasTransform())
        drawTransformed(x, y, width, height, dest);
    else
        drawWith(routine_, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::DrawRaw(int x, int y, int width, int height, TAbstractSuperDIB& dest,
                                int srcX, int srcY) {
    drawWith(TDrawRoutine::Copy, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::DrawAlphaChannel(int x, int y, int width, int height,
                                         TAbstractSuperDIB& dest, int srcX, int srcY) {
    drawWith(TDrawRoutine::AlphaChannel, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::DrawMaskImage(int x, int y, int width, int height, TAbstractSuperDIB& dest,
                                      int srcX, int srcY) {
    drawWith(TDrawRoutine::MaskImage, routineOwner_, x, y, width, height, dest, srcX, srcY);
}

void TAbstractSuperDIB::drawTransformed(int x, int y, int width, int height,
                                        TAbstractSuperDIB& dest) {
    if (pixels_ == nullptr || dest.pixels_ == nullptr || width < 1 || height < 1) return;
    const long double ex = scaleX_ / 100, ey = scaleY_ / 100;
    long double tw = width, th = height;
    if (autoSize_) {
        const long double w1 = width * ex, h1 = height * ey;
        if (angle_ != 0) {
            const long double a = -angle_ * std::numbers::pi_v<long double> / 180;
            const long double ca = std::fabs(std::cos(a)), sa = std::fabs(std::sin(a));
            tw = std::ceil(std::fabs(w1) * ca + std::fabs(h1) * sa);
            th = std::ceil(std::fabs(w1) * sa + std::fabs(h1) * ca);
            tw = std::floor(tw / 2) * 2;
            th = std::floor(th / 2) * 2;
        } else {
            tw = std::ceil(w1);
            th = std::ceil(h1);
        }
    }
    const int w = static_cast<int>(clampToInt64(tw, kMaxSide));
    const int h = static_cast<int>(clampToInt64(th, kMaxSide));
    TWinDIB temp(w, h);
    temp.masked_ = masked_;
    temp.opacity_ = opacity_;
    temp.transparent_ = transparent_;
    temp.transparentMode_ = tmFixed;
    temp.transparentColor_ = toPixelOrder(TransparentColor());
    if (angle_ != 0)
        RenderRotated(temp);
    else
        temp.StretchFrom(*this);
    temp.drawWith(routine_, routineOwner_, x, y, temp.width_, temp.height_, dest, 0, 0);
}

void TAbstractSuperDIB::StretchFrom(const TAbstractSuperDIB& source) {
    if (pixels_ == nullptr || source.pixels_ == nullptr) return;
    const std::uint64_t sx = (std::uint64_t(source.width_) << 16) / width_;
    const std::uint64_t sy = (std::uint64_t(source.height_) << 16) / height_;
    std::vector<std::uint32_t> column(width_);
    for (std::uint32_t k = 0; k < width_; ++k)
        column[k] = static_cast<std::uint32_t>((k * sx) >> 16);
    for (std::uint32_t j = 0; j < height_; ++j) {
        const std::uint32_t srcRow = static_cast<std::uint32_t>((j * sy) >> 16);
        const std::uint8_t* s = source.pixels_ + std::size_t(srcRow) * source.width_ * 4;
        std::uint8_t* d = pixels_ + std::size_t(j) * width_ * 4;
        for (std::uint32_t k = 0; k < width_; ++k)
            std::memcpy(d + k * 4, s + column[k] * 4, 4);
    }
    Changed();
}

void TAbstractSuperDIB::RenderRotated(TAbstractSuperDIB& target) {
    if (pixels_ == nullptr || target.pixels_ == nullptr) return;
    const long double ex = scaleX_ / 100, ey = scaleY_ / 100;
    if (ex * width_ == 0 || ey * height_ == 0 || std::isnan(ex) || std::isnan(ey)) return;
    const TTrigTables& t = TrigTables();
    const auto i =
        static_cast<std::size_t>(std::clamp<long double>(std::trunc(angle_ * 1000), 0, 359999));
    // Steps beyond 2^40 only point outside the source; the clamp keeps the sums in 64 bits.
    constexpr std::int64_t limit = std::int64_t(1) << 40;
    auto step = [](long double v) { return clampToInt64(std::nearbyint(v), limit); };
    const std::int64_t a = step(t.Sine[i] / ey), b = step(t.SinePlus90[i] / ey);
    const std::int64_t c = step(t.Cosine[i] / ex), d = step(t.CosinePlus90[i] / ex);
    const int tw = target.width_, th = target.height_, sw = width_, sh = height_;
    const int cx = tw / 2, cy = th / 2, hw = sw / 2, hh = sh / 2;
    const std::uint8_t fill[4] = {std::uint8_t(masked_ ? 0 : transparentColor_),
                                  std::uint8_t(masked_ ? 0 : transparentColor_ >> 8),
                                  std::uint8_t(masked_ ? 0 : transparentColor_ >> 16), 0};
    for (int y = 0; y < th; ++y) {
        std::int64_t U = std::int64_t(-cx) * a + std::int64_t(y - cy) * b;
        std::int64_t V = std::int64_t(-cx) * c + std::int64_t(y - cy) * d;
        std::uint8_t* out = target.pixels_ + std::size_t(y) * tw * 4;
        for (int x = 0; x < tw; ++x, U += a, V += c, out += 4) {
            const std::int64_t u = U >> 16, v = V >> 16;
            if (-hh < u && u < hh && -hw < v && v < hw)
                std::memcpy(out, pixels_ + (std::size_t(u + hh) * sw + std::size_t(v + hw)) * 4, 4);
            else
                std::memcpy(out, fill, 4);
        }
    }
    target.Changed();
}

void TAbstractSuperDIB::DrawGlyph(int x, int y, TAbstractSuperDIB& dest, int frames, int index) {
    if (pixels_ == nullptr || frames <= 0 || index < 0 || index >= frames) return;
    const int w = width_ / frames;
    if (w == 0) return;
    if (!hasTransform()) {
        // Same pixels as copying the frame out and drawing the copy, without the copy.
        drawWith(routine_, routineOwner_, x, y, w, height_, dest, index * w, 0);
        return;
    }
    TMemoryDIB frame(w, height_);
    DrawRaw(0, 0, w, height_, frame, index * w, 0);
    CopyPropertiesTo(&frame);
    frame.Draw(x, y, w, height_, dest);
}

void TAbstractSuperDIB::DrawGlyphTween(int x, int y, bool wrap, double position, double maximum,
                                       double minimum, TAbstractSuperDIB& dest, int frames) {
    if (pixels_ == nullptr || frames <= 0) return;
    const int w = width_ / frames;
    if (w == 0) return;
    double f = (position - minimum) / (maximum - minimum) * frames;
    if (!std::isfinite(f)) f = 0; // an empty range has no frame between others
    f = std::clamp(f, -1e9, 1e9);
    auto fix = [&](std::int64_t k) -> int {
        if (k >= frames) return wrap ? 0 : frames - 1;
        if (k < 0) return wrap ? frames - 1 : 0;
        return static_cast<int>(k);
    };
    const int upper = fix(static_cast<std::int64_t>(std::ceil(f)));
    const int lower = fix(static_cast<std::int64_t>(std::floor(f)));
    const auto fade = static_cast<std::uint8_t>(
        255 - static_cast<std::int64_t>(std::nearbyint((f - std::trunc(f)) * 255)));
    TMemoryDIB a(w, height_);
    DrawRaw(0, 0, w, height_, a, upper * w, 0);
    CopyPropertiesTo(&a);
    a.SetOpacity(255);
    a.Changed();
    TMemoryDIB b(w, height_);
    DrawRaw(0, 0, w, height_, b, lower * w, 0);
    b.SetAngle(0);
    b.SetScale(100);
    b.SetOpacity(fade);
    b.Changed();
    b.Draw(0, 0, w, height_, a);
    a.SetOpacity(opacity_);
    a.Changed();
    a.Draw(x, y, w, height_, dest);
}

void TAbstractSuperDIB::Fill(TColor colour) {
    FillRect(colour, 0, 0, width_, height_);
}

void TAbstractSuperDIB::FillRect(TColor colour, int left, int top, int width, int height) {
    if (pixels_ == nullptr || width <= 0 || height <= 0) return;
    const std::int64_t l = std::max<std::int64_t>(left, 0), t = std::max<std::int64_t>(top, 0);
    const std::int64_t r = std::min<std::int64_t>(std::int64_t(left) + width, width_);
    const std::int64_t b = std::min<std::int64_t>(std::int64_t(top) + height, height_);
    if (l >= r || t >= b) return;
    const std::uint32_t key = toPixelOrder(colour);
    const std::uint8_t px[4] = {std::uint8_t(key), std::uint8_t(key >> 8), std::uint8_t(key >> 16),
                                0};
    for (std::int64_t y = t; y < b; ++y) {
        std::uint8_t* row = RowPointer(static_cast<int>(y));
        for (std::int64_t x = l; x < r; ++x)
            std::memcpy(row + x * 4, px, 4);
    }
    Changed();
}

void TAbstractSuperDIB::SetAlpha(std::uint8_t value) {
    if (pixels_ != nullptr)
        for (std::size_t i = 3, n = byteCount(); i < n; i += 4)
            pixels_[i] = value;
    Changed();
}

void TAbstractSuperDIB::ApplyFilter(const TDIBFilter& filter) {
    if (pixels_ == nullptr || width_ < 3 || height_ < 3) return;
    std::int16_t weightSum = 0;
    for (std::int16_t wt : filter.Weights)
        weightSum = static_cast<std::int16_t>(weightSum + wt);
    const auto divisor =
        static_cast<std::int16_t>(filter.Divisor <= 0 ? weightSum : filter.Divisor);
    const std::int16_t bias[3] = {filter.BlueBias, filter.GreenBias, filter.RedBias};
    TWinDIB result(width_, height_);
    std::memset(result.pixels_, 0, result.byteCount());
    for (int y = 1; y + 1 < height_; ++y) {
        std::uint8_t* out = result.RowPointer(y);
        for (int x = 1; x + 1 < width_; ++x) {
            for (int ch = 0; ch < 3; ++ch) {
                std::int16_t sum = 0;
                for (int wy = 0; wy < 3; ++wy) {
                    const std::uint8_t* row = RowPointer(y - 1 + wy);
                    for (int wx = 0; wx < 3; ++wx)
                        sum = static_cast<std::int16_t>(sum + filter.Weights[wy * 3 + wx] *
                                                                  row[(x - 1 + wx) * 4 + ch]);
                }
                sum = static_cast<std::int16_t>(sum + bias[ch]);
                if (divisor != 0) sum = static_cast<std::int16_t>(sum / divisor);
                out[x * 4 + ch] = static_cast<std::uint8_t>(std::clamp<int>(sum, 0, 255));
            }
            out[x * 4 + 3] = RowPointer(y)[x * 4 + 3];
        }
    }
    result.SetOpacity(filter.Opacity);
    result.Changed();
    result.Draw(0, 0, width_, height_, *this);
}

// ---- Regions and 8-bit output ---------------------------------------------------------------

namespace {

template <class Inside>
TDIBRegion runsOf(const TAbstractSuperDIB& dib, Inside inside) {
    TDIBRegion region;
    if (!dib.HasPixels()) return region;
    for (int y = 0; y < dib.Height(); ++y) {
        const std::uint8_t* row = dib.RowPointer(y);
        for (int x = 0; x < dib.Width();) {
            if (!inside(row + x * 4)) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < dib.Width() && inside(row + x * 4))
                ++x;
            region.Rects.push_back({start, y, x, y + 1});
        }
    }
    return region;
}

} // namespace

TDIBRegion TAbstractSuperDIB::CreateAlphaRegion(std::uint8_t threshold) const {
    return runsOf(*this, [threshold](const std::uint8_t* p) { return p[3] > threshold; });
}

TDIBRegion TAbstractSuperDIB::CreateColorRegion(TColor colour) const {
    const std::uint32_t key = toPixelOrder(colour) & 0xFFFFFF;
    return runsOf(*this, [key](const std::uint8_t* p) { return low24(p) != key; });
}

std::vector<std::uint8_t> TAbstractSuperDIB::ConvertTo8Bit(const TDIBPalette& palette, int srcX,
                                                           int srcY, int width, int height) const {
    if (palette.Lookup.size() != 262144)
        throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
    std::vector<std::uint8_t> out;
    if (pixels_ == nullptr || width <= 0 || height <= 0) return out;
    out.assign(static_cast<std::size_t>(width) * height, 0);
    for (int j = 0; j < height; ++j) {
        const std::int64_t y = std::int64_t(srcY) + j;
        if (y < 0 || y >= height_) continue; // outside the surface: index 0
        const std::uint8_t* row = RowPointer(static_cast<int>(y));
        for (int i = 0; i < width; ++i) {
            const std::int64_t x = std::int64_t(srcX) + i;
            if (x < 0 || x >= width_) continue;
            const std::uint8_t* p = row + x * 4;
            out[std::size_t(j) * width + i] =
                palette.Lookup[p[0] / 4 + (p[1] / 4) * 64 + (p[2] / 4) * 4096];
        }
    }
    return out;
}

void TAbstractSuperDIB::Render8Bit(void* deviceContext, int x, int y, const TDIBPalette& palette,
                                   int srcX, int srcY, int width, int height) {
    if (palette.Lookup.size() != 262144)
        throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
    if (platform::deviceBitsPerPixel(deviceContext) != 8)
        throw EDIBError("Render8Bit can only be used to blit to an 8 bit DC");
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    const auto indices = ConvertTo8Bit(palette, srcX, srcY, width, height);
    if (indices.empty()) return;
    const std::size_t colours = std::min<std::size_t>(palette.Entries.size(), 235);
    platform::blit8Bit(deviceContext, x, y, width, height, indices.data(), palette.Entries.data(),
                       static_cast<int>(colours));
}

// ---- Pictures -------------------------------------------------------------------------------

void TAbstractSuperDIB::ImportPicture(const std::string& fileName) {
    const runtime::TPicture picture = runtime::LoadPicture(fileName);
    BeginUpdate();
    SetSize(picture.Width, picture.Height);
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
    for (std::size_t i = 0, n = byteCount(); i < n; i += 4)
        pixels_[i + 3] = stretched.pixels_[i];
    BeginUpdate();
    SetMasked(true);
    EndUpdate();
}

// ---- Memory and system surfaces -------------------------------------------------------------

TCustomMemoryDIB::~TCustomMemoryDIB() {
    releasePixels();
}

std::uint8_t* TCustomMemoryDIB::AllocPixels(int width, int height) {
    try {
        buffer_ = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(width) * height * 4);
    } catch (const std::bad_alloc&) {
        throw EDIBError("Cannot make a surface of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels");
    }
    return buffer_.get();
}

void TCustomMemoryDIB::FreePixels(std::uint8_t*) {
    buffer_.reset();
}

void TCustomMemoryDIB::Assign(const runtime::TPersistent* source) {
    TAbstractSuperDIB::Assign(source);
    if (const auto* memory = dynamic_cast<const TCustomMemoryDIB*>(source)) {
        ImageFilename = memory->ImageFilename;
        MaskFilename = memory->MaskFilename;
    }
}

void TCustomMemoryDIB::ImportPicture(const std::string& fileName) {
    TAbstractSuperDIB::ImportPicture(fileName);
    ImageFilename = fileName;
}

void TCustomMemoryDIB::ImportMask(const std::string& fileName) {
    TAbstractSuperDIB::ImportMask(fileName);
    MaskFilename = fileName;
}

TDIBRegionHandle::TDIBRegionHandle(const TDIBRegion& region) {
    std::vector<platform::RegionRect> rects;
    rects.reserve(region.Rects.size());
    for (const TDIBRegion::Run& run : region.Rects)
        rects.push_back({run.Left, run.Top, run.Right, run.Bottom});
    handle_ = platform::createRegion(rects.data(), rects.size());
}

TDIBRegionHandle::~TDIBRegionHandle() {
    platform::destroyRegion(handle_);
}

bool TDIBRegionHandle::Contains(std::int32_t x, std::int32_t y) const {
    return platform::regionContains(handle_, x, y);
}

TCustomWinDIB::TCustomWinDIB() {
    canvas_.OnChange = [this] { Changed(); };
}

TCustomWinDIB::TCustomWinDIB(int width, int height) : TCustomWinDIB() {
    SetSize(width, height);
}

TCustomWinDIB::~TCustomWinDIB() {
    releasePixels();
}

std::uint8_t* TCustomWinDIB::AllocPixels(int width, int height) {
    std::uint8_t* pixels = nullptr;
    std::string error;
    surface_ = platform::createPixelSurface(width, height, &pixels, error);
    if (surface_ == nullptr) throw EDIBError(error);
    canvas_.SetSurface(surface_);
    return pixels;
}

void TCustomWinDIB::FreePixels(std::uint8_t*) {
    platform::destroyPixelSurface(surface_);
    surface_ = nullptr;
    canvas_.SetSurface(nullptr);
}

void* TCustomWinDIB::Handle() const {
    return platform::pixelSurfaceDC(surface_);
}

} // namespace toolkit
