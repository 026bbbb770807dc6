#pragma once
// Globally unique identifiers: the 16-byte binary form (three little-endian fields, then eight
// bytes in order) and the canonical upper-case braced text {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace runtime {

struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::array<std::uint8_t, 8> D4{};

    friend bool operator==(const TGUID&, const TGUID&) = default;

    /// The 16-byte stored form.
    std::array<std::uint8_t, 16> ToBytes() const;
    static TGUID FromBytes(const std::uint8_t* bytes);
};

/// Canonical text: braces, upper-case hexadecimal digits.
std::string GUIDToString(const TGUID& guid);
/// Parses the braced text (hexadecimal digits of either case); nothing when it is malformed.
std::optional<TGUID> TryStringToGUID(std::string_view text);
/// As TryStringToGUID, raising EConvertError "'text' is not a valid GUID value" when malformed.
TGUID StringToGUID(std::string_view text);
/// A fresh random (version 4) identifier.
TGUID CreateGUID();

} // namespace runtime
