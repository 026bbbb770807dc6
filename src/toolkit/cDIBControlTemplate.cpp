// Templates of controls and the component streams of their wrapped images and objects.
//
// Component stream (integers little-endian):
//   "WCS1", class name (u32 length + bytes), then property records until a name length of 0:
//   u32 name length, name bytes, u8 tag, value. Tags: 1 integer (int64), 2 floating point (80-bit
//   extended), 3 text (u32 length + bytes), 4 binary (u32 length + bytes), 5 object (nested
//   property records, ended by a name length of 0). Readers skip records they do not know, so
//   the form reads back whatever class wrote it.
#include "toolkit/cDIBControl.h"

#include "runtime/GUID.h"
#include "runtime/Properties.h"
#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace toolkit {

using runtime::TPropInfo;
using runtime::TStream;
using runtime::TTypeKind;

namespace {

constexpr char kStreamSignature[4] = {'W', 'C', 'S', '1'};
constexpr int kMaxObjectDepth = 8;

enum Tag : std::uint8_t { tagInteger = 1, tagFloat = 2, tagText = 3, tagBinary = 4, tagObject = 5 };

[[noreturn]] void damaged(const std::string& what) {
    throw EDIBControlError("Damaged template stream: " + what);
}

// ---- Little helpers on streams ------------------------------------------------------------

std::uint64_t remaining(TStream& stream) {
    const std::int64_t r = stream.Remaining();
    return r > 0 ? static_cast<std::uint64_t>(r) : 0;
}

/// A length read from the stream that must fit in what is left of it.
std::uint32_t readLength(TStream& stream, const char* what) {
    const std::uint32_t length = stream.ReadUInt32LE();
    if (length > remaining(stream)) damaged(std::string(what) + " longer than the stream");
    return length;
}

std::string readText(TStream& stream, const char* what) {
    std::string text(readLength(stream, what), '\0');
    if (!text.empty()) stream.ReadBuffer(text.data(), text.size());
    return text;
}

void writeText(TStream& stream, const std::string& text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) damaged("text too long");
    stream.WriteUInt32LE(static_cast<std::uint32_t>(text.size()));
    if (!text.empty()) stream.WriteBuffer(text.data(), text.size());
}

void skip(TStream& stream, std::uint64_t count) {
    if (count > remaining(stream)) throw runtime::EReadError();
    stream.Seek(static_cast<std::int64_t>(count), runtime::TSeekOrigin::soCurrent);
}

void writeInt32(TStream& stream, std::int32_t value) {
    stream.WriteUInt32LE(static_cast<std::uint32_t>(value));
}

std::int32_t readInt32(TStream& stream) {
    return static_cast<std::int32_t>(stream.ReadUInt32LE());
}

void writeInt64(TStream& stream, std::int64_t value) {
    const auto v = static_cast<std::uint64_t>(value);
    stream.WriteUInt32LE(static_cast<std::uint32_t>(v));
    stream.WriteUInt32LE(static_cast<std::uint32_t>(v >> 32));
}

std::int64_t readInt64(TStream& stream) {
    const std::uint64_t low = stream.ReadUInt32LE();
    const std::uint64_t high = stream.ReadUInt32LE();
    return static_cast<std::int64_t>(low | (high << 32));
}

// ---- 80-bit extended, built by hand so that every target writes the same bytes --------------

