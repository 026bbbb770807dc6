#include "WavFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class WavFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("wadling-wav-" +
                  std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string file(const char* name) const { return (folder / name).string(); }

    // A hand-made WAV: header fields as given, then the raw data bytes.
    void writeRaw(const std::string& path, uint16_t tag, uint16_t channels, uint16_t bits,
                  const std::vector<unsigned char>& data, uint32_t claimedDataSize = 0) {
        std::vector<unsigned char> h;
        const auto put = [&h](uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                h.push_back(static_cast<unsigned char>(v >> (8 * i)));
        };
        const auto tagOf = [&h](const char* t) {
            for (int i = 0; i < 4; ++i)
                h.push_back(static_cast<unsigned char>(t[i]));
        };
        tagOf("RIFF");
        put(36 + static_cast<uint32_t>(data.size()), 4);
        tagOf("WAVE");
        tagOf("LIST"); // a chunk the reader must skip
        put(3, 4);
        h.insert(h.end(), {'a', 'b', 'c', 0});
        tagOf("fmt ");
        put(16, 4);
        put(tag, 2);
        put(channels, 2);
        put(48000, 4);
        put(48000u * channels * bits / 8, 4);
        put(channels * bits / 8, 2);
        put(bits, 2);
        tagOf("data");
        put(claimedDataSize ? claimedDataSize : static_cast<uint32_t>(data.size()), 4);
        h.insert(h.end(), data.begin(), data.end());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(h.data()), h.size());
    }

    fs::path folder;
};

} // namespace

TEST_F(WavFileTest, EveryFormatRoundTrips) {
    const std::vector<float> left = {0.0f, 0.5f, -0.5f, 0.25f, -1.0f, 0.999f};
    const std::vector<float> right = {1e-3f, -0.125f, 0.75f, -0.75f, 0.0f, -0.999f};
    for (auto format : {render::SampleFormat::Pcm16, render::SampleFormat::Pcm24,
                        render::SampleFormat::Pcm32, render::SampleFormat::Float32}) {
        const std::string path = file("round.wav");
        {
            render::WavWriter w(path, format, 96000);
            w.write(left.data(), right.data(), 2);
            w.write(left.data() + 2, right.data() + 2, left.size() - 2);
            w.finish();
        }
        render::WavReader r(path);
        EXPECT_EQ(r.info().format, format);
        EXPECT_EQ(r.info().channels, 2);
        EXPECT_EQ(r.info().sampleRate, 96000u);
        ASSERT_EQ(r.info().frames, left.size());
        std::vector<float> l(10), rr(10);
        ASSERT_EQ(r.read(l.data(), rr.data(), 10), left.size());
        EXPECT_EQ(r.read(l.data(), rr.data(), 10), 0u);
        const double step = format == render::SampleFormat::Pcm16 ? 1.0 / 32768 : 1.0 / 8388608;
        for (size_t i = 0; i < left.size(); ++i) {
            if (format == render::SampleFormat::Float32) {
                EXPECT_EQ(l[i], left[i]);
                EXPECT_EQ(rr[i], right[i]);
            } else {
                EXPECT_NEAR(l[i], left[i], step / 2 + 1e-9) << render::describe(format) << " " << i;
                EXPECT_NEAR(rr[i], right[i], step / 2 + 1e-9)
                    << render::describe(format) << " " << i;
            }
        }
    }
}

TEST_F(WavFileTest, IntegerOutputClipsAndSilencesNaN) {
    using render::SampleFormat;
    EXPECT_EQ(render::toInteger(1.5f, SampleFormat::Pcm16), 32767);
    EXPECT_EQ(render::toInteger(-1.5f, SampleFormat::Pcm16), -32768);
    EXPECT_EQ(render::toInteger(-1.0f, SampleFormat::Pcm24), -8388608);
    EXPECT_EQ(render::toInteger(1.0f, SampleFormat::Pcm32), 2147483647);
    EXPECT_EQ(render::toInteger(std::numeric_limits<float>::quiet_NaN(), SampleFormat::Pcm16), 0);
    EXPECT_EQ(render::toInteger(std::numeric_limits<float>::infinity(), SampleFormat::Pcm16),
              32767);
    EXPECT_EQ(render::toInteger(0.5f / 32768, SampleFormat::Pcm16), 0); // ties to even
    EXPECT_EQ(render::toInteger(1.5f / 32768, SampleFormat::Pcm16), 2);
}

TEST_F(WavFileTest, MonoFeedsBothChannelsAndShortDataIsTrusted) {
    // Three 16-bit mono samples, but the header claims 100 bytes.
    writeRaw(file("mono.wav"), 1, 1, 16, {0x00, 0x40, 0x00, 0xC0, 0xFF, 0x7F}, 100);
    render::WavReader r(file("mono.wav"));
    ASSERT_EQ(r.info().frames, 3u);
    std::vector<float> l(4), rr(4);
    ASSERT_EQ(r.read(l.data(), rr.data(), 4), 3u);
    EXPECT_EQ(l[0], 0.5f);
    EXPECT_EQ(l[1], -0.5f);
    EXPECT_EQ(l, rr);
    // 24-bit negative values keep their sign.
    writeRaw(file("pcm24.wav"), 1, 2, 24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F});
    render::WavReader r24(file("pcm24.wav"));
    ASSERT_EQ(r24.read(l.data(), rr.data(), 4), 1u);
    EXPECT_EQ(l[0], -1.0f);
    EXPECT_NEAR(rr[0], 1.0f, 1.0 / 8388608);
}

TEST_F(WavFileTest, UnreadableAndUnsupportedFilesAreClearErrors) {
    const auto expectError = [](const std::string& path, const std::string& fragment) {
        try {
            render::WavReader r(path);
            ADD_FAILURE() << path << " was accepted";
        } catch (const render::WavError& e) {
            EXPECT_NE(std::string(e.what()).find(fragment), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    };
    expectError(file("missing.wav"), "cannot open");
    std::ofstream(file("text.wav")) << "hello, this is not audio";
    expectError(file("text.wav"), "not a WAV file");
    writeRaw(file("u8.wav"), 1, 2, 8, {1, 2, 3, 4});
    expectError(file("u8.wav"), "unsupported sample format");
    writeRaw(file("f64.wav"), 3, 1, 64, std::vector<unsigned char>(16));
    expectError(file("f64.wav"), "unsupported sample format");
    writeRaw(file("surround.wav"), 1, 6, 16, std::vector<unsigned char>(24));
    expectError(file("surround.wav"), "6 channels");
    EXPECT_THROW(
        render::WavWriter(file("no/such/folder/out.wav"), render::SampleFormat::Pcm16, 44100),
        render::WavError);
}
