// MIDI through the built binary: events queued with effProcessEvents, handled at their sample
// positions, passed on to the host, controllers moving parameters, and the controller map file
// beside the library (each test has its own copy of the binary in a folder of its own).

#include "MidiEventList.h"
#include "PluginFixture.h"

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr int kSqueeze = 3;
constexpr int kDryWet = 4;
/// softClip(0.5): what a dry/wet mix of 1.0 makes of an uncompressed sample of 0.5.
constexpr float kWetHalf = 0.47261f;

struct Message {
    int status, data1, data2;
    bool operator==(const Message&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Message& m) {
    return os << std::hex << '(' << m.status << ' ' << m.data1 << ' ' << m.data2 << ')';
}

float controllerValue(int value) {
    return static_cast<float>(value) * (1.0f / 127.0f);
}

class MidiTest : public PluginFixture {
protected:
    /// A new instance, switched on, with the calls of its creation forgotten.
    host::PluginInstance& start() {
        host::PluginInstance& p = open();
        p.dispatch(effMainsChanged, 0, 1);
        callback.clearCalls();
        return p;
    }
    /// An instance whose output shows what the detector does (a fully wet mix) and that
    /// leaves a level of 0.5 uncompressed (threshold 0 dB) until "Squeeze" rises.
    host::PluginInstance& startWet() {
        host::PluginInstance& p = start();
        p.setParameter(kSqueeze, 0.0f);
        p.setParameter(kDryWet, 1.0f);
        return p;
    }

    static intptr_t send(host::PluginInstance& p, MidiEventList& events) {
        return p.dispatch(effProcessEvents, 0, 0, events.get());
    }

    /// One block of a constant 0.5 on both channels; answers the left output.
    static std::vector<float> play(host::PluginInstance& p, int frames) {
        std::vector<float> inL(frames, 0.5f), inR(frames, 0.5f), outL(frames), outR(frames);
        float* ins[] = {inL.data(), inR.data()};
        float* outs[] = {outL.data(), outR.data()};
        p.processReplacing(ins, outs, frames);
        EXPECT_EQ(outL, outR);
        return outL;
    }

    /// Every event handed to the host, in order.
    std::vector<Message> passedOn() const {
        std::vector<Message> messages;
        for (const host::CallRecord& call : callback.calls(audioMasterProcessEvents)) {
            EXPECT_EQ(call.midiEvents.size(), 1u) << "one event per call";
            for (const VstMidiEvent& e : call.midiEvents)
                messages.push_back({static_cast<uint8_t>(e.midiData[0]),
                                    static_cast<uint8_t>(e.midiData[1]),
                                    static_cast<uint8_t>(e.midiData[2])});
        }
        return messages;
    }

    /// (index, value) of every automation report.
    std::vector<std::pair<int32_t, float>> automations() const {
        std::vector<std::pair<int32_t, float>> reports;
        for (const host::CallRecord& call : callback.calls(audioMasterAutomate))
            reports.emplace_back(call.index, call.opt);
        return reports;
    }

    fs::path mapFile() const { return folder / "RMXQMIDI.txt"; }
    /// The map's place in the user's settings, taken once the plug-in's folder refuses it.
    fs::path userCopy() const { return settingsFolder / "Reedmoor" / "RMXQMIDI.txt"; }
    static std::string readFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        EXPECT_TRUE(in.is_open()) << path;
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void writeFile(const fs::path& path, std::string_view text) {
        std::ofstream(path, std::ios::binary)
            .write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    std::string readMapFile() const { return readFile(mapFile()); }
    void writeMapFile(std::string_view text) const { writeFile(mapFile(), text); }
    /// A folder, with something in it, where the map file beside the library belongs: no
    /// write replaces it, not even one with root's rights.
    void blockMapFile() const {
        fs::create_directory(mapFile());
        std::ofstream(mapFile() / "keep.txt") << "keep";
    }
    static std::string defaultMapText() {
        std::string text;
        for (int i = 0; i < 12; ++i)
            text += std::to_string(20 + i) + ": " + std::to_string(i) + "\r\n";
        return text;
    }
    /// Names in the plug-in's folder other than the plug-in itself.
    std::vector<std::string> otherFiles(const fs::path& dir) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            if (entry.path().filename() != pluginPath.filename())
                names.push_back(entry.path().filename().string());
        return names;
    }

