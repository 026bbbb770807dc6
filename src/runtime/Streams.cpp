#include "runtime/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace runtime {

namespace {

std::int64_t resolveSeek(std::int64_t offset, TSeekOrigin origin, std::int64_t position,
                         std::int64_t size) {
    std::int64_t base = 0;
    switch (origin) {
    case TSeekOrigin::soBeginning:
        base = 0;
        break;
    case TSeekOrigin::soCurrent:
        base = position;
        break;
    case TSeekOrigin::soEnd:
        base = size;
        break;
    }
    if ((offset < 0 && base < -offset) ||
        (offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset))
        throw EStreamError("Invalid stream position");
    return base + offset;
}

std::string systemReason() {
    const int code = errno;
    return code != 0 ? std::string(std::strerror(code)) : std::string("Unknown error");
}

} // namespace

// TStream

std::int64_t TStream::Size() {
    const std::int64_t here = Position();
    const std::int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(here, TSeekOrigin::soBeginning);
    return end;
}

void TStream::SetSize(std::int64_t) {
    throw EStreamError("Stream cannot be resized");
}

std::int64_t TStream::Remaining() {
    const std::int64_t here = Position();
    const std::int64_t size = Size();
    return size > here ? size - here : 0;
}

void TStream::ReadBuffer(void* buffer, std::size_t count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    while (count > 0) {
        const std::size_t got = Read(bytes, count);
        if (got == 0) throw EReadError();
        bytes += got;
        count -= got;
    }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    while (count > 0) {
        const std::size_t put = Write(bytes, count);
        if (put == 0) throw EWriteError();
        bytes += put;
        count -= put;
    }
}

void TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count < 0) throw EStreamError("Invalid stream copy length");
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, 65536)));
    while (count > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(count, 65536));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        count -= static_cast<std::int64_t>(n);
    }
}

std::uint16_t TStream::ReadUInt16LE() {
    std::uint8_t b[2];
    ReadBuffer(b, 2);
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t TStream::ReadUInt32LE() {
    std::uint8_t b[4];
    ReadBuffer(b, 4);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16) |
           (std::uint32_t(b[3]) << 24);
}

void TStream::WriteUInt16LE(std::uint16_t value) {
    const std::uint8_t b[2] = {std::uint8_t(value), std::uint8_t(value >> 8)};
    WriteBuffer(b, 2);
}

void TStream::WriteUInt32LE(std::uint32_t value) {
    const std::uint8_t b[4] = {std::uint8_t(value), std::uint8_t(value >> 8),
                               std::uint8_t(value >> 16), std::uint8_t(value >> 24)};
    WriteBuffer(b, 4);
}

// TCustomMemoryStream

void TCustomMemoryStream::SetPointer(std::uint8_t* data, std::size_t size) {
    data_ = data;
    size_ = size;
}

std::size_t TCustomMemoryStream::Read(void* buffer, std::size_t count) {
    if (position_ >= size_) return 0;
    const std::size_t n = std::min(count, size_ - position_);
    if (n > 0) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    return n;
}

std::size_t TCustomMemoryStream::Write(const void* buffer, std::size_t count) {
    if (position_ >= size_) return 0;
    const std::size_t n = std::min(count, size_ - position_);
    if (n > 0) std::memcpy(data_ + position_, buffer, n);
    position_ += n;
    return n;
}

std::int64_t TCustomMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t target = resolveSeek(offset, origin, static_cast<std::int64_t>(position_),
                                            static_cast<std::int64_t>(size_));
    if (static_cast<std::uint64_t>(target) > std::numeric_limits<std::size_t>::max())
        throw EStreamError("Invalid stream position");
    position_ = static_cast<std::size_t>(target);
    return target;
}

void TCustomMemoryStream::SaveToStream(TStream& target) const {
    if (size_ > 0) target.WriteBuffer(data_, size_);
}

void TCustomMemoryStream::SaveToFile(const std::filesystem::path& fileName) const {
    TFileStream file(fileName, TFileMode::fmCreate);
    SaveToStream(file);
}

// TReadOnlyMemoryStream

TReadOnlyMemoryStream::TReadOnlyMemoryStream(const void* data, std::size_t size) {
    // The view never writes: Write and SetSize are refused below.
    SetPointer(const_cast<std::uint8_t*>(static_cast<const std::uint8_t*>(data)), size);
}

std::size_t TReadOnlyMemoryStream::Write(const void*, std::size_t) {
    return 0;
}

void TReadOnlyMemoryStream::SetSize(std::int64_t) {
    throw EStreamError("Stream cannot be resized");
}

