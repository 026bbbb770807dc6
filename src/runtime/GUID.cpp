#include "runtime/GUID.h"

#include "runtime/Exception.h"

#include <random>

namespace runtime {

std::array<std::uint8_t, 16> TGUID::ToBytes() const {
    std::array<std::uint8_t, 16> b{};
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(D1 >> (8 * i));
    for (int i = 0; i < 2; ++i) {
        b[4 + i] = static_cast<std::uint8_t>(D2 >> (8 * i));
        b[6 + i] = static_cast<std::uint8_t>(D3 >> (8 * i));
    }
    for (int i = 0; i < 8; ++i)
        b[8 + i] = D4[i];
    return b;
}

TGUID TGUID::FromBytes(const std::uint8_t* bytes) {
    TGUID g;
    g.D1 = std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
           (std::uint32_t(bytes[2]) << 16) | (std::uint32_t(bytes[3]) << 24);
    g.D2 = static_cast<std::uint16_t>(bytes[4] | (bytes[5] << 8));
    g.D3 = static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8));
    for (int i = 0; i < 8; ++i)
        g.D4[i] = bytes[8 + i];
    return g;
}

namespace {

void appendHex(std::string& out, std::uint32_t value, int digits) {
    static const char hex[] = "0123456789ABCDEF";
    for (int i = digits - 1; i >= 0; --i)
        out += hex[(value >> (4 * i)) & 0xF];
}

bool readHex(std::string_view text, std::size_t at, int digits, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = text[at + i];
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else
            return false;
        value = (value << 4) | static_cast<std::uint32_t>(v);
    }
    return true;
}

} // namespace

std::string GUIDToString(const TGUID& g) {
    std::string s;
    s.reserve(38);
    s += '{';
    appendHex(s, g.D1, 8);
    s += '-';
    appendHex(s, g.D2, 4);
    s += '-';
    appendHex(s, g.D3, 4);
    s += '-';
    appendHex(s, g.D4[0], 2);
    appendHex(s, g.D4[1], 2);
    s += '-';
    for (int i = 2; i < 8; ++i)
        appendHex(s, g.D4[i], 2);
    s += '}';
    return s;
}

std::optional<TGUID> TryStringToGUID(std::string_view t) {
    if (t.size() != 38 || t[0] != '{' || t[9] != '-' || t[14] != '-' || t[19] != '-' ||
        t[24] != '-' || t[37] != '}')
        return std::nullopt;
    TGUID g;
    std::uint32_t v = 0;
    if (!readHex(t, 1, 8, v)) return std::nullopt;
    g.D1 = v;
    if (!readHex(t, 10, 4, v)) return std::nullopt;
    g.D2 = static_cast<std::uint16_t>(v);
    if (!readHex(t, 15, 4, v)) return std::nullopt;
    g.D3 = static_cast<std::uint16_t>(v);
    static const std::size_t d4At[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!readHex(t, d4At[i], 2, v)) return std::nullopt;
        g.D4[i] = static_cast<std::uint8_t>(v);
    }
    return g;
}

TGUID StringToGUID(std::string_view text) {
    if (auto g = TryStringToGUID(text)) return *g;
    throw EConvertError("'" + std::string(text) + "' is not a valid GUID value");
}

TGUID CreateGUID() {
    std::random_device device;
    std::uint8_t b[16];
    for (int i = 0; i < 16; i += 4) {
        const std::uint32_t r = device();
        for (int k = 0; k < 4; ++k)
            b[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    b[7] = static_cast<std::uint8_t>((b[7] & 0x0F) | 0x40); // version 4 (high nibble of D3)
    b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80); // RFC 4122 variant
    return TGUID::FromBytes(b);
}

} // namespace runtime
