#include "model/key_positions.h"

#include <array>
#include <cstdint>

namespace key_positions {
namespace {

struct Position {
    int inputCode;
    std::uint8_t scancode;
};

// Each of the key table's 93 keys once, by Linux input code. The legends are
// those of a US keyboard, as in the key table's names.
constexpr Position kPositions[] = {
        {1, 0x76},  // KEY_ESC
        {2, 0x16},  // KEY_1
        {3, 0x1E},  // KEY_2
        {4, 0x26},  // KEY_3
        {5, 0x25},  // KEY_4
        {6, 0x2E},  // KEY_5
        {7, 0x36},  // KEY_6
        {8, 0x3D},  // KEY_7
        {9, 0x3E},  // KEY_8
        {10, 0x46},  // KEY_9
        {11, 0x45},  // KEY_0
        {12, 0x4E},  // KEY_MINUS
        {13, 0x55},  // KEY_EQUAL
        {14, 0x66},  // KEY_BACKSPACE
        {15, 0x0D},  // KEY_TAB
        {16, 0x15},  // KEY_Q
        {17, 0x1D},  // KEY_W
        {18, 0x24},  // KEY_E
        {19, 0x2D},  // KEY_R
        {20, 0x2C},  // KEY_T
        {21, 0x35},  // KEY_Y
        {22, 0x3C},  // KEY_U
        {23, 0x43},  // KEY_I
        {24, 0x44},  // KEY_O
        {25, 0x4D},  // KEY_P
        {26, 0x54},  // KEY_LEFTBRACE
        {27, 0x5B},  // KEY_RIGHTBRACE
        {28, 0x5A},  // KEY_ENTER
        {30, 0x1C},  // KEY_A
        {31, 0x1B},  // KEY_S
        {32, 0x23},  // KEY_D
        {33, 0x2B},  // KEY_F
        {34, 0x34},  // KEY_G
        {35, 0x33},  // KEY_H
        {36, 0x3B},  // KEY_J
        {37, 0x42},  // KEY_K
        {38, 0x4B},  // KEY_L
        {39, 0x4C},  // KEY_SEMICOLON
        {40, 0x52},  // KEY_APOSTROPHE
        {41, 0x0E},  // KEY_GRAVE
        {43, 0x5D},  // KEY_BACKSLASH (left of Enter on 102-key keyboards)
        {44, 0x1A},  // KEY_Z
        {45, 0x22},  // KEY_X
        {46, 0x21},  // KEY_C
        {47, 0x2A},  // KEY_V
        {48, 0x32},  // KEY_B
        {49, 0x31},  // KEY_N
        {50, 0x3A},  // KEY_M
        {51, 0x41},  // KEY_COMMA
        {52, 0x49},  // KEY_DOT
        {53, 0x4A},  // KEY_SLASH
        {55, 0x7C},  // KEY_KPASTERISK
        {57, 0x29},  // KEY_SPACE
        {59, 0x05},  // KEY_F1
        {60, 0x06},  // KEY_F2
        {61, 0x04},  // KEY_F3
        {62, 0x0C},  // KEY_F4
        {63, 0x03},  // KEY_F5
        {64, 0x0B},  // KEY_F6
        {65, 0x83},  // KEY_F7
        {66, 0x0A},  // KEY_F8
        {67, 0x01},  // KEY_F9
        {68, 0x09},  // KEY_F10
        {70, 0x7E},  // KEY_SCROLLLOCK
        {71, 0x6C},  // KEY_KP7
        {72, 0x75},  // KEY_KP8
        {73, 0x7D},  // KEY_KP9
        {74, 0x7B},  // KEY_KPMINUS
        {75, 0x6B},  // KEY_KP4
        {76, 0x73},  // KEY_KP5
        {77, 0x74},  // KEY_KP6
        {78, 0x79},  // KEY_KPPLUS
        {79, 0x69},  // KEY_KP1
        {80, 0x72},  // KEY_KP2
        {81, 0x7A},  // KEY_KP3
        {82, 0x70},  // KEY_KP0
        {83, 0x71},  // KEY_KPDOT
        {87, 0x78},  // KEY_F11
        {88, 0x07},  // KEY_F12
        {96, 0xAA},  // KEY_KPENTER
        {98, 0xAF},  // KEY_KPSLASH
        {kPrintScreen, 0xC6},  // KEY_SYSRQ (Print Screen)
        {102, 0xC1},  // KEY_HOME
        {103, 0xDA},  // KEY_UP
        {104, 0xC2},  // KEY_PAGEUP
        {105, 0xDB},  // KEY_LEFT
        {106, 0xDD},  // KEY_RIGHT
        {107, 0xC4},  // KEY_END
        {108, 0xDC},  // KEY_DOWN
        {109, 0xC5},  // KEY_PAGEDOWN
        {110, 0xC0},  // KEY_INSERT
        {111, 0xC3},  // KEY_DELETE
        {119, 0xC8},  // KEY_PAUSE
};
static_assert(std::size(kPositions) == 93, "every key of the key table has one position");

constexpr int kCodes = 120;  // KEY_PAUSE is the highest code above

constexpr std::array<std::uint8_t, kCodes> byInputCode()
{
    std::array<std::uint8_t, kCodes> table{};
    for (const Position& p : kPositions)
        table[static_cast<std::size_t>(p.inputCode)] = p.scancode;
    return table;
}

constexpr std::array<std::uint8_t, kCodes> kByInputCode = byInputCode();

}  // namespace

int scancodeForInputCode(int inputCode)
{
    if (inputCode < 0 || inputCode >= kCodes)
        return 0;
    return kByInputCode[static_cast<std::size_t>(inputCode)];
}

}  // namespace key_positions
