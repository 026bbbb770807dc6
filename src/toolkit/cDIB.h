#pragma once
// Thirty-two-bit surfaces with straight alpha (bytes blue, green, red, alpha; rows bottom-up)
// and the kernels that blend one onto another with exact integer arithmetic.

#include "platform/Geometry.h"
#include "runtime/Canvas.h"
#include "runtime/Components.h"
#include "runtime/Events.h"
#include "runtime/Exception.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {
struct PixelSurface;
}
namespace runtime {
class TStream;
}

namespace toolkit {

class EDIBError : public runtime::Exception {
public:
    using Exception::Exception;
};

using platform::TColor;
using platform::TRect;
constexpr TColor clBlack = 0x000000;

enum TTransparentMode { tmAuto, tmFixed };

struct TDrawSpan; // a clipped draw rectangle, private to the unit

/// A region as horizontal runs: each rectangle is one run of one row. Empty means "no region".
struct TDIBRegion {
    std::vector<TRect> Rects;
    bool Empty() const { return Rects.empty(); }
    bool Contains(std::int32_t x, std::int32_t y) const;
};

/// A region handed to the system (a window shape), released with the object.
class TDIBRegionHandle {
public:
    explicit TDIBRegionHandle(const TDIBRegion& region);
    ~TDIBRegionHandle();
    TDIBRegionHandle(const TDIBRegionHandle&) = delete;
    TDIBRegionHandle& operator=(const TDIBRegionHandle&) = delete;
    /// The system region (Win32: HRGN); null when the system refused.
    void* Handle() const { return handle_; }
    bool Contains(std::int32_t x, std::int32_t y) const;

private:
    void* handle_ = nullptr;
};

/// A 3 x 3 convolution, laid out as the stored filter record.
struct TDIBFilter {
    std::int32_t Reserved = 0;
    std::int16_t RedBias = 0, GreenBias = 0, BlueBias = 0;
    std::uint8_t Opacity = 255;
    std::int32_t Divisor = 0;     ///< 0 or less: the sum of the weights
    std::int16_t Weights[9] = {}; ///< rows from the top, each left to right
};

/// A palette with the 6-bit-per-channel lookup table Render8Bit uses (blue/4 + green/4 * 64 +
/// red/4 * 4096 gives the entry index).
struct TDIBPalette {
    std::vector<std::uint32_t> Entries; ///< framework colours
    std::vector<std::uint8_t> Lookup;   ///< 262,144 entries, or empty when the palette has none
};

struct TDIBSize {
    int Width = 0, Height = 0;
    bool operator==(const TDIBSize&) const = default;
};

/// The box around a width x height picture scaled by scaleX and scaleY percent and turned by
/// `angle` degrees (in [0, 360)): ceil(|w' cos a| + |h' sin a|) by ceil(|w' sin a| + |h' cos a|)
/// with w' = width x scaleX / 100 and h' = height x scaleY / 100, each rounded down to an even
/// number and kept within 0..65535. A rotated Draw with AutoSize makes its temporary this size;
/// an image control sizes itself with it.
TDIBSize BoundingSize(int width, int height, long double scaleX, long double scaleY,
                      long double angle);

/// The pixels of a memory surface, with room for a raw record's 4-byte header (width, height)
/// right in front of them, so that a record unpacks straight into place. Blocks of 64 KiB and
/// more come from the system and go back to it whole when freed: the C++ heap may keep big freed
/// blocks resident.
class TDIBPixelBlock {
public:
    /// Room for `pixelBytes` bytes of pixels (not cleared); raises std::bad_alloc.
    explicit TDIBPixelBlock(std::size_t pixelBytes);
    ~TDIBPixelBlock();
    TDIBPixelBlock(const TDIBPixelBlock&) = delete;
    TDIBPixelBlock& operator=(const TDIBPixelBlock&) = delete;

    std::uint8_t* Pixels() { return memory() + kRecordRoom; }
    const std::uint8_t* Pixels() const { return const_cast<TDIBPixelBlock*>(this)->Pixels(); }
    std::size_t PixelBytes() const { return pixelBytes_; }
    /// Where a raw record of 4 + PixelBytes() bytes lands: its pixels then are Pixels().
    std::uint8_t* Record() { return Pixels() - 4; }

private:
    static constexpr std::size_t kRecordRoom = 16; // keeps the pixels 16-byte aligned
    std::uint8_t* memory() { return system_ != nullptr ? system_ : heap_.get(); }

