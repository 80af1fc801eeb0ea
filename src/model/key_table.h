#pragma once

#include <QString>
#include <array>
#include <cstdint>

class Messages;
struct RowTable;

struct KeyRecord final {
    std::uint8_t scancode = 0;
    QString keyName;
    int keyCode = 0;  // Windows virtual-key code reported by key capture
};

// The fixed vocabulary of 93 keys in 94 slots (slot 93 stays empty).
// Every lookup walks the slots in order and returns the first match.
namespace key_table {

inline constexpr int kSlots = 94;
inline constexpr int kKeys = 93;

const std::array<KeyRecord, kSlots>& records();

// Scancode of the first slot with exactly this name (case-sensitive); 0 when none.
int scancodeForKeyName(const QString& name);
// Name of the first slot with this scancode; "" when none (also for 0 and >0xFF).
QString keyNameForScancode(int scancode);

}  // namespace key_table

// KeyNameForKeyCode with its program-wide alternation flag: one instance lives
// for the whole run (the window owns it) and is asked on every key-down.
class KeyNamer final {
public:
    // rows/capacity: a name on rows 0..capacity-1 counts as used.
    QString keyNameForKeyCode(int keyCode, const RowTable& rows, int capacity);
    bool flag() const { return m_flag; }

private:
    bool m_flag = false;
};
