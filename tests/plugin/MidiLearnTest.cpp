// MIDI learning and the mapping report, on APlugin itself (the editor menu that drives them sets
// midiLearnParam and calls these operations directly).

#include "MidiEventList.h"
#include "UserSettings.h"
#include "plugin/uPlugin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Automation {
    int32_t index;
    float value;
};
std::vector<Automation> automations;

intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                   float opt) {
    if (opcode == audioMasterAutomate) automations.push_back({index, opt});
    return 0;
}

float controllerValue(int value) {
    return static_cast<float>(value) * (1.0f / 127.0f);
}

class MidiLearn : public ::testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("wadling-learn-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder / "plugins");
        testsupport::setUserSettingsFolder(folder / "settings");
        plugin = std::make_unique<APlugin>(recordingHost);
        // The map file beside the test program is shared by every test: start from a known map,
        // and keep this test's map in a folder of its own.
        plugin->midiMapFiles = placesIn(folder / "plugins");
        plugin->setDefaultMidiMap();
        automations.clear();
    }
    void TearDown() override {
        plugin.reset();
        std::filesystem::remove_all(folder);
    }

    /// The map's places for a library in `libraryFolder` and this test's settings folder.
    midimap::MapFiles placesIn(const std::filesystem::path& libraryFolder) const {
        return midimap::MapFiles::locate((libraryFolder / "").string(),
                                         (folder / "settings").string());
    }
    /// The report's last line when the map is kept in `file`.
    static std::string mapLine(const std::filesystem::path& file) {
        return "\r\nMap file: " + file.string();
    }
    std::string besideLibrary() const { return mapLine(folder / "plugins" / "RMXQMIDI.txt"); }

    /// Queues the events and runs one block, as a host does.
    void play(MidiEventList& events) {
        plugin->processEvents(events.get());
        std::vector<float> l(64), r(64);
        float* ins[] = {l.data(), r.data()};
        plugin->processReplacing(ins, ins, 64);
    }
    void controller(uint8_t cc, uint8_t value, uint8_t channel = 0) {
        MidiEventList events;
        events.midi(0, static_cast<uint8_t>(0xB0 | channel), cc, value);
        play(events);
    }
    int32_t ccMap(int cc) const { return plugin->midiCcMap[cc].load(); }
    int32_t paramCc(int param) const { return plugin->midiParamCc[param].load(); }

    std::filesystem::path folder;
    std::unique_ptr<APlugin> plugin;
};

const std::string kHeading = "MIDI CC -> VST Parameter Configuration\r\n\r\n";

std::string defaultReportLines(int learning = -1) {
    const char* names[] = {"EQLo", "EQMid", "EQHi", "Squeeze", "Dry/Wet", "Skweezy", "EQListen"};
    std::string text;
    for (int p = 0; p < 12; ++p) {
        text += std::to_string(20 + p) + ": " + (p < 7 ? names[p] : "Reserved for Reedmoor");
        text += p == learning ? " [Learning]\r\n" : "\r\n";
    }
    return text;
}

} // namespace

TEST_F(MidiLearn, LearnedControllerReplacesTheDefaultOneAndActsAtOnce) {
    plugin->midiLearnParam = 0;
    controller(74, 64);
    EXPECT_EQ(ccMap(20), -1);
    EXPECT_EQ(ccMap(74), 0);
    EXPECT_EQ(paramCc(0), 74);
    EXPECT_EQ(plugin->midiLearnParam.load(), -1);
    EXPECT_EQ(plugin->getParameter(param::EQLo), controllerValue(64));
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 0);
    EXPECT_EQ(automations[0].value, controllerValue(64));

    // Controller 20 no longer moves anything; 74 keeps driving parameter 0.
    automations.clear();
    controller(20, 127);
    controller(74, 127);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 0);
    EXPECT_EQ(plugin->getParameter(param::EQLo), 1.0f);
}

TEST_F(MidiLearn, LearningOnAMapReadFromTheFileKeepsTheOldController) {
    // A loaded map assigns controllers but records no controller per parameter.
    plugin->clearMidiMap();
    plugin->midiCcMap[20] = 0;
    plugin->midiLearnParam = 0;
    controller(74, 10);
    EXPECT_EQ(ccMap(20), 0);
    EXPECT_EQ(ccMap(74), 0);
}

TEST_F(MidiLearn, LearningAControllerThatHeldAnotherParameter) {
    plugin->midiLearnParam = 1;
    controller(20, 127);
    EXPECT_EQ(ccMap(20), 1);
    EXPECT_EQ(ccMap(21), -1);
    EXPECT_EQ(paramCc(1), 20);
    EXPECT_EQ(paramCc(0), 20) << "parameter 0 keeps its stale entry";
    EXPECT_EQ(plugin->getParameter(param::EQMid), 1.0f);
    EXPECT_NE(plugin->getParameter(param::EQLo), 1.0f);

    // Learning parameter 0 now takes controller 20 back from parameter 1.
    plugin->midiLearnParam = 0;
    controller(5, 0);
    EXPECT_EQ(ccMap(20), -1);
    EXPECT_EQ(ccMap(5), 0);
}

TEST_F(MidiLearn, OnlyAControlChangeOfAnyChannelEndsLearning) {
    plugin->midiLearnParam = 5;
    MidiEventList others;
    others.midi(0, 0x90, 60, 100).midi(1, 0xE3, 0, 64).midi(2, 0xC0, 3).midi(3, 0xF8).midi(4, 0x33);
    play(others);
    EXPECT_EQ(plugin->midiLearnParam.load(), 5);
    controller(90, 127, 9);
    EXPECT_EQ(plugin->midiLearnParam.load(), -1);
    EXPECT_EQ(ccMap(90), 5);
    EXPECT_EQ(plugin->getParameter(param::Skweezy), 1.0f);
}