    std::size_t pixelBytes_;
    std::uint8_t* system_ = nullptr;
    std::unique_ptr<std::uint8_t[]> heap_;
};

/// A picture unpacked once and shown read-only by any number of memory surfaces at a time
/// (TCustomMemoryDIB::SharePicture): a surface that changes its pixels copies them first. The
/// pixels go with the last holder; holders may live on any thread.
struct TDIBSharedPicture {
    std::shared_ptr<const TDIBPixelBlock> Pixels;
    int Width = 0, Height = 0;
};

/// The picture of a packed image stream (or a raw record), unpacked straight into a block of its
/// own. Raises what ReadData raises for the same bytes.
TDIBSharedPicture UnpackDIBPicture(std::span<const std::uint8_t> stream);

class TAbstractSuperDIB : public runtime::TPersistent {
public:
    ~TAbstractSuperDIB() override;

    /// From another surface: size and pixels, then properties (file names too between memory
    /// surfaces), then Changed.
    void Assign(const runtime::TPersistent* source) override;
    std::string ClassName() const override = 0;

    // Properties.
    long double Angle() const { return angle_; }
    virtual void SetAngle(long double value);
    bool AutoSize() const { return autoSize_; }
    virtual void SetAutoSize(bool value);
    int Width() const { return width_; }
    virtual void SetWidth(int value) { SetSize(value, height_); }
    int Height() const { return height_; }
    virtual void SetHeight(int value) { SetSize(width_, value); }
    bool Masked() const { return masked_; }
    virtual void SetMasked(bool value);
    std::uint8_t Opacity() const { return opacity_; }
    virtual void SetOpacity(std::uint8_t value);
    long double Scale() const { return scaleX_; }
    virtual void SetScale(long double value);
    long double ScaleX() const { return scaleX_; }
    virtual void SetScaleX(long double value);
    long double ScaleY() const { return scaleY_; }
    virtual void SetScaleY(long double value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    TColor TransparentColor() const;
    void SetTransparentColor(TColor value);
    TTransparentMode TransparentMode() const { return transparentMode_; }
    void SetTransparentMode(TTransparentMode value);
    /// The part of this surface that drawing onto it may touch. Unlike every other rectangle,
    /// its Right and Bottom are inside it: the full surface is (0, 0, Width - 1, Height - 1).
    TRect ClipRect() const { return clip_; }
    void SetClipRect(TRect rect);
    runtime::TNotifyEvent OnChange;

    // Pixels. The writable accessors first copy pixels shared with other surfaces.
    bool HasPixels() const { return pixels_ != nullptr; }
    /// Start of row y counted from the top; null for rows outside the surface.
    std::uint8_t* RowPointer(int y);
    const std::uint8_t* RowPointer(int y) const;
    std::uint8_t* Bits();
    const std::uint8_t* Bits() const { return pixels_; }
    /// Whether the pixels are a shared picture's (its own or its lender's when borrowed), read
    /// by other surfaces too: the next change copies them.
    bool PixelsShared() const;
    /// Sizes below 1 become 1; sizes above 65535 or beyond memory raise EDIBError.
    virtual void SetSize(int width, int height);

    void BeginUpdate() { ++updateCount_; }
    void EndUpdate();
    virtual void Changed();

    // Drawing (positions and sizes in pixels, rows from the top; everything clips).
    virtual void Draw(int x, int y, int width, int height, TAbstractSuperDIB& dest, int srcX = 0,
                      int srcY = 0);
    virtual void DrawRaw(int x, int y, int width, int height, TAbstractSuperDIB& dest, int srcX = 0,
                         int srcY = 0);
    virtual void DrawAlphaChannel(int x, int y, int width, int height, TAbstractSuperDIB& dest,
                                  int srcX = 0, int srcY = 0);
    virtual void DrawMaskImage(int x, int y, int width, int height, TAbstractSuperDIB& dest,
                               int srcX = 0, int srcY = 0);
    /// Frame `index` of `frames` equal slices of this strip's width.
    void DrawGlyph(int x, int y, TAbstractSuperDIB& dest, int frames, int index);
    /// Cross-fade between the two frames around (position - minimum) / (maximum - minimum).
    void DrawGlyphTween(int x, int y, bool wrap, double position, double maximum, double minimum,
                        TAbstractSuperDIB& dest, int frames);
    virtual void Fill(TColor colour);
    virtual void FillRect(TColor colour, int left, int top, int width, int height);
    void SetAlpha(std::uint8_t value);
    virtual void ApplyFilter(const TDIBFilter& filter);
    /// Nearest-neighbour resample of the whole of `source` onto the whole of this surface.
    void StretchFrom(const TAbstractSuperDIB& source);
    virtual void RenderRotated(TAbstractSuperDIB& target);
    /// Drawing properties (and the size, when the target owns no pixels); a target that is not
    /// a surface raises EDIBError.
    virtual void CopyPropertiesTo(runtime::TPersistent* target) const;
    /// Borrows `other`'s pixels (never freed here) and copies its properties.
    virtual void ShareFrom(TAbstractSuperDIB& other);
    virtual void ResetProperties();
    TDIBRegion CreateAlphaRegion(std::uint8_t threshold) const;
    TDIBRegion CreateColorRegion(TColor colour) const;
    /// Palette indices of a rectangle (rows from the top), as Render8Bit sends them.
    std::vector<std::uint8_t> ConvertTo8Bit(const TDIBPalette& palette, int srcX, int srcY,
                                            int width, int height) const;
    virtual void Render8Bit(void* deviceContext, int x, int y, const TDIBPalette& palette, int srcX,
                            int srcY, int width, int height);

    /// Any picture the runtime's loader reads (uncompressed 24- and 32-bit BMP).
    virtual void ImportPicture(const std::string& fileName);
    virtual void ImportMask(const std::string& fileName);
    /// The stored `Data` property: the packed raw record.
    virtual void ReadData(runtime::TStream& stream);
    virtual void WriteData(runtime::TStream& stream);
    /// An unpacked raw record (width, height, pixels), as ReadData unpacks it; raises
    /// EDIBError and leaves the surface as it was when the record is short.
    void ReadRecord(const std::uint8_t* record, std::size_t size);

    enum class TDrawRoutine {
        MaskImage,
        AlphaChannel,
        Copy,
        Opacity,
        Masked,
        MaskedOpacity,
        Keyed,
        KeyedOpacity
    };
    TDrawRoutine DrawRoutine() const { return routine_; }

protected:
    TAbstractSuperDIB();
    virtual std::uint8_t* AllocPixels(int width, int height) = 0;
    virtual void FreePixels(std::uint8_t* pixels) = 0;
    virtual void SelectDrawRoutine();
    void AssignTo(runtime::TPersistent* dest) const override;
    void releasePixels();
    /// Whether the pixels are another surface's (ShareFrom): writing them writes the lender's.
    bool Borrowing() const { return lender_ != nullptr; }
    /// Makes the surface width x height (both 1..65535) showing `shared`'s pixels, or else
    /// `own()`'s, pixels of the concrete class's own that are filled already: as SetSize and a
    /// copy, surfaces that borrow the current pixels follow when the size stays and lose them
    /// otherwise.
    void replacePixels(int width, int height, std::shared_ptr<const TDIBPixelBlock> shared,
                       const std::function<std::uint8_t*()>& own);

    /// What a kernel reads of the surface whose routine it is: opacity and colour key.
    struct TRoutineOwner {
        std::uint8_t Opacity = 255;
        std::uint32_t Key = 0; ///< pixel byte order, blue in the low byte
    };
    // Kernels: one row of `count` pixels.
    virtual void KernelMaskImage(const std::uint8_t* s, std::uint8_t* d, int count,
                                 TRoutineOwner owner) const;
    virtual void KernelAlphaChannel(const std::uint8_t* s, std::uint8_t* d, int count,
                                    TRoutineOwner owner) const;
    virtual void KernelCopy(const std::uint8_t* s, std::uint8_t* d, int count,
                            TRoutineOwner owner) const;
    virtual void KernelOpacity(const std::uint8_t* s, std::uint8_t* d, int count,
                               TRoutineOwner owner) const;
    virtual void KernelMasked(const std::uint8_t* s, std::uint8_t* d, int count,
                              TRoutineOwner owner) const;
    virtual void KernelMaskedOpacity(const std::uint8_t* s, std::uint8_t* d, int count,
                                     TRoutineOwner owner) const;
    virtual void KernelKeyed(const std::uint8_t* s, std::uint8_t* d, int count,
                             TRoutineOwner owner) const;
    virtual void KernelKeyedOpacity(const std::uint8_t* s, std::uint8_t* d, int count,
                                    TRoutineOwner owner) const;

private:
    /// Before pixels change: shared ones become a copy of the surface's own (or, when
    /// `keepContent` is false because every pixel is about to be written, fresh ones).
    void ensureWritable(bool keepContent = true);
    void placePixels(std::uint8_t* pixels, int width, int height, bool wasFull);
    void detachBorrowers();
    void forgetBorrower(TAbstractSuperDIB* borrower);
    void adoptSize(int width, int height);
    std::size_t byteCount() const;
    void runRow(TDrawRoutine routine, TRoutineOwner owner, const std::uint8_t* s, std::uint8_t* d,
                int count) const;
    void drawWith(TDrawRoutine routine, TRoutineOwner owner, int x, int y, int width, int height,
                  TAbstractSuperDIB& dest, int srcX, int srcY);
    void drawRows(TDrawRoutine routine, TRoutineOwner owner, const TDrawSpan& span,
                  TAbstractSuperDIB& dest) const;
    void drawTransformed(int x, int y, int width, int height, TAbstractSuperDIB& dest);
    bool hasTransform() const;

    long double angle_ = 0;
    bool autoSize_ = false;
    TRect clip_{0, 0, 0, 0}; // inclusive
    std::uint16_t height_ = 1;
    bool masked_ = false;
    std::uint8_t opacity_ = 255;
    long double scaleX_ = 100, scaleY_ = 100;
    bool transparent_ = false;
    std::uint32_t transparentColor_ = 0; // pixel byte order: blue in the low byte
    TTransparentMode transparentMode_ = tmAuto;
    TDrawRoutine routine_ = TDrawRoutine::Copy;
    TRoutineOwner routineOwner_;
    std::uint8_t* pixels_ = nullptr;
    std::shared_ptr<const TDIBPixelBlock> shared_; // holds pixels_ when they are a shared picture's
    TAbstractSuperDIB* lender_ = nullptr;          // whose pixels we borrow
    std::vector<TAbstractSuperDIB*> borrowers_;    // who borrows ours
    std::uint16_t width_ = 1;
    int updateCount_ = 0;
    bool ownsPixels_ = true;
};

/// Pixels in plain memory: the kind image lists and forms store.
class TCustomMemoryDIB : public TAbstractSuperDIB {
public:
    TCustomMemoryDIB() = default;
    TCustomMemoryDIB(int width, int height) { SetSize(width, height); }
    ~TCustomMemoryDIB() override;
    std::string ClassName() const override { return "TCustomMemoryDIB"; }
    void Assign(const runtime::TPersistent* source) override;
    void ImportPicture(const std::string& fileName) override;
    void ImportMask(const std::string& fileName) override;
    /// Unpacks straight into pixels of its own, without a copy of the record.
    void ReadData(runtime::TStream& stream) override;
    void WriteData(runtime::TStream& stream) override;
    /// Shows the picture's pixels, shared with every surface showing them, instead of a copy:
    /// otherwise as ReadRecord of the picture's record. Raises EDIBError for a picture without
    /// pixels or with fewer than its size needs.
    void SharePicture(const TDIBSharedPicture& picture);