std::array<std::uint8_t, 10> toExtended(long double value) {
    std::array<std::uint8_t, 10> out{};
    std::uint16_t signExponent = std::signbit(value) ? 0x8000 : 0;
    std::uint64_t mantissa = 0;
    if (std::isnan(value)) {
        signExponent |= 0x7FFF;
        mantissa = 0xC000000000000000ull;
    } else if (std::isinf(value)) {
        signExponent |= 0x7FFF;
        mantissa = 0x8000000000000000ull;
    } else if (value != 0) {
        int exponent = 0;
        const long double fraction = std::frexp(std::fabs(value), &exponent); // [0.5, 1)
        mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        int biased = exponent - 1 + 16383;
        if (biased >= 0x7FFF) {
            biased = 0x7FFF;
            mantissa = 0x8000000000000000ull;
        } else if (biased <= 0) {
            const int shift = 1 - biased;
            mantissa = shift < 64 ? mantissa >> shift : 0;
            biased = 0;
        }
        signExponent |= static_cast<std::uint16_t>(biased);
    }
    for (int i = 0; i < 8; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(mantissa >> (8 * i));
    out[8] = static_cast<std::uint8_t>(signExponent);
    out[9] = static_cast<std::uint8_t>(signExponent >> 8);
    return out;
}

long double fromExtended(const std::uint8_t* bytes) {
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | bytes[i];
    const int signExponent = bytes[8] | (bytes[9] << 8);
    const bool negative = (signExponent & 0x8000) != 0;
    const int exponent = signExponent & 0x7FFF;
    long double value = 0;
    if (exponent == 0x7FFF)
        value = (mantissa << 1) == 0 ? std::numeric_limits<long double>::infinity()
                                     : std::numeric_limits<long double>::quiet_NaN();
    else
        value = std::ldexp(static_cast<long double>(mantissa),
                           (exponent == 0 ? 1 : exponent) - 16383 - 63);
    return negative ? -value : value;
}

void writeExtended(TStream& stream, long double value) {
    const auto bytes = toExtended(value);
    stream.WriteBuffer(bytes.data(), bytes.size());
}

long double readExtended(TStream& stream) {
    std::array<std::uint8_t, 10> bytes{};
    stream.ReadBuffer(bytes.data(), bytes.size());
    return fromExtended(bytes.data());
}

// ---- Component stream records -------------------------------------------------------------

void writeHeader(TStream& stream, const std::string& className) {
    stream.WriteBuffer(kStreamSignature, sizeof kStreamSignature);
    writeText(stream, className);
}

void readHeader(TStream& stream, const std::string& className) {
    char signature[4] = {};
    stream.ReadBuffer(signature, sizeof signature);
    if (std::memcmp(signature, kStreamSignature, sizeof signature) != 0)
        damaged("not a component stream");
    if (readText(stream, "class name") != className) damaged("a component of another class");
}

void beginRecord(TStream& stream, const std::string& name, Tag tag) {
    writeText(stream, name);
    stream.WriteBuffer(&tag, 1);
}

void endRecords(TStream& stream) {
    stream.WriteUInt32LE(0);
}

/// Skips the value of a record whose tag was read.
void skipValue(TStream& stream, std::uint8_t tag, int depth);

void skipRecords(TStream& stream, int depth) {
    if (depth > kMaxObjectDepth) damaged("objects nested too deeply");
    for (;;) {
        const std::uint32_t nameLength = readLength(stream, "property name");
        if (nameLength == 0) return;
        skip(stream, nameLength);
        std::uint8_t tag = 0;
        stream.ReadBuffer(&tag, 1);
        skipValue(stream, tag, depth);
    }
}

void skipValue(TStream& stream, std::uint8_t tag, int depth) {
    switch (tag) {
    case tagInteger:
        skip(stream, 8);
        break;
    case tagFloat:
        skip(stream, 10);
        break;
    case tagText:
    case tagBinary:
        skip(stream, readLength(stream, "value"));
        break;
    case tagObject:
        skipRecords(stream, depth + 1);
        break;
    default:
        damaged("unknown value tag " + std::to_string(tag));
    }
}

/// Writes the published properties of `object` that a template can carry.
void writeObjectRecords(TStream& stream, runtime::TPersistent& object, int depth) {
    if (depth > kMaxObjectDepth) damaged("objects nested too deeply");
    for (const TPropInfo* info : runtime::GetPropList(object)) {
        if (info->IsOrdinal() && info->GetOrd) {
            beginRecord(stream, info->Name, tagInteger);
            writeInt64(stream, info->GetOrd(object));
        } else if (info->Kind == TTypeKind::tkFloat && info->GetFloat) {
            beginRecord(stream, info->Name, tagFloat);
            writeExtended(stream, info->GetFloat(object));
        } else if (info->IsString() && info->GetStr) {
            beginRecord(stream, info->Name, tagText);
            writeText(stream, info->GetStr(object));
        } else if (info->Kind == TTypeKind::tkClass && info->GetObject) {
            runtime::TPersistent* inner = info->GetObject(object);
            if (inner == nullptr || dynamic_cast<runtime::TComponent*>(inner) != nullptr) continue;
            beginRecord(stream, info->Name, tagObject);
            writeObjectRecords(stream, *inner, depth + 1);
        }
    }
    endRecords(stream);
}

/// Sets the properties the records name; records naming nothing, or a value of another kind,
/// are skipped.
void readObjectRecords(TStream& stream, runtime::TPersistent& object, int depth) {
    if (depth > kMaxObjectDepth) damaged("objects nested too deeply");
    for (;;) {
        const std::string name = readText(stream, "property name");
        if (name.empty()) return;
        std::uint8_t tag = 0;
        stream.ReadBuffer(&tag, 1);
        const TPropInfo* info = runtime::GetPropInfo(object, name);
        if (info == nullptr) {
            skipValue(stream, tag, depth);
        } else if (tag == tagInteger && info->IsOrdinal() && info->SetOrd) {
            info->SetOrd(object, readInt64(stream));
        } else if (tag == tagFloat && info->Kind == TTypeKind::tkFloat && info->SetFloat) {
            info->SetFloat(object, readExtended(stream));
        } else if (tag == tagText && info->IsString() && info->SetStr) {
            info->SetStr(object, readText(stream, "text"));
        } else if (tag == tagObject && info->Kind == TTypeKind::tkClass && info->GetObject) {
            runtime::TPersistent* inner = info->GetObject(object);
            if (inner == nullptr || dynamic_cast<runtime::TComponent*>(inner) != nullptr)
                skipValue(stream, tag, depth);
            else
                readObjectRecords(stream, *inner, depth + 1);
        } else {
            skipValue(stream, tag, depth);
        }
    }
}

// ---- The surface of a TDIBWrapper ---------------------------------------------------------

void writeSurface(TStream& stream, TCustomMemoryDIB& dib) {
    beginRecord(stream, "Angle", tagFloat);
    writeExtended(stream, dib.Angle());
    beginRecord(stream, "AutoSize", tagInteger);
    writeInt64(stream, dib.AutoSize() ? 1 : 0);
    beginRecord(stream, "Height", tagInteger);
    writeInt64(stream, dib.Height());
    beginRecord(stream, "Masked", tagInteger);
    writeInt64(stream, dib.Masked() ? 1 : 0);
    beginRecord(stream, "Opacity", tagInteger);
    writeInt64(stream, dib.Opacity());
    beginRecord(stream, "Scale", tagFloat);
    writeExtended(stream, dib.Scale());
    beginRecord(stream, "Transparent", tagInteger);
    writeInt64(stream, dib.Transparent() ? 1 : 0);
    beginRecord(stream, "TransparentColor", tagInteger);
    writeInt64(stream, dib.TransparentColor());
    beginRecord(stream, "TransparentMode", tagInteger);
    writeInt64(stream, dib.TransparentMode());
    beginRecord(stream, "Width", tagInteger);
    writeInt64(stream, dib.Width());
    if (dib.HasPixels()) {
        runtime::TMemoryStream data;
        dib.WriteData(data);
        beginRecord(stream, "Data", tagBinary);
        stream.WriteUInt32LE(static_cast<std::uint32_t>(data.Size()));
        if (data.Size() > 0)
            stream.WriteBuffer(data.Memory(), static_cast<std::size_t>(data.Size()));
    }
    beginRecord(stream, "ImageFilename", tagText);
    writeText(stream, dib.ImageFilename);
    beginRecord(stream, "MaskFilename", tagText);
    writeText(stream, dib.MaskFilename);
    endRecords(stream);
}

bool sameName(const std::string& a, const char* b) {
    const std::size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

void readSurface(TStream& stream, TCustomMemoryDIB& dib) {
    for (;;) {
        const std::string name = readText(stream, "property name");
        if (name.empty()) return;
        std::uint8_t tag = 0;
        stream.ReadBuffer(&tag, 1);
        if (tag == tagInteger) {
            // Width and Height are not applied: Data carries the size with the pixels, so no
            // allocation follows a size that the stream does not back with pixels.
            const std::int64_t v = readInt64(stream);
            if (sameName(name, "AutoSize"))
                dib.SetAutoSize(v != 0);
            else if (sameName(name, "Masked"))
                dib.SetMasked(v != 0);
            else if (sameName(name, "Opacity"))
                dib.SetOpacity(static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255)));
            else if (sameName(name, "Transparent"))
                dib.SetTransparent(v != 0);
            else if (sameName(name, "TransparentColor"))
                dib.SetTransparentColor(static_cast<TColor>(v));
            else if (sameName(name, "TransparentMode"))
                dib.SetTransparentMode(v == tmFixed ? tmFixed : tmAuto);
        } else if (tag == tagFloat) {
            const long double v = readExtended(stream);
            if (sameName(name, "Angle"))
                dib.SetAngle(v);
            else if (sameName(name, "Scale"))
                dib.SetScale(v);
        } else if (tag == tagText) {
            std::string text = readText(stream, "text");
            if (sameName(name, "ImageFilename"))
                dib.ImageFilename = std::move(text);
            else if (sameName(name, "MaskFilename"))
                dib.MaskFilename = std::move(text);
        } else if (tag == tagBinary && sameName(name, "Data")) {
            // Bounded by the stream: readLength refuses more than it holds.
            runtime::TMemoryStream data;
            data.SetSize(readLength(stream, "image data"));
            if (data.Size() > 0)
                stream.ReadBuffer(data.Memory(), static_cast<std::size_t>(data.Size()));
            data.SetPosition(0);
            dib.ReadData(data);
        } else {
            skipValue(stream, tag, 0);
        }
    }
}

