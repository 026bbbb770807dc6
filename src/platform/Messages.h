#pragma once
// The message vocabulary that windows speak: numbers, key codes and the message record. The
// WM_, VK_, MK_, MB_, ID, DLGC_ and HT values are Windows' own so that the Win32 backend passes
// system messages through unchanged (the framework's own notices are the runtime's). Windows'
// headers define the same names as macros with the same values: a file that needs both includes
// this header first.

#include <cstdint>

#if defined(WM_LBUTTONDOWN)
#error "platform/Messages.h must be included before <windows.h>"
#endif

namespace platform {

/// One message: its number, two parameters and the answer a handler leaves in Result.
struct TMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

/// A point packed as mouse messages carry it: x in the low 16 bits, y in the next 16, each
/// signed (coordinates outside -32768..32767 are cut to 16 bits, as the system does).
constexpr std::intptr_t MakeLParam(int x, int y) {
    return static_cast<std::intptr_t>(static_cast<std::uint32_t>(static_cast<std::uint16_t>(x)) |
                                      static_cast<std::uint32_t>(static_cast<std::uint16_t>(y))
                                          << 16);
}
constexpr int LParamX(std::intptr_t lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam & 0xFFFF));
}
constexpr int LParamY(std::intptr_t lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((lParam >> 16) & 0xFFFF));
}

inline namespace messages {

// Window messages (from the backend).
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;    ///< WParam: window losing focus
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;   ///< WParam: window gaining focus
inline constexpr std::uint32_t WM_PAINT = 0x000F;       ///< call beginPaint / endPaint
inline constexpr std::uint32_t WM_ERASEBKGND = 0x0014;  ///< Result nonzero: erased
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;   ///< LParam low word: hit-test code
inline constexpr std::uint32_t WM_NCHITTEST = 0x0084;   ///< LParam: screen point
inline constexpr std::uint32_t WM_GETDLGCODE = 0x0087;  ///< Result: DLGC_ bits
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;     ///< WParam: virtual key
inline constexpr std::uint32_t WM_KEYUP = 0x0101;       ///< WParam: virtual key
inline constexpr std::uint32_t WM_CHAR = 0x0102;        ///< WParam: character code
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;  ///< a key with Alt held
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;    ///< a key with Alt held
inline constexpr std::uint32_t WM_SYSCHAR = 0x0106;     ///< a character with Alt held
inline constexpr std::uint32_t WM_TIMER = 0x0113;       ///< WParam: timer id
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;   ///< WParam: MK_ bits, LParam: point
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201; ///< mouse messages: as WM_MOUSEMOVE
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
/// WParam: MK_ bits in the low word, signed wheel delta (120 a notch) in the high word;
/// LParam: screen point.
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t WM_CAPTURECHANGED = 0x0215; ///< LParam: window gaining capture
inline constexpr std::uint32_t WM_MOUSELEAVE = 0x02A3;     ///< the pointer left the window

inline constexpr bool IsMouseMessage(std::uint32_t msg) {
    return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONDBLCLK;
}

// Mouse message WParam bits.
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;

// Virtual keys.
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_CANCEL = 0x03;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12; ///< Alt
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21; ///< Page Up
inline constexpr int VK_NEXT = 0x22;  ///< Page Down
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_EXECUTE = 0x2B;
inline constexpr int VK_DELETE = 0x2E;

/// Key message LParam bit: Alt was held (the context code).
inline constexpr std::intptr_t KF_ALTDOWN_LPARAM = std::intptr_t{1} << 29;

// WM_GETDLGCODE answers.
inline constexpr std::intptr_t DLGC_WANTARROWS = 0x0001;
inline constexpr std::intptr_t DLGC_WANTTAB = 0x0002;
inline constexpr std::intptr_t DLGC_WANTALLKEYS = 0x0004;
inline constexpr std::intptr_t DLGC_WANTCHARS = 0x0080;

// Hit-test codes.
inline constexpr std::intptr_t HTNOWHERE = 0;
inline constexpr std::intptr_t HTCLIENT = 1;

// Message box flags and answers.
inline constexpr std::uint32_t MB_OK = 0x0000;
inline constexpr std::uint32_t MB_OKCANCEL = 0x0001;
inline constexpr std::uint32_t MB_YESNOCANCEL = 0x0003;
inline constexpr std::uint32_t MB_YESNO = 0x0004;
inline constexpr std::uint32_t MB_ICONERROR = 0x0010;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x0020;
inline constexpr std::uint32_t MB_ICONWARNING = 0x0030;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x0040;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

} // namespace messages

} // namespace platform
