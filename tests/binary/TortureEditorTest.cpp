// The editor as careless hosts drive it, through the plug-in's entry and dispatcher: hundreds
// of open/close cycles, opens while other threads process audio and automate, odd orders of
// editor opcodes, many instances with editors open at once, MIDI learn racing the audio
// thread. The plug-in is linked in (not loaded) so that it and the test share the headless
// backend: a loaded binary would bring a backend of its own.
//
// Every window the editor makes unpacks its artwork (0.15 s natively, seconds under valgrind
// and ThreadSanitizer): WADLING_TORTURE_EDITOR_SCALE (a percentage, default 100) shortens the
// loops that open and close many windows.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "LinkedPlugin.h"
#include "MidiEventList.h"
#include "UserSettings.h"

namespace {

/// `full` scaled by WADLING_TORTURE_EDITOR_SCALE percent, at least `least`.
int scaled(int full, int least = 1) {
    const char* text = std::getenv("WADLING_TORTURE_EDITOR_SCALE");
    const int percent = text ? std::clamp(std::atoi(text), 1, 100) : 100;
    return std::max(least, full * percent / 100);
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

/// The value the plug-in keeps for a value a host sets.
float stored(float value) {
    return std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
}

int nearest(double value) {
    return static_cast<int>(std::nearbyint(value));
}

/// What the window shows of the seven parameters it has controls for.
struct Shown {
    int loTop = 0, midTop = 0, hiTop = 0, mixTop = 0; // figure tops
    int knob = 0;                                     // Squeeze, 0..400
    bool listen = false;
    int character = -1; // the checked menu entry, -1 for none or several

    bool operator==(const Shown&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const Shown& s) {
        return out << "{lo " << s.loTop << ", mid " << s.midTop << ", hi " << s.hiTop << ", mix "
                   << s.mixTop << ", knob " << s.knob << ", listen " << s.listen << ", character "
                   << s.character << "}";
    }
};

/// The rules the controls follow: figures from 172 (EQ) or 182 (mix) up by value x 150 or
/// x 160, the knob at value x 400, listen above one half, characters at value x 4.
Shown expectedShown(const std::array<float, param::Count>& values) {
    Shown s;
    s.loTop = 172 - nearest(values[param::EQLo] * 150.0);
    s.midTop = 172 - nearest(values[param::EQMid] * 150.0);
    s.hiTop = 172 - nearest(values[param::EQHi] * 150.0);
    s.mixTop = 182 - nearest(values[param::DryWet] * 160.0);
    s.knob = nearest(values[param::Squeeze] * 400.0);
    s.listen = values[param::EQListen] > 0.5f;
    s.character = nearest(values[param::Skweezy] * 4.0);
    return s;
}

Shown shownBy(const TPluginEditorWindow& w) {
    Shown s;
    s.loTop = w.Duck3->Top();
    s.midTop = w.Duck2->Top();
    s.hiTop = w.Duck1->Top();
    s.mixTop = w.Duck4->Top();
    s.knob = w.kbComp->Position();
    s.listen = w.btnListen->Down();
    const runtime::TMenuItem* items[] = {w.mnuSqeezy1, w.mnuSqeezy2, w.mnuSqeezy3, w.mnuSqeezy4,
                                         w.mnuSqeezy5};
    for (int k = 0; k < 5; ++k) {
        if (!items[k]->Checked()) continue;
        s.character = s.character == -1 ? k : -2;
    }
    if (s.character < -1) s.character = -1;
    return s;
}

/// Host-sized stereo blocks of noise, processed and checked for finite output.
class Audio {
public:
    explicit Audio(unsigned seed, int32_t frames = 256)
        : random(seed), frames(frames), in(4, std::vector<float>(size_t(frames))) {}

    /// One block; false when any output sample is not finite.
    bool process(host::PluginInstance& plugin) {
        std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
        for (size_t i = 0; i < size_t(frames); ++i)
            in[0][i] = in[1][i] = noise(random);
        float* inputs[] = {in[0].data(), in[1].data()};
        float* outputs[] = {in[2].data(), in[3].data()};
        plugin.processReplacing(inputs, outputs, frames);
        for (size_t i = 0; i < size_t(frames); ++i)
            if (!std::isfinite(in[2][i]) || !std::isfinite(in[3][i])) return false;
        return true;
    }

    std::mt19937 random;

private:
    int32_t frames;
    std::vector<std::vector<float>> in; // left and right input, then output
};

/// A thread that processes blocks until stopped, as a host's audio thread does, optionally
/// handing over MIDI events before each block.
class AudioThread {
public:
    using Events = std::function<VstEvents*(std::mt19937&)>;

    AudioThread(host::PluginInstance& plugin, unsigned seed, Events events = nullptr)
        : thread([this, &plugin, seed, events] {
              Audio audio(seed);
              while (!stopping.load()) {
                  if (events) plugin.dispatch(effProcessEvents, 0, 0, events(audio.random));
                  if (!audio.process(plugin)) finite.store(false);
                  blocks.fetch_add(1);
                  pause(1);
              }
          }) {}
    ~AudioThread() { stop(); }

    void stop() {
        stopping.store(true);
        if (thread.joinable()) thread.join();
    }

    std::atomic<bool> finite{true};
    std::atomic<int> blocks{0};

private:
    std::atomic<bool> stopping{false};
    std::thread thread;
};

/// The headless backend with a hook in window creation: whatever a host's other thread does
/// while the user-interface thread is inside effEditOpen, made deterministic.
class HookedSession : public platform::HeadlessSession {
public:
    /// Runs once, at the next window creation.
    std::function<void()> onCreateWindow;

    platform::WindowHandle createChildWindow(void* parent, const platform::TRect& bounds,
                                             platform::WindowSink* sink,
                                             std::string& error) override {
        if (auto hook = std::exchange(onCreateWindow, nullptr)) hook();
        return HeadlessSession::createChildWindow(parent, bounds, sink, error);
    }
};

class TortureEditor : public ::testing::Test {
protected:
    void SetUp() override {
        headless.setForeignParentOrigin(0, 0);
        static int counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        settings =
            std::filesystem::temp_directory_path() /
            ("wadling-editor-torture-" + std::to_string(stamp) + "-" + std::to_string(counter++));
        testsupport::setUserSettingsFolder(settings);
    }

    void TearDown() override {
        for (auto& plugin : plugins) {
            // The map file beside the test program outlives the instance: leave the default.
            if (plugin->isOpen()) object(*plugin).setDefaultMidiMap();
            plugin->close();
        }
        EXPECT_TRUE(headless.windows().empty()) << "every instance is closed";
        EXPECT_EQ(headless.activeTimerCount(), 0u);
        for (const host::CallRecord& call : host.calls(audioMasterAutomate)) {
            EXPECT_TRUE(call.index >= 0 && call.index < param::Count) << call.index;
            EXPECT_TRUE(call.opt >= 0.0f && call.opt <= 1.0f) << call.opt;
        }
        std::error_code ignored;
        std::filesystem::remove_all(settings, ignored);
    }

    host::PluginInstance& create() {
        plugins.push_back(std::make_unique<host::PluginInstance>(&testsupport::linkedEntry, host));
        return *plugins.back();
    }

    static APlugin& object(host::PluginInstance& plugin) {
        return testsupport::pluginObject(plugin);
    }
    static APluginEditor& wrapper(host::PluginInstance& plugin) {
        return *pluginEditor(object(plugin));
    }
    /// The open window of `plugin`; the test stops when there is none.
    static TPluginEditorWindow& window(host::PluginInstance& plugin) {
        TPluginEditorWindow* w = wrapper(plugin).window.get();
        if (!w) throw std::logic_error("no editor window");
        return *w;
    }

    static std::array<float, param::Count> values(host::PluginInstance& plugin) {
        std::array<float, param::Count> v{};
        for (int32_t i = 0; i < param::Count; ++i)
            v[size_t(i)] = plugin.getParameter(i);
        return v;
    }

    /// The editor windows placed in the host's window `parent` (the container inside each is
    /// a window of ours, not counted).
    size_t windowsIn(const void* parent) const {
        size_t n = 0;
        for (platform::WindowHandle h : headless.windows())
            if (headless.window(h)->parent == parent) ++n;
        return n;
    }

    /// Every pixel the window shows.
    std::vector<std::uint32_t> picture(host::PluginInstance& plugin) {
        headless.paintWaiting();
        const platform::HeadlessWindow* w = headless.window(window(plugin).DIBContainer1->Handle());
        return w ? w->pixels : std::vector<std::uint32_t>{};
    }

    /// Right-clicks `control` and chooses the menu entry at `path`.
    void menu(const runtime::TControl& control, std::vector<std::string> path) {
        headless.queueMenuChoice(std::move(path));
        headless.click(platform::MouseButton::Right, control.Left() + control.Width() / 2,
                       control.Top() + control.Height() / 2);
    }

    void tick(int count = 1) { headless.advanceClock(std::uint32_t(100 * count)); }

    HookedSession headless;
    host::HostCallback host;
    std::filesystem::path settings;
    std::vector<std::unique_ptr<host::PluginInstance>> plugins;
    std::array<int, 4> hostWindows{}; // pretend host windows: their addresses are the handles
};

// Emulated builds skip this one: every open unpacks the artwork, about 0.15 s natively.
TEST_F(TortureEditor, OpenAndCloseTwoHundredTimesWithAndWithoutIdleSlow) {
    host::PluginInstance& plugin = create();
    plugin.dispatch(effMainsChanged, 0, 1);
    plugin.setParameter(param::EQLo, 0.25f);
    plugin.setParameter(param::Squeeze, 0.75f);
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &hostWindows[0]), 1);
    const std::vector<std::uint32_t> first = picture(plugin);
    ASSERT_EQ(first.size(), size_t(491 * 323));
    plugin.dispatch(effEditClose);

