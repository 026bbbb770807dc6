#pragma once
// Names of classes, components and properties compare without regard to letter case
// everywhere: in lookups, in streams read back and on command lines.

#include <algorithm>
#include <cctype>
#include <string_view>

namespace runtime {

/// Whether a and b are equal but for letter case (bytes compared through std::tolower).
inline bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace runtime
