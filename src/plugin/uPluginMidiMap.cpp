#include "plugin/uPluginMidiMap.h"

#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

namespace midimap {

namespace {

int digitValue(char c, int base) {
    int v = 99;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

/// Instances closing at the same time, in this process or another, must not share a temporary
/// file: their texts would mix.
std::string temporarySuffix() {
    static std::atomic<std::uint32_t> counter{0};
    std::uint64_t mix =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    mix ^= reinterpret_cast<std::uintptr_t>(&counter) * 0x9E3779B97F4A7C15ull;
    mix ^= static_cast<std::uint64_t>(counter.fetch_add(1, std::memory_order_relaxed)) << 40;
    try {
        mix ^= std::random_device{}();
    } catch (...) {
        // No entropy source: the clock and the counter still differ.
    }
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(mix));
    return suffix;
}

/// Whether anything (file or folder) is at `path`.
bool exists(const std::string& path) {
    errno = 0;
    if (File file{std::fopen(path.c_str(), "rb")}) return true;
    return errno != ENOENT;
}

/// Whether `path` is missing or a file that can be read: a folder in its place is neither.
bool freeOrReadable(const std::string& path) {
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return errno == ENOENT;
    std::fgetc(file.get()); // a folder opens on POSIX systems and fails here
    return !std::ferror(file.get());
}

/// Whether a write of `path` would succeed: nothing in its way, and its folder takes a new
/// file (tried with a scratch file that goes again).
bool takesFile(const std::string& path) {
    if (!freeOrReadable(path)) return false;
    const std::string scratch = path + temporarySuffix();
    File file(std::fopen(scratch.c_str(), "wb"));
    if (!file) return false;
    file.reset();
    std::remove(scratch.c_str());
    return true;
}

/// The folder part of a path in the user's settings, for creating it before a write.
std::string folderPart(const std::string& path) {
    std::string folder = folderOf(path);
    if (!folder.empty()) folder.pop_back();
    return folder;
}

} // namespace

std::int32_t strToIntDef(std::string_view text, std::int32_t fallback) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size()) return fallback;
    // The magnitude may reach 2^31 for a negative number; anything beyond is not an int32.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0) return fallback;
        value = value * base + d;
        if (value > limit) return fallback;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool applyLine(std::string_view line, CcMap& map) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return false;
    const std::int32_t cc = strToIntDef(line.substr(0, colon), 0);
    const std::int32_t param = strToIntDef(line.substr(colon + 1), -1);
    if (cc < 0 || cc >= kControllers || param < -1 || param >= kParams) return false;
    map[static_cast<std::size_t>(cc)] = param;
    return true;
}

void LineReader::feed(std::string_view chunk) {
    for (const char c : chunk) {
        if (c == '\n' && afterCr_) {
            afterCr_ = false; // second half of CR LF
            continue;
        }
        afterCr_ = c == '\r';
        if (c == '\r' || c == '\n') {
            endLine();
        } else if (length_ < line_.size()) {
            line_[length_++] = c;
        } else {
            overlong_ = true;
        }
    }
}

void LineReader::finish() {
    if (length_ > 0 || overlong_) endLine();
    afterCr_ = false;
}

void LineReader::endLine() {
    if (!overlong_) applyLine(std::string_view(line_.data(), length_), map_);
    length_ = 0;
    overlong_ = false;
}

std::string formatMap(const CcMap& map) {
    std::string text;
    for (int cc = 0; cc < kControllers; ++cc) {
        const std::int32_t param = map[static_cast<std::size_t>(cc)];
        if (param < 0) continue;
        text += std::to_string(cc);
        text += ": ";
        text += std::to_string(param);
        text += "\r\n";
    }
    return text;
}

std::string folderOf(std::string_view libraryPath) {
    const std::size_t cut = libraryPath.find_last_of(platform::pathSeparators());
    if (cut == std::string_view::npos) return {};
    return std::string(libraryPath.substr(0, cut + 1));
}

ReadResult readFile(const std::string& path, CcMap& map) {
    errno = 0;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
    LineReader reader(map);
    char buffer[4096];
    std::size_t total = 0;
    while (total < kMaxFileBytes) {
        const std::size_t want = std::min(sizeof buffer, kMaxFileBytes - total);
        const std::size_t got = std::fread(buffer, 1, want, file.get());
        reader.feed(std::string_view(buffer, got));
        total += got;
        if (got < want) break;
    }
    // A folder of that name opens on POSIX systems and then fails to read.
    if (std::ferror(file.get())) return ReadResult::Failed;
    reader.finish();
    return ReadResult::Read;
}

bool writeFile(const std::string& path, const CcMap& map) {
    return replaceFileText(path, formatMap(map));
}

bool replaceFileText(const std::string& path, std::string_view text) {
    const std::string temporary = path + temporarySuffix();
    bool written = false;
    if (File file{std::fopen(temporary.c_str(), "wb")}) {
        written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
                  std::fflush(file.get()) == 0;
        written = std::fclose(file.release()) == 0 && written;
    } else {
        return false;
    }
    const bool replaced = written && platform::replaceFile(temporary, path);
    if (!replaced) std::remove(temporary.c_str());
    return replaced;
}

MapFiles MapFiles::locate(std::string_view libraryFolder, std::string_view settingsFolder) {
    MapFiles files;
    if (!libraryFolder.empty()) files.besideLibrary = std::string(libraryFolder) + kFileName;
    files.userCopy = userSettingsFile(settingsFolder, kFileName);
    return files;
}

std::string userSettingsFile(std::string_view settingsFolder, std::string_view name) {
    if (settingsFolder.empty()) return {};
    const char separator = platform::pathSeparators()[0];
    return std::string(settingsFolder) + separator + kVendorFolder + separator + std::string(name);
}

std::array<const std::string*, 2> MapFiles::writeOrder() const {
    if (!userCopy.empty() && exists(userCopy)) return {&userCopy, &besideLibrary};
    return {&besideLibrary, &userCopy};
}

ReadResult MapFiles::read(CcMap& map, std::string* from) const {
    ReadResult result = ReadResult::Missing;
    for (const std::string* path : {&userCopy, &besideLibrary}) {
        if (path->empty()) continue;
        const CcMap before = map;
        const ReadResult r = readFile(*path, map);
        if (r == ReadResult::Read) {
            if (from != nullptr) *from = *path;
            return r;
        }
        map = before; // a failed read may have applied part of the file
        if (r == ReadResult::Failed) result = r;
    }
    return result;
}

std::string MapFiles::write(const CcMap& map) const {
    for (const std::string* path : writeOrder()) {
        if (path->empty()) continue;
        if (path == &userCopy) platform::createFolder(folderPart(userCopy));
        if (writeFile(*path, map)) return *path;
    }
    return {};
}

std::string MapFiles::holder() const {
    for (const std::string* path : writeOrder()) {
        if (path->empty()) continue;
        if (path == &userCopy) platform::createFolder(folderPart(userCopy));
        if (takesFile(*path)) return *path;
    }
    return {};
}

} // namespace midimap