    const int cycles = scaled(200, 10);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const bool withIdle = cycle % 2 == 1;
        // A new value while closed shows at once on the next open.
        plugin.setParameter(param::EQLo, float(cycle % 151) / 150.0f);
        ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &hostWindows[cycle % 3]), 1)
            << "cycle " << cycle;
        ASSERT_EQ(windowsIn(&hostWindows[cycle % 3]), 1u) << "cycle " << cycle;
        EXPECT_EQ(window(plugin).Duck3->Top(), 172 - cycle % 151) << "cycle " << cycle;
        if (withIdle) {
            plugin.dispatch(effEditIdle);
            tick();
            plugin.dispatch(effEditIdle);
        }
        plugin.dispatch(effEditClose);
        if (withIdle) plugin.dispatch(effEditIdle); // a late idle finds no window
        ASSERT_TRUE(headless.windows().empty()) << "cycle " << cycle;
        ASSERT_EQ(headless.activeTimerCount(), 0u) << "cycle " << cycle;
    }

    // The same values give the same picture as the first open: nothing piled up.
    plugin.setParameter(param::EQLo, 0.25f);
    plugin.setParameter(param::Squeeze, 0.75f);
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &hostWindows[0]), 1);
    EXPECT_TRUE(picture(plugin) == first);
}

