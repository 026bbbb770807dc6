// The editor wrapper: the window's life, its size for the host, and the parameter mirror.
#include "editor/APluginEditor.h"

#include "editor/APluginEditorTestHooks.h"
#include "editor/art/ArtScale.h"
#include "editor/uEditor.h"
#include "editor/uEditorScale.h"
#include "platform/Platform.h"
#include "runtime/Application.h"

std::unique_ptr<AEffEditor> createPluginEditor(APlugin& plugin) {
    return std::make_unique<APluginEditor>(plugin);
}

AudioEffect* createPluginWithEditor(audioMasterCallback audioMaster) {
    return std::make_unique<APlugin>(audioMaster, &createPluginEditor).release();
}

APluginEditor::APluginEditor(APlugin& plugin)
    : AEffEditor(&plugin), choiceFile(editorscale::choiceFile(platform::userSettingsFolder())),
      plugin(plugin) {
    plugin.setEditorNotice(this);
}

APluginEditor::~APluginEditor() {
    // A parameter set while the window goes (by its own handlers) has no editor to tell.
    plugin.setEditorNotice(nullptr);
    stopScaleTimer();
    if (window) {
        plugin.editorClosed.store(true, std::memory_order_relaxed);
        windowOpen.store(false, std::memory_order_relaxed);
        window.reset();
    }
}

bool APluginEditor::getRect(ERect** out) {
    rect.top = 0;
    rect.left = 0;
    if (window) {
        rect.bottom = static_cast<int16_t>(window->ClientHeight());
        rect.right = static_cast<int16_t>(window->ClientWidth());
    }
    if (out) *out = &rect;
    return true;
}

bool APluginEditor::open(void* ptr) {
    ++openCount;
    bool created = false;
    try {
        if (openCount == 1 || !window) {
            parentWindow = ptr;
            auto made = makeWindow(ptr, chosenScale());
            // Let update through before copying: a value set on another thread after the copy
            // and before the window exists would otherwise reach neither, and stay unseen
            // until the host changes that parameter again.
            plugin.editorClosed.store(false, std::memory_order_relaxed);
            windowOpen.store(true, std::memory_order_relaxed);
            mirror.stale.store(false, std::memory_order_relaxed);
            mirror.copyFrom(plugin);
            made->plugin = &plugin;
            made->ShowForm();
            window = std::move(made);
            created = true;
        }
        plugin.editorClosed.store(false, std::memory_order_relaxed);
        window->Repaint();
        window->DIBContainer1->Repaint();
        window->UpdaterTimer(window->Updater);
        window->Updater->SetEnabled(true);
        return true;
    } catch (...) {
        // No window from the system (or no timer): the host sees a refused open, nothing stays.
        runtime::Application().HandleException();
        if (created || !window) {
            plugin.editorClosed.store(true, std::memory_order_relaxed);
            windowOpen.store(false, std::memory_order_relaxed);
            window.reset();
        }
        --openCount;
        if (!window) parentWindow = nullptr;
        return false;
    }
}

std::unique_ptr<TPluginEditorWindow> APluginEditor::makeWindow(void* parent, int scale) {
    auto made = runtime::MakeForm<TPluginEditorWindow>(nullptr, mirror, scale);
    made->SetParentWindow(parent);
    made->wrapper = this;
    made->SetBounds(0, 0, TPluginEditorWindow::ClientWidthAt(made->Scale()),
                    TPluginEditorWindow::ClientHeightAt(made->Scale()));
    return made;
}

int APluginEditor::userScaleChoice() const {
    return unsavedChoice >= 0 ? unsavedChoice : editorscale::readChoice(choiceFile);
}

int APluginEditor::chosenScale() {
    return editorscale::choose(userScaleChoice(), hostFactor,
                               platform::backend().displayScale(parentWindow));
}

void APluginEditor::chooseUserScale(int choice) {
    if (choice != editorscale::kAutomatic && !editorart::isSupportedScale(choice)) return;
    unsavedChoice = editorscale::writeChoice(choiceFile, choice) ? -1 : choice;
    stopScaleTimer();
    scaleTimer = platform::backend().startTimer(1, [this] {
        stopScaleTimer();
        try {
            applyScale();
        } catch (...) {
            runtime::Application().HandleException();
        }
    });
}

void APluginEditor::stopScaleTimer() {
    if (scaleTimer != 0) platform::backend().stopTimer(scaleTimer);
    scaleTimer = 0;
}

bool APluginEditor::hostScale(float factor) {
    hostFactor = factor;
    applyScale();
    return true;
}

void APluginEditor::applyScale() {
    if (!window) return;
    const int scale = chosenScale();
    if (scale == window->Scale()) return;
    const int width = TPluginEditorWindow::ClientWidthAt(scale);
    const int height = TPluginEditorWindow::ClientHeightAt(scale);
    if (!plugin.sizeWindow(width, height)) return;
    try {
        auto made = makeWindow(parentWindow, scale);
        made->plugin = &plugin;
        mirror.copyFrom(plugin);
        made->ShowForm();
        window = std::move(made);
        window->Repaint();
        window->DIBContainer1->Repaint();
        window->UpdaterTimer(window->Updater);
        window->Updater->SetEnabled(true);
    } catch (...) {
        // The old window stays as it was; the host was told a size it no longer shows.
        runtime::Application().HandleException();
        plugin.sizeWindow(window->ClientWidth(), window->ClientHeight());
    }
}

void APluginEditor::close() {
    if (--openCount < 0) openCount = 0;
    if (openCount > 0) return;
    stopScaleTimer();
    unsavedChoice = -1;
    plugin.editorClosed.store(true, std::memory_order_relaxed);
    windowOpen.store(false, std::memory_order_relaxed);
    window.reset();
    parentWindow = nullptr;
}

// Hosts without a message loop of ours (Linux) drive the window's events and timers from here.
void APluginEditor::idle() {
    if (window) platform::backend().idle();
}

void APluginEditor::update() {
    if (plugin.editorClosed.load(std::memory_order_relaxed) ||
        !windowOpen.load(std::memory_order_relaxed))
        return;
    mirror.markStale();
}

void AParameterMirror::copyFrom(APlugin& plugin) {
    for (int32_t i = 0; i < param::Count; ++i) {
        const float value = plugin.getParameter(i);
#if WADLING_TEST_HOOKS
        if (editor_test_hooks::betweenReadAndStore) editor_test_hooks::betweenReadAndStore(i);
#endif
        values[static_cast<std::size_t>(i)].store(value, std::memory_order_relaxed);
    }
}
