#include "runtime/Dialogs.h"

#include "runtime/Controls.h"
#include "runtime/Forms.h"
#include "runtime/Shell.h"

namespace runtime {

namespace {

platform::WindowHandle ownerWindow(TWinControl* owner) {
    return owner != nullptr && owner->HandleAllocated() ? owner->Handle() : nullptr;
}

} // namespace

int MessageBox(const std::string& text, const std::string& caption, std::uint32_t flags,
               TWinControl* owner) {
    const TCustomForm* form = owner != nullptr ? owner->ParentForm() : nullptr;
    return platform::backend().messageBox(ownerWindow(owner), text, caption, flags,
                                          form != nullptr ? form->PixelPercent() : 100);
}

bool ShellOpen(const std::string& address, TWinControl* owner) {
    if (address.empty()) return false;
    return platform::backend().shellOpen(ownerWindow(owner), address);
}

} // namespace runtime
