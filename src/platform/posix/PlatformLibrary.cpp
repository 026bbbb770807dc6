#include "platform/Platform.h"

#include <dlfcn.h>

namespace platform {

void* loadLibrary(const std::string& path, std::string& error) {
    // RTLD_LOCAL: two plug-ins (or two copies of one) must not resolve into each other.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* reason = dlerror();
        error = reason ? reason : "cannot load " + path;
    }
    return library;
}

void* librarySymbol(void* library, const char* name) {
    return library && name ? dlsym(library, name) : nullptr;
}

void unloadLibrary(void* library) {
    if (library) dlclose(library);
}

} // namespace platform
