#pragma once
// Little-endian binary records over a stream: unsigned integers of 8 to 64 bits, raw bytes and
// texts whose length the record format carries. Both stored formats of the toolkit (feature
// parameters and control templates) are written and read through this pair, so that every
// target writes the same bytes and every reader of untrusted bytes has the same bounds.

#include "runtime/Streams.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace runtime {

/// Reads records from the stream's position on. A read beyond the end raises EReadError; a
/// text or a skip longer than what is left raises it before anything is read or allocated, so
/// a damaged length costs nothing.
class TBinaryReader {
public:
    explicit TBinaryReader(TStream& stream) : stream_(stream) {}

    std::uint8_t ReadUInt8();
    std::uint16_t ReadUInt16();
    std::uint32_t ReadUInt32();
    std::uint64_t ReadUInt64();
    /// Exactly count bytes.
    void ReadBuffer(void* buffer, std::size_t count) { stream_.ReadBuffer(buffer, count); }
    /// The next `length` bytes as they stand.
    std::string ReadText(std::uint64_t length);
    void Skip(std::uint64_t count);
    /// Bytes from the position to the end (0 past the end).
    std::uint64_t Remaining();

private:
    std::uint64_t little(std::size_t width);

    TStream& stream_;
};

/// Writes records at the stream's position; a stream that takes fewer bytes raises EWriteError.
class TBinaryWriter {
public:
    explicit TBinaryWriter(TStream& stream) : stream_(stream) {}

    void WriteUInt8(std::uint8_t value) { little(value, 1); }
    void WriteUInt16(std::uint16_t value) { little(value, 2); }
    void WriteUInt32(std::uint32_t value) { little(value, 4); }
    void WriteUInt64(std::uint64_t value) { little(value, 8); }
    void WriteBuffer(const void* buffer, std::size_t count) { stream_.WriteBuffer(buffer, count); }
    /// The text's bytes alone: the record format says where its length goes.
    void WriteText(std::string_view text) { WriteBuffer(text.data(), text.size()); }

private:
    void little(std::uint64_t value, std::size_t width);

    TStream& stream_;
};

} // namespace runtime
