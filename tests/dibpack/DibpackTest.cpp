#include "Dibpack.h"
#include "PngRecord.h"

#include "runtime/Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

class Dibpack : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("dibpack_tests_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const char* name) const { return (dir / name).string(); }

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return dibpack::Run(args, out, err);
    }

    void write(const char* name, const Bytes& data) {
        runtime::TMemoryStream m;
        m.WriteBuffer(data.data(), data.size());
        m.SaveToFile(path(name));
    }
    Bytes read(const char* name) {
        runtime::TMemoryStream m;
        m.LoadFromFile(path(name));
        return Bytes(m.Memory(), m.Memory() + m.Size());
    }

    // A 6 x 3 record whose pixels all differ, with partial alpha.
    static Bytes record() {
        Bytes r = {6, 0, 3, 0};
        for (int i = 0; i < 6 * 3; ++i) {
            r.push_back(std::uint8_t(i * 10));
            r.push_back(std::uint8_t(200 - i));
            r.push_back(std::uint8_t(i * 3 + 1));
            r.push_back(std::uint8_t(i * 14));
        }
        return r;
    }

    fs::path dir;
    std::ostringstream out, err;
};

} // namespace

TEST_F(Dibpack, PackThenUnpackGivesBackTheBytesWithEveryCompressor) {
    Bytes big(5000, 0);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = std::uint8_t((i / 40) % 7);
    write("in.bin", big);
    for (const char* c : {"lzh", "rle", "none"}) {
        ASSERT_EQ(run({"pack", "--compressor", c, path("in.bin"), path("packed")}), 0) << err.str();
        const Bytes packed = read("packed");
        if (std::string(c) == "none")
            EXPECT_EQ(packed, big);
        else
            EXPECT_LT(packed.size(), big.size()) << c;
        ASSERT_EQ(run({"unpack", path("packed"), path("out.bin")}), 0) << err.str();
        EXPECT_EQ(read("out.bin"), big) << c;
    }
}

TEST_F(Dibpack, InfoNamesTheCompressorAndBothLengths) {
    write("in.bin", Bytes(1000, 'a'));
    ASSERT_EQ(run({"pack", path("in.bin"), path("packed")}), 0);
    const std::size_t payload = read("packed").size() - 26;
    ASSERT_EQ(run({"info", path("packed")}), 0);
    const std::string text = out.str();
    EXPECT_NE(text.find("signature: DIBCMP"), std::string::npos) << text;
    EXPECT_NE(text.find("DIB LZH {BC0C10FC-E045-41E7-A37C-B86AF21320B8}"), std::string::npos);
    EXPECT_NE(text.find("raw length: 1000"), std::string::npos);
    EXPECT_NE(text.find("payload length: " + std::to_string(payload)), std::string::npos);
}

TEST_F(Dibpack, FailuresExplainThemselvesWithANonZeroStatus) {
    EXPECT_EQ(run({}), 2);
    EXPECT_EQ(run({"squash", "a", "b"}), 2);
    EXPECT_NE(err.str().find("unknown command 'squash'"), std::string::npos);
    EXPECT_EQ(run({"pack", "--compressor", "zip", "a", "b"}), 2);
    EXPECT_EQ(run({"pack", path("in.bin")}), 2);
    EXPECT_EQ(run({"unpack", path("missing"), path("out")}), 1);
    EXPECT_NE(err.str().find("Cannot open file"), std::string::npos) << err.str();

    Bytes unknown = {'D', 'I', 'B', 'C', 'M', 'P'};
    unknown.resize(40, 1);
    write("unknown", unknown);
    EXPECT_EQ(run({"unpack", path("unknown"), path("out")}), 1);
    EXPECT_NE(err.str().find("Could not find a suitable decompressor."), std::string::npos);
    EXPECT_FALSE(fs::exists(path("out")));

    write("notimage", Bytes{1, 2, 3, 4, 5});
    EXPECT_EQ(run({"to-png", path("notimage"), path("x.png")}), 1);
}

TEST_F(Dibpack, PngRoundTripKeepsPixelsRowOrderAndStraightAlpha) {
    if (!dibpack::HavePng()) GTEST_SKIP() << "built without libpng";
    write("rec.raw", record());
    ASSERT_EQ(run({"to-png", path("rec.raw"), path("a.png")}), 0) << err.str();
    ASSERT_EQ(run({"from-png", "--compressor", "none", path("a.png"), path("back.raw")}), 0)
        << err.str();
    EXPECT_EQ(read("back.raw"), record());
    ASSERT_EQ(run({"from-png", path("a.png"), path("packed")}), 0);
    ASSERT_EQ(run({"unpack", path("packed"), path("back2.raw")}), 0);
    EXPECT_EQ(read("back2.raw"), record());
    write("bad.png", Bytes{0x89, 'P', 'N', 'G', 0, 0});
    EXPECT_EQ(run({"from-png", path("bad.png"), path("x")}), 1);
}
