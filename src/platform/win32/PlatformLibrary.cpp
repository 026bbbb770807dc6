#include "platform/Platform.h"

#include <windows.h>

#include <string>

namespace platform {

namespace {

std::wstring widen(const std::string& text) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

} // namespace

void* loadLibrary(const std::string& path, std::string& error) {
    // Without a search of the usual folders: the path names exactly the file to load.
    HMODULE library = LoadLibraryExW(widen(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library)
        error = "cannot load " + path + " (Windows error " + std::to_string(GetLastError()) + ")";
    return reinterpret_cast<void*>(library);
}

void* librarySymbol(void* library, const char* name) {
    if (!library || !name) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void unloadLibrary(void* library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}

} // namespace platform
