// The editor wrapper (declared beside APlugin): the window's life, its size for the host, and
// the parameter mirror.
#include "editor/APluginEditor.h"

#include "editor/uEditor.h"
#include "editor/uEditorArt.h"
#include "platform/Platform.h"
#include "runtime/Application.h"

std::unique_ptr<APluginEditor> createPluginEditor(APlugin& plugin) {
    return std::make_unique<APluginEditor>(plugin);
}

AudioEffect* createPluginWithEditor(audioMasterCallback audioMaster) {
    return std::make_unique<APlugin>(audioMaster, &createPluginEditor).release();
}

APluginEditor::APluginEditor(APlugin& plugin) : AEffEditor(&plugin), plugin(plugin) {}

APluginEditor::~APluginEditor() {
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
    void* const previousParent = parentWindow;
    parentWindow = ptr;
    ++openCount;
    bool created = false;
    try {
        if (openCount == 1 || !window) {
            auto made = runtime::MakeForm<TPluginEditorWindow>(nullptr, mirror);
            made->SetParentWindow(ptr);
            made->SetBounds(0, 0, TPluginEditorWindow::kClientWidth,
                            TPluginEditorWindow::kClientHeight);
            // Let update through before copying: a value set on another thread after the copy
            // and before the window exists would otherwise reach neither, and stay unseen
            // until the host changes that parameter again.
            plugin.editorClosed.store(false, std::memory_order_relaxed);
            windowOpen.store(true, std::memory_order_relaxed);
            for (int32_t i = 0; i < param::Count; ++i)
                mirror[i].store(plugin.paramValues[i].load(std::memory_order_relaxed),
                                std::memory_order_relaxed);
            made->plugin = &plugin;
            made->ShowForm();
            window = std::move(made);
            created = true;
            if (!keptArt) keptArt = editorart::unpackedArt();
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
        parentWindow = window ? previousParent : nullptr;
        return false;
    }
}

void APluginEditor::close() {
    if (--openCount < 0) openCount = 0;
    if (openCount > 0) return;
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
    for (int32_t i = 0; i < param::Count; ++i)
        mirror[i].store(plugin.paramValues[i].load(std::memory_order_relaxed),
                        std::memory_order_relaxed);
}
