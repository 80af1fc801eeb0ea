#include "operations/table_steps.h"

#include "device/protocol.h"
#include "device/status_sink.h"
#include "device/waiter.h"

namespace table_steps {

bool isCommandError(const QByteArray& answer)
{
    return answer.contains("CMDERR");
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

QString describe(const std::exception& error)
{
    return QString::fromLocal8Bit(error.what());
}

}  // namespace table_steps
