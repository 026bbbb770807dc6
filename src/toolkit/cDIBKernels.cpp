// The eight row kernels and the rotation tables.
#include "toolkit/cDIBKernels.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace toolkit {

using namespace dib;

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
    // The blend gives the source exactly at alpha 255 and the destination at alpha 0: the opaque
    // and the clear parts of a picture (most of its pixels) skip the arithmetic.
    const auto one = [](const std::uint8_t* sp, std::uint8_t* dp) {
        const std::uint32_t sv = load(sp);
        const std::uint32_t sa = sv >> 24;
        if (sa == 255) {
            store(dp, sv);
        } else if (sa != 0) {
            const std::uint32_t dv = load(dp);
            store(dp, blendColours(sa, sv, dv) | (std::max(sa, dv >> 24) << 24));
        }
    };
    int i = 0;
    // Four opaque pixels go as one copy, unless the rows overlap (a surface drawn onto itself
    // must see the pixels written just before, as one pixel at a time does).
    const std::size_t bytes = static_cast<std::size_t>(count) * 4;
    if (d + bytes <= s || s + bytes <= d) {
        for (; i + 4 <= count; i += 4, s += 16, d += 16) {
            if ((s[3] & s[7] & s[11] & s[15]) == 255) {
                std::memcpy(d, s, 16);
                continue;
            }
            for (int k = 0; k < 16; k += 4)
                one(s + k, d + k);
        }
    }
    for (; i < count; ++i, s += 4, d += 4)
        one(s, d);
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

} // namespace toolkit