// ---- Template property values ------------------------------------------------------------

bool templatable(TTypeKind kind) {
    switch (kind) {
    case TTypeKind::tkInteger:
    case TTypeKind::tkChar:
    case TTypeKind::tkEnumeration:
    case TTypeKind::tkFloat:
    case TTypeKind::tkString:
    case TTypeKind::tkSet:
    case TTypeKind::tkClass:
    case TTypeKind::tkWChar:
    case TTypeKind::tkLString:
    case TTypeKind::tkWString:
    case TTypeKind::tkInt64:
        return true;
    default:
        return false;
    }
}

bool integerKind(TTypeKind kind) {
    return kind == TTypeKind::tkInteger || kind == TTypeKind::tkEnumeration ||
           kind == TTypeKind::tkSet || kind == TTypeKind::tkInt64;
}

std::string characterText(TTypeKind kind, std::int64_t code) {
    const auto c = static_cast<std::uint32_t>(code);
    if (kind == TTypeKind::tkChar || c < 0x80) return std::string(1, static_cast<char>(c & 0xFF));
    std::string utf8;
    if (c < 0x800) {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
    } else {
        utf8 += static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
        utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    }
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
    return utf8;
}

std::int64_t characterCode(TTypeKind kind, const std::string& text) {
    if (text.empty()) return 0;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (kind == TTypeKind::tkChar || b0 < 0x80 || text.size() < 2) return b0;
    const auto b1 = static_cast<unsigned char>(text[1]) & 0x3F;
    if ((b0 & 0xE0) == 0xC0) return ((b0 & 0x1F) << 6) | b1;
    if (text.size() < 3) return b0;
    return ((b0 & 0x0F) << 12) | (b1 << 6) | (static_cast<unsigned char>(text[2]) & 0x3F);
}

