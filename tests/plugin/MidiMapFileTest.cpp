#include "plugin/uPluginMidiMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using midimap::CcMap;
using midimap::strToIntDef;

namespace {

CcMap emptyMap() {
    CcMap map;
    map.fill(-1);
    return map;
}

CcMap readText(std::string_view text) {
    CcMap map = emptyMap();
    midimap::LineReader reader(map);
    reader.feed(text);
    reader.finish();
    return map;
}

class MidiMapFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        folder = fs::temp_directory_path() / ("wadling-midimap-" + std::to_string(seed()));
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    void spit(const fs::path& p, std::string_view text) {
        std::ofstream(p, std::ios::binary).write(text.data(), std::streamsize(text.size()));
    }

    fs::path folder;
};

} // namespace

TEST(MidiMapNumber, AcceptsDecimalWithBlanksAndSign) {
    EXPECT_EQ(strToIntDef("23", 0), 23);
    EXPECT_EQ(strToIntDef("  7", 0), 7);
    EXPECT_EQ(strToIntDef("\t7", 0), 7);
    EXPECT_EQ(strToIntDef("+5", 0), 5);
    EXPECT_EQ(strToIntDef(" -1", 0), -1);
    EXPECT_EQ(strToIntDef("007", -1), 7);
    EXPECT_EQ(strToIntDef("2147483647", 0), 2147483647);
    EXPECT_EQ(strToIntDef("-2147483648", 0), INT32_MIN);
}

TEST(MidiMapNumber, AcceptsDollarAndZeroXHexadecimal) {
    EXPECT_EQ(strToIntDef("$14", 0), 20);
    EXPECT_EQ(strToIntDef("0x1f", 0), 31);
    EXPECT_EQ(strToIntDef("0X1F", 0), 31);
    EXPECT_EQ(strToIntDef(" $a", 0), 10);
    EXPECT_EQ(strToIntDef("-$10", 0), -16);
    EXPECT_EQ(strToIntDef("$7FFFFFFF", 0), 2147483647);
}

TEST(MidiMapNumber, AnythingElseGivesTheDefault) {
    for (const char* text :
         {"", " ", "7 ", "1 2", "x", "12a", "$", "0x", "$G", "0x-1", "--1", "+", "1e3",
          "2147483648", "-2147483649", "$80000000", "99999999999999999999999", "\x80\xff"}) {
        EXPECT_EQ(strToIntDef(text, -42), -42) << '"' << text << '"';
    }
}

TEST(MidiMapLines, WorkedExamplesOfLenientLines) {
    CcMap map = readText("  7:4\r\n");
    EXPECT_EQ(map[7], 4);

    map = readText("7 : 4\r\n"); // the blank after 7 spoils the number: controller 0
    EXPECT_EQ(map[0], 4);
    EXPECT_EQ(map[7], -1);

    map = emptyMap();
    map[7] = 2;
    EXPECT_TRUE(midimap::applyLine("7:a", map)); // unassigns controller 7
    EXPECT_EQ(map[7], -1);

    EXPECT_FALSE(midimap::applyLine("7 4", map));
    EXPECT_EQ(map, emptyMap());

    map = readText("$14: 0x3\r\n");
    EXPECT_EQ(map[20], 3);
}

TEST(MidiMapLines, OutOfRangeControllerOrParameterIsSkipped) {
    CcMap map =
        readText("128: 3\r\n-1: 3\r\n5: 12\r\n6: -2\r\n2147483647: 1\r\n127: 11\r\n0: -1\r\n");
    CcMap expected = emptyMap();
    expected[127] = 11;
    EXPECT_EQ(map, expected);
}

TEST(MidiMapLines, AnyLineEndAndAMissingFinalOne) {
    CcMap map = readText("1: 1\r\n2: 2\n3: 3\r4: 4\n\r5: 5");
    for (int cc = 1; cc <= 5; ++cc)
        EXPECT_EQ(map[cc], cc) << cc;
}

