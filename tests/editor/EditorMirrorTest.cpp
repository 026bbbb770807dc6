// The window's mirror of the parameters when a change lands while it copies them: whatever the
// interleaving, the last value the plug-in holds is what the window shows after a tick.
#include "EditorFixture.h"
#include "editor/APluginEditorTestHooks.h"

#include <thread>

using namespace editortest;

namespace {

class EditorMirror : public EditorTest {
protected:
    void TearDown() override {
        editor_test_hooks::betweenReadAndStore = nullptr;
        EditorTest::TearDown();
    }

    // Sets `first` for EQLo; while the mirror's copy holds it, read but not yet stored, `second`
    // is set as another thread would (the host's automation, a controller on the audio thread).
    void landSecondInsideTheCopy(float first, float second) {
        int landed = 0;
        editor_test_hooks::betweenReadAndStore = [&](int index) {
            if (index == param::EQLo && landed++ == 0) plugin->setParameter(param::EQLo, second);
        };
        plugin->setParameter(param::EQLo, first);
        tick();
        editor_test_hooks::betweenReadAndStore = nullptr;
        ASSERT_EQ(landed, 1) << "the copy ran through the gap once";
    }
};

} // namespace

TEST_F(EditorMirror, AValueSetBetweenTheCopysReadAndStoreWinsAtTheNextTick) {
    open();
    landSecondInsideTheCopy(0.0f, 1.0f);
    tick();
    EXPECT_EQ(object().getParameter(param::EQLo), 1.0f);
    EXPECT_EQ(wrapper().mirror[param::EQLo].load(), 1.0f);
    EXPECT_EQ(window().Duck3->Top(), 22) << "the figure at the top of its track";

    // And the other way round, with the figure's lowest place last.
    landSecondInsideTheCopy(1.0f, 0.0f);
    tick();
    EXPECT_EQ(wrapper().mirror[param::EQLo].load(), 0.0f);
    EXPECT_EQ(window().Duck3->Top(), 172);
}

TEST_F(EditorMirror, UpdatesFromOtherThreadsOnlyMarkTheMirrorUntilTheTimerCopies) {
    open();
    tick();
    const float before = wrapper().mirror[param::EQMid].load();
    std::thread other([this] { object().setParameter(param::EQMid, 0.25f); });
    other.join();
    EXPECT_EQ(wrapper().mirror[param::EQMid].load(), before) << "the window's thread copies";
    EXPECT_TRUE(wrapper().mirror.stale.load());
    tick();
    EXPECT_EQ(wrapper().mirror[param::EQMid].load(), 0.25f);
    EXPECT_FALSE(wrapper().mirror.stale.load());
}