/// Restores the current compressor when a save ends, however it ends.
class CompressorSelection {
public:
    CompressorSelection() : saved_(CurrentDIBCompressor()) { SetCurrentDIBCompressor(nullptr); }
    ~CompressorSelection() { SetCurrentDIBCompressor(saved_); }
    CompressorSelection(const CompressorSelection&) = delete;
    CompressorSelection& operator=(const CompressorSelection&) = delete;

private:
    TAbstractDIBCompressor* saved_;
};

// Smallest sizes of the parts, to refuse counts a stream cannot hold before reading them.
constexpr std::uint64_t kMinImageBytes = 4 + 4 + 4;
constexpr std::uint64_t kMinLinkBytes = 4 + 4 + 4;
constexpr std::uint64_t kMinPropertyBytes = 4 + 4;

void checkCount(TStream& stream, std::uint32_t count, std::uint64_t minBytes, const char* what) {
    if (count > remaining(stream) / minBytes)
        damaged(std::string("more ") + what + " than the stream holds");
}

} // namespace

// ---- Wrappers ---------------------------------------------------------------------------------

void TDIBWrapper::WriteToStream(TStream& stream) const {
    writeHeader(stream, ClassName());
    if (dib_ != nullptr) {
        beginRecord(stream, "DIB", tagObject);
        writeSurface(stream, *dib_);
    }
    endRecords(stream);
}

