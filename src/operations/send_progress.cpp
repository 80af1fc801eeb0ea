#include "operations/send_progress.h"

QString SendProgress::whatTheDeviceHolds() const
{
    if (!lengthSent || lengthRefused)
        return {};
    if (lastSent < 0)
        return QStringLiteral("The device may hold an incomplete table: the string length went out, no rows "
                              "written. Send again.");
    const bool lastAnswered = lastAcknowledged == lastSent;
    if (lastSent == rows - 1 && (lastAnswered || allSent)) {
        const QString complete =
                QStringLiteral("The device now holds the complete table: rows 0 to %1 written").arg(rows - 1);
        return failed == 0 ? complete + QLatin1Char('.')
                           : complete + QStringLiteral(", %1 of them FAILED. Send again.").arg(failed);
    }
    // A block whose acknowledge has not come may or may not have been stored.
    QStringList parts;
    if (lastAnswered)
        parts << QStringLiteral("rows 0 to %1 written").arg(lastSent);
    else if (lastSent > 0)
        parts << QStringLiteral("rows 0 to %1 written").arg(lastSent - 1);
    if (!lastAnswered)
        parts << QStringLiteral("row %1 may be written").arg(lastSent);
    if (lastSent < rows - 1)
        parts << QStringLiteral("the rows after %1 not written").arg(lastSent);
    return QStringLiteral("The device now holds an incomplete table: ") + parts.join(QStringLiteral(", "))
            + QStringLiteral(". Send again.");
}
