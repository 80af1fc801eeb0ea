#include "operations/send_progress.h"

QString SendProgress::whatTheDeviceHolds() const
{
    if (!lengthSent || lengthRefused)
        return {};
    const int last = restarted ? lastAcknowledged : lastSent;
    if (last < 0)
        return QStringLiteral("The device may hold an incomplete table: the string length went out, no rows "
                              "written. Send again.");
    if (last >= rows - 1) {
        const QString complete =
                QStringLiteral("The device now holds the complete table: rows 0 to %1 written").arg(last);
        return failed == 0 ? complete + QLatin1Char('.')
                           : complete + QStringLiteral(", %1 of them FAILED. Send again.").arg(failed);
    }
    return QStringLiteral("The device now holds an incomplete table: rows 0 to %1 written, the rows after %1 not "
                          "written. Send again.")
            .arg(last);
}