void TDIBWrapper::ReadFromStream(TStream& stream) {
    if (dib_ == nullptr) throw EDIBControlError("A TDIBWrapper needs a DIB to read into");
    readHeader(stream, ClassName());
    for (;;) {
        const std::string name = readText(stream, "property name");
        if (name.empty()) return;
        std::uint8_t tag = 0;
        stream.ReadBuffer(&tag, 1);
        if (tag == tagObject && sameName(name, "DIB"))
            readSurface(stream, *dib_);
        else
            skipValue(stream, tag, 0);
    }
}

void TPersistentWrapper::WriteToStream(TStream& stream) const {
    writeHeader(stream, ClassName());
    if (persistent_ != nullptr) {
        beginRecord(stream, "Persistent", tagObject);
        writeObjectRecords(stream, *persistent_, 1);
    }
    endRecords(stream);
}

void TPersistentWrapper::ReadFromStream(TStream& stream) {
    readHeader(stream, ClassName());
    for (;;) {
        const std::string name = readText(stream, "property name");
        if (name.empty()) return;
        std::uint8_t tag = 0;
        stream.ReadBuffer(&tag, 1);
        if (tag == tagObject && sameName(name, "Persistent") && persistent_ != nullptr)
            readObjectRecords(stream, *persistent_, 1);
        else
            skipValue(stream, tag, 0);
    }
}

// ---- Templates --------------------------------------------------------------------------------

void TCustomDIBControl::RegisterTemplateProperty(const std::string& name) {
    const TPropInfo* info = runtime::GetPropInfo(*this, name);
    if (info == nullptr)
        throw EDIBControlError("Class " + ClassName() + " is trying to register " + name +
                               " as a template property, and that property does not exist.");
    bool valid = templatable(info->Kind);
    if (valid && info->Kind == TTypeKind::tkClass) {
        runtime::TPersistent* object = info->GetObject ? info->GetObject(*this) : nullptr;
        valid = dynamic_cast<runtime::TComponent*>(object) == nullptr;
    }
    if (!valid) throw EDIBControlError("Attempting to template an invalid property type.");
    templateProps_.push_back(name);
}

