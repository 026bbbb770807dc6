#include "platform/Platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// The home folder: $HOME, or the password database when a host starts us without one.
std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr || found->pw_dir[0] != '/')
        return {};
    return found->pw_dir;
}

} // namespace

std::string_view pathSeparators() {
    return "/";
}

std::string userSettingsFolder() {
    // A relative $XDG_CONFIG_HOME is invalid and must be ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return config;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

bool createFolder(const std::string& path) {
    if (path.empty()) return false;
    // Each missing level in turn, from the top; a level that exists already is fine.
    for (std::size_t cut = path.find('/', 1); cut != std::string::npos;
         cut = path.find('/', cut + 1)) {
        const std::string level = path.substr(0, cut);
        if (mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) break;
    }
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    return isFolder(path);
}

bool replaceFile(const std::string& source, const std::string& target) {
    // rename() replaces in one step and refuses a folder in the target's place.
    return std::rename(source.c_str(), target.c_str()) == 0;
}

} // namespace platform
