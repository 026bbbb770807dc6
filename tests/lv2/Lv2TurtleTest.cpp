// The bundle's turtle files: symbols hosts can use, numbers every host reads back exactly, and
// presets that are the VST 2 build's programs.

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <sstream>

#include "Lv2TestHost.h"
#include "lv2/Lv2Turtle.h"

namespace lv2test {
namespace {

TEST(Lv2Turtle, SymbolsAreUniqueLowerCaseIdentifiers) {
    APlugin plugin(nullptr);
    plugin.midiMapFiles = midimap::MapFiles{};
    const auto symbols = lv2glue::controlSymbols(plugin);
    std::set<std::string> seen;
    for (const std::string& s : symbols) {
        const bool identifier =
            !s.empty() && !std::isdigit(static_cast<unsigned char>(s[0])) &&
            std::all_of(s.begin(), s.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
            });
        EXPECT_TRUE(identifier) << s;
        EXPECT_TRUE(seen.insert(s).second) << s << " twice";
    }
    EXPECT_EQ(lv2glue::symbolFor("Dry/Wet"), "dry_wet");
    EXPECT_EQ(lv2glue::symbolFor("  12 dB!"), "p_12_db");
    EXPECT_EQ(lv2glue::symbolFor("--"), "p_");
}

// lv2file skips a preset value written without a decimal point.
TEST(Lv2Turtle, DecimalsHaveAPointAndReadBackAsTheSameFloat) {
    std::mt19937 random(11);
    std::vector<float> values = {0.0f, 1.0f, 0.5f, 0.83f, 1e-7f, 3e9f, 1.0f / 3.0f};
    for (int i = 0; i < 1000; ++i)
        values.push_back(std::uniform_real_distribution<float>(0.0f, 1.0f)(random));
    for (float v : values) {
        const std::string text = lv2glue::decimal(v);
        EXPECT_NE(text.find('.'), std::string::npos) << text;
        EXPECT_EQ(std::strtof(text.c_str(), nullptr), v) << text;
    }
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The text after the next `key` from `at` up to the first of `ends`; moves `at` past it, or
/// to npos when there is no such key.
std::string nextAfter(const std::string& text, size_t& at, const std::string& key,
                      const char* ends) {
    at = text.find(key, at);
    if (at == std::string::npos) return {};
    at += key.size();
    const size_t end = text.find_first_of(ends, at);
    std::string found = text.substr(at, end - at);
    at = end;
    return found;
}

using Lv2BundleTest = Lv2Fixture;

TEST_F(Lv2BundleTest, PresetsAreTheVstBuildsProgramsInPortOrder) {
    const std::string presets = readFile(std::filesystem::path(WADLING_LV2_BUNDLE) / "presets.ttl");
    auto vst = makeVst();
    size_t at = 0;
    for (int32_t program = 0; program < APlugin::kNumPrograms; ++program) {
        SCOPED_TRACE(program);
        const std::string label = nextAfter(presets, at, "rdfs:label \"", "\"");
        ASSERT_NE(at, std::string::npos);
        vst->dispatch(effSetProgram, 0, program);
        EXPECT_EQ(label, vst->text(effGetProgramName));
        for (int i = 0; i < kParams; ++i) {
            const std::string value = nextAfter(presets, at, "pset:value ", " ;");
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(std::strtof(value.c_str(), nullptr), vst->getParameter(i));
        }
    }
    EXPECT_EQ(presets.find("rdfs:label", at), std::string::npos);
}

TEST_F(Lv2BundleTest, PortDefaultsAreTheVstBuildsStartingValues) {
    const std::string plugin =
        readFile(std::filesystem::path(WADLING_LV2_BUNDLE) / "WadlingCompressor.ttl");
    auto vst = makeVst();
    size_t at = plugin.find("lv2:index " + std::to_string(lv2glue::FirstControl) + " ;");
    ASSERT_NE(at, std::string::npos);
    for (int i = 0; i < kParams; ++i) {
        SCOPED_TRACE(i);
        const std::string index = nextAfter(plugin, at, "lv2:index ", " ;");
        const std::string name = nextAfter(plugin, at, "lv2:name \"", "\"");
        const std::string value = nextAfter(plugin, at, "lv2:default ", " ;");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(std::stoi(index), static_cast<int>(lv2glue::FirstControl) + i);
        EXPECT_EQ(name, vst->text(effGetParamName, i));
        EXPECT_EQ(std::strtof(value.c_str(), nullptr), vst->getParameter(i));
    }
    // After the controls only the editor's notify port, an output of atoms.
    EXPECT_EQ(nextAfter(plugin, at, "lv2:index ", " ;"), std::to_string(lv2glue::Notify));
    EXPECT_EQ(nextAfter(plugin, at, "lv2:symbol \"", "\""), "notify");
    EXPECT_EQ(plugin.find("lv2:index ", at), std::string::npos);
}

} // namespace
} // namespace lv2test
