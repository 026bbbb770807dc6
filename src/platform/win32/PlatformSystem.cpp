#include "platform/Platform.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

namespace platform {

namespace {
void anchor() {}
} // namespace

std::string libraryFilePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&anchor), &module))
        return {};
    // Paths may exceed MAX_PATH; grow until the name fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

char decimalSeparator() {
    char buf[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) < 2 || buf[1] != '\0')
        return '.';
    return buf[0];
}

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

} // namespace platform
