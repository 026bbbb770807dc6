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

/// Replaces the file at `path` with `text`. The text goes to a temporary file of its own beside
/// it first, so a failed write never leaves a truncated file behind and writers at the same time
/// do not mix. Answers whether it succeeded.
bool replaceFileText(const std::string& path, std::string_view text);

/// Replaces the file at `path` with the map's text (replaceFileText).
bool writeFile(const std::string& path, const CcMap& map);

/// The folder inside the user's settings folder that holds the vendor's files.
inline constexpr const char* kVendorFolder = "Reedmoor";

/// The vendor's file `name` in the user's settings folder; empty without a settings folder.
std::string userSettingsFile(std::string_view settingsFolder, std::string_view name);

/// The two places of the map: the file beside the library, and the user's copy, which takes
/// over once the folder of the library refuses to take the file. The rule:
/// - the user's copy, while it exists, is the map: read first, written first;
/// - otherwise the file beside the library is read, and written while its folder takes it;
/// - a write that the first place refuses goes to the other; a read falls back to the other.
/// An empty path means that place is unknown and skipped.
struct MapFiles {
    std::string besideLibrary;
    std::string userCopy;

    /// The places for a library in `libraryFolder` (with its trailing separator) and the
    /// user's settings folder `settingsFolder` (without one); empty arguments stay unknown.
    static MapFiles locate(std::string_view libraryFolder, std::string_view settingsFolder);

    /// Reads the map (which the caller has cleared); `from` receives the file read.
    ReadResult read(CcMap& map, std::string* from = nullptr) const;
    /// Writes the map; answers the file written, empty when no place took it.
    std::string write(const CcMap& map) const;
    /// The file that holds the map: the one a write would go to now (each place is tried with a
    /// scratch file); empty when neither takes a file.
    std::string holder() const;

private:
    /// The places in the order a write tries them.
    std::array<const std::string*, 2> writeOrder() const;
};

} // namespace midimap
