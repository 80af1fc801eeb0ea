#pragma once

#include <QtGlobal>

// Maps a key event to the Windows virtual-key code that the key table knows;
// 0 for keys the table has not. The code goes through KeyNameForKeyCode, so
// the keys that share a code (keypad and editing block, the two Enter keys)
// keep their pair rule whichever way the key was found.
namespace key_mapping {

// By position: the key code of the key table's entry for the key at this Linux
// input code (key_positions), whatever the layout prints on it.
int keyCodeForInputCode(int inputCode);

// By what the layout made of the key (Qt::Key, keypad modifier, X11 keysym),
// for platforms that report no position: US shift pairs are folded back by hand.
int keyCodeFor(int qtKey, bool keypad, quint32 nativeVirtualKey);

}  // namespace key_mapping
