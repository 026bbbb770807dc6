#pragma once
// Points the user's settings folder of this process at a folder of the test's choosing, so
// that no test reads or writes the real user's settings (the plug-in keeps its controller map
// there when its own folder refuses the file).

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testsupport {

/// The plug-in reads the folder from the environment each time it looks for it.
inline void setUserSettingsFolder(const std::filesystem::path& folder) {
#ifdef _WIN32
    // _putenv changes the process environment that GetEnvironmentVariable reads as well.
    const std::string assignment = "APPDATA=" + folder.string();
    _putenv(assignment.c_str());
#else
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
#endif
}

} // namespace testsupport
