// The bundle's turtle files: symbols hosts can use, numbers every host reads back exactly, and
// presets that are the VST 2 build's programs.

#include <cstdlib>
#include <fstream>
#include <random>
#include <regex>
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
    const std::regex identifier("[a-z_][a-z0-9_]*");
    std::set<std::string> seen;
    for (const std::string& s : symbols) {
        EXPECT_TRUE(std::regex_match(s, identifier)) << s;
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

using Lv2BundleTest = Lv2Fixture;

TEST_F(Lv2BundleTest, PresetsAreTheVstBuildsProgramsInPortOrder) {
    const std::string presets = readFile(std::filesystem::path(WADLING_LV2_BUNDLE) / "presets.ttl");
    const std::regex label("rdfs:label \"([^\"]*)\"");
    const std::regex value("pset:value ([^ ;]+)");
    auto vst = makeVst();
    auto next = presets.cbegin();
    for (int32_t program = 0; program < APlugin::kNumPrograms; ++program) {
        SCOPED_TRACE(program);
        std::smatch m;
        ASSERT_TRUE(std::regex_search(next, presets.cend(), m, label));
        vst->dispatch(effSetProgram, 0, program);
        EXPECT_EQ(m[1].str(), vst->text(effGetProgramName));
        next = m[0].second;
        for (int i = 0; i < kParams; ++i) {
            ASSERT_TRUE(std::regex_search(next, presets.cend(), m, value));
            EXPECT_EQ(std::strtof(m[1].str().c_str(), nullptr), vst->getParameter(i));
            next = m[0].second;
        }
    }
    EXPECT_FALSE(std::regex_search(next, presets.cend(), label));
}

TEST_F(Lv2BundleTest, PortDefaultsAreTheVstBuildsStartingValues) {
    const std::string plugin =
        readFile(std::filesystem::path(WADLING_LV2_BUNDLE) / "WadlingCompressor.ttl");
    const std::regex port("lv2:index (\\d+) ;\\s*lv2:symbol \"([a-z0-9_]+)\" ;\\s*lv2:name "
                          "\"([^\"]*)\" ;\\s*lv2:default ([^ ;]+)");
    auto vst = makeVst();
    int found = 0;
    for (std::sregex_iterator it(plugin.begin(), plugin.end(), port), end; it != end; ++it) {
        const int index = std::stoi((*it)[1].str()) - static_cast<int>(lv2glue::FirstControl);
        ASSERT_GE(index, 0);
        ASSERT_LT(index, kParams);
        EXPECT_EQ((*it)[3].str(), vst->text(effGetParamName, index));
        EXPECT_EQ(std::strtof((*it)[4].str().c_str(), nullptr), vst->getParameter(index));
        ++found;
    }
    EXPECT_EQ(found, kParams);
}

} // namespace
} // namespace lv2test