// As pluginval's editor automation: one thread processes, another sets random values 1 ms
// apart, and the editor is opened (and reopened) meanwhile. Once the values stop, two timer
// ticks bring every control to the last value set.
TEST_F(TortureEditor, OpenWhileOneThreadProcessesAndAnotherAutomatesThenFollowTheLastValues) {
    host::PluginInstance& plugin = create();
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    plugin.dispatch(effMainsChanged, 0, 1);
    const int count = 1000;
    std::array<float, param::Count> last{};
    std::atomic<int> set{0};
    AudioThread audio(plugin, 1);
    std::thread automation([&] {
        std::mt19937 random(2);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        const float odd[] = {-1.0f, 2.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity()};
        for (int i = 0; i < count; ++i) {
            // Every index once first, so that each has a last value; a few values out of range.
            const auto index = i < param::Count ? i : int32_t(random() % param::Count);
            const float value = random() % 16 == 0 ? odd[random() % 4] : unit(random);
            plugin.setParameter(index, value);
            last[size_t(index)] = stored(value);
            set.store(i + 1);
            pause(1);
        }
    });
    while (set.load() < count / 20)
        pause(1);
    // Reopened again and again over the first half; the second half reaches an open window
    // only through the parameter updates.
    for (int round = 0; set.load() < count; ++round) {
        if (round % 8 == 0 && set.load() < count / 2) {
            plugin.dispatch(effEditClose);
            if (plugin.dispatch(effEditOpen, 0, 0, &hostWindows[0]) != 1) {
                ADD_FAILURE() << "open refused in round " << round;
                break;
            }
        }
        plugin.dispatch(effEditIdle);
        headless.advanceClock(50);
        pause(2);
    }
    automation.join();
    audio.stop();
    EXPECT_TRUE(audio.finite.load());
    EXPECT_GT(audio.blocks.load(), 0);

    tick(2);
    EXPECT_EQ(values(plugin), last);
    EXPECT_EQ(shownBy(window(plugin)), expectedShown(last));
    // A window opened now shows the same at once.
    plugin.dispatch(effEditClose);
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &hostWindows[1]), 1);
    EXPECT_EQ(shownBy(window(plugin)), expectedShown(last));
    EXPECT_TRUE(host.calls(audioMasterAutomate).empty()) << "following the host sends nothing";
}