void TCustomDIBControl::SaveTemplate(TStream& stream) {
    runtime::TGUID identifier;
    try {
        identifier = runtime::CreateGUID();
    } catch (const std::exception&) {
        throw EDIBControlError("Could not create a GUID for your new template.");
    }
    CompressorSelection raw;

    runtime::TMemoryStream images, linkRecords;
    std::vector<int> distinct;
    std::uint32_t linkCount = 0;
    const auto properties = runtime::GetPropList(*this);
    for (const auto& link : links_) {
        const TPropInfo* owner = nullptr;
        for (const TPropInfo* info : properties)
            if (info->Kind == TTypeKind::tkClass && info->GetObject &&
                info->GetObject(*this) == link.get()) {
                owner = info;
                break;
            }
        const int index = link->DIBIndex();
        if (owner == nullptr || imageList_ == nullptr || !imageList_->IsValidIndex(index)) continue;
        TDIBImagesItem* item = imageList_->DIBImages().Items(index);
        auto at = std::find(distinct.begin(), distinct.end(), index);
        if (at == distinct.end()) {
            item->MakeAvailable();
            TDIBWrapper wrapper(nullptr);
            wrapper.SetDIB(&item->DIB());
            wrapper.WriteToStream(images);
            distinct.push_back(index);
            at = distinct.end() - 1;
        }
        writeText(linkRecords, owner->Name);
        writeText(linkRecords, item->DisplayName());
        linkRecords.WriteUInt32LE(static_cast<std::uint32_t>(at - distinct.begin()));
        ++linkCount;
    }

    const auto bytes = identifier.ToBytes();
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.WriteUInt32LE(static_cast<std::uint32_t>(distinct.size()));
    stream.WriteUInt32LE(linkCount);
    images.SaveToStream(stream);
    linkRecords.SaveToStream(stream);
    stream.WriteUInt32LE(static_cast<std::uint32_t>(templateProps_.size()));
    for (const std::string& name : templateProps_)
        writeProperty(stream, name);
}

void TCustomDIBControl::writeProperty(TStream& stream, const std::string& name) {
    const TPropInfo* info = runtime::GetPropInfo(*this, name);
    writeText(stream, name);
    if (info == nullptr) { // only a class that changed its registry gets here
        stream.WriteUInt32LE(0);
        return;
    }
    if (integerKind(info->Kind) && info->GetOrd) {
        stream.WriteUInt32LE(4);
        writeInt32(stream, static_cast<std::int32_t>(info->GetOrd(*this)));
    } else if ((info->Kind == TTypeKind::tkChar || info->Kind == TTypeKind::tkWChar) &&
               info->GetOrd) {
        const std::string text = characterText(info->Kind, info->GetOrd(*this));
        stream.WriteUInt32LE(static_cast<std::uint32_t>(text.size() + 4));
        writeText(stream, text);
    } else if (info->IsString() && info->GetStr) {
        const std::string text = info->GetStr(*this);
        if (text.size() > std::numeric_limits<std::uint32_t>::max() - 4) damaged("text too long");
        stream.WriteUInt32LE(static_cast<std::uint32_t>(text.size() + 4));
        writeText(stream, text);
    } else if (info->Kind == TTypeKind::tkFloat && info->GetFloat) {
        stream.WriteUInt32LE(10);
        writeExtended(stream, info->GetFloat(*this));
    } else if (info->Kind == TTypeKind::tkClass && info->GetObject) {
        runtime::TMemoryStream value;
        TPersistentWrapper wrapper(nullptr);
        runtime::TPersistent* object = info->GetObject(*this);
        if (dynamic_cast<runtime::TComponent*>(object) == nullptr) wrapper.SetPersistent(object);
        wrapper.WriteToStream(value);
        stream.WriteUInt32LE(static_cast<std::uint32_t>(value.Size()));
        value.SaveToStream(stream);
    } else {
        stream.WriteUInt32LE(0);
    }
}

