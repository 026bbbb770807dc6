#pragma once
// Conversion between PNG files and raw image records (width, height, bottom-up BGRA rows,
// straight alpha).

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <vector>

namespace dibpack {

class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// True when this build can read and write PNG files.
bool HavePng();
/// Reads a PNG of any colour type into a raw image record; raises ToolError.
std::vector<std::uint8_t> ReadPngAsRecord(const std::filesystem::path& file);
/// Writes a raw image record as an 8-bit RGBA PNG; raises ToolError.
void WriteRecordAsPng(const std::vector<std::uint8_t>& record, const std::filesystem::path& file);

struct RecordSize {
    unsigned width;
    unsigned height;
};
/// The record's width and height when its length is exactly 4 + width x height x 4 with both
/// sizes non-zero; raises ToolError otherwise.
RecordSize CheckRecord(const std::vector<std::uint8_t>& record);

} // namespace dibpack