    std::string ImageFilename;
    std::string MaskFilename;
    /// False for pictures kept in files: WriteData then writes nothing.
    bool StoreData = true;

protected:
    std::uint8_t* AllocPixels(int width, int height) override;
    void FreePixels(std::uint8_t* pixels) override;

private:
    std::unique_ptr<TDIBPixelBlock> block_;
};

class TMemoryDIB : public TCustomMemoryDIB {
public:
    using TCustomMemoryDIB::TCustomMemoryDIB;
    std::string ClassName() const override { return "TMemoryDIB"; }
};

/// Pixels the system can draw on and blit from (a DIB section with its own device context on
/// Windows, plain memory elsewhere): back buffers and temporaries.
class TCustomWinDIB : public TAbstractSuperDIB {
public:
    TCustomWinDIB();
    TCustomWinDIB(int width, int height);
    ~TCustomWinDIB() override;
    std::string ClassName() const override { return "TCustomWinDIB"; }
    /// The device context (Windows) or null.
    void* Handle() const;
    /// Draws on the pixels (nothing while there are none); every drawing calls Changed.
    runtime::TCanvas& Canvas() { return canvas_; }

protected:
    std::uint8_t* AllocPixels(int width, int height) override;
    void FreePixels(std::uint8_t* pixels) override;

private:
    platform::PixelSurface* surface_ = nullptr;
    runtime::TCanvas canvas_;
};

class TWinDIB : public TCustomWinDIB {
public:
    using TCustomWinDIB::TCustomWinDIB;
    std::string ClassName() const override { return "TWinDIB"; }
};

} // namespace toolkit
