#include "runtime/BinaryStreams.h"

namespace runtime {

std::uint64_t TBinaryReader::little(std::size_t width) {
    std::uint8_t bytes[8] = {};
    stream_.ReadBuffer(bytes, width);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= std::uint64_t(bytes[i]) << (8 * i);
    return value;
}

std::uint8_t TBinaryReader::ReadUInt8() {
    return static_cast<std::uint8_t>(little(1));
}

std::uint16_t TBinaryReader::ReadUInt16() {
    return static_cast<std::uint16_t>(little(2));
}

std::uint32_t TBinaryReader::ReadUInt32() {
    return static_cast<std::uint32_t>(little(4));
}

std::uint64_t TBinaryReader::ReadUInt64() {
    return little(8);
}

std::string TBinaryReader::ReadText(std::uint64_t length) {
    if (length > Remaining()) throw EReadError();
    std::string text(static_cast<std::size_t>(length), '\0');
    if (!text.empty()) stream_.ReadBuffer(text.data(), text.size());
    return text;
}

void TBinaryReader::Skip(std::uint64_t count) {
    if (count > Remaining()) throw EReadError();
    stream_.Seek(static_cast<std::int64_t>(count), TSeekOrigin::soCurrent);
}

std::uint64_t TBinaryReader::Remaining() {
    return static_cast<std::uint64_t>(stream_.Remaining());
}

void TBinaryWriter::little(std::uint64_t value, std::size_t width) {
    std::uint8_t bytes[8];
    for (std::size_t i = 0; i < width; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    stream_.WriteBuffer(bytes, width);
}

} // namespace runtime