TEST_F(TortureEditor, OpenBeforeResumeAndWithRateAndBlockSizeZero) {
    // Straight after creation, before anything else.
    host::PluginInstance& fresh = create();
    ASSERT_EQ(fresh.dispatch(effEditOpen, 0, 0, &hostWindows[0]), 1);
    const Shown atCreation = shownBy(window(fresh));
    EXPECT_EQ(atCreation, expectedShown(values(fresh)));

    host::PluginInstance& zero = create();
    zero.dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
    zero.dispatch(effSetBlockSize, 0, 0);
    ASSERT_EQ(zero.dispatch(effEditOpen, 0, 0, &hostWindows[1]), 1);
    EXPECT_EQ(shownBy(window(zero)), atCreation) << "the rate has no say in what is shown";
    zero.setParameter(param::EQMid, 1.0f);
    tick();
    EXPECT_EQ(window(zero).Duck2->Top(), 22);

    // Processing starts under open editors; the output is finite.
    for (host::PluginInstance* plugin : {&fresh, &zero}) {
        plugin->dispatch(effMainsChanged, 0, 1);
        Audio audio(3);
        for (int block = 0; block < 8; ++block)
            ASSERT_TRUE(audio.process(*plugin)) << "block " << block;
        plugin->dispatch(effMainsChanged, 0, 0);
        plugin->dispatch(effEditIdle);
        tick();
    }
    EXPECT_EQ(windowsIn(&hostWindows[0]), 1u);
    EXPECT_EQ(windowsIn(&hostWindows[1]), 1u);
}

// Another thread sets a value while effEditOpen makes the window, after the window took its
// first copy of the values: the value must still reach the window.
TEST_F(TortureEditor, AValueSetWhileTheWindowIsMadeShowsWithinTwoTicks) {
    host::PluginInstance& plugin = create();
    for (bool reopen : {false, true}) {
        const float value = reopen ? 0.0f : 1.0f;
        headless.onCreateWindow = [&] { plugin.setParameter(param::EQLo, value); };
        ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &hostWindows[0]), 1);
        ASSERT_EQ(headless.onCreateWindow, nullptr) << "the window was made inside the open";
        tick(2);
        EXPECT_EQ(window(plugin).Duck3->Top(), 172 - nearest(value * 150.0))
            << (reopen ? "second open" : "first open");
        plugin.dispatch(effEditClose);
    }
}