TEST(MidiMapLines, CrLfSplitAcrossChunksIsOneLineEnd) {
    CcMap map = emptyMap();
    midimap::LineReader reader(map);
    reader.feed("1: 1\r");
    reader.feed("\n2: 2\r");
    reader.feed("\n");
    reader.finish();
    EXPECT_EQ(map[1], 1);
    EXPECT_EQ(map[2], 2);
}

TEST(MidiMapLines, GarbageAndOverlongLinesAreIgnoredAroundValidOnes) {
    std::string text = "3: 3\r\n";
    text += std::string("\0\x01\xff:\x80\x7f\r\n", 9);
    text += std::string(100000, '9') + ": 4\r\n"; // far beyond any line a person writes
    text += std::string(midimap::kMaxLineLength, ' ') + "9: 9\r\n"; // just too long
    text += "10: 10\r\n";
    text += std::string(5000, 'z'); // no line end at all
    CcMap map = readText(text);
    CcMap expected = emptyMap();
    expected[3] = 3;
    expected[10] = 10;
    EXPECT_EQ(map, expected);
}

TEST(MidiMapLines, TextWithoutAnyLineEndIsOneLine) {
    EXPECT_EQ(readText("23: 3")[23], 3);
    EXPECT_EQ(readText(std::string(3 * midimap::kMaxLineLength, ':')), emptyMap());
}

TEST(MidiMapFormat, OneCrLfLinePerAssignedControllerAscending) {
    CcMap map = emptyMap();
    EXPECT_EQ(midimap::formatMap(map), "");
    map[23] = 3;
    map[0] = 11;
    map[127] = 0;
    EXPECT_EQ(midimap::formatMap(map), "0: 11\r\n23: 3\r\n127: 0\r\n");
    EXPECT_EQ(readText(midimap::formatMap(map)), map);
}

TEST(MidiMapFolderOf, CutsAfterTheLastSeparator) {
    EXPECT_EQ(midimap::folderOf("/usr/lib/vst/WadlingCompressor.so"), "/usr/lib/vst/");
    EXPECT_EQ(midimap::folderOf("/WadlingCompressor.so"), "/");
    // Without a folder there is nowhere safe to keep the file.
    EXPECT_EQ(midimap::folderOf("WadlingCompressor.so"), "");
    EXPECT_EQ(midimap::folderOf(""), "");
#ifdef _WIN32
    EXPECT_EQ(midimap::folderOf("C:\\VST\\WadlingCompressor.dll"), "C:\\VST\\");
#endif
}