TEST_F(MidiLearn, ALearnIndexThatNamesNoParameterIsIgnored) {
    for (int bogus : {12, 99, -7}) {
        plugin->midiLearnParam = bogus;
        controller(23, 127);
        EXPECT_EQ(ccMap(23), 3) << bogus;
        EXPECT_EQ(plugin->getMidiMapText(), kHeading + defaultReportLines() + besideLibrary())
            << bogus;
    }
    EXPECT_EQ(paramCc(12), -1);
}

TEST_F(MidiLearn, ResetAndRestoreEndLearning) {
    plugin->midiLearnParam = 3;
    plugin->clearMidiMap();
    EXPECT_EQ(plugin->midiLearnParam.load(), -1);
    plugin->midiLearnParam = 3;
    plugin->setDefaultMidiMap();
    EXPECT_EQ(plugin->midiLearnParam.load(), -1);
    for (int p = 0; p < 12; ++p) {
        EXPECT_EQ(ccMap(20 + p), p);
        EXPECT_EQ(paramCc(p), 20 + p);
    }
    EXPECT_EQ(paramCc(12), -1);
}

TEST_F(MidiLearn, ReportOfTheDefaultMap) {
    EXPECT_EQ(plugin->getMidiMapText(), kHeading + defaultReportLines() + besideLibrary());
}

TEST_F(MidiLearn, ReportWhileLearningAMappedParameter) {
    plugin->midiLearnParam = 1;
    EXPECT_EQ(plugin->getMidiMapText(),
              kHeading + defaultReportLines(1) + "\r\nLearning: EQMid\r\n" + besideLibrary());
}

TEST_F(MidiLearn, ReportOfAnEmptyMapWithAndWithoutLearning) {
    plugin->clearMidiMap();
    EXPECT_EQ(plugin->getMidiMapText(),
              kHeading + "No MIDI CC details configured\r\n" + besideLibrary());
    plugin->midiLearnParam = 3;
    EXPECT_EQ(plugin->getMidiMapText(), kHeading + "Learning: Squeeze\r\n" + besideLibrary());
}

TEST_F(MidiLearn, ReportListsControllersInNumberOrder) {
    plugin->clearMidiMap();
    plugin->midiCcMap[127] = 6;
    plugin->midiCcMap[0] = 4;
    plugin->midiCcMap[64] = 4;
    plugin->midiCcMap[100] = 9;
    EXPECT_EQ(plugin->getMidiMapText(), kHeading +
                                            "0: Dry/Wet\r\n64: Dry/Wet\r\n"
                                            "100: Reserved for Reedmoor\r\n127: EQListen\r\n" +
                                            besideLibrary());
}

TEST_F(MidiLearn, LearnedControllersSurviveAPluginFolderThatRefusesTheFile) {
    // A library folder below a plain file: not even root can write there.
    std::ofstream(folder / "plain") << "plain";
    const auto refused = placesIn(folder / "plain" / "plugins");
    const std::filesystem::path userCopy = folder / "settings" / "Reedmoor" / "RMXQMIDI.txt";
    plugin->midiMapFiles = refused;
    plugin->midiLearnParam = 2;
    controller(74, 0);
    const std::string report = plugin->getMidiMapText();
    EXPECT_TRUE(report.ends_with("\r\n" + mapLine(userCopy))) << report;

    plugin.reset(); // closing writes the map
    plugin = std::make_unique<APlugin>(recordingHost);
    plugin->midiMapFiles = refused;
    plugin->loadMidiMap();
    EXPECT_EQ(ccMap(74), 2);
    EXPECT_EQ(ccMap(22), -1);
    EXPECT_EQ(ccMap(20), 0);
}

TEST_F(MidiLearn, ReportSaysWhenNoFolderCanKeepTheMap) {
    std::ofstream(folder / "plain") << "plain";
    plugin->midiMapFiles = midimap::MapFiles::locate((folder / "plain" / "").string(),
                                                     (folder / "plain" / "settings").string());
    plugin->clearMidiMap();
    EXPECT_EQ(plugin->getMidiMapText(),
              kHeading + "No MIDI CC details configured\r\n\r\nMap file: none (neither the "
                         "plug-in's folder nor the user's settings folder can be written)");
    EXPECT_FALSE(plugin->saveMidiMap());
}

// The editor's menu changes the map on the user-interface thread while the audio thread
// dispatches controllers: every entry stays a whole, valid value (ThreadSanitizer watches).
TEST_F(MidiLearn, MenuActionsWhileControllersArrive) {
    std::atomic<bool> done{false};
    std::thread menu([&] {
        for (int i = 0; !done.load(); ++i) {
            if (i % 3 == 0) plugin->clearMidiMap();
            if (i % 3 == 1) plugin->setDefaultMidiMap();
            plugin->midiLearnParam = i % 12;
            (void)plugin->getMidiMapText();
        }
    });
    for (int block = 0; block < 300; ++block) {
        MidiEventList events;
        for (int e = 0; e < 16; ++e)
            events.cc(e * 4, static_cast<uint8_t>(20 + (block + e) % 40), static_cast<uint8_t>(e));
        play(events);
    }
    done = true;
    menu.join();
    for (int cc = 0; cc < 128; ++cc) {
        EXPECT_GE(ccMap(cc), -1) << cc;
        EXPECT_LT(ccMap(cc), 12) << cc;
    }
    EXPECT_FALSE(automations.empty());
    for (const Automation& a : automations) {
        ASSERT_GE(a.index, 0);
        ASSERT_LT(a.index, 12);
    }
}
