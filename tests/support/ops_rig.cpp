#include "support/ops_rig.h"

#include "device/waiter.h"

#include <QtTest>

namespace opstest {

void ScriptedLink::close()
{
    m_inner.close();
    m_received.clear(), m_command.clear(), m_error.clear();
}

void ScriptedLink::write(const QByteArray& bytes)
{
    m_inner.write(bytes);
    m_command += bytes;
    QByteArray answer;
    try {
        answer = m_inner.readAll();
    } catch (const SerialError& error) {
        m_error = error.what();
        return;
    }
    if (!answer.isEmpty())
        m_received += answers.value(std::exchange(m_command, {}), answer);
}

int ScriptedLink::bytesAvailable()
{
    throwPendingError();
    m_inner.bytesAvailable();  // throws like the port after an unplug
    return static_cast<int>(m_received.size());
}

QByteArray ScriptedLink::readAll()
{
    throwPendingError();
    m_inner.readAll();
    return std::exchange(m_received, {});
}

QStringList presentLines()
{
    return {QStringLiteral("Check for QZ4VELDT attached *"), QStringLiteral("QZ4VELDT responded after 1 tries")};
}

QByteArray readCommand(int row)
{
    return QByteArray("/R").append(static_cast<char>(row));
}

QString braced(const QByteArray& bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QStringLiteral("{%1}").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

void checkAbortsCleanly(OpsRig& rig, const std::function<void()>& run, const std::function<bool()>& when)
{
    qsizetype sent = -1;
    rig.base.waiter.setOnEvents([&] {
        if (sent < 0 && when())
            sent = rig.base.link.written().size(), rig.base.waiter.requestAbort();
    });
    QVERIFY_THROWS_EXCEPTION(OperationAborted, run());
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(rig.base.link.written().size(), sent);
}

QStringList slotTrace(const DeviceModel& device, int from)
{
    QStringList lines;
    for (int r = 0; r < device.capacity(); ++r)
        lines << "Sent /R" + braced(readCommand(r).mid(2)) << "Response: " + braced(device.slotAnswer(r).mid(from));
    return lines;
}

}  // namespace opstest
