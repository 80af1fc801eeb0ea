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

void addLengthRows()
{
    QTest::addColumn<int>("length");
    QTest::newRow("length 1, 93 rows") << 1;
    QTest::newRow("length 10, 23 rows") << 10;
}

QStringList ending(const OpsRig& rig)
{
    return {rig.status.completionShown ? "shown: " + rig.status.completion : "hidden",
            rig.status.progressShown ? "bar up" : "bar down", rig.link.isOpen() ? "port open" : "port closed",
            rig.view.controlEvents.join(' ')};
}

QStringList endedWith(const QString& completion)
{
    return {"shown: " + completion, "bar down", "port closed", "disable enable"};
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

void checkSlotWalk(OpsRig& rig, const QString& requested, int from)
{
    const int length = rig.device.stringLength(), rows = rig.device.capacity();
    QStringList lines = QStringList{requested} + presentLines() << "Sent /L?"
                                                                << "Response  " + QString(QChar(u'0' + length));
    QByteArray written("z/L?");
    for (int r = 0; r < rows; ++r) {
        lines << "Sent /R" + braced(readCommand(r).mid(2)) << "Response: " + braced(rig.device.slotAnswer(r).mid(from));
        written += readCommand(r);
    }
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.base.link.written(), written);
    QCOMPARE(rig.base.waiter.totalWaitedMs(), 5 + 100 + rows * 100 + 2000);
    QCOMPARE(rig.view.lengthIndex, length - 1);
}

}  // namespace opstest
