#include "runtime/Picture.h"

#include "runtime/Streams.h"

#include <cstring>
#include <limits>

namespace runtime {

namespace {

constexpr std::int64_t kMaxSide = 65535;

std::uint32_t le32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) {
    return std::uint16_t(p[0] | (p[1] << 8));
}

[[noreturn]] void invalid(const std::string& why) {
    throw EInvalidGraphic("Invalid bitmap: " + why);
}

} // namespace

TPicture LoadPicture(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    return LoadPicture(file);
}

TPicture LoadPicture(TStream& stream) {
    // Headers: 14-byte file header, then at least the 40-byte information header.
    std::uint8_t head[54];
    if (stream.Read(head, sizeof head) != sizeof head) invalid("file too short");
    if (head[0] != 'B' || head[1] != 'M') invalid("not a bitmap file");
    const std::uint32_t dataOffset = le32(head + 10);
    const std::uint32_t infoSize = le32(head + 14);
    if (infoSize < 40) invalid("unsupported header");
    const auto width = static_cast<std::int32_t>(le32(head + 18));
    const auto rawHeight = static_cast<std::int32_t>(le32(head + 22));
    const std::uint16_t bits = le16(head + 28);
    const std::uint32_t compression = le32(head + 30);
    if (bits != 24 && bits != 32) invalid("only 24- and 32-bit pictures are supported");
    // BI_RGB, or BI_BITFIELDS with the standard 32-bit masks.
    if (compression != 0 && !(compression == 3 && bits == 32))
        invalid("compressed pictures are not supported");
    const bool topDown = rawHeight < 0;
    const std::int64_t height = topDown ? -std::int64_t(rawHeight) : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) invalid("bad size");
    if (compression == 3) {
        std::uint8_t masks[12];
        if (infoSize < 52 && dataOffset < 14 + infoSize + 12) invalid("missing colour masks");
        stream.SetPosition(14 + 40);
        if (stream.Read(masks, 12) != 12) invalid("missing colour masks");
        if (le32(masks) != 0x00FF0000 || le32(masks + 4) != 0x0000FF00 ||
            le32(masks + 8) != 0x000000FF)
            invalid("unsupported colour masks");
    }
    const std::size_t bytesPerPixel = bits / 8;
    const std::size_t stride = (std::size_t(width) * bytesPerPixel + 3) & ~std::size_t(3);
    const auto total = static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
    if (stream.Size() < static_cast<std::int64_t>(dataOffset) ||
        static_cast<std::uint64_t>(stream.Size() - dataOffset) < total)
        invalid("pixel data is truncated");
    stream.SetPosition(dataOffset);

    TPicture picture;
    picture.Width = width;
    picture.Height = static_cast<int>(height);
    picture.BitsPerPixel = bits;
    picture.Pixels.assign(std::size_t(width) * std::size_t(height) * 4, 0);
    std::vector<std::uint8_t> row(stride);
    for (std::int64_t y = 0; y < height; ++y) {
        stream.ReadBuffer(row.data(), stride);
        const std::int64_t target = topDown ? height - 1 - y : y; // bottom row first
        std::uint8_t* out = picture.Pixels.data() + std::size_t(target) * std::size_t(width) * 4;
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint8_t* in = row.data() + std::size_t(x) * bytesPerPixel;
            out[x * 4 + 0] = in[0];
            out[x * 4 + 1] = in[1];
            out[x * 4 + 2] = in[2];
            out[x * 4 + 3] = bits == 32 ? in[3] : 0;
        }
    }
    return picture;
}

void SaveBitmap32(const TPicture& picture, TStream& stream) {
    const std::uint32_t pixelBytes = static_cast<std::uint32_t>(picture.Pixels.size());
    std::uint8_t head[54] = {'B', 'M'};
    auto put32 = [&](int at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            head[at + i] = std::uint8_t(v >> (8 * i));
    };
    put32(2, 54 + pixelBytes);
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(picture.Width));
    put32(22, static_cast<std::uint32_t>(picture.Height));
    head[26] = 1;
    head[28] = 32;
    put32(34, pixelBytes);
    stream.WriteBuffer(head, sizeof head);
    stream.WriteBuffer(picture.Pixels.data(), picture.Pixels.size());
}

} // namespace runtime
