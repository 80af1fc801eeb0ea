#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The entries of the COM settings dialog's three lists and the rules that
// connect them with the stored settings texts.
namespace com_choices {

inline constexpr int kPortCount = 8;  // the list offers COM1 .. COM8

// List position of a port number; -1 when the list has no entry for it
// (a hand-edited file can hold any number).
int portIndexFor(int comPort);

// "2400", "4800", "9600", "19.2k", "38.4k", "57.6k"
const QStringList& baudEntries();

// The first entry whose first two characters equal the first two characters of
// the stored rate, so "19200" finds "19.2k"; -1 when none does.
int baudIndexFor(const QString& baudSetting);

// The stored rate for an entry: "19.2k" -> "19200" (the "k" means thousands),
// other entries unchanged. Throws std::runtime_error for text that is no rate.
QString baudSettingFor(const QString& entry);

// "NONE", "EVEN", "ODD"
const QStringList& parityEntries();

// The first entry whose first character equals the stored letter's first
// character, case-sensitive; -1 when none does.
int parityIndexFor(const QString& paritySetting);

}  // namespace com_choices