// TMemoryStream

TMemoryStream::TMemoryStream(TMemoryStream&& other) noexcept {
    *this = std::move(other);
}

TMemoryStream& TMemoryStream::operator=(TMemoryStream&& other) noexcept {
    if (this != &other) {
        block_ = std::move(other.block_);
        SetPointer(block_.data(), block_.size());
        position_ = other.position_;
        other.block_.clear();
        other.SetPointer(nullptr, 0);
        other.position_ = 0;
    }
    return *this;
}

void TMemoryStream::Grow(std::size_t size) {
    AllocateOrRaise<EStreamError>("Out of memory while expanding memory stream", [&] {
        if (size > block_.capacity())
            block_.reserve(std::max(size, block_.capacity() + block_.capacity() / 2));
        block_.resize(size);
    });
    SetPointer(block_.data(), block_.size());
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
    if (count == 0) return 0;
    if (count > std::numeric_limits<std::size_t>::max() - position_)
        throw EStreamError("Out of memory while expanding memory stream");
    const std::size_t end = position_ + count;
    if (end > size_) Grow(end);
    std::memcpy(data_ + position_, buffer, count);
    position_ = end;
    return count;
}

void TMemoryStream::SetSize(std::int64_t size) {
    if (size < 0 || static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max())
        throw EStreamError("Out of memory while expanding memory stream");
    Grow(static_cast<std::size_t>(size));
    position_ = std::min(position_, size_);
}

void TMemoryStream::Reserve(std::int64_t size) {
    if (size < 0 || static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max())
        throw EStreamError("Out of memory while expanding memory stream");
    try {
        block_.reserve(static_cast<std::size_t>(size));
    } catch (const std::exception&) {
        throw EStreamError("Out of memory while expanding memory stream");
    }
    SetPointer(block_.data(), block_.size());
}

void TMemoryStream::Clear() {
    block_.clear();
    block_.shrink_to_fit();
    SetPointer(nullptr, 0);
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const std::int64_t size = source.Size();
    SetSize(size);
    position_ = 0;
    if (size > 0) source.ReadBuffer(data_, size_);
}

void TMemoryStream::LoadFromFile(const std::filesystem::path& fileName) {
    TFileStream file(fileName, TFileMode::fmOpenRead);
    LoadFromStream(file);
}

// TFileStream

TFileStream::TFileStream(const std::filesystem::path& fileName, TFileMode mode)
    : fileName_(fileName), canRead_(true), canWrite_(mode != TFileMode::fmOpenRead) {
    std::ios::openmode flags = std::ios::binary;
    switch (mode) {
    case TFileMode::fmCreate:
        flags |= std::ios::in | std::ios::out | std::ios::trunc;
        break;
    case TFileMode::fmOpenRead:
        flags |= std::ios::in;
        break;
    case TFileMode::fmOpenWrite:
    case TFileMode::fmOpenReadWrite:
        flags |= std::ios::in | std::ios::out;
        break;
    }
    canRead_ = mode != TFileMode::fmOpenWrite;
    errno = 0;
    if (file_.open(fileName, flags) == nullptr) {
        const std::string reason = systemReason();
        if (mode == TFileMode::fmCreate)
            throw EFCreateError("Cannot create file \"" + fileName.string() + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName.string() + "\". " + reason);
    }
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
    if (!canRead_ || count == 0) return 0;
    const auto limit = static_cast<std::size_t>(std::numeric_limits<std::streamsize>::max());
    const std::streamsize got = file_.sgetn(static_cast<char*>(buffer),
                                            static_cast<std::streamsize>(std::min(count, limit)));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
    if (!canWrite_ || count == 0) return 0;
    const auto limit = static_cast<std::size_t>(std::numeric_limits<std::streamsize>::max());
    const std::streamsize put = file_.sputn(static_cast<const char*>(buffer),
                                            static_cast<std::streamsize>(std::min(count, limit)));
    // A full disk shows only when the buffer is flushed: flush now so that WriteBuffer sees it.
    if (put <= 0 || file_.pubsync() != 0) return 0;
    return static_cast<std::size_t>(put);
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::ios::seekdir dir = std::ios::beg;
    if (origin == TSeekOrigin::soCurrent) dir = std::ios::cur;
    if (origin == TSeekOrigin::soEnd) dir = std::ios::end;
    const std::streamoff at =
        file_.pubseekoff(static_cast<std::streamoff>(offset), dir, std::ios::in | std::ios::out);
    if (at < 0) throw EStreamError("Invalid stream position");
    return static_cast<std::int64_t>(at);
}

} // namespace runtime