// Each window shows its own instance; closing one (by effEditClose or by effClose with the
// editor still open, in random order) leaves the others working.
TEST_F(TortureEditor, TwoAndEightInstancesWithEditorsOpenClosedInRandomOrder) {
    std::mt19937 random(17);
    for (size_t n : {size_t(2), size_t(8)}) {
        plugins.clear();
        std::vector<int> parents(n);
        for (size_t k = 0; k < n; ++k) {
            host::PluginInstance& plugin = create();
            plugin.dispatch(effMainsChanged, 0, 1);
            plugin.setParameter(param::EQHi, float(k + 1) / float(n + 1));
            plugin.setParameter(param::Skweezy, float(k % 5) / 4.0f);
            ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &parents[k]), 1);
        }
        tick();
        for (size_t k = 0; k < n; ++k) {
            EXPECT_EQ(windowsIn(&parents[k]), 1u);
            EXPECT_EQ(shownBy(window(*plugins[k])), expectedShown(values(*plugins[k])));
        }
        std::vector<size_t> order(n);
        for (size_t k = 0; k < n; ++k)
            order[k] = k;
        std::shuffle(order.begin(), order.end(), random);
        for (size_t step = 0; step < n; ++step) {
            host::PluginInstance& victim = *plugins[order[step]];
            switch (random() % 3) {
            case 0: // the polite way
                victim.dispatch(effEditClose);
                EXPECT_EQ(windowsIn(&parents[order[step]]), 0u);
                break;
            case 1: // one close too many first
                victim.dispatch(effEditClose);
                victim.dispatch(effEditClose);
                break;
            default: // effClose with the editor open
                break;
            }
            victim.close();
            EXPECT_EQ(windowsIn(&parents[order[step]]), 0u);
            // The others still follow their own values.
            for (size_t later = step + 1; later < n; ++later) {
                host::PluginInstance& other = *plugins[order[later]];
                other.setParameter(param::DryWet, float(random() % 101) / 100.0f);
                other.setParameter(param::EQListen, float(random() % 2));
            }
            tick(2);
            for (size_t later = step + 1; later < n; ++later) {
                host::PluginInstance& other = *plugins[order[later]];
                EXPECT_EQ(shownBy(window(other)), expectedShown(values(other)))
                    << n << " instances, step " << step;
            }
            EXPECT_EQ(headless.activeTimerCount(), n - step - 1);
        }
        EXPECT_TRUE(headless.windows().empty()) << n << " instances";
    }
}

// Opens with changing and missing parents, surplus closes, idles and size queries in random
// order. The window exists exactly while the opens outnumber the closes, stays in the parent
// of the open that made it (an open naming another parent or none answers 1 and changes
// nothing but the count), and effClose frees it at any count.
TEST_F(TortureEditor, EditorOpcodesInRandomOrderKeepOneWindowWhileOpensOutnumberCloses) {
    std::mt19937 random(23);
    const int steps = scaled(800, 200);
    for (int round = 0; round < 4; ++round) {
        host::PluginInstance& plugin = create();
        int count = 0;
        void* parent = nullptr;
        for (int step = 0; step < steps / 4; ++step) {
            const std::string where =
                "round " + std::to_string(round) + " step " + std::to_string(step);
            switch (random() % 7) {
            case 0:
            case 1: {
                const size_t pick = random() % (hostWindows.size() + 1);
                void* asked = pick < hostWindows.size() ? &hostWindows[pick] : nullptr;
                const intptr_t answer = plugin.dispatch(effEditOpen, 0, 0, asked);
                // Without a window there is nothing to place in a missing parent.
                const bool opens = count > 0 || asked != nullptr;
                ASSERT_EQ(answer, opens ? 1 : 0) << where;
                if (opens && count++ == 0) parent = asked;
                break;
            }
            case 2:
            case 3:
                plugin.dispatch(effEditClose);
                count = std::max(0, count - 1);
                break;
            case 4:
                plugin.dispatch(effEditIdle);
                break;
            case 5: {
                ERect* rect = nullptr;
                ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1) << where;
                ASSERT_NE(rect, nullptr) << where;
                if (count > 0) {
                    EXPECT_EQ(rect->right - rect->left, 490) << where;
                    EXPECT_EQ(rect->bottom - rect->top, 322) << where;
                }
                EXPECT_EQ(plugin.dispatch(effEditGetRect, 0, 0, nullptr), 0) << where;
                break;
            }
            default: {
                const float value = float(random() % 151) / 150.0f;
                plugin.setParameter(param::EQLo, value);
                tick();
                if (count > 0) {
                    EXPECT_EQ(window(plugin).Duck3->Top(), 172 - nearest(value * 150.0)) << where;
                }
                break;
            }
            }
            ASSERT_EQ(headless.windows().empty(), count == 0) << where;
            // The wrapper names the parent its window is in, whatever later opens asked for.
            ASSERT_EQ(wrapper(plugin).parentWindow, count > 0 ? parent : nullptr) << where;
            if (count > 0) {
                ASSERT_EQ(windowsIn(parent), 1u) << where;
            }
            ASSERT_EQ(headless.activeTimerCount(), count > 0 ? 1u : 0u) << where;
        }
        plugin.close();
        EXPECT_TRUE(headless.windows().empty()) << "round " << round << ", " << count << " open";
        EXPECT_EQ(headless.activeTimerCount(), 0u);
    }
}

