#pragma once
// Byte streams: the abstract stream, memory streams (owning or viewing) and file streams.
// Positions and sizes are 64-bit on every target.

#include "runtime/Exception.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace runtime {

class EStreamError : public Exception {
public:
    using Exception::Exception;
};
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
};
class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
};
class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    /// Reads up to count bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    /// Writes up to count bytes; returns how many were written.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;
    /// Moves the position and returns the new one. Seeking before the start raises EStreamError.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
    virtual std::int64_t Size();
    virtual void SetSize(std::int64_t size);
    /// Bytes from the position to the end (0 when positioned past the end).
    std::int64_t Remaining();

    /// Reads exactly count bytes or raises EReadError.
    void ReadBuffer(void* buffer, std::size_t count);
    /// Writes exactly count bytes or raises EWriteError.
    void WriteBuffer(const void* buffer, std::size_t count);
    /// Copies exactly count bytes from source's position; raises EReadError when source ends.
    void CopyFrom(TStream& source, std::int64_t count);

    std::uint16_t ReadUInt16LE();
    std::uint32_t ReadUInt32LE();
    void WriteUInt16LE(std::uint16_t value);
    void WriteUInt32LE(std::uint32_t value);
};

/// A stream over one block of memory. As a view (SetPointer) it reads memory it does not own
/// and refuses writes beyond the block; TMemoryStream owns and grows its block.
class TCustomMemoryStream : public TStream {
public:
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(size_); }

    const std::uint8_t* Memory() const { return data_; }
    /// Size() for a const stream: the block's length.
    std::size_t MemorySize() const { return size_; }
    void SaveToStream(TStream& target) const;
    void SaveToFile(const std::filesystem::path& fileName) const;

protected:
    void SetPointer(std::uint8_t* data, std::size_t size);
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};

/// Reads a block of memory owned by someone else (embedded data), without copying it.
class TReadOnlyMemoryStream : public TCustomMemoryStream {
public:
    TReadOnlyMemoryStream(const void* data, std::size_t size);
    std::size_t Write(const void* buffer, std::size_t count) override;
    void SetSize(std::int64_t size) override;
};

class TMemoryStream : public TCustomMemoryStream {
public:
    TMemoryStream() = default;
    TMemoryStream(TMemoryStream&& other) noexcept;
    TMemoryStream& operator=(TMemoryStream&& other) noexcept;

    std::size_t Write(const void* buffer, std::size_t count) override;
    /// Resizes the block (new bytes are 0); the position is kept, clamped to the new size.
    void SetSize(std::int64_t size) override;
    /// Reserves capacity for size bytes without changing Size.
    void Reserve(std::int64_t size);
    std::uint8_t* Memory() { return data_; }
    using TCustomMemoryStream::Memory;
    void Clear();
    /// Replaces the content with the whole of source (from its start).
    void LoadFromStream(TStream& source);
    void LoadFromFile(const std::filesystem::path& fileName);

private:
    void Grow(std::size_t size);
    std::vector<std::uint8_t> block_;
};

enum class TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };

class TFileStream : public TStream {
public:
    /// fmCreate creates or truncates; the open modes require an existing file.
    TFileStream(const std::filesystem::path& fileName, TFileMode mode);
    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    const std::filesystem::path& FileName() const { return fileName_; }

private:
    std::filesystem::path fileName_;
    std::filebuf file_;
    bool canRead_;
    bool canWrite_;
};

} // namespace runtime
