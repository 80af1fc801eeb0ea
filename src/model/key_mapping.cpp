#include "model/key_mapping.h"

#include "model/key_positions.h"
#include "model/key_table.h"

#include <Qt>

namespace key_mapping {
namespace {

// Keypad keys stand for the physical key, whatever Num Lock says: the device
// overrides the key, not the character. Num Lock on gives digits, off gives the
// navigation keys; both map to the navigation key codes the key table holds.
int keypadCode(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_0:
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_1:
    case Qt::Key_End:
        return 35;
    case Qt::Key_2:
    case Qt::Key_Down:
        return 40;
    case Qt::Key_3:
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_4:
    case Qt::Key_Left:
        return 37;
    case Qt::Key_5:
    case Qt::Key_Clear:
        return 12;
    case Qt::Key_6:
    case Qt::Key_Right:
        return 39;
    case Qt::Key_7:
    case Qt::Key_Home:
        return 36;
    case Qt::Key_8:
    case Qt::Key_Up:
        return 38;
    case Qt::Key_9:
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_Period:
    case Qt::Key_Comma:
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Plus:
        return 107;
    case Qt::Key_Minus:
        return 109;
    case Qt::Key_Asterisk:
        return 106;
    case Qt::Key_Slash:
        return 111;
    case Qt::Key_Enter:
    case Qt::Key_Return:
        return 13;
    default:
        return -1;
    }
}

// Shifted characters of a US layout back to the key that carries them, so that
// Shift+1 is the key "1" as Shift+A is the key "A".
int unshifted(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Exclam:
        return Qt::Key_1;
    case Qt::Key_At:
        return Qt::Key_2;
    case Qt::Key_NumberSign:
        return Qt::Key_3;
    case Qt::Key_Dollar:
        return Qt::Key_4;
    case Qt::Key_Percent:
        return Qt::Key_5;
    case Qt::Key_AsciiCircum:
        return Qt::Key_6;
    case Qt::Key_Ampersand:
        return Qt::Key_7;
    case Qt::Key_Asterisk:
        return Qt::Key_8;
    case Qt::Key_ParenLeft:
        return Qt::Key_9;
    case Qt::Key_ParenRight:
        return Qt::Key_0;
    case Qt::Key_Underscore:
        return Qt::Key_Minus;
    case Qt::Key_Plus:
        return Qt::Key_Equal;
    case Qt::Key_BraceLeft:
        return Qt::Key_BracketLeft;
    case Qt::Key_BraceRight:
        return Qt::Key_BracketRight;
    case Qt::Key_Bar:
        return Qt::Key_Backslash;
    case Qt::Key_Colon:
        return Qt::Key_Semicolon;
    case Qt::Key_QuoteDbl:
        return Qt::Key_Apostrophe;
    case Qt::Key_Less:
        return Qt::Key_Comma;
    case Qt::Key_Greater:
        return Qt::Key_Period;
    case Qt::Key_Question:
        return Qt::Key_Slash;
    case Qt::Key_AsciiTilde:
        return Qt::Key_QuoteLeft;
    case Qt::Key_Backtab:
        return Qt::Key_Tab;
    default:
        return qtKey;
    }
}

}  // namespace

int keyCodeForInputCode(int inputCode)
{
    const int scancode = key_positions::scancodeForInputCode(inputCode);
    if (scancode == 0)
        return 0;
    for (const KeyRecord& slot : key_table::records()) {
        if (slot.scancode == scancode)
            return slot.keyCode;
    }
    return 0;
}

int keyCodeFor(int qtKey, bool keypad, quint32 nativeVirtualKey)
{
    // X11 keypad keysyms are XK_KP_Space (0xFF80) .. XK_KP_9 (0xFFB9).
    if (!keypad && nativeVirtualKey >= 0xFF80 && nativeVirtualKey <= 0xFFB9)
        keypad = true;
    if (keypad) {
        const int code = keypadCode(qtKey);
        if (code >= 0)
            return code;
    }

    const int key = unshifted(qtKey);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);

    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Clear:
        return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Print:
        return 44;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return 91;
    case Qt::Key_Menu:
        return 93;
    case Qt::Key_NumLock:
        return 144;
    case Qt::Key_ScrollLock:
        return 145;
    case Qt::Key_Semicolon:
        return 186;
    case Qt::Key_Equal:
        return 187;
    case Qt::Key_Comma:
        return 188;
    case Qt::Key_Minus:
        return 189;
    case Qt::Key_Period:
        return 190;
    case Qt::Key_Slash:
        return 191;
    case Qt::Key_QuoteLeft:
        return 192;
    case Qt::Key_BracketLeft:
        return 219;
    case Qt::Key_Backslash:
        return 220;
    case Qt::Key_BracketRight:
        return 221;
    case Qt::Key_Apostrophe:
        return 222;
    default:
        return 0;
    }
}

}  // namespace key_mapping
