#pragma once
// The system's modal message box.

#include "runtime/Messages.h"

#include <cstdint>
#include <string>

namespace runtime {

class TWinControl;

/// Shows a modal message box (MB_ flags) owned by `owner`'s window (none: no owner) and answers
/// the button pressed (IDOK...), or 0 when the system could not show it.
int MessageBox(const std::string& text, const std::string& caption, std::uint32_t flags = MB_OK,
               TWinControl* owner = nullptr);

} // namespace runtime
