#pragma once
// The virtual key code (VK_) of an X key symbol; 0 for keys the editor does not know.

#include <X11/X.h>

namespace platform::x11 {

int virtualKeyOf(KeySym sym);

} // namespace platform::x11
