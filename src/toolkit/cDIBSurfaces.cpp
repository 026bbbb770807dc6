// The two kinds of surface: pixels in plain memory, and pixels the system can draw on.
#include "toolkit/cDIBKernels.h"

#include "platform/Platform.h"

#include <memory>

namespace toolkit {

using namespace dib;

TCustomMemoryDIB::~TCustomMemoryDIB() {
    releasePixels();
}

std::uint8_t* TCustomMemoryDIB::AllocPixels(int width, int height) {
    buffer_ = runtime::AllocateOrRaise<EDIBError>(
        [=] { return sizeMessage(width, height); },
        [=] {
            return std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(width) * height * 4);
        });
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
