#include "platform/Platform.h"

#include <dlfcn.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

namespace platform {

namespace {
void anchor() {}
} // namespace

std::string libraryFilePath() {
    Dl_info info{};
    // dladdr on a function of ours names the shared object we were loaded from.
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) == 0 || info.dli_fname == nullptr)
        return {};
    return info.dli_fname;
}

char decimalSeparator() {
    // The host may never have called setlocale: read the user's locale without touching the
    // process-wide one.
    locale_t loc = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, loc);
    const char sep = (radix != nullptr && radix[0] != '\0' && radix[1] == '\0') ? radix[0] : '.';
    freelocale(loc);
    return sep;
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

} // namespace platform
