#include "device/port_settings.h"

#include "device/serial_link.h"

#include <QStringList>

namespace port_settings {

namespace {

// Rates outside this range are not realistic for the device's UART; a typo such as
// "96000" or "0" is refused here instead of surfacing later as an obscure open error.
constexpr qint64 kMinBaud = 50;
constexpr qint64 kMaxBaud = 4000000;

bool allDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

QString quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

}  // namespace

PortSettings parse(const QString& settingsText)
{
    const QStringList fields = settingsText.split(QLatin1Char(','));
    if (fields.size() != 4) {
        throw SerialError(QStringLiteral("Invalid port settings %1 (expected <baud>,<parity>,<data bits>,<stop bits>)")
                                  .arg(quoted(settingsText))
                                  .toStdString());
    }

    PortSettings result;

    const QString& baud = fields.at(0);
    // At most 10 digits keeps the conversion below far from overflow.
    bool ok = allDigits(baud) && baud.size() <= 10;
    const qint64 baudValue = ok ? baud.toLongLong(&ok) : 0;
    if (!ok || baudValue < kMinBaud || baudValue > kMaxBaud)
        throw SerialError(QStringLiteral("Invalid baud rate %1").arg(quoted(baud)).toStdString());
    result.baud = static_cast<qint32>(baudValue);

    const QString parity = fields.at(1).toUpper();
    if (parity != QLatin1String("N") && parity != QLatin1String("E") && parity != QLatin1String("O"))
        throw SerialError(QStringLiteral("Invalid parity %1").arg(quoted(fields.at(1))).toStdString());
    result.parity = parity.at(0).toLatin1();

    const QString& data = fields.at(2);
    if (data.size() != 1 || data.at(0) < QLatin1Char('5') || data.at(0) > QLatin1Char('8'))
        throw SerialError(QStringLiteral("Invalid data bits %1").arg(quoted(data)).toStdString());
    result.dataBits = data.at(0).digitValue();

    const QString& stop = fields.at(3);
    if (stop != QLatin1String("1") && stop != QLatin1String("2"))
        throw SerialError(QStringLiteral("Invalid stop bits %1").arg(quoted(stop)).toStdString());
    result.stopBits = stop.at(0).digitValue();

    return result;
}

QString settingsText(const QString& baud, const QString& parity)
{
    return baud + QLatin1Char(',') + parity + QStringLiteral(",8,2");
}

}  // namespace port_settings