    /// Sends one message per controller 0..127 with value 127; answers the parameter each one
    /// moved (-1 for none), read from the automation reports.
    std::vector<int32_t> controllerTargets(host::PluginInstance& p) {
        std::vector<int32_t> targets;
        for (int cc = 0; cc < 128; ++cc) {
            callback.clearCalls();
            MidiEventList events;
            events.cc(0, static_cast<uint8_t>(cc), 127);
            send(p, events);
            play(p, 8);
            const auto reports = automations();
            EXPECT_LE(reports.size(), 1u);
            targets.push_back(reports.empty() ? -1 : reports[0].first);
        }
        return targets;
    }
    static std::vector<int32_t> targetsOf(std::initializer_list<std::pair<int, int32_t>> pairs) {
        std::vector<int32_t> targets(128, -1);
        for (const auto& [cc, param] : pairs)
            targets[cc] = param;
        return targets;
    }
};

} // namespace

TEST_F(MidiTest, ControllerMovesItsParameterAtItsSamplePosition) {
    // "Squeeze" acts inside the chunk loop (the dry/wet mix is applied to the whole block
    // afterwards): from 0 (threshold 0 dB, nothing to do for a level of 0.5) to 1.0 (-40 dB).
    host::PluginInstance& reference = startWet();
    const std::vector<float> untouched = play(reference, 100);
    for (float sample : untouched)
        ASSERT_NEAR(sample, kWetHalf, 1e-5);

    host::PluginInstance& p = startWet();
    MidiEventList events;
    events.cc(40, 23, 127);
    EXPECT_EQ(send(p, events), 1);
    const std::vector<float> out = play(p, 100);
    for (int i = 0; i < 40; ++i) // across the chunk boundary at 32 as well
        ASSERT_EQ(out[i], untouched[i]) << i;
    for (int i = 40; i < 100; ++i)
        ASSERT_NE(out[i], untouched[i]) << i;
    EXPECT_EQ(p.getParameter(kSqueeze), 1.0f);
    EXPECT_EQ(automations(), (std::vector<std::pair<int32_t, float>>{{kSqueeze, 1.0f}}));
}

TEST_F(MidiTest, EachChannelMessageIsPassedOnAsTheDesignSays) {
    host::PluginInstance& p = start();
    MidiEventList events;
    events
        .midi(0, 0x91, 60, 100)    // note on
        .midi(1, 0x92, 61, 0)      // note on, velocity 0: goes out as a note off
        .midi(2, 0x83, 62, 40)     // note off
        .midi(3, 0xA4, 63, 50)     // polyphonic key pressure
        .midi(4, 0xB5, 100, 70)    // control change (controller 100 is unassigned)
        .midi(5, 0xC4, 7, 55)      // program change: data 2 goes out as 0
        .midi(6, 0xD6, 9, 33)      // channel pressure: data 2 goes out as 0
        .midi(7, 0xE7, 1, 2)       // pitch bend
        .midi(8, 0x90, 0xFF, 0x85) // data bytes lose their top bit
        .midi(9, 0xF0, 1, 2)       // system messages and stray data bytes: not passed on
        .midi(9, 0xF8)
        .midi(9, 0xFF, 3, 4)
        .midi(9, 0x45, 5, 6)
        .midi(9, 0x00);
    send(p, events);
    play(p, 64);
    const std::vector<Message> expected = {{0x91, 60, 100}, {0x82, 61, 0},   {0x83, 62, 40},
                                           {0xA4, 63, 50},  {0xB5, 100, 70}, {0xC4, 7, 0},
                                           {0xD6, 9, 0},    {0xE7, 1, 2},    {0x90, 0x7F, 0x05}};
    EXPECT_EQ(passedOn(), expected);
    EXPECT_TRUE(automations().empty());
    for (const host::CallRecord& call : callback.calls(audioMasterProcessEvents)) {
        ASSERT_EQ(call.midiEvents.size(), 1u);
        const VstMidiEvent& e = call.midiEvents[0];
        EXPECT_EQ(e.type, kVstMidiType);
        EXPECT_EQ(e.byteSize, static_cast<int32_t>(sizeof(VstMidiEvent)));
        EXPECT_EQ(e.deltaFrames, 0);
        EXPECT_EQ(e.reserved1, 99);
        EXPECT_EQ(e.midiData[3], 0);
        EXPECT_EQ(e.flags, 0);
        EXPECT_EQ(e.noteLength, 0);
        EXPECT_EQ(e.noteOffset, 0);
        EXPECT_EQ(e.detune, 0);
        EXPECT_EQ(e.noteOffVelocity, 0);
        EXPECT_EQ(e.reserved2, 0);
        EXPECT_EQ(call.effect, p.effect());
    }
}

