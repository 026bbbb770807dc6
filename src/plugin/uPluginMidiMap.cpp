#include "plugin/uPluginMidiMap.h"

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
#ifdef _WIN32
    const std::size_t cut = libraryPath.find_last_of("\\/");
#else
    const std::size_t cut = libraryPath.find_last_of('/');
#endif
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
    const std::string text = formatMap(map);
    const std::string temporary = path + temporarySuffix();
    bool written = false;
    if (File file{std::fopen(temporary.c_str(), "wb")}) {
        written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
                  std::fflush(file.get()) == 0;
        written = std::fclose(file.release()) == 0 && written;
    } else {
        return false;
    }
    bool replaced = written && std::rename(temporary.c_str(), path.c_str()) == 0;
#ifdef _WIN32
    // The Windows C runtime's rename never replaces an existing file. remove() refuses folders,
    // so a folder of that name survives.
    if (written && !replaced)
        replaced =
            std::remove(path.c_str()) == 0 && std::rename(temporary.c_str(), path.c_str()) == 0;
#endif
    if (!replaced) std::remove(temporary.c_str());
    return replaced;
}

} // namespace midimap
