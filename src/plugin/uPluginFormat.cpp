#include "plugin/uPluginFormat.h"

#include <charconv>
#include <cmath>

namespace display {

std::string formatNumber(double v, char decimalSeparator) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    if (v == 0.0) v = 0.0; // no "-0"
    char buf[40];
    // std::to_chars ignores the C locale, which a host may have changed.
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string text(buf, res.ptr);
    for (char& c : text)
        if (c == '.') c = decimalSeparator;
    return text;
}

long roundToInt(double v) {
    return std::lrint(v);
}

std::string formatHundredths(float v, char decimalSeparator) {
    return formatNumber(std::nearbyint(static_cast<double>(v) * 100.0) / 100.0, decimalSeparator);
}

} // namespace display