// The user arms MIDI learn on one control after another, shows, resets and restores the map,
// while the audio thread receives controllers (assigned and unassigned ones) in every block.
TEST_F(TortureEditor, MidiLearnFromTheMenuWhileControllersArriveOnTheAudioThread) {
    host::PluginInstance& plugin = create();
    plugin.dispatch(effMainsChanged, 0, 1);
    ASSERT_EQ(plugin.dispatch(effEditOpen, 0, 0, &hostWindows[0]), 1);
    TPluginEditorWindow& w = window(plugin);
    MidiEventList events;
    AudioThread audio(plugin, 5, [&events](std::mt19937& random) {
        events = MidiEventList();
        for (int e = 0; e < 4; ++e)
            events.cc(int32_t(random() % 256), uint8_t(16 + random() % 24),
                      uint8_t(random() % 128));
        return events.get();
    });
    runtime::TControl* controls[] = {w.EQs,   w.Duck1,     w.Duck2,      w.Duck3,
                                     w.Duck4, w.btnListen, w.Compression};
    const int rounds = 300;
    for (int round = 0; round < rounds; ++round) {
        menu(*controls[round % 7], {"MIDI", "MIDI Learn"});
        if (round % 10 == 3) menu(*w.EQs, {"MIDI", "Show MIDI Mapping"});
        if (round % 50 == 25) menu(*w.Duck1, {"MIDI", "Reset MIDI Learning"});
        if (round % 50 == 49) menu(*w.Duck1, {"MIDI", "Restore Default MIDI Mapping"});
        plugin.dispatch(effEditIdle);
        headless.advanceClock(30);
        pause(1);
    }
    audio.stop();
    EXPECT_TRUE(audio.finite.load());
    EXPECT_GT(audio.blocks.load(), 0);
    EXPECT_FALSE(headless.shownMessageBoxes().empty());

    // Learning still works once the audio thread is quiet: the armed control takes the next
    // controller, whose value moves its figure to the top within two ticks.
    menu(*w.Duck2, {"MIDI", "MIDI Learn"});
    ASSERT_EQ(object(plugin).midiLearnParam.load(), param::EQMid);
    MidiEventList learn;
    learn.cc(0, 99, 127);
    plugin.dispatch(effProcessEvents, 0, 0, learn.get());
    Audio after(7);
    EXPECT_TRUE(after.process(plugin));
    EXPECT_EQ(object(plugin).midiCcMap[99].load(), param::EQMid);
    tick(2);
    EXPECT_EQ(w.Duck2->Top(), 22);
    EXPECT_FALSE(host.calls(audioMasterAutomate).empty());
}

