#pragma once
// Everything the plug-in, the runtime and the toolkit ask of an operating system. Each backend
// (posix/, win32/, headless/, x11/) implements exactly these.

#include <cstdint>
#include <string>

namespace platform {

/// Full path of the library (or program) file that contains this code; empty if unknown.
std::string libraryFilePath();

/// The decimal separator of the user's regional settings ('.' when none can be read).
char decimalSeparator();

} // namespace platform
