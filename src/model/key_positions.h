#pragma once

// The keys of the key table by their position on the keyboard: Linux input
// codes (linux/input-event-codes.h, KEY_*), which X11 and Wayland report as
// native scan codes raised by kNativeOffset. A position names the same key on
// every layout, shifted or not, so a German Z key (the US Y position) gives
// the table's "Y" as the device sees it.
namespace key_positions {

// X11 and Wayland key codes are Linux input codes plus this.
inline constexpr int kNativeOffset = 8;
// KEY_SYSRQ, the Print Screen key, which key capture takes on its release.
inline constexpr int kPrintScreen = 99;

// The key table's scancode of the key at Linux input code `inputCode`; 0 for
// a key the table does not hold (Shift, Ctrl, Alt, the locks but Scroll Lock,
// the extra key of 102-key keyboards, ...) and for codes outside the keyboard.
int scancodeForInputCode(int inputCode);

}  // namespace key_positions
