// Many instances: created and closed in random order while others process, each in a folder of
// its own, and many sharing one folder (and so one controller map file).

#include <fstream>
#include <iterator>
#include <thread>

#include "TortureSupport.h"

namespace {

using torture::Stereo;

/// Reads a decimal number of 1 to 3 digits at `at`; -1 when there is none.
int readNumber(const std::string& text, size_t& at) {
    int value = 0, digits = 0;
    while (at < text.size() && digits < 4 && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at++] - '0');
        ++digits;
    }
    return digits == 0 || digits > 3 ? -1 : value;
}

/// Every line of a map file is "<controller 0..127>: <parameter 0..11>" ended by CR LF.
::testing::AssertionResult validMapFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return ::testing::AssertionFailure() << "no map file " << file;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t at = 0;
    while (at < text.size()) {
        const size_t lineStart = at;
        const int controller = readNumber(text, at);
        const bool separator = text.compare(at, 2, ": ") == 0;
        at += 2;
        const int parameter = separator ? readNumber(text, at) : -1;
        const bool ended = text.compare(at, 2, "\r\n") == 0;
        at += 2;
        if (controller < 0 || controller > 127 || parameter < 0 || parameter > 11 || !ended)
            return ::testing::AssertionFailure()
                   << "bad line at byte " << lineStart << " of " << file;
    }
    return ::testing::AssertionSuccess();
}

class TortureInstances : public PluginFixture {};

TEST_F(TortureInstances, SixtyFourInstancesInFoldersOfTheirOwnSlow) {
    struct Copy {
        std::filesystem::path folder;
        std::shared_ptr<host::PluginLibrary> library;
        std::unique_ptr<host::PluginInstance> instance;
    };
    std::vector<Copy> copies(64);
    for (size_t i = 0; i < copies.size(); ++i) {
        copies[i].folder = folder / ("copy" + std::to_string(i));
        std::filesystem::create_directories(copies[i].folder);
        std::filesystem::copy_file(pluginPath, copies[i].folder / pluginPath.filename());
    }
    std::mt19937 random(64);
    std::vector<size_t> unopened(copies.size());
    for (size_t i = 0; i < unopened.size(); ++i)
        unopened[i] = i;
    std::shuffle(unopened.begin(), unopened.end(), random);
    std::vector<size_t> open;
    Stereo in(128, 0.5f), out(128);
    while (!unopened.empty() || !open.empty()) {
        const bool create = !unopened.empty() && (open.empty() || random() % 3 != 0);
        if (create) {
            Copy& c = copies[unopened.back()];
            open.push_back(unopened.back());
            unopened.pop_back();
            c.library = host::PluginLibrary::load((c.folder / pluginPath.filename()).string());
            c.instance = std::make_unique<host::PluginInstance>(c.library, callback);
            c.instance->dispatch(effMainsChanged, 0, 1);
        } else {
            const size_t pick = random() % open.size();
            Copy& c = copies[open[pick]];
            EXPECT_EQ(c.instance->close(), 1);
            c.instance.reset();
            c.library.reset();
            open.erase(open.begin() + std::ptrdiff_t(pick));
        }
        if (!open.empty()) {
            Copy& c = copies[open[random() % open.size()]];
            c.instance->setParameter(int32_t(random() % 7), float(random() % 100) / 99.0f);
            c.instance->processReplacing(in.channels(), out.channels(), 128);
            ASSERT_EQ(torture::firstNonFinite(out), -1);
        }
    }
    for (const Copy& c : copies)
        EXPECT_TRUE(validMapFile(c.folder / "RMXQMIDI.txt"));
}

// Sixteen instances of one library, closed four at a time from four threads: whichever is
// closed last decides the file, and the file is never a mixture or a torn write.
TEST_F(TortureInstances, SixteenInstancesShareOneMapFile) {
    for (int i = 0; i < 16; ++i)
        open();
    std::vector<std::thread> closers;
    for (int t = 0; t < 4; ++t) {
        closers.emplace_back([this, t] {
            for (int i = t; i < 16; i += 4)
                instances[size_t(i)]->close();
        });
    }
    for (std::thread& t : closers)
        t.join();
    EXPECT_TRUE(validMapFile(folder / "RMXQMIDI.txt"));
}

} // namespace
