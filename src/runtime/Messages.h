#pragma once
// The message vocabulary of the runtime and the toolkit: the system's messages from
// platform/Messages.h and the framework's own CM_ notices, which pass between controls and never
// come from a backend.

#include "platform/Messages.h"

#include <cstdint>

namespace runtime {

using platform::LParamX;
using platform::LParamY;
using platform::MakeLParam;
using platform::TMessage;

/// Every message number, the system's and the framework's: `using namespace runtime::messages`.
inline namespace messages {

using namespace platform::messages;

inline constexpr std::uint32_t CM_BASE = 0xB000;
inline constexpr std::uint32_t CM_ENABLEDCHANGED = CM_BASE + 1;
inline constexpr std::uint32_t CM_VISIBLECHANGED = CM_BASE + 2;
/// WParam: character; Result nonzero: a control took it as its accelerator.
inline constexpr std::uint32_t CM_DIALOGCHAR = CM_BASE + 3;
/// WParam: virtual key; Result nonzero: handled (Tab moves the focus between windows).
inline constexpr std::uint32_t CM_DIALOGKEY = CM_BASE + 4;
/// WParam: virtual key, LParam: TControl* the key arrived at; Result nonzero: claimed.
inline constexpr std::uint32_t CM_CHILDKEY = CM_BASE + 5;
inline constexpr std::uint32_t CM_MOUSEENTER = CM_BASE + 6; ///< LParam: TControl* entered
inline constexpr std::uint32_t CM_MOUSELEAVE = CM_BASE + 7; ///< LParam: TControl* left
/// LParam: point in control coordinates; Result nonzero: the point hits the control.
inline constexpr std::uint32_t CM_HITTEST = CM_BASE + 8;
/// LParam: TWinControl* that now has the focus (sent to every control of a form).
inline constexpr std::uint32_t CM_FOCUSCHANGED = CM_BASE + 9;
inline constexpr std::uint32_t CM_ENTER = CM_BASE + 10; ///< the focus entered this window
inline constexpr std::uint32_t CM_EXIT = CM_BASE + 11;  ///< the focus left this window
/// LParam: point in control coordinates; Result: cursor number the control wants, 0 = its own.
inline constexpr std::uint32_t CM_CURSORQUERY = CM_BASE + 12;
inline constexpr std::uint32_t CM_CANCELMODE = CM_BASE + 13; ///< drop drags and captures

} // namespace messages

} // namespace runtime