TEST_F(MidiTest, DefaultMapWithoutAFileAutomatesParametersZeroToEleven) {
    host::PluginInstance& p = start();
    EXPECT_EQ(controllerTargets(p), targetsOf({{20, 0},
                                               {21, 1},
                                               {22, 2},
                                               {23, 3},
                                               {24, 4},
                                               {25, 5},
                                               {26, 6},
                                               {27, 7},
                                               {28, 8},
                                               {29, 9},
                                               {30, 10},
                                               {31, 11}}));
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(p.getParameter(i), 1.0f) << i;
}

TEST_F(MidiTest, AutomationReportCarriesIndexAndScaledValueAfterThePassOn) {
    host::PluginInstance& p = start();
    MidiEventList events;
    events.midi(0, 0xB7, 23, 127).midi(1, 0xB0, 23, 0).midi(2, 0xBF, 23, 64);
    send(p, events);
    play(p, 16);
    EXPECT_EQ(automations(),
              (std::vector<std::pair<int32_t, float>>{
                  {kSqueeze, 1.0f}, {kSqueeze, 0.0f}, {kSqueeze, controllerValue(64)}}));
    EXPECT_EQ(p.getParameter(kSqueeze), controllerValue(64));
    // The host hears of the message before the parameter moves.
    const auto calls = callback.calls();
    ASSERT_EQ(calls.size(), 6u);
    for (size_t i = 0; i < calls.size(); i += 2) {
        EXPECT_EQ(calls[i].opcode, audioMasterProcessEvents);
        EXPECT_EQ(calls[i + 1].opcode, audioMasterAutomate);
    }
}

TEST_F(MidiTest, MapFileWrittenBeforeLoadingWithLenientLines) {
    writeMapFile("  7:4\r\n"         // leading blanks: controller 7
                 "7 : 4\r\n"         // the blank after 7 spoils it: controller 0
                 "$14: 0x3\r\n"      // hexadecimal both sides: 20 -> 3
                 "21: 1\r\n21:x\r\n" // a letter unassigns
                 "no colon here\r\n"
                 "128: 1\r\n-1: 2\r\n5: 12\r\n6: -2\r\n" // out of range: skipped
                 "0x1F: 11\n"                            // a bare LF ends a line too
                 "64: 6");                               // no final line end
    host::PluginInstance& p = start();
    EXPECT_EQ(controllerTargets(p), targetsOf({{0, 4}, {7, 4}, {20, 3}, {31, 11}, {64, 6}}));
    EXPECT_EQ(p.close(), 1);
    EXPECT_EQ(readMapFile(), "0: 4\r\n7: 4\r\n20: 3\r\n31: 11\r\n64: 6\r\n");
}

TEST_F(MidiTest, MapFileWithGarbageLoadsWhatIsValid) {
    std::string text = "\x01\x02\xff\0garbage:\x80\r\n"s;
    text += std::string(200000, '7') + ": 1\r\n"; // one enormous line
    text += "10: 2\r";                            // a lone CR
    text += std::string(1000, '\0') + "\r\n";
    text += "11: 3";
    writeMapFile(text);
    host::PluginInstance& p = start();
    EXPECT_EQ(p.close(), 1);
    EXPECT_EQ(readMapFile(), "10: 2\r\n11: 3\r\n");
}

TEST_F(MidiTest, AnEmptyMapFileMeansNoControllersAndStaysEmpty) {
    writeMapFile("");
    host::PluginInstance& p = start();
    EXPECT_EQ(controllerTargets(p), targetsOf({}));
    EXPECT_EQ(p.close(), 1);
    EXPECT_EQ(readMapFile(), "");
}