TEST_F(MidiMapFolder, WriteThenReadGivesTheSameMapAndLeavesNoTemporary) {
    CcMap map = emptyMap();
    map[23] = 3;
    map[64] = -1;
    map[100] = 6;
    const std::string path = (folder / midimap::kFileName).string();
    spit(path, "1: 1\r\n2: 2\r\n3: 3\r\n4: 4\r\n5: 5\r\n6: 6\r\n7: 7\r\n");
    ASSERT_TRUE(midimap::writeFile(path, map));
    EXPECT_EQ(slurp(path), "23: 3\r\n100: 6\r\n");
    CcMap back = emptyMap();
    EXPECT_EQ(midimap::readFile(path, back), midimap::ReadResult::Read);
    EXPECT_EQ(back, map);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(MidiMapFolder, MissingFileAndUnreadableFileAreToldApart) {
    CcMap map = emptyMap();
    EXPECT_EQ(midimap::readFile((folder / "none.txt").string(), map), midimap::ReadResult::Missing);
    fs::create_directory(folder / midimap::kFileName);
    EXPECT_EQ(midimap::readFile((folder / midimap::kFileName).string(), map),
              midimap::ReadResult::Failed);
    EXPECT_EQ(map, emptyMap());
}

TEST_F(MidiMapFolder, ReadingStopsAtTheSizeLimit) {
    const std::string path = (folder / midimap::kFileName).string();
    std::string text = "1: 1\r\n";
    text += std::string(midimap::kMaxFileBytes, '\n');
    text += "2: 2\r\n";
    spit(path, text);
    CcMap map = emptyMap();
    EXPECT_EQ(midimap::readFile(path, map), midimap::ReadResult::Read);
    EXPECT_EQ(map[1], 1);
    EXPECT_EQ(map[2], -1);
}

TEST_F(MidiMapFolder, UnwritablePlacesFailWithoutWritingAnywhere) {
    CcMap map = emptyMap();
    map[20] = 0;
    EXPECT_FALSE(midimap::writeFile((folder / "missing" / midimap::kFileName).string(), map));
    EXPECT_FALSE(fs::exists(folder / "missing"));

    // A folder in the file's place stays as it is, with its content.
    const fs::path blocker = folder / midimap::kFileName;
    fs::create_directory(blocker);
    spit(blocker / "keep.txt", "keep");
    EXPECT_FALSE(midimap::writeFile(blocker.string(), map));
    EXPECT_TRUE(fs::is_directory(blocker));
    EXPECT_EQ(slurp(blocker / "keep.txt"), "keep");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(MidiMapFolder, InstancesClosingTogetherLeaveOneWholeMap) {
    const std::string path = (folder / midimap::kFileName).string();
    std::vector<std::string> texts;
    std::vector<CcMap> maps;
    for (int t = 0; t < 4; ++t) {
        CcMap map = emptyMap();
        for (int cc = 0; cc <= t * 40; ++cc) // texts of different lengths
            map[cc] = t;
        maps.push_back(map);
        texts.push_back(midimap::formatMap(map));
    }
    std::atomic<bool> done{false};
    std::atomic<int> mixed{0};
    std::thread reader([&] {
        while (!done.load()) {
            CcMap seen = emptyMap();
            if (midimap::readFile(path, seen) == midimap::ReadResult::Read &&
                std::find(maps.begin(), maps.end(), seen) == maps.end())
                ++mixed;
        }
    });
    std::vector<std::thread> writers;
    for (const CcMap& map : maps)
        writers.emplace_back([&path, &map] {
            for (int i = 0; i < 100; ++i)
                midimap::writeFile(path, map);
        });
    for (std::thread& w : writers)
        w.join();
    done = true;
    reader.join();
    EXPECT_EQ(mixed.load(), 0);
    EXPECT_NE(std::find(texts.begin(), texts.end(), slurp(path)), texts.end());
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

// ---- the two places of the map ----

namespace {

class MidiMapPlaces : public MidiMapFolder {
protected:
    void SetUp() override {
        MidiMapFolder::SetUp();
        library = folder / "plugins";
        fs::create_directories(library);
        settings = folder / "settings" / "config"; // created on demand only
    }
    /// A library folder (with its trailing separator) and a settings folder.
    midimap::MapFiles places(const fs::path& lib, const fs::path& user) const {
        return midimap::MapFiles::locate((lib / "").string(), user.string());
    }
    midimap::MapFiles places() const { return places(library, settings); }
    /// A folder below a plain file: no one, root included, can create anything there.
    fs::path belowAFile(const char* name) {
        spit(folder / name, "plain");
        return folder / name / "sub";
    }
    static CcMap mapOf(std::initializer_list<std::pair<int, int>> pairs) {
        CcMap map = emptyMap();
        for (const auto& [cc, param] : pairs)
            map[static_cast<std::size_t>(cc)] = param;
        return map;
    }

    fs::path library;
    fs::path settings;
};

} // namespace

TEST_F(MidiMapPlaces, TheUserCopyLivesInTheVendorFolder) {
    const midimap::MapFiles files = places();
    EXPECT_EQ(fs::path(files.besideLibrary), library / midimap::kFileName);
    EXPECT_EQ(fs::path(files.userCopy), settings / "Reedmoor" / midimap::kFileName);
    const midimap::MapFiles unknown = midimap::MapFiles::locate("", "");
    EXPECT_TRUE(unknown.besideLibrary.empty());
    EXPECT_TRUE(unknown.userCopy.empty());
}

TEST_F(MidiMapPlaces, TheMapStaysBesideTheLibraryWhileItsFolderTakesIt) {
    const midimap::MapFiles files = places();
    EXPECT_EQ(files.holder(), files.besideLibrary);
    EXPECT_EQ(files.write(mapOf({{23, 3}})), files.besideLibrary);
    EXPECT_EQ(slurp(files.besideLibrary), "23: 3\r\n");
    CcMap back = emptyMap();
    std::string from;
    EXPECT_EQ(files.read(back, &from), midimap::ReadResult::Read);
    EXPECT_EQ(from, files.besideLibrary);
    EXPECT_EQ(back, mapOf({{23, 3}}));
    EXPECT_FALSE(fs::exists(folder / "settings")) << "nothing created in the user's settings";
    EXPECT_EQ(std::distance(fs::directory_iterator(library), fs::directory_iterator()), 1);
}

TEST_F(MidiMapPlaces, ALibraryFolderThatRefusesTheFileHandsTheMapToTheUserCopyForGood) {
    const midimap::MapFiles refused = places(belowAFile("plain"), settings);
    EXPECT_EQ(refused.holder(), refused.userCopy);
    EXPECT_EQ(refused.write(mapOf({{74, 0}})), refused.userCopy);
    EXPECT_EQ(slurp(refused.userCopy), "74: 0\r\n");

    // The library moves to a folder that takes files and holds an older map: the user's copy
    // stays the map, for reading and writing, and the older file is left as it is.
    const midimap::MapFiles files = places();
    spit(files.besideLibrary, "20: 0\r\n");
    CcMap map = emptyMap();
    std::string from;
    EXPECT_EQ(files.read(map, &from), midimap::ReadResult::Read);
    EXPECT_EQ(from, files.userCopy);
    EXPECT_EQ(map, mapOf({{74, 0}}));
    EXPECT_EQ(files.holder(), files.userCopy);
    EXPECT_EQ(files.write(mapOf({{75, 1}})), files.userCopy);
    EXPECT_EQ(slurp(files.userCopy), "75: 1\r\n");
    EXPECT_EQ(slurp(files.besideLibrary), "20: 0\r\n");
}

TEST_F(MidiMapPlaces, AnUnknownLibraryFolderUsesTheUserCopy) {
    const midimap::MapFiles files = places(fs::path(), settings);
    EXPECT_TRUE(files.besideLibrary.empty());
    EXPECT_EQ(files.write(mapOf({{1, 1}})), files.userCopy);
    CcMap map = emptyMap();
    EXPECT_EQ(files.read(map), midimap::ReadResult::Read);
    EXPECT_EQ(map, mapOf({{1, 1}}));
}

TEST_F(MidiMapPlaces, AnUnreadableUserCopyFallsBackToTheFileBesideTheLibrary) {
    const midimap::MapFiles files = places();
    spit(files.besideLibrary, "21: 1\r\n");
    fs::create_directories(fs::path(files.userCopy) / "blocker"); // a folder in its place
    CcMap map = emptyMap();
    std::string from;
    EXPECT_EQ(files.read(map, &from), midimap::ReadResult::Read);
    EXPECT_EQ(from, files.besideLibrary);
    EXPECT_EQ(map, mapOf({{21, 1}}));
    // The user's copy cannot take the map either: it goes beside the library.
    EXPECT_EQ(files.holder(), files.besideLibrary);
    EXPECT_EQ(files.write(mapOf({{22, 2}})), files.besideLibrary);
    EXPECT_EQ(slurp(files.besideLibrary), "22: 2\r\n");
    EXPECT_TRUE(fs::is_directory(fs::path(files.userCopy) / "blocker"));
}

TEST_F(MidiMapPlaces, NoPlaceThatTakesTheMapIsAnsweredWithNothingWritten) {
    const midimap::MapFiles files = places(belowAFile("a"), belowAFile("b"));
    EXPECT_EQ(files.holder(), "");
    EXPECT_EQ(files.write(mapOf({{1, 1}})), "");
    CcMap map = emptyMap();
    EXPECT_NE(files.read(map), midimap::ReadResult::Read);
    EXPECT_EQ(map, emptyMap());
    EXPECT_EQ(slurp(folder / "a"), "plain");
    EXPECT_EQ(slurp(folder / "b"), "plain");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
}
