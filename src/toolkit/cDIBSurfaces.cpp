// The two kinds of surface: pixels in plain memory, and pixels the system can draw on.
#include "toolkit/cDIBKernels.h"

#include "runtime/Canvas.h"

#include <limits>
#include <memory>
#include <new>

namespace toolkit {

using namespace dib;

namespace {

// From here on a block comes from the system. glibc's heap raises its mapping threshold to the
// size of the last big block freed, so later big blocks would stay resident after they go.
constexpr std::size_t kSystemBlockFrom = std::size_t(64) * 1024;

} // namespace

TDIBPixelBlock::TDIBPixelBlock(std::size_t pixelBytes) : pixelBytes_(pixelBytes) {
    if (pixelBytes > std::numeric_limits<std::size_t>::max() - kRecordRoom) throw std::bad_alloc();
    const std::size_t bytes = pixelBytes + kRecordRoom;
    if (bytes >= kSystemBlockFrom)
        system_ = static_cast<std::uint8_t*>(runtime::AllocateLargeBlock(bytes));
    if (system_ == nullptr) heap_ = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
}

TDIBPixelBlock::~TDIBPixelBlock() {
    runtime::ReleaseLargeBlock(system_, pixelBytes_ + kRecordRoom);
}

TCustomMemoryDIB::~TCustomMemoryDIB() {
    releasePixels();
}

std::uint8_t* TCustomMemoryDIB::AllocPixels(int width, int height) {
    block_ = runtime::AllocateOrRaise<EDIBError>(
        [=] { return sizeMessage(width, height); },
        [=] { return std::make_unique<TDIBPixelBlock>(std::size_t(width) * height * 4); });
    return block_->Pixels();
}

void TCustomMemoryDIB::FreePixels(std::uint8_t*) {
    block_.reset();
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
    surface_ = runtime::CreatePixelSurface(width, height, &pixels, error);
    if (surface_ == nullptr) throw EDIBError(error);
    canvas_.SetSurface(surface_);
    return pixels;
}

void TCustomWinDIB::FreePixels(std::uint8_t*) {
    runtime::DestroyPixelSurface(surface_);
    surface_ = nullptr;
    canvas_.SetSurface(nullptr);
}

void* TCustomWinDIB::Handle() const {
    return runtime::PixelSurfaceDC(surface_);
}

} // namespace toolkit
