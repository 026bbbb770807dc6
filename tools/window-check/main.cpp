// window-check [seconds]: shows a runtime form with one panel and a popup menu in the test
// host's window and prints every input event the panel receives, one per line:
//   ready <screen x> <screen y>   the panel's top left corner, once shown
//   down <button> <x>,<y> / up <button> / double / drag <moves> / menu <caption>
//   first-paint <ms>              from opening the host window to the panel's first paint
// Runs for `seconds` (default 20) or until the window is closed.
#include "host/HostWindow.h"
#include "platform/Platform.h"
#include "runtime/Forms.h"
#include "runtime/Menus.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class ReportingPanel : public runtime::TWinControl {
public:
    using TWinControl::TWinControl;
    std::uint32_t openedAt = 0;

protected:
    void WMPaint(platform::TMessage& message) override {
        TWinControl::WMPaint(message);
        if (!painted_) {
            painted_ = true;
            std::printf("first-paint %u\n", platform::backend().tickCount() - openedAt);
            std::fflush(stdout);
        }
    }
    void MouseDown(runtime::TMouseButton b, runtime::TShiftState s, int x, int y) override {
        std::printf("down %d %d,%d\n", static_cast<int>(b), x, y);
        moves_ = 0;
        TWinControl::MouseDown(b, s, x, y);
    }
    void MouseMove(runtime::TShiftState s, int x, int y) override {
        if (platform::backend().captureWindow() == Handle()) ++moves_;
        TWinControl::MouseMove(s, x, y);
    }
    void MouseUp(runtime::TMouseButton b, runtime::TShiftState s, int x, int y) override {
        if (moves_ > 0) std::printf("drag %d\n", moves_);
        std::printf("up %d\n", static_cast<int>(b));
        std::fflush(stdout);
        TWinControl::MouseUp(b, s, x, y);
    }
    void DblClick() override {
        std::printf("double\n");
        TWinControl::DblClick();
    }

private:
    int moves_ = 0;
    bool painted_ = false;
};

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    const std::uint32_t start = platform::backend().tickCount();
    host::HostWindow window;
    void* parent = window.open("window-check", 240, 160);
    if (parent == nullptr) {
        std::fprintf(stderr, "window-check: %s\n", window.error().c_str());
        return 1;
    }
    auto form = runtime::MakeForm<runtime::TCustomForm>(nullptr);
    form->SetParentWindow(parent);
    form->SetBounds(0, 0, 240, 160);
    auto* panel = new ReportingPanel(form.get());
    panel->openedAt = start;
    panel->SetBounds(20, 20, 200, 120);
    panel->SetColor(0x00336699);
    panel->SetParent(form.get());
    auto* menu = new runtime::TPopupMenu(form.get());
    for (const char* caption : {"Plain", "-", "Quacky"}) {
        auto* item = new runtime::TMenuItem(form.get());
        item->SetCaption(caption);
        item->SetRadioItem(true);
        item->OnClick = [item](runtime::TPersistent*) {
            std::printf("menu %s\n", item->Caption().c_str());
            std::fflush(stdout);
        };
        menu->Items()->Add(item);
    }
    panel->SetPopupMenu(menu);
    form->ShowForm();
    int x = 0, y = 0;
    platform::backend().clientToScreen(panel->Handle(), x, y);
    std::printf("ready %d %d\n", x, y);
    std::fflush(stdout);
    const std::uint32_t deadline = start + static_cast<std::uint32_t>(seconds) * 1000u;
    window.runIdleLoop(20, [deadline] {
        return static_cast<std::int32_t>(platform::backend().tickCount() - deadline) < 0;
    });
    form.reset();
    return 0;
}
