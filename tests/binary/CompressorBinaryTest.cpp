// The compressor through the built binary, as a host drives it.

#include "PluginFixture.h"
#include "platform/Platform.h"
#include "plugin/uPlugin.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

class CompressorBinary : public PluginFixture {
protected:
    std::string display(host::PluginInstance& p, int index) {
        return p.text(effGetParamDisplay, index);
    }
    static std::string localised(std::string text) {
        std::replace(text.begin(), text.end(), '.', platform::decimalSeparator());
        return text;
    }
    static std::vector<float> signal(size_t n, float scale, uint32_t seed) {
        std::vector<float> s(n);
        for (size_t i = 0; i < n; ++i) {
            seed = seed * 1664525u + 1013904223u;
            s[i] = scale * (0.6f * std::sin(0.02f * i) +
                            0.4f * (static_cast<int32_t>(seed) / 2147483648.0f));
        }
        return s;
    }
};

} // namespace

TEST_F(CompressorBinary, FactoryProgramDisplayTable) {
    const char* table[12][7] = {
        {"0", "0", "0", "-14.4", "50:50", "7:1", "Effect"},
        {"1.8", "0", "-19.2", "-21.6", "25:75", "5.5:1", "Effect"},
        {"-19.2", "-9.6", "2.4", "-30.4", "17:83", "6.40000009536743:1", "Effect"},
        {"-9.6", "1.2", "-4.8", "-28.8", "0:100", "6.09999990463257:1", "Effect"},
        {"1.2", "0", "-11.52", "-25.6", "60:40", "7.60000038146973:1", "Effect"},
        {"-7.68", "2.4", "1.2", "-27.2", "50:50", "4:1", "Effect"},
        {"2.4", "-oo", "-oo", "-36.8", "35:65", "8.80000019073486:1", "Effect"},
        {"0", "-67.2", "3", "-31.36", "20:80", "9.39999961853027:1", "Effect"},
        {"-oo", "2.4", "-oo", "-33.6", "50:50", "7:1", "Effect"},
        {"3.6", "-9.6", "1.2", "-28.16", "40:60", "8.5:1", "Effect"},
        {"-67.2", "0", "2.4", "-19.2", "45:55", "6.69999980926514:1", "Effect"},
        {"2.4", "1.2", "-38.4", "-9.6", "10:90", "8.19999980926514:1", "Effect"},
    };
    const char* names[12] = {"Oh, My Wadling", "Wugly Adling",           "Flying Duck",
                             "Hoi Sin",        "My Ducky Day",           "Dubber Ruck",
                             "KwikKwak",       "Duck Day Afternoon",     "Plucky Duck",
                             "Kwakkers",       "A Duck for all Reasons", "Making a fast Duck"};
    host::PluginInstance& p = open();
    for (int program = 0; program < 12; ++program) {
        p.dispatch(effSetProgram, 0, program);
        EXPECT_EQ(p.dispatch(effGetProgram), program);
        EXPECT_EQ(p.text(effGetProgramName), names[program]);
        for (int index = 0; index < 7; ++index)
            EXPECT_EQ(display(p, index), localised(table[program][index]))
                << "program " << program << " parameter " << index;
    }
}

TEST_F(CompressorBinary, ParametersThroughTheRecord) {
    host::PluginInstance& p = open();
    EXPECT_EQ(p.text(effGetParamName, 4), "Dry/Wet");
    EXPECT_EQ(p.text(effGetParamLabel, 0), "dB");
    EXPECT_EQ(p.text(effGetParamName, 12), "undefined");
    p.setParameter(param::Squeeze, 1.5f);
    EXPECT_EQ(p.getParameter(param::Squeeze), 1.0f);
    EXPECT_EQ(display(p, 3), "-40");
    EXPECT_EQ(p.getParameter(12), 0.0f);
    // A host's setParameter is not reported back as automation.
    callback.clearCalls();
    p.setParameter(param::EQLo, 0.25f);
    EXPECT_TRUE(callback.calls(audioMasterAutomate).empty());
    EXPECT_EQ(p.dispatch(effGetVu), 0);
}

TEST_F(CompressorBinary, DryOnlyAndListenFlatGiveTheInputBackAndProcessMatchesReplacing) {
    host::PluginInstance& a = open();
    host::PluginInstance& b = open();
    for (host::PluginInstance* p : {&a, &b}) {
        p->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
        p->dispatch(effMainsChanged, 0, 1);
    }
    std::vector<float> l = signal(3000, 1.3f, 1), r = signal(3000, 0.9f, 2);
    std::vector<float> outL(3000), outR(3000), out2L(3000, 5.0f), out2R(3000, 5.0f);
    float* in[] = {l.data(), r.data()};
    float* out[] = {outL.data(), outR.data()};
    float* out2[] = {out2L.data(), out2R.data()};

    a.setParameter(param::DryWet, 0.0f); // dry only
    a.processReplacing(in, out, 3000);
    EXPECT_EQ(outL, l);
    EXPECT_EQ(outR, r);

    a.setParameter(param::DryWet, 0.6f);
    a.setParameter(param::EQListen, 1.0f); // listen, bands flat
    a.processReplacing(in, out, 3000);
    EXPECT_EQ(outL, l);
    EXPECT_EQ(outR, r);

    a.setParameter(param::EQListen, 0.0f);
    b.setParameter(param::DryWet, 0.6f);
    a.dispatch(effMainsChanged, 0, 0); // suspend: both start from a silent detector
    b.dispatch(effMainsChanged, 0, 0);
    a.processReplacing(in, out, 3000);
    b.process(in, out2, 3000);
    EXPECT_EQ(out2L, outL);
    EXPECT_EQ(out2R, outR);
}
