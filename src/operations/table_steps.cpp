#include "operations/table_steps.h"

#include "device/protocol.h"
#include "device/status_sink.h"
#include "device/waiter.h"

#include <QStringList>

namespace table_steps {

QString slotFault(const QByteArray& answer, int length)
{
    if (answer.isEmpty())
        return QStringLiteral("gave no answer");
    if (Protocol::isRefusal(answer))
        return QStringLiteral("refused to read this row (%1)").arg(QLatin1String(Protocol::kRefusal));
    if (length > 0 && answer.size() != 1 + length)
        return QStringLiteral("answered %1 bytes where a slot holds %2").arg(answer.size()).arg(1 + length);
    // A 0x00 ends the string; what follows is filling, and filling is 0x00.
    const QByteArray string = answer.mid(1);
    const qsizetype end = string.indexOf('\0');
    if (end >= 0 && string.mid(end).count('\0') != string.size() - end)
        return QStringLiteral("holds %1 after the string's end, where only 0x00 belongs")
                .arg(trace::bracedBytes(string.mid(end)));
    return {};
}

QString rowList(const QList<int>& rows)
{
    QStringList numbers;
    for (const int row : rows)
        numbers << QString::number(row);
    return numbers.join(QStringLiteral(", "));
}

QString percentText(int value, int maximum)
{
    if (maximum <= 0)
        return QStringLiteral("0%");
    return QString::number(value * 100 / maximum) + QLatin1Char('%');
}

void showRowProgress(StatusSink& status, int row)
{
    if (status.progressMaximum() >= row)
        status.setProgressValue(row);
    status.setPercentText(percentText(status.progressValue(), status.progressMaximum()));
}

void closeAndPause(Protocol& protocol, Waiter& waiter, StatusSink& status, int pauseMs)
{
    protocol.close();
    waiter.delay(pauseMs);
    status.hideProgress();
}

QString failedCount(int count, const QString& what)
{
    return QLatin1Char(' ') + QString::number(count) + QLatin1Char(' ') + what;
}

int lengthIndexFromAnswer(const QByteArray& answer)
{
    if (answer.isEmpty())
        throw DeviceAnswerError("the device sent no answer to the string length query");
    const int length = command::lengthFromDigit(answer.at(0));
    return length == 0 ? -1 : length - 1;
}

QString firstCharacter(const QByteArray& answer)
{
    return answer.isEmpty() ? QString() : QString(QChar(static_cast<unsigned char>(answer.at(0))));
}

}  // namespace table_steps