// Hosts that give each instance's editor a user-interface thread of its own. The runtime keeps
// one window registry, one backend and one timer list for the process, which one thread may use
// at a time: every call here that reaches a window (effEditOpen, effEditIdle, effEditClose, the
// clock) takes one lock, as if the threads took turns. What runs unlocked is what may overlap:
// instances made and closed on every thread (each keeps the pictures that every window shares,
// and lets go of them when closed), and a thread that sets parameters of every instance.
// ThreadSanitizer watches the sharing: its counts, the process-wide cache, and pixels painted on
// one thread while another lets go of them.
TEST_F(TortureEditor, EditorsOnSeveralThreadsOpenAndCloseWhileAnotherThreadSetsParameters) {
    constexpr int kThreads = 4;
    const int rounds = scaled(12, 3);
    for (int t = 0; t < kThreads; ++t)
        create().dispatch(effMainsChanged, 0, 1);
    std::mutex ui;
    std::atomic<bool> done{false};
    std::array<std::array<std::atomic<float>, param::Count>, kThreads> last{};
    std::thread automation([&] {
        std::mt19937 random(41);
        std::uniform_real_distribution<float> unit(0.0f, 1.0f);
        // Every index once first, so that each has a last value.
        for (int step = 0; step < param::Count || !done.load(); ++step) {
            for (int t = 0; t < kThreads; ++t) {
                const auto index = step < param::Count ? step : int32_t(random() % param::Count);
                const float value = unit(random);
                plugins[size_t(t)]->setParameter(index, value);
                last[size_t(t)][size_t(index)].store(value);
            }
            pause(1);
        }
    });
    std::atomic<int> refused{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            host::PluginInstance& mine = *plugins[size_t(t)];
            std::array<int, 2> parents{};
            for (int round = 0; round < rounds; ++round) {
                auto extra =
                    std::make_unique<host::PluginInstance>(&testsupport::linkedEntry, host);
                {
                    const std::lock_guard<std::mutex> lock(ui);
                    if (mine.dispatch(effEditOpen, 0, 0, &parents[0]) != 1) ++refused;
                    if (extra->dispatch(effEditOpen, 0, 0, &parents[1]) != 1) ++refused;
                    headless.paintWaiting();
                    mine.dispatch(effEditIdle);
                }
                pause(1);
                {
                    const std::lock_guard<std::mutex> lock(ui);
                    headless.advanceClock(100);
                    headless.paintWaiting();
                    host::PluginInstance& first = round % 2 == 0 ? mine : *extra;
                    host::PluginInstance& second = round % 2 == 0 ? *extra : mine;
                    first.dispatch(effEditClose);
                    second.dispatch(effEditClose);
                }
                extra.reset(); // effClose, unlocked: its editor is closed
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    done.store(true);
    automation.join();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_TRUE(headless.windows().empty());

    // Every instance's editor shows its own last values, and all read the one set of pictures.
    for (int t = 0; t < kThreads; ++t)
        ASSERT_EQ(plugins[size_t(t)]->dispatch(effEditOpen, 0, 0, &hostWindows[size_t(t)]), 1);
    tick(2);
    const std::uint8_t* strip = nullptr;
    for (int t = 0; t < kThreads; ++t) {
        host::PluginInstance& plugin = *plugins[size_t(t)];
        std::array<float, param::Count> expected{};
        for (int32_t i = 0; i < param::Count; ++i)
            expected[size_t(i)] = last[size_t(t)][size_t(i)].load();
        EXPECT_EQ(values(plugin), expected) << "instance " << t;
        EXPECT_EQ(shownBy(window(plugin)), expectedShown(expected)) << "instance " << t;
        const toolkit::TMemoryDIB& item = window(plugin).DIBImageList1->DIBImages().Items(0)->DIB();
        EXPECT_TRUE(item.PixelsShared()) << "instance " << t;
        if (strip == nullptr) strip = item.Bits();
        EXPECT_EQ(item.Bits(), strip) << "instance " << t;
    }
}

} // namespace
