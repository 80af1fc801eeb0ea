#include "ui/com_choices.h"

#include <cmath>
#include <limits>
#include <stdexcept>

namespace com_choices {

int portIndexFor(int comPort)
{
    return (comPort >= 1 && comPort <= kPortCount) ? comPort - 1 : -1;
}

const QStringList& baudEntries()
{
    static const QStringList entries{QStringLiteral("2400"),  QStringLiteral("4800"),  QStringLiteral("9600"),
                                     QStringLiteral("19.2k"), QStringLiteral("38.4k"), QStringLiteral("57.6k")};
    return entries;
}

int baudIndexFor(const QString& baudSetting)
{
    // An empty or one-character setting compares its whole self, which no
    // two-character entry start can equal.
    const QString start = baudSetting.left(2);
    const QStringList& entries = baudEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).left(2) == start)
            return i;
    }
    return -1;
}

QString baudSettingFor(const QString& entry)
{
    if (!entry.contains(QLatin1Char('k')))
        return entry;
    QString number = entry;
    number.remove(QLatin1Char('k'));
    bool ok = false;
    // Always "." as the decimal point, whatever the desktop's locale says.
    const double thousands = number.toDouble(&ok);
    const double rate = thousands * 1000.0;
    if (!ok || !std::isfinite(rate) || rate < 0.0 || rate > double(std::numeric_limits<qint32>::max()))
        throw std::runtime_error("\"" + entry.toStdString() + "\" is not a baud rate");
    // 19.2 * 1000 is 19199.999... in binary floating point; rounding gives 19200.
    return QString::number(std::llround(rate));
}

const QStringList& parityEntries()
{
    static const QStringList entries{QStringLiteral("NONE"), QStringLiteral("EVEN"), QStringLiteral("ODD")};
    return entries;
}

int parityIndexFor(const QString& paritySetting)
{
    if (paritySetting.isEmpty())
        return -1;
    const QChar first = paritySetting.at(0);
    const QStringList& entries = parityEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).at(0) == first)
            return i;
    }
    return -1;
}

}  // namespace com_choices
