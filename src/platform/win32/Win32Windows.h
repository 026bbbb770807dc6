#pragma once
// What the Windows backend shows of its windows to the Windows-only tests and tools.
#include "platform/Platform.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace platform::detail {

/// The popup menu that trackPopupMenu shows for `items` (DestroyMenu releases it).
HMENU buildPopupMenu(const std::vector<MenuEntry>& items);

/// Windows of ours alive now (destroyed ones, also by a host, no longer count).
std::size_t liveWindowCount();

/// The registered name of our window class; empty while no window of ours exists.
std::wstring windowClassName();

/// The module whose code this is (the DLL's own handle inside a plug-in).
HINSTANCE moduleHandle();

} // namespace platform::detail
