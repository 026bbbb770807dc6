// Templates of controls and the component streams of their wrapped images and objects.
//
// Component stream (integers little-endian):
//   "WCS1", class name (u32 length + bytes), then property records until a name length of 0:
//   u32 name length, name bytes, u8 tag, value. Tags: 1 integer (int64), 2 floating point (80-bit
//   extended), 3 text (u32 length + bytes), 4 binary (u32 length + bytes), 5 object (nested
//   property records, ended by a name length of 0). Readers skip records they do not know, so
//   the form reads back whatever class wrote it.
#include "toolkit/cDIBControl.h"

#include "runtime/BinaryStreams.h"
#include "runtime/GUID.h"
#include "runtime/Properties.h"
#include "runtime/SameText.h"
#include "runtime/Streams.h"
#include "toolkit/cDIBCompressor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace toolkit {

using runtime::SameText;
using runtime::TPropInfo;
using runtime::TStream;
using runtime::TTypeKind;
using Reader = runtime::TBinaryReader;
using Writer = runtime::TBinaryWriter;

namespace {

constexpr char kStreamSignature[4] = {'W', 'C', 'S', '1'};
constexpr int kMaxObjectDepth = 8;

enum Tag : std::uint8_t { tagInteger = 1, tagFloat = 2, tagText = 3, tagBinary = 4, tagObject = 5 };

[[noreturn]] void damaged(const std::string& what) {
    throw EDIBControlError("Damaged template stream: " + what);
}

// ---- Values ----------------------------------------------------------------------------------

/// A length read from the stream that must fit in what is left of it.
std::uint32_t readLength(Reader& in, const char* what) {
    const std::uint32_t length = in.ReadUInt32();
    if (length > in.Remaining()) damaged(std::string(what) + " longer than the stream");
    return length;
}

std::string readText(Reader& in, const char* what) {
    return in.ReadText(readLength(in, what));
}

void writeText(Writer& out, const std::string& text) {
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) damaged("text too long");
    out.WriteUInt32(static_cast<std::uint32_t>(text.size()));
    out.WriteText(text);
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

void writeExtended(Writer& out, long double value) {
    const auto bytes = toExtended(value);
    out.WriteBuffer(bytes.data(), bytes.size());
}

long double readExtended(Reader& in) {
    std::array<std::uint8_t, 10> bytes{};
    in.ReadBuffer(bytes.data(), bytes.size());
    return fromExtended(bytes.data());
}

// ---- Component stream records -------------------------------------------------------------

void writeHeader(Writer& out, const std::string& className) {
    out.WriteBuffer(kStreamSignature, sizeof kStreamSignature);
    writeText(out, className);
}

void readHeader(Reader& in, const std::string& className) {
    char signature[4] = {};
    in.ReadBuffer(signature, sizeof signature);
    if (std::memcmp(signature, kStreamSignature, sizeof signature) != 0)
        damaged("not a component stream");
    if (readText(in, "class name") != className) damaged("a component of another class");
}

void beginRecord(Writer& out, const std::string& name, Tag tag) {
    writeText(out, name);
    out.WriteUInt8(tag);
}

void writeInteger(Writer& out, const std::string& name, std::int64_t value) {
    beginRecord(out, name, tagInteger);
    out.WriteUInt64(static_cast<std::uint64_t>(value));
}

void writeFloat(Writer& out, const std::string& name, long double value) {
    beginRecord(out, name, tagFloat);
    writeExtended(out, value);
}

void writeTextRecord(Writer& out, const std::string& name, const std::string& text) {
    beginRecord(out, name, tagText);
    writeText(out, text);
}

void endRecords(Writer& out) {
    out.WriteUInt32(0);
}

/// The name and tag of the next record; false at the end of the records.
bool nextRecord(Reader& in, std::string& name, std::uint8_t& tag) {
    name = readText(in, "property name");
    if (name.empty()) return false;
    tag = in.ReadUInt8();
    return true;
}

std::int64_t readInteger(Reader& in) {
    return static_cast<std::int64_t>(in.ReadUInt64());
}

/// Skips the value of a record whose tag was read.
void skipValue(Reader& in, std::uint8_t tag, int depth);

void skipRecords(Reader& in, int depth) {
    if (depth > kMaxObjectDepth) damaged("objects nested too deeply");
    for (;;) {
        const std::uint32_t nameLength = readLength(in, "property name");
        if (nameLength == 0) return;
        in.Skip(nameLength);
        skipValue(in, in.ReadUInt8(), depth);
    }
}

void skipValue(Reader& in, std::uint8_t tag, int depth) {
    switch (tag) {
    case tagInteger:
        in.Skip(8);
        break;
    case tagFloat:
        in.Skip(10);
        break;
    case tagText:
    case tagBinary:
        in.Skip(readLength(in, "value"));
        break;
    case tagObject:
        skipRecords(in, depth + 1);
        break;
    default:
        damaged("unknown value tag " + std::to_string(tag));
    }
}

/// Writes the published properties of `object` that a template can carry.
void writeObjectRecords(Writer& out, runtime::TPersistent& object, int depth) {
    if (depth > kMaxObjectDepth) damaged("objects nested too deeply");
    for (const TPropInfo* info : runtime::GetPropList(object)) {
        if (info->IsOrdinal() && info->GetOrd) {
            writeInteger(out, info->Name, info->GetOrd(object));
        } else if (info->Kind == TTypeKind::tkFloat && info->GetFloat) {
            writeFloat(out, info->Name, info->GetFloat(object));
        } else if (info->IsString() && info->GetStr) {
            writeTextRecord(out, info->Name, info->GetStr(object));
        } else if (info->Kind == TTypeKind::tkClass && info->GetObject) {
            runtime::TPersistent* inner = info->GetObject(object);
            if (inner == nullptr || dynamic_cast<runtime::TComponent*>(inner) != nullptr) continue;
            beginRecord(out, info->Name, tagObject);
            writeObjectRecords(out, *inner, depth + 1);
        }
    }
    endRecords(out);
}

/// Sets the properties the records name; records naming nothing, or a value of another kind,
/// are skipped.
void readObjectRecords(Reader& in, runtime::TPersistent& object, int depth) {
    if (depth > kMaxObjectDepth) damaged("objects nested too deeply");
    std::string name;
    std::uint8_t tag = 0;
    while (nextRecord(in, name, tag)) {
        const TPropInfo* info = runtime::GetPropInfo(object, name);
        if (info == nullptr) {
            skipValue(in, tag, depth);
        } else if (tag == tagInteger && info->IsOrdinal() && info->SetOrd) {
            info->SetOrd(object, readInteger(in));
        } else if (tag == tagFloat && info->Kind == TTypeKind::tkFloat && info->SetFloat) {
            info->SetFloat(object, readExtended(in));
        } else if (tag == tagText && info->IsString() && info->SetStr) {
            info->SetStr(object, readText(in, "text"));
        } else if (tag == tagObject && info->Kind == TTypeKind::tkClass && info->GetObject) {
            runtime::TPersistent* inner = info->GetObject(object);
            if (inner == nullptr || dynamic_cast<runtime::TComponent*>(inner) != nullptr)
                skipValue(in, tag, depth);
            else
                readObjectRecords(in, *inner, depth + 1);
        } else {
            skipValue(in, tag, depth);
        }
    }
}

// ---- The surface of a TDIBWrapper ---------------------------------------------------------

void writeSurface(Writer& out, TCustomMemoryDIB& dib) {
    writeFloat(out, "Angle", dib.Angle());
    writeInteger(out, "AutoSize", dib.AutoSize() ? 1 : 0);
    writeInteger(out, "Height", dib.Height());
    writeInteger(out, "Masked", dib.Masked() ? 1 : 0);
    writeInteger(out, "Opacity", dib.Opacity());
    writeFloat(out, "Scale", dib.Scale());
    writeInteger(out, "Transparent", dib.Transparent() ? 1 : 0);
    writeInteger(out, "TransparentColor", dib.TransparentColor());
    writeInteger(out, "TransparentMode", dib.TransparentMode());
    writeInteger(out, "Width", dib.Width());
    if (dib.HasPixels()) {
        runtime::TMemoryStream data;
        dib.WriteData(data);
        beginRecord(out, "Data", tagBinary);
        out.WriteUInt32(static_cast<std::uint32_t>(data.Size()));
        out.WriteBuffer(data.Memory(), data.MemorySize());
    }
    writeTextRecord(out, "ImageFilename", dib.ImageFilename);
    writeTextRecord(out, "MaskFilename", dib.MaskFilename);
    endRecords(out);
}

void readSurface(Reader& in, TCustomMemoryDIB& dib) {
    std::string name;
    std::uint8_t tag = 0;
    while (nextRecord(in, name, tag)) {
        if (tag == tagInteger) {
            // Width and Height are not applied: Data carries the size with the pixels, so no
            // allocation follows a size that the stream does not back with pixels.
            const std::int64_t v = readInteger(in);
            if (SameText(name, "AutoSize"))
                dib.SetAutoSize(v != 0);
            else if (SameText(name, "Masked"))
                dib.SetMasked(v != 0);
            else if (SameText(name, "Opacity"))
                dib.SetOpacity(static_cast<std::uint8_t>(std::clamp<std::int64_t>(v, 0, 255)));
            else if (SameText(name, "Transparent"))
                dib.SetTransparent(v != 0);
            else if (SameText(name, "TransparentColor"))
                dib.SetTransparentColor(static_cast<TColor>(v));
            else if (SameText(name, "TransparentMode"))
                dib.SetTransparentMode(v == tmFixed ? tmFixed : tmAuto);
        } else if (tag == tagFloat) {
            const long double v = readExtended(in);
            if (SameText(name, "Angle"))
                dib.SetAngle(v);
            else if (SameText(name, "Scale"))
                dib.SetScale(v);
        } else if (tag == tagText) {
            std::string text = readText(in, "text");
            if (SameText(name, "ImageFilename"))
                dib.ImageFilename = std::move(text);
            else if (SameText(name, "MaskFilename"))
                dib.MaskFilename = std::move(text);
        } else if (tag == tagBinary && SameText(name, "Data")) {
            // Bounded by the stream: readLength refuses more than it holds.
            runtime::TMemoryStream data;
            data.SetSize(readLength(in, "image data"));
            in.ReadBuffer(data.Memory(), data.MemorySize());
            data.SetPosition(0);
            dib.ReadData(data);
        } else {
            skipValue(in, tag, 0);
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

void checkCount(Reader& in, std::uint32_t count, std::uint64_t minBytes, const char* what) {
    if (count > in.Remaining() / minBytes)
        damaged(std::string("more ") + what + " than the stream holds");
}

} // namespace

// ---- Wrappers ---------------------------------------------------------------------------------

void TDIBWrapper::WriteToStream(TStream& stream) const {
    Writer out(stream);
    writeHeader(out, ClassName());
    if (dib_ != nullptr) {
        beginRecord(out, "DIB", tagObject);
        writeSurface(out, *dib_);
    }
    endRecords(out);
}

void TDIBWrapper::ReadFromStream(TStream& stream) {
    if (dib_ == nullptr) throw EDIBControlError("A TDIBWrapper needs a DIB to read into");
    Reader in(stream);
    readHeader(in, ClassName());
    std::string name;
    std::uint8_t tag = 0;
    while (nextRecord(in, name, tag))
        if (tag == tagObject && SameText(name, "DIB"))
            readSurface(in, *dib_);
        else
            skipValue(in, tag, 0);
}

void TPersistentWrapper::WriteToStream(TStream& stream) const {
    Writer out(stream);
    writeHeader(out, ClassName());
    if (persistent_ != nullptr) {
        beginRecord(out, "Persistent", tagObject);
        writeObjectRecords(out, *persistent_, 1);
    }
    endRecords(out);
}

void TPersistentWrapper::ReadFromStream(TStream& stream) {
    Reader in(stream);
    readHeader(in, ClassName());
    std::string name;
    std::uint8_t tag = 0;
    while (nextRecord(in, name, tag))
        if (tag == tagObject && SameText(name, "Persistent") && persistent_ != nullptr)
            readObjectRecords(in, *persistent_, 1);
        else
            skipValue(in, tag, 0);
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
    Writer links(linkRecords);
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
        writeText(links, owner->Name);
        writeText(links, item->DisplayName());
        links.WriteUInt32(static_cast<std::uint32_t>(at - distinct.begin()));
        ++linkCount;
    }

    Writer out(stream);
    const auto bytes = identifier.ToBytes();
    out.WriteBuffer(bytes.data(), bytes.size());
    out.WriteUInt32(static_cast<std::uint32_t>(distinct.size()));
    out.WriteUInt32(linkCount);
    images.SaveToStream(stream);
    linkRecords.SaveToStream(stream);
    out.WriteUInt32(static_cast<std::uint32_t>(templateProps_.size()));
    for (const std::string& name : templateProps_)
        writeProperty(out, name);
}

void TCustomDIBControl::writeProperty(runtime::TBinaryWriter& out, const std::string& name) {
    const TPropInfo* info = runtime::GetPropInfo(*this, name);
    writeText(out, name);
    if (info == nullptr) { // only a class that changed its registry gets here
        out.WriteUInt32(0);
        return;
    }
    if (integerKind(info->Kind) && info->GetOrd) {
        out.WriteUInt32(4);
        out.WriteUInt32(static_cast<std::uint32_t>(info->GetOrd(*this))); // the low 32 bits
    } else if ((info->Kind == TTypeKind::tkChar || info->Kind == TTypeKind::tkWChar) &&
               info->GetOrd) {
        const std::string text = characterText(info->Kind, info->GetOrd(*this));
        out.WriteUInt32(static_cast<std::uint32_t>(text.size() + 4));
        writeText(out, text);
    } else if (info->IsString() && info->GetStr) {
        const std::string text = info->GetStr(*this);
        if (text.size() > std::numeric_limits<std::uint32_t>::max() - 4) damaged("text too long");
        out.WriteUInt32(static_cast<std::uint32_t>(text.size() + 4));
        writeText(out, text);
    } else if (info->Kind == TTypeKind::tkFloat && info->GetFloat) {
        out.WriteUInt32(10);
        writeExtended(out, info->GetFloat(*this));
    } else if (info->Kind == TTypeKind::tkClass && info->GetObject) {
        runtime::TMemoryStream value;
        TPersistentWrapper wrapper(nullptr);
        runtime::TPersistent* object = info->GetObject(*this);
        if (dynamic_cast<runtime::TComponent*>(object) == nullptr) wrapper.SetPersistent(object);
        wrapper.WriteToStream(value);
        out.WriteUInt32(static_cast<std::uint32_t>(value.Size()));
        out.WriteBuffer(value.Memory(), value.MemorySize());
    } else {
        out.WriteUInt32(0);
    }
}

void TCustomDIBControl::LoadTemplate(TStream& stream) {
    Reader in(stream);
    std::array<std::uint8_t, 16> bytes{};
    in.ReadBuffer(bytes.data(), bytes.size());
    const std::string name = runtime::GUIDToString(runtime::TGUID::FromBytes(bytes.data()));
    const std::uint32_t imageCount = in.ReadUInt32();
    const std::uint32_t linkCount = in.ReadUInt32();
    if (imageCount > 0 && imageList_ == nullptr)
        throw EDIBControlError("No DIB image list has been assigned.");
    checkCount(in, imageCount, kMinImageBytes, "images");

    std::vector<int> indices;
    for (std::uint32_t i = 0; i < imageCount; ++i) {
        TDIBImagesItem* item = imageList_->FindOrAddTemplateItem(name, static_cast<int>(i));
        TDIBWrapper wrapper(nullptr);
        wrapper.SetDIB(&item->DIB());
        wrapper.ReadFromStream(stream);
        indices.push_back(item->Index());
    }

    checkCount(in, linkCount, kMinLinkBytes, "image links");
    for (std::uint32_t i = 0; i < linkCount; ++i) {
        const std::string property = readText(in, "link name");
        const std::string display = readText(in, "display name");
        const std::uint32_t image = in.ReadUInt32();
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

    const std::uint32_t propertyCount = in.ReadUInt32();
    checkCount(in, propertyCount, kMinPropertyBytes, "properties");
    for (std::uint32_t i = 0; i < propertyCount; ++i)
        readProperty(in);
    Loaded();
}

void TCustomDIBControl::readProperty(runtime::TBinaryReader& in) {
    const std::string name = readText(in, "property name");
    const std::uint32_t size = readLength(in, "property value");
    const TPropInfo* info = runtime::GetPropInfo(*this, name);
    if (info == nullptr) return in.Skip(size);
    const TTypeKind kind = info->Kind;
    if (integerKind(kind)) {
        if (size != 4 || !info->SetOrd) return in.Skip(size);
        info->SetOrd(*this, static_cast<std::int32_t>(in.ReadUInt32()));
    } else if (kind == TTypeKind::tkChar || kind == TTypeKind::tkWChar || info->IsString()) {
        if (size < 4) return in.Skip(size);
        const std::uint32_t length = in.ReadUInt32();
        if (length != size - 4) return in.Skip(size - 4);
        const std::string text = in.ReadText(length);
        if (info->IsString() && info->SetStr)
            info->SetStr(*this, text);
        else if (!info->IsString() && info->SetOrd)
            info->SetOrd(*this, characterCode(kind, text));
    } else if (kind == TTypeKind::tkFloat) {
        if (size != 10 || !info->SetFloat) return in.Skip(size);
        info->SetFloat(*this, readExtended(in));
    } else if (kind == TTypeKind::tkClass) {
        runtime::TPersistent* object = info->GetObject ? info->GetObject(*this) : nullptr;
        if (object == nullptr || dynamic_cast<runtime::TComponent*>(object) != nullptr)
            return in.Skip(size);
        // The value is read from its own bytes, so a damaged object cannot run into the records
        // after it.
        runtime::TMemoryStream value;
        value.SetSize(size);
        in.ReadBuffer(value.Memory(), value.MemorySize());
        value.SetPosition(0);
        TPersistentWrapper wrapper(nullptr);
        wrapper.SetPersistent(object);
        wrapper.ReadFromStream(value);
    }
    // Any other kind is left unread, as a template of such a property was never written.
}

} // namespace toolkit
