#pragma once
// The MIDI controller map file of APlugin: its text format, the lenient number reading of its
// lines, and where it lives. Pure functions; APlugin (uPluginMidi.cpp) does the rest.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace midimap {

inline constexpr int kControllers = 128;
inline constexpr int kParams = 12;
inline constexpr const char* kFileName = "RMXQMIDI.txt";
/// Reading stops here: a real map has at most 128 short lines.
inline constexpr std::size_t kMaxFileBytes = 1 << 20;
/// Longer lines cannot be a controller assignment anyone wrote; they are skipped whole.
inline constexpr std::size_t kMaxLineLength = 256;

/// Controller number -> parameter index (-1 = unassigned).
using CcMap = std::array<std::int32_t, kControllers>;

/// Leading blanks, an optional sign, then decimal digits, or hexadecimal digits after `$` or
/// `0x`; anything else (trailing blanks, overflow beyond int32 included) gives `fallback`.
std::int32_t strToIntDef(std::string_view text, std::int32_t fallback);

/// Applies one line ("cc: param") to `map`. Lines without a colon, or with a controller outside
/// 0..127 or a parameter outside -1..11, are skipped. Answers whether the line was applied.
bool applyLine(std::string_view line, CcMap& map);

/// Splits text that arrives in pieces into lines (CR LF, LF or a lone CR end a line; the last
/// line needs no end) and applies each one to the map.
class LineReader {
public:
    explicit LineReader(CcMap& map) : map_(map) {}
    void feed(std::string_view chunk);
    /// Applies the unfinished last line, if any.
    void finish();

private:
    void endLine();

    CcMap& map_;
    std::array<char, kMaxLineLength> line_{};
    std::size_t length_ = 0;
    bool overlong_ = false;
    bool afterCr_ = false;
};

/// The file's text: one "cc: param" line, ended by CR LF, per assigned controller, ascending.
std::string formatMap(const CcMap& map);

/// The folder of a library file with its trailing separator; empty when the path names none.
std::string folderOf(std::string_view libraryPath);

enum class ReadResult { Read, Missing, Failed };

/// Reads the map file at `path` into `map` (which the caller has cleared), at most
/// kMaxFileBytes of it.
ReadResult readFile(const std::string& path, CcMap& map);

/// Replaces the file at `path` with the map's text. The text goes to a temporary file beside it
/// first, so a failed write never leaves a truncated map behind. Answers whether it succeeded.
bool writeFile(const std::string& path, const CcMap& map);

} // namespace midimap