void TCustomDIBControl::LoadTemplate(TStream& stream) {
    std::array<std::uint8_t, 16> bytes{};
    stream.ReadBuffer(bytes.data(), bytes.size());
    const std::string name = runtime::GUIDToString(runtime::TGUID::FromBytes(bytes.data()));
    const std::uint32_t imageCount = stream.ReadUInt32LE();
    const std::uint32_t linkCount = stream.ReadUInt32LE();
    if (imageCount > 0 && imageList_ == nullptr)
        throw EDIBControlError("No DIB image list has been assigned.");
    checkCount(stream, imageCount, kMinImageBytes, "images");

    std::vector<int> indices;
    for (std::uint32_t i = 0; i < imageCount; ++i) {
        TDIBImagesItem* item = imageList_->FindOrAddTemplateItem(name, static_cast<int>(i));
        TDIBWrapper wrapper(nullptr);
        wrapper.SetDIB(&item->DIB());
        wrapper.ReadFromStream(stream);
        indices.push_back(item->Index());
    }

    checkCount(stream, linkCount, kMinLinkBytes, "image links");
    for (std::uint32_t i = 0; i < linkCount; ++i) {
        const std::string property = readText(stream, "link name");
        const std::string display = readText(stream, "display name");
        const std::uint32_t image = stream.ReadUInt32LE();
        const TPropInfo* info = runtime::GetPropInfo(*this, property);
        if (info == nullptr || info->Kind != TTypeKind::tkClass || !info->GetObject ||
            image >= indices.size())
            continue;
        auto* link = dynamic_cast<TDIBImageLink*>(info->GetObject(*this));
        if (link == nullptr) continue;
        const int index = indices[image];
        link->SetDIBIndex(index);
        if (!display.empty()) imageList_->DIBImages().Items(index)->SetDisplayName(display);
    }

    const std::uint32_t propertyCount = stream.ReadUInt32LE();
    checkCount(stream, propertyCount, kMinPropertyBytes, "properties");
    for (std::uint32_t i = 0; i < propertyCount; ++i)
        readProperty(stream);
    Loaded();
}

void TCustomDIBControl::readProperty(TStream& stream) {
    const std::string name = readText(stream, "property name");
    const std::uint32_t size = readLength(stream, "property value");
    const TPropInfo* info = runtime::GetPropInfo(*this, name);
    if (info == nullptr) {
        skip(stream, size);
        return;
    }
    const TTypeKind kind = info->Kind;
    if (integerKind(kind)) {
        if (size != 4 || !info->SetOrd) return skip(stream, size);
        info->SetOrd(*this, readInt32(stream));
    } else if (kind == TTypeKind::tkChar || kind == TTypeKind::tkWChar || info->IsString()) {
        if (size < 4) return skip(stream, size);
        const std::uint32_t length = stream.ReadUInt32LE();
        if (length != size - 4) return skip(stream, size - 4);
        std::string text(length, '\0');
        if (length > 0) stream.ReadBuffer(text.data(), length);
        if (info->IsString() && info->SetStr)
            info->SetStr(*this, text);
        else if (!info->IsString() && info->SetOrd)
            info->SetOrd(*this, characterCode(kind, text));
    } else if (kind == TTypeKind::tkFloat) {
        if (size != 10 || !info->SetFloat) return skip(stream, size);
        info->SetFloat(*this, readExtended(stream));
    } else if (kind == TTypeKind::tkClass) {
        runtime::TPersistent* object = info->GetObject ? info->GetObject(*this) : nullptr;
        if (object == nullptr || dynamic_cast<runtime::TComponent*>(object) != nullptr)
            return skip(stream, size);
        // The value is read from its own bytes, so a damaged object cannot run into the records
        // after it.
        runtime::TMemoryStream value;
        value.SetSize(size);
        if (size > 0) stream.ReadBuffer(value.Memory(), size);
        value.SetPosition(0);
        TPersistentWrapper wrapper(nullptr);
        wrapper.SetPersistent(object);
        wrapper.ReadFromStream(value);
    }
    // Any other kind is left unread, as a template of such a property was never written.
}

} // namespace toolkit