TEST_F(MidiTest, CloseWritesTheMapFileBesideTheLibrary) {
    ASSERT_FALSE(fs::exists(mapFile()));
    host::PluginInstance& p = start();
    EXPECT_EQ(p.close(), 1);
    EXPECT_EQ(readMapFile(), defaultMapText());
    EXPECT_EQ(otherFiles(folder), std::vector<std::string>{"RMXQMIDI.txt"});
    EXPECT_FALSE(fs::exists(settingsFolder)) << "the user's settings stay untouched";
}

TEST_F(MidiTest, EventsAtOnePositionGoInSlotOrder) {
    host::PluginInstance& p = start();
    MidiEventList first;
    first.cc(5, 23, 10).cc(5, 23, 100).midi(5, 0x90, 1, 1).cc(0, 24, 3);
    send(p, first);
    play(p, 64);
    EXPECT_EQ(passedOn(),
              (std::vector<Message>{{0xB0, 24, 3}, {0xB0, 23, 10}, {0xB0, 23, 100}, {0x90, 1, 1}}));
    EXPECT_EQ(p.getParameter(kSqueeze), controllerValue(100));

    // Slots freed in the last block are taken again from the lowest: an event carried over
    // from the previous block (slot 2) comes after a new one that took slot 1.
    callback.clearCalls();
    MidiEventList second;
    second.midi(0, 0x90, 2, 2).midi(70, 0x90, 3, 3);
    send(p, second);
    play(p, 64);
    MidiEventList third;
    third.midi(0, 0x90, 4, 4);
    send(p, third);
    play(p, 64);
    EXPECT_EQ(passedOn(), (std::vector<Message>{{0x90, 2, 2}, {0x90, 4, 4}, {0x90, 3, 3}}));
}

TEST_F(MidiTest, QueueTakesTwoHundredFiftyEventsAndDropsTheRest) {
    host::PluginInstance& p = start();
    MidiEventList events;
    for (int i = 0; i < 300; ++i)
        events.midi(i % 64, 0x90, static_cast<uint8_t>(i % 128), static_cast<uint8_t>(i / 128 + 1));
    EXPECT_EQ(send(p, events), 1);
    play(p, 64);
    const std::vector<Message> out = passedOn();
    ASSERT_EQ(out.size(), 250u);
    // The first 250 of the list, ordered by position (slot order within one).
    std::vector<Message> expected;
    for (int pos = 0; pos < 64; ++pos)
        for (int i = pos; i < 250; i += 64)
            expected.push_back({0x90, i % 128, i / 128 + 1});
    EXPECT_EQ(out, expected);

    // Once dispatched the slots are free again.
    callback.clearCalls();
    MidiEventList more;
    for (int i = 0; i < 250; ++i)
        more.midi(0, 0x80, 1, 1);
    send(p, more);
    play(p, 64);
    EXPECT_EQ(passedOn().size(), 250u);
}

TEST_F(MidiTest, EventsOfOtherTypesAndNullEntriesAreIgnored) {
    host::PluginInstance& p = start();
    MidiEventList events;
    VstMidiEvent sysex{};
    sysex.type = kVstSysExType;
    sysex.byteSize = sizeof(VstMidiEvent);
    sysex.midiData[0] = static_cast<char>(0x90);
    for (int i = 0; i < 250; ++i) {
        events.add(sysex).hole();
        events.midi(0, 0x90, 1, static_cast<uint8_t>(i % 127 + 1));
    }
    send(p, events);
    play(p, 16);
    EXPECT_EQ(passedOn().size(), 250u) << "no slot went to the other events";
    EXPECT_EQ(p.dispatch(effProcessEvents, 0, 0, nullptr), 0);
}

