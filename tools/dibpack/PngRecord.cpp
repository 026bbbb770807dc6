#include "PngRecord.h"

#include <string>

#ifdef WADLING_HAVE_PNG
#include <png.h>
#endif

namespace dibpack {

RecordSize CheckRecord(const std::vector<std::uint8_t>& record) {
    if (record.size() < 4)
        throw ToolError("not an image record: " + std::to_string(record.size()) + " bytes");
    const unsigned width = record[0] | (record[1] << 8);
    const unsigned height = record[2] | (record[3] << 8);
    const std::uint64_t expected = 4 + std::uint64_t(width) * height * 4;
    if (width == 0 || height == 0 || expected != record.size())
        throw ToolError("not an image record: " + std::to_string(record.size()) +
                        " bytes, but the header says " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels (" + std::to_string(expected) +
                        " bytes)");
    return {width, height};
}

#ifdef WADLING_HAVE_PNG

bool HavePng() {
    return true;
}

std::vector<std::uint8_t> ReadPngAsRecord(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.string().c_str()))
        throw ToolError("cannot read PNG " + file.string() + ": " + image.message);
    if (image.width == 0 || image.height == 0 || image.width > 65535 || image.height > 65535) {
        png_image_free(&image);
        throw ToolError("PNG " + file.string() + " is " + std::to_string(image.width) + " x " +
                        std::to_string(image.height) +
                        " pixels; an image record holds 1 to 65535 in each direction");
    }
    image.format = PNG_FORMAT_BGRA;
    const std::size_t rowBytes = std::size_t(image.width) * 4;
    std::vector<std::uint8_t> record(4 + rowBytes * image.height);
    record[0] = std::uint8_t(image.width);
    record[1] = std::uint8_t(image.width >> 8);
    record[2] = std::uint8_t(image.height);
    record[3] = std::uint8_t(image.height >> 8);
    // A negative stride makes libpng fill the rows bottom-up, as the record keeps them.
    if (!png_image_finish_read(&image, nullptr, record.data() + 4,
                               -static_cast<png_int_32>(rowBytes), nullptr)) {
        const std::string message = image.message;
        png_image_free(&image);
        throw ToolError("cannot read PNG " + file.string() + ": " + message);
    }
    return record;
}

void WriteRecordAsPng(const std::vector<std::uint8_t>& record, const std::filesystem::path& file) {
    const RecordSize size = CheckRecord(record);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = size.width;
    image.height = size.height;
    image.format = PNG_FORMAT_BGRA;
    const auto stride = static_cast<png_int_32>(size.width * 4);
    if (!png_image_write_to_file(&image, file.string().c_str(), 0, record.data() + 4, -stride,
                                 nullptr))
        throw ToolError("cannot write PNG " + file.string() + ": " + image.message);
}

#else

bool HavePng() {
    return false;
}

std::vector<std::uint8_t> ReadPngAsRecord(const std::filesystem::path&) {
    throw ToolError("this dibpack was built without PNG support (libpng not found)");
}

void WriteRecordAsPng(const std::vector<std::uint8_t>&, const std::filesystem::path&) {
    throw ToolError("this dibpack was built without PNG support (libpng not found)");
}

#endif

} // namespace dibpack
