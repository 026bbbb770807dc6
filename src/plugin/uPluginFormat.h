#pragma once
// Numbers in the parameter display texts: general decimal format, at most 15 significant
// digits, trailing zeros and a trailing point dropped, the user's decimal separator.

#include <string>

namespace display {

/// v with up to 15 significant digits ("3", "-19.2", "6.40000009536743"); -0 is written "0".
std::string formatNumber(double v, char decimalSeparator);

/// v rounded to two decimals (ties to even on the hundredths) and written as a number.
std::string formatHundredths(float v, char decimalSeparator);

/// v rounded to the nearest integer, ties to even.
long roundToInt(double v);

} // namespace display
