#include "model/key_table.h"

#include "model/row_table.h"

namespace key_table {
namespace {

std::array<KeyRecord, kSlots> buildTable()
{
    // Slots 0..78 carry set-2 make codes; 79..92 the device's own one-byte codes
    // for keys that set 2 sends with a prefix. Order matters: lookups take the
    // first match, and of two keys sharing a key code the lower slot is "first".
    struct Row {
        int scancode;
        const char* name;
        int keyCode;
    };
    static constexpr Row rows[kKeys] = {
            {0x01, "F9", 120},   {0x03, "F5", 116},    {0x04, "F3", 114},    {0x05, "F1", 112},    {0x06, "F2", 113},
            {0x07, "F12", 123},  {0x09, "F10", 121},   {0x0A, "F8", 119},    {0x0B, "F6", 117},    {0x0C, "F4", 115},
            {0x0D, "TAB", 9},    {0x0E, "`", 192},     {0x15, "Q", 81},      {0x16, "1", 49},      {0x1A, "Z", 90},
            {0x1B, "S", 83},     {0x1C, "A", 65},      {0x1D, "W", 87},      {0x1E, "2", 50},      {0x21, "C", 67},
            {0x22, "X", 88},     {0x23, "D", 68},      {0x24, "E", 69},      {0x25, "4", 52},      {0x26, "3", 51},
            {0x29, "SPACE", 32}, {0x2A, "V", 86},      {0x2B, "F", 70},      {0x2C, "T", 84},      {0x2D, "R", 82},
            {0x2E, "5", 53},     {0x31, "N", 78},      {0x32, "B", 66},      {0x33, "H", 72},      {0x34, "G", 71},
            {0x35, "Y", 89},     {0x36, "6", 54},      {0x3A, "M", 77},      {0x3B, "J", 74},      {0x3C, "U", 85},
            {0x3D, "7", 55},     {0x3E, "8", 56},      {0x41, ",", 188},     {0x42, "K", 75},      {0x43, "I", 73},
            {0x44, "O", 79},     {0x45, "0", 48},      {0x46, "9", 57},      {0x49, ".", 190},     {0x4A, "/", 191},
            {0x4B, "L", 76},     {0x4C, ";", 186},     {0x4D, "P", 80},      {0x4E, "-", 189},     {0x52, "'", 222},
            {0x54, "[", 219},    {0x55, "=", 187},     {0x5A, "ENTER", 13},  {0x5B, "]", 221},     {0x5D, "\\", 220},
            {0x66, "BKSPC", 8},  {0x69, "KPend", 35},  {0x6B, "KPlfar", 37}, {0x6C, "KPhome", 36}, {0x70, "KPins", 45},
            {0x71, "KPdel", 46}, {0x72, "KPdnar", 40}, {0x73, "KP5", 12},    {0x74, "KPrar", 39},  {0x75, "KPupar", 38},
            {0x76, "ESC", 27},   {0x78, "F11", 122},   {0x79, "KP+", 107},   {0x7A, "KPpgdn", 34}, {0x7B, "KP-", 109},
            {0x7C, "KP*", 106},  {0x7D, "KPpgup", 33}, {0x7E, "SCRLK", 145}, {0x83, "F7", 118},    {0xAA, "KPent", 13},
            {0xAF, "KP/", 111},  {0xC0, "Insrt", 45},  {0xC1, "Home", 36},   {0xC2, "PgUp", 33},   {0xC3, "Del", 46},
            {0xC4, "End", 35},   {0xC5, "PgDn", 34},   {0xDA, "UParr", 38},  {0xDB, "LFarr", 37},  {0xDC, "DNarr", 40},
            {0xDD, "RTarr", 39}, {0xC6, "PRSCN", 198}, {0xC8, "Pause", 19},
    };
    std::array<KeyRecord, kSlots> table{};
    for (int i = 0; i < kKeys; ++i) {
        table[i].scancode = static_cast<std::uint8_t>(rows[i].scancode);
        table[i].keyName = QString::fromLatin1(rows[i].name);
        table[i].keyCode = rows[i].keyCode;
    }
    return table;
}

}  // namespace

const std::array<KeyRecord, kSlots>& records()
{
    static const std::array<KeyRecord, kSlots> table = buildTable();
    return table;
}

int scancodeForKeyName(const QString& name)
{
    for (const KeyRecord& slot : records()) {
        if (slot.keyName == name)
            return slot.scancode;
    }
    return 0;
}

QString keyNameForScancode(int scancode)
{
    for (const KeyRecord& slot : records()) {
        if (slot.scancode == scancode)
            return slot.keyName;
    }
    return {};
}

}  // namespace key_table

QString KeyNamer::keyNameForKeyCode(int keyCode, const RowTable& rows, int capacity)
{
    m_flag = !m_flag;  // every call moves the alternation, whatever the key

    const auto& table = key_table::records();
    int first = -1;
    int second = -1;
    for (int i = 0; i < key_table::kSlots; ++i) {
        if (table[i].keyCode != keyCode)
            continue;
        if (first < 0) {
            first = i;
        } else {
            second = i;
            break;
        }
    }
    if (first < 0)
        return {};
    if (second < 0)
        return table[first].keyName;

    const QString& firstName = table[first].keyName;
    const QString& secondName = table[second].keyName;
    bool firstUsed = false;
    bool secondUsed = false;
    const int usable = qBound(0, capacity, RowTable::kRows);
    for (int row = 0; row < usable; ++row) {
        firstUsed = firstUsed || rows.keyNames[row] == firstName;
        secondUsed = secondUsed || rows.keyNames[row] == secondName;
    }
    if (firstUsed)
        return secondName;
    if (secondUsed)
        return firstName;
    return m_flag ? secondName : firstName;
}
