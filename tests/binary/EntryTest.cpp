// The record and the entry, as a host sees them through the exported functions.

#include <cstring>

#include "PluginFixture.h"

namespace {

using EntryTest = PluginFixture;

void expectRecordOfThisPlugin(const AEffect& e) {
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_NE(e.dispatcher, nullptr);
    EXPECT_NE(e.process, nullptr);
    EXPECT_NE(e.setParameter, nullptr);
    EXPECT_NE(e.getParameter, nullptr);
    EXPECT_EQ(e.numPrograms, 12);
    EXPECT_EQ(e.numParams, 12);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 2);
    // HasEditor (1), CanMono (8), CanReplacing (16).
    EXPECT_EQ(e.flags, 25);
    EXPECT_EQ(e.resvd1, 0);
    EXPECT_EQ(e.resvd2, 0);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.realQualities, 0);
    EXPECT_EQ(e.offQualities, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_NE(e.object, nullptr);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_EQ(e.uniqueID, 0x4B515A50) << "KQZP";
    EXPECT_EQ(e.version, 1);
    EXPECT_NE(e.processReplacing, nullptr);
    EXPECT_NE(e.processDoubleReplacing, nullptr);
    const char zeros[sizeof e.future] = {};
    EXPECT_EQ(std::memcmp(e.future, zeros, sizeof zeros), 0);
}

TEST_F(EntryTest, BothExportsHandOutTheRecordOfThisPlugin) {
    ASSERT_NE(library->symbol("main"), nullptr);
    ASSERT_NE(library->symbol("VSTPluginMain"), nullptr);
    expectRecordOfThisPlugin(*open("VSTPluginMain").effect());
    expectRecordOfThisPlugin(*open("main").effect());
    EXPECT_EQ(reinterpret_cast<void*>(library->entry()), library->symbol("VSTPluginMain"));
}

TEST_F(EntryTest, CreationAsksForTheHostVersionAndNothingElse) {
    open();
    const auto calls = callback.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].effect, nullptr);
    EXPECT_EQ(calls[0].index, 0);
    EXPECT_EQ(calls[0].value, 0);
    EXPECT_EQ(calls[0].ptr, nullptr);
    EXPECT_EQ(calls[0].opt, 0.0f);
}

TEST_F(EntryTest, AHostWhoseVersionIsZeroGetsNothing) {
    callback.setVersion(0);
    for (const char* name : {"main", "VSTPluginMain"}) {
        auto entry = reinterpret_cast<host::PluginLibrary::Entry>(library->symbol(name));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry(host::HostCallback::callback()), nullptr) << name;
    }
    EXPECT_THROW(open(), host::HostError);
}

TEST_F(EntryTest, HostVersionsOneAnd2400BothGetAWorkingRecord) {
    for (intptr_t version : {1, 2400}) {
        callback.setVersion(version);
        host::PluginInstance& plugin = open();
        EXPECT_EQ(plugin.dispatch(effIdentify), 0x4E764566);
        EXPECT_EQ(plugin.close(), 1);
    }
}

TEST_F(EntryTest, InstancesAreIndependentAndClosingOneLeavesTheOther) {
    host::PluginInstance& first = open();
    host::PluginInstance& second = open();
    ASSERT_NE(first.effect(), second.effect());
    EXPECT_NE(first.effect()->object, second.effect()->object);
    EXPECT_EQ(first.effect()->object, first.effect()->object);

    EXPECT_EQ(first.close(), 1);
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(second.text(effGetEffectName), "WadlingCompressor");
    EXPECT_EQ(second.dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(second.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(second.close(), 1);
}

TEST_F(EntryTest, ThePluginLivesInTheFolderItWasCopiedTo) {
    EXPECT_TRUE(std::filesystem::is_regular_file(pluginPath));
    EXPECT_NE(pluginPath.parent_path(), builtPlugin().parent_path());
    EXPECT_EQ(open().dispatch(effClose), 1);
}

} // namespace
