#pragma once
// The picture loader: uncompressed Windows bitmaps of 24 and 32 bits, the formats the toolkit's
// images are drawn from.

#include "runtime/Exception.h"

#include <cstdint>
#include <string>
#include <vector>

namespace runtime {

class TStream;

/// A picture file that is missing, damaged or of a format the loader does not read.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

struct TPicture {
    int Width = 0;
    int Height = 0;
    int BitsPerPixel = 0; ///< of the file: 24 or 32
    /// Width x Height pixels, bytes blue, green, red, alpha, bottom row first; alpha is the
    /// file's for 32 bits and 0 for 24.
    std::vector<std::uint8_t> Pixels;
};

/// Reads a picture file; EInvalidGraphic (EFOpenError when it cannot be opened) otherwise.
TPicture LoadPicture(const std::string& fileName);
TPicture LoadPicture(TStream& stream);

/// Writes a 32-bit uncompressed bitmap file (bottom-up, alpha kept).
void SaveBitmap32(const TPicture& picture, TStream& stream);

} // namespace runtime
