#pragma once
// Opening documents and web addresses through the system shell.

#include <string>

namespace runtime {

class TWinControl;

/// Opens `address` (a web address or a document) with the shell's "open" verb, shown normally,
/// owned by `owner`'s window. False when the address is empty or the system refuses.
bool ShellOpen(const std::string& address, TWinControl* owner = nullptr);

} // namespace runtime
