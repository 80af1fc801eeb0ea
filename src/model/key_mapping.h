#pragma once

#include <QtGlobal>

// Maps a key event (Qt::Key, keypad modifier, X11 keysym) to the Windows
// virtual-key code that the key table knows; 0 for keys the table has not.
namespace key_mapping {

int keyCodeFor(int qtKey, bool keypad, quint32 nativeVirtualKey);

}  // namespace key_mapping
