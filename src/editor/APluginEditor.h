#pragma once
// The editor wrapper: creates the editor window inside the host's window, reports its size and
// carries the plug-in's parameter changes into the window's mirror. Also the factory that
// APlugin's constructor takes, and the creation function that the library's entry (and tools
// that link the plug-in) hand to vstPluginEntry.

#include "plugin/uPlugin.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TPluginEditorWindow;

/// The twelve parameter values as the editor window sees them. Only the user-interface thread
/// writes them (the window's timer, the open's copy, the window's own listen switch); update,
/// from any thread, only marks them stale. Two threads copying at once could leave a slot with
/// the older of two values until that parameter changed again; one writer cannot.
struct AParameterMirror {
    std::array<std::atomic<float>, param::Count> values{};
    std::atomic<bool> stale{false};

    std::atomic<float>& operator[](int index) { return values[static_cast<std::size_t>(index)]; }
    /// Takes the plug-in's values now (user-interface thread).
    void copyFrom(APlugin& plugin);
    /// Takes them again when a change was marked since the last copy (user-interface thread).
    void refreshFrom(APlugin& plugin) {
        if (stale.exchange(false, std::memory_order_acq_rel)) copyFrom(plugin);
    }
    /// A value changed on some thread after it was stored in the plug-in.
    void markStale() { stale.store(true, std::memory_order_release); }
};

class APluginEditor : public AEffEditor, public APluginEditorNotice {
public:
    /// Becomes the plug-in's editor notice until it goes.
    explicit APluginEditor(APlugin& plugin);
    /// Frees an open window (editorClosed = 1 first).
    ~APluginEditor() override;

    /// Top 0, left 0; bottom and right from the window's client size when one exists, else as
    /// last set (0 before any window). Answers 1.
    bool getRect(ERect** rect) override;
    /// Creates the window inside `ptr` on the first open, then shows it with the current values
    /// and starts its timer. Answers 1; 0 (and nothing open) when no window can be made. An
    /// open while the window exists counts, answers 1 and keeps the window where it is, in
    /// `parentWindow`, whatever parent it names (null included): a host that opens again
    /// without closing still shows the one window, and each close it sends is matched.
    bool open(void* ptr) override;
    /// Frees the window when the last open is matched; below zero stays at zero.
    void close() override;
    void idle() override;
    /// Marks the mirror stale while a window is open: its next timer tick copies the plug-in's
    /// values. Any thread.
    void update() override;
    /// Keeps the host's scale for every later open and applies it to an open window (see
    /// applyScale). Takes any number; one that is not finite and above 0 counts as none said.
    bool hostScale(float factor) override;
    /// The density the editor is drawn at now: the user's choice, else the host's, else the
    /// system's for the parent window, else 100 (editorscale::choose).
    int chosenScale();
    /// Redraws an open window at chosenScale when that changed: asks the host for the new
    /// size first (audioMasterSizeWindow) and rebuilds the window only when the host took it.
    /// A host that refuses keeps the whole picture at the old size; the next open takes the new
    /// one. Not from inside the window's own handlers (the window goes).
    void applyScale();
    /// The user's Zoom choice as kept in choiceFile (editorscale::kAutomatic when none).
    int userScaleChoice() const;
    /// Keeps the user's choice for every instance and applies it from a timer tick, once the
    /// window's menu handlers that chose it are done. A choice the file refuses still applies
    /// to this window until it closes.
    void chooseUserScale(int choice);

    ERect rect{};
    int32_t openCount = 0;
    std::unique_ptr<TPluginEditorWindow> window;
    void* parentWindow = nullptr; ///< the parent of the window that exists, else null
    /// The window's parameter mirror. It lives with the wrapper, which outlives every window,
    /// so that an update racing a close never writes into a freed window.
    AParameterMirror mirror{};
    float hostFactor = 0;   ///< the host's last word, 0 for none
    std::string choiceFile; ///< where the user's Zoom choice lives (editorscale)

private:
    std::unique_ptr<TPluginEditorWindow> makeWindow(void* parent, int scale);
    void stopScaleTimer();
    std::uint32_t scaleTimer = 0;
    int unsavedChoice = -1; ///< a choice the file refused, while this window lives

    APlugin& plugin;
    /// Whether update copies into the mirror: from just before a window is made until it goes.
    std::atomic<bool> windowOpen{false};
};

/// The editor wrapper of `plugin`.
std::unique_ptr<AEffEditor> createPluginEditor(APlugin& plugin);

/// A plug-in object with its editor; the caller (the entry glue) owns it through its record.
AudioEffect* createPluginWithEditor(audioMasterCallback audioMaster);

/// The wrapper of a plug-in made by createPluginWithEditor (null for one made without an
/// editor).
inline APluginEditor* pluginEditor(const APlugin& plugin) {
    return static_cast<APluginEditor*>(plugin.getEditor());
}
