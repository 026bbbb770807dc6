#include "EditorCheckCore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using editorcheck::Command;
using editorcheck::parseOptions;
using editorcheck::UsageError;

TEST(EditorCheckOptions, AWindowForTheScriptUnlessACheckIsAskedFor) {
    const auto plain =
        parseOptions({"plug.so", "--commands", "work", "--seconds", "30", "--program", "5"});
    EXPECT_EQ(plain.plugin, "plug.so");
    EXPECT_EQ(plain.program, 5);
    EXPECT_EQ(parseOptions({"plug.so"}).program, -1) << "the plug-in's own program by default";
    EXPECT_EQ(plain.commands, "work");
    EXPECT_EQ(plain.seconds, 30);
    EXPECT_EQ(plain.idleMs, 40) << "the rate of the hosts this is modelled on";
    EXPECT_TRUE(plain.interactive());

    const auto checks = parseOptions({"--cycles", "50", "--destroy-parent-first", "plug.dll"});
    EXPECT_EQ(checks.plugin, "plug.dll");
    EXPECT_EQ(checks.cycles, 50);
    EXPECT_TRUE(checks.destroyParentFirst);
    EXPECT_FALSE(checks.interactive());
    EXPECT_FALSE(parseOptions({"p", "--idle-cpu", "10"}).interactive());
}

TEST(EditorCheckOptions, BadCommandLinesSayWhatIsWrong) {
    const std::vector<std::vector<std::string>> bad = {
        {},                                   // no plug-in
        {"a.so", "b.so"},                     // two
        {"a.so", "--cycles"},                 // value missing
        {"a.so", "--cycles", "0"},            // below the range
        {"a.so", "--cycles", "5x"},           // not a number
        {"a.so", "--idle-ms", "99999999999"}, // beyond long on some systems, beyond range on all
        {"a.so", "--seconds", ""},
        {"a.so", "--program", "-1"},
        {"a.so", "--commands", ""},
        {"a.so", "--window", "5"}, // unknown
    };
    for (const auto& args : bad) {
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        EXPECT_THROW(parseOptions(args), UsageError) << line;
    }
}

TEST(EditorCheckCommands, WordsInOrderUnknownOnesSetAside) {
    std::vector<std::string> unknown;
    const auto commands = editorcheck::parseCommands("values\r\n  bogus quit\nvalues", unknown);
    EXPECT_EQ(commands, (std::vector<Command>{Command::Values, Command::Quit, Command::Values}));
    EXPECT_EQ(unknown, std::vector<std::string>{"bogus"});
    EXPECT_TRUE(editorcheck::parseCommands("", unknown).empty());
}

TEST(EditorCheckLines, NumbersReadBackToTheSameFloat) {
    // The script compares these lines with wadling-snapshot's and feeds values back to it.
    const float values[] = {0.0f, 1.0f, 0.2f, 0.0025f * 37, 1.0f / 150.0f * 127, 1e-8f};
    for (const float v : values) {
        const std::string line = editorcheck::automationLine(7, v);
        ASSERT_EQ(line.rfind("automate 7 ", 0), 0u) << line;
        EXPECT_EQ(std::strtof(line.c_str() + 11, nullptr), v) << line;
    }
    const std::string all = editorcheck::valuesLine({0.5f, 1.0f / 3.0f});
    char* end = nullptr;
    ASSERT_EQ(all.rfind("values ", 0), 0u);
    EXPECT_EQ(std::strtof(all.c_str() + 7, &end), 0.5f);
    EXPECT_EQ(std::strtof(end, &end), 1.0f / 3.0f);
    EXPECT_EQ(*end, '\0');
}

TEST(EditorCheckLeftovers, OnlyGrowthOfAKnownCountIsALeftover) {
    host::HostWindow::Resources before;
    before.childWindows = 0;
    before.systemHandles = 12;
    host::HostWindow::Resources after = before;
    EXPECT_TRUE(editorcheck::leftovers(before, after).empty());

    after.systemHandles = 11; // a connection the host closed meanwhile
    EXPECT_TRUE(editorcheck::leftovers(before, after).empty());

    after.childWindows = 1;
    after.systemHandles = 13;
    after.drawingObjects = 40; // unknown before: not comparable
    EXPECT_EQ(editorcheck::leftovers(before, after),
              (std::vector<std::string>{"child windows 0 -> 1", "handles 12 -> 13"}));

    before.drawingObjects = 39;
    before.interfaceObjects = after.interfaceObjects = 7;
    EXPECT_EQ(editorcheck::leftovers(before, after).back(), "GDI objects 39 -> 40");
}

} // namespace