TEST_F(MidiTest, NegativePositionsAreTakenAsTheBlockStart) {
    host::PluginInstance& reference = startWet();
    const std::vector<float> untouched = play(reference, 64);
    host::PluginInstance& p = startWet();
    MidiEventList events;
    events.cc(-5, 23, 127).midi(-99, 0x90, 7, 7).midi(INT32_MIN, 0x80, 7, 0);
    send(p, events);
    const std::vector<float> out = play(p, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_NE(out[i], untouched[i]) << i;
    EXPECT_EQ(passedOn(), (std::vector<Message>{{0xB0, 23, 127}, {0x90, 7, 7}, {0x80, 7, 0}}));
}

TEST_F(MidiTest, EventsAtOrBeyondTheBlockEndComeAtTheNextBlocksStart) {
    host::PluginInstance& reference = startWet();
    const std::vector<float> first = play(reference, 64);
    const std::vector<float> second = play(reference, 64);

    host::PluginInstance& p = startWet();
    MidiEventList events;
    events.cc(64, 23, 127).midi(1000000, 0x90, 9, 9);
    send(p, events);
    EXPECT_EQ(play(p, 64), first);
    EXPECT_TRUE(passedOn().empty());
    play(p, 0); // an empty block changes nothing
    EXPECT_TRUE(passedOn().empty());
    const std::vector<float> out = play(p, 64);
    for (int i = 0; i < 64; ++i)
        ASSERT_NE(out[i], second[i]) << i;
    EXPECT_EQ(passedOn(), (std::vector<Message>{{0xB0, 23, 127}, {0x90, 9, 9}}));
}

TEST_F(MidiTest, UnwritableMapFileSendsTheMapToTheUserSettingsUntouchedBeside) {
    // A folder where the file should be: it cannot be read, and must not be deleted.
    blockMapFile();
    host::PluginInstance& p = start();
    EXPECT_EQ(controllerTargets(p)[23], kSqueeze);
    EXPECT_EQ(p.close(), 1);
    EXPECT_TRUE(fs::is_directory(mapFile()));
    EXPECT_EQ(readFile(mapFile() / "keep.txt"), "keep");
    EXPECT_EQ(otherFiles(folder), std::vector<std::string>{"RMXQMIDI.txt"});
    EXPECT_EQ(readFile(userCopy()), defaultMapText());
}

TEST_F(MidiTest, OnceInTheUserSettingsTheMapIsReadAndWrittenThereOnly) {
    blockMapFile();
    EXPECT_EQ(start().close(), 1);
    ASSERT_TRUE(fs::exists(userCopy()));

    // The plug-in's folder takes files again and has a map of its own: the user's copy, which
    // holds what was learned meanwhile, still rules.
    fs::remove_all(mapFile());
    writeMapFile("75: 4\r\n");
    writeFile(userCopy(), "74: 3\r\n");
    host::PluginInstance& p = start();
    EXPECT_EQ(controllerTargets(p), targetsOf({{74, kSqueeze}}));
    EXPECT_EQ(p.close(), 1);
    EXPECT_EQ(readFile(userCopy()), "74: 3\r\n");
    EXPECT_EQ(readMapFile(), "75: 4\r\n");

    // Without the user's copy, the file beside the library is the map again.
    fs::remove(userCopy());
    host::PluginInstance& q = start();
    EXPECT_EQ(controllerTargets(q), targetsOf({{75, kDryWet}}));
    EXPECT_EQ(q.close(), 1);
    EXPECT_FALSE(fs::exists(userCopy()));
}

TEST_F(MidiTest, CloseCompletesWhenNoFolderTakesTheMap) {
    blockMapFile();
    // A settings folder below a plain file cannot be created, whatever the user's rights.
    fs::create_directories(settingsFolder);
    writeFile(settingsFolder / "plain", "plain");
    testsupport::setUserSettingsFolder(settingsFolder / "plain" / "config");
    host::PluginInstance& p = start();
    EXPECT_EQ(controllerTargets(p)[23], kSqueeze);
    EXPECT_EQ(p.close(), 1);
    EXPECT_EQ(readFile(settingsFolder / "plain"), "plain");
    EXPECT_EQ(std::distance(fs::directory_iterator(settingsFolder), fs::directory_iterator()), 1);
    EXPECT_EQ(otherFiles(folder), std::vector<std::string>{"RMXQMIDI.txt"});
}

#ifndef _WIN32
// Windows does not let a folder holding a loaded library be renamed.
TEST_F(MidiTest, CloseCompletesWhenTheLibraryFolderIsGone) {
    host::PluginInstance& p = start();
    const fs::path moved = folder.string() + "-moved";
    fs::rename(folder, moved);
    EXPECT_EQ(p.close(), 1);
    EXPECT_FALSE(fs::exists(folder)) << "nothing recreated the folder";
    EXPECT_TRUE(otherFiles(moved).empty()) << "nothing written beside the moved library";
    EXPECT_EQ(readFile(userCopy()), defaultMapText()) << "the map went to the user's settings";
    fs::rename(moved, folder);
}
#endif
