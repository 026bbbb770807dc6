#include "platform/Platform.h"

#include <windows.h>

namespace platform {

namespace {

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

std::string_view pathSeparators() {
    return "\\/";
}

std::string userSettingsFolder() {
    // The same narrow (ANSI) paths as the library's own path and the C runtime's fopen.
    char buffer[MAX_PATH + 1];
    const DWORD n = GetEnvironmentVariableA("APPDATA", buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return {};
    std::string folder(buffer, n);
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

bool createFolder(const std::string& path) {
    if (path.empty()) return false;
    // Each level in turn; drive roots and existing levels simply refuse, which is fine.
    for (std::size_t cut = path.find_first_of("\\/", 1); cut != std::string::npos;
         cut = path.find_first_of("\\/", cut + 1))
        CreateDirectoryA(path.substr(0, cut).c_str(), nullptr);
    CreateDirectoryA(path.c_str(), nullptr);
    return isFolder(path);
}

bool replaceFile(const std::string& source, const std::string& target) {
    // The C runtime's rename never replaces an existing file; MoveFileEx does, in one step on
    // the same volume, and fails for a folder in the target's place.
    return MoveFileExA(source.c_str(), target.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace platform
