// What a validator throws at the dispatcher and the parameter entries: every opcode with random
// arguments, absurd parameter values and indices, programs out of range, names of any length.

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "TortureSupport.h"
#include "plugin/uPlugin.h"

namespace {

using torture::kInf;
using torture::kNaN;

class TortureDispatcher : public PluginFixture {
protected:
    static constexpr size_t kBufferSize = 1 << 16;
    static constexpr size_t kGuard = 256;
    static constexpr unsigned char kGuardByte = 0xA5;

    void SetUp() override {
        PluginFixture::SetUp();
        plugin = &open();
        memory.assign(kBufferSize + kGuard, kGuardByte);
    }

    /// The large zeroed buffer a call may write into, followed by guard bytes.
    void* zeroedBuffer() {
        std::fill(memory.begin(), memory.begin() + kBufferSize, 0);
        return memory.data();
    }
    bool guardIntact() const {
        return std::all_of(memory.begin() + kBufferSize, memory.end(),
                           [](unsigned char b) { return b == kGuardByte; });
    }

    host::PluginInstance* plugin = nullptr;
    std::vector<unsigned char> memory;
};

// Opcodes whose meaning ends the instance or hands over a window: exercised elsewhere.
bool skipped(int32_t opcode) {
    return opcode == effClose || opcode == effEditOpen;
}

TEST_F(TortureDispatcher, EveryOpcodeWithRandomArgumentsStaysInsideTheBuffer) {
    std::mt19937 random(20261208);
    const float opts[] = {0.0f, 1.0f, -1.0f, 44100.0f, kNaN, kInf, -kInf, 1e30f, -1e-30f};
    std::vector<int32_t> opcodes;
    for (int32_t op = 0; op <= 79; ++op)
        opcodes.push_back(op);
    for (int32_t op : {-1, -79, 80, 81, 100, 1000, INT_MIN, INT_MAX})
        opcodes.push_back(op);

    for (int round = 0; round < 40; ++round) {
        for (int32_t op : opcodes) {
            if (skipped(op)) continue;
            const int32_t index = static_cast<int32_t>(random());
            const bool withBuffer = (random() & 1) != 0;
            void* ptr = withBuffer ? zeroedBuffer() : nullptr;
            // Some opcodes take a pointer in `value`: give them the buffer or null, as a host
            // would; every other opcode gets a random number.
            const bool valueIsPointer =
                op == effSetSpeakerArrangement || op == effGetSpeakerArrangement;
            const intptr_t value = valueIsPointer ? reinterpret_cast<intptr_t>(ptr)
                                                  : static_cast<intptr_t>(int32_t(random()));
            const float opt = opts[random() % std::size(opts)];
            plugin->dispatch(op, index, value, ptr, opt);
            ASSERT_TRUE(guardIntact()) << "opcode " << op << " wrote past the host's buffer";
        }
    }
    // Still a working plug-in afterwards.
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    torture::Stereo in(256, 0.25f), out(256);
    plugin->processReplacing(in.channels(), out.channels(), 256);
    EXPECT_EQ(torture::firstNonFinite(out), -1);
}

TEST_F(TortureDispatcher, AbsurdParameterValuesAreClampedAndIndicesIgnored) {
    const float values[] = {kNaN,       -kNaN, kInf,
                            -kInf,      1e30f, -1e30f,
                            1.0000001f, -0.0f, std::numeric_limits<float>::denorm_min(),
                            -1e-30f,    2.0f};
    for (int32_t index = 0; index < 12; ++index) {
        for (float v : values) {
            plugin->setParameter(index, v);
            const float stored = plugin->getParameter(index);
            EXPECT_TRUE(stored >= 0.0f && stored <= 1.0f) << "index " << index << " value " << v;
            const std::string shown = plugin->text(effGetParamDisplay, index);
            EXPECT_EQ(shown.find("nan"), std::string::npos) << shown;
            EXPECT_EQ(shown.find("inf"), std::string::npos) << shown;
        }
    }
    const float before = plugin->getParameter(param::Squeeze);
    for (int32_t index : {-1, 12, INT_MIN, INT_MAX}) {
        for (float v : {0.0f, 0.7f, kNaN, kInf}) {
            plugin->setParameter(index, v);
            EXPECT_EQ(plugin->getParameter(index), 0.0f);
        }
        EXPECT_EQ(plugin->text(effGetParamName, index), "undefined");
    }
    EXPECT_EQ(plugin->getParameter(param::Squeeze), before);
}

TEST_F(TortureDispatcher, ProgramsOutOfRangeChangeNothing) {
    plugin->dispatch(effSetProgram, 0, 7);
    const std::string name = plugin->text(effGetProgramName);
    const float value = plugin->getParameter(param::EQMid);
    for (intptr_t program : {intptr_t(-1), intptr_t(12), intptr_t(INT_MAX), intptr_t(INT_MIN)}) {
        plugin->dispatch(effSetProgram, 0, program);
        EXPECT_EQ(plugin->dispatch(effGetProgram), 7);
    }
    EXPECT_EQ(plugin->text(effGetProgramName), name);
    EXPECT_EQ(plugin->getParameter(param::EQMid), value);
}

TEST_F(TortureDispatcher, ProgramNamesOfAnyLengthAreCutNotOverrun) {
    for (size_t length : {size_t(0), size_t(50), size_t(51), size_t(10000)}) {
        std::string name(length, 'x');
        for (size_t i = 0; i < length; ++i)
            name[i] = static_cast<char>('a' + i % 26);
        plugin->dispatch(effSetProgramName, 0, 0, name.data());
        const std::string back = plugin->text(effGetProgramName);
        EXPECT_LE(back.size(), 50u);
        EXPECT_EQ(back, name.substr(0, back.size())) << "length " << length;
        char indexed[1024];
        std::memset(indexed, 0x5A, sizeof indexed);
        plugin->dispatch(effGetProgramNameIndexed, 0, 0, indexed);
        EXPECT_EQ(std::string(indexed), name.substr(0, std::strlen(indexed)));
        EXPECT_LE(std::strlen(indexed), 50u);
    }
}

} // namespace
