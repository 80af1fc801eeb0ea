#include "device/waiter.h"
#include "model/capacity.h"
#include "operations/send_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using opstest::OpsRig;
using Setup = std::function<void(OpsRig&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

QByteArray block(int row, int scancode, const QByteArray& bytes)
{
    QByteArray b("/W");
    b.append(char(row)).append(char(scancode)).append(bytes);
    return b;
}

}  // namespace

class SendOperationTest final : public QObject {
    Q_OBJECT

private slots:
    void fullSend_data();
    void fullSend();
    void blockFailures_data();
    void blockFailures();
    void failureExits_data();
    void failureExits();
    void rowsAreTakenWhenTheirBlockIsBuilt();
    void abortStopsBetweenBlocks();
};

void SendOperationTest::fullSend_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("length 1, 93 rows") << 1;
    QTest::newRow("length 10, 23 rows") << 10;
}

void SendOperationTest::fullSend()
{
    QFETCH(int, length);
    OpsRig rig;
    rig.view.lengthIndex = length - 1;
    const int rows = capacity::maxKeysForIndex(length - 1);
    rig.rows.keyNames[0] = QStringLiteral("A");
    rig.rows.strings[0] = QStringLiteral("{D}");
    rig.rows.keyNames[rows - 1] = QStringLiteral("NoSuchKey");
    rig.rows.strings[rows - 1] = QStringLiteral("b");
    rig.rows.strings[rows] = QStringLiteral("beyond the capacity and far too long");
    rig.rows.pictureShown.fill(true);

    QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Incomplete);  // NoSuchKey reads back empty

    const QString digit(QChar('0' + length));
    QStringList lines = opstest::presentLines();
    lines << "Sent /L" + digit << "String length successfully set to " + digit;
    QByteArray written = "z/L" + digit.toLatin1();
    for (int r = 0; r < rows; ++r) {
        const QString hex = QString::number(r, 16).toUpper();
        const QByteArray padding(length - (r == 0 || r == rows - 1 ? 1 : 0), '\0');
        if (r == 0) {
            lines << "/W{0}{1C}{D}" << "success  blk# 0";
            written += block(0, 0x1C, "\r" + padding);
        } else if (r == rows - 1) {
            lines << "/W{" + hex + "}{0}b" << "FAILED to verify blk# " + hex;
            written += block(r, 0, "b" + padding);
        } else {
            lines << "/W{" + hex + "}{FF}" << "success  blk# " + hex;
            written += block(r, 0xFF, padding);
        }
        written += opstest::readCommand(r);
        lines.insert(lines.size() - 1, "Sent /R" + opstest::braced(QByteArray(1, char(r))));
        lines.insert(lines.size() - 1, "Response: " + opstest::braced(rig.device.slotAnswer(r).mid(1)));
    }
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.base.link.written(), written);
    QCOMPARE(rig.base.waiter.totalWaitedMs(), 5 + 50 + rows * (50 + 100) + 1000);
    QCOMPARE(rig.device.stringLength(), length);
    QCOMPARE(rig.device.slot(0).scancode, 0x1C);

    QCOMPARE(rig.status.completion, QStringLiteral(" 1 FAILED blocks"));
    QVERIFY(rig.status.completionShown);
    QVERIFY(!rig.status.progressShown);
    QCOMPARE(rig.status.percentText, QStringLiteral("100%"));
    for (int r = 0; r < RowTable::kRows; ++r)
        QCOMPARE(rig.rows.pictureShown[r], r < rows);
    QCOMPARE(rig.rows.pictures[rows - 1], StatusPicture::QuestionMark);
    QCOMPARE(rig.rows.pictures[rows - 2], StatusPicture::CheckMark);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.messages.infos.isEmpty());
}

void SendOperationTest::blockFailures_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("rowLines");  // the lines of row 1's block
    QTest::addColumn<QString>("completion");
    QTest::addColumn<int>("commands");  // the device parsed exactly these: no block went out short

    QTest::newRow("all made it") << Setup([](OpsRig&) {}) << QStringList{"/W{1}{FF}", "Sent /R{01}",
                                                                         "Response: {00}{00}{00}{00}{00}{00}",
                                                                         "success  blk# 1"}
                                 << "Successful Operation" << 2 + 36 + 36;
    QTest::newRow("no answer is a timeout")
            << Setup([](OpsRig& r) { r.link.answers[block(1, 0xFF, QByteArray(6, 0))] = ""; })
            << QStringList{"/W{1}{FF}", "timeout"} << " 1 FAILED blocks" << 2 + 36 + 35;
    QTest::newRow("ack with wrong row")
            << Setup([](OpsRig& r) { r.link.answers[block(1, 0xFF, QByteArray(6, 0))] = "\x06\x07"; })
            << QStringList{"/W{1}{FF}", "{6}{7}"} << " 1 FAILED blocks" << 2 + 36 + 35;
    QTest::newRow("refused block")
            << Setup([](OpsRig& r) { r.link.answers[block(1, 0xFF, QByteArray(6, 0))] = "\x15\x01|{"; })
            << QStringList{"/W{1}{FF}", "{15}{1}|{"} << " 1 FAILED blocks" << 2 + 36 + 35;
    QTest::newRow("read back differs")
            << Setup([](OpsRig& r) { r.link.answers[opstest::readCommand(1)] = "\x1Cz"; })
            << QStringList{"/W{1}{FF}", "Sent /R{01}", "Response: {7A}", "FAILED to verify blk# 1"}
            << " 1 FAILED blocks" << 2 + 36 + 36;
    QTest::newRow("string without device form is not sent")
            << Setup([](OpsRig& r) { r.rows.strings[1] = "{123}"; })
            << QStringList{"Row 1 not sent: its string cannot be converted to device bytes"} << " 1 FAILED blocks"
            << 2 + 35 + 35;
}

void SendOperationTest::blockFailures()
{
    QFETCH(Setup, setup);
    QFETCH(QStringList, rowLines);
    QFETCH(QString, completion);
    QFETCH(int, commands);
    OpsRig rig;
    setup(rig);

    SendOperation send(rig.context);
    send.run();
    const auto& lines = rig.status.lines;
    const qsizetype from = lines.indexOf("success  blk# 0") + 1;
    QCOMPARE(lines.mid(from, rowLines.size()), rowLines);
    QCOMPARE(lines.at(from + rowLines.size()), QStringLiteral("/W{2}{FF}"));
    QCOMPARE(rig.status.completion, completion);
    QCOMPARE(rig.rows.pictures[1], send.failedBlocks() == 0 ? StatusPicture::CheckMark : StatusPicture::QuestionMark);
    QCOMPARE(rig.device.commandCount(), commands);
}

void SendOperationTest::failureExits_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("completion");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("too long")
            << Setup([](OpsRig& r) { r.rows.strings[35] = "abcdef{07}"; })
            << QStringList{"Write Operation Requested"}
            << "String at position 35 is longer than 6. This is invalid and you must fix it before continuing."
            << "Operation Aborted" << QByteArray();
    QTest::newRow("absent") << Setup([](OpsRig& r) { r.device.faults().absent = true; })
                            << QStringList{"Check for QZ4VELDT attached * * * * * * * *",
                                           "QZ4VELDT not responsing on port COM1"}
                            << "" << "before" << QByteArray("zzzzzzzz");
    QTest::newRow("length refused")
            << Setup([](OpsRig& r) { r.link.answers["/L6"] = "\x15"; })
            << (opstest::presentLines() << "Sent /L6" << "FAILED to set string length to 6") << ""
            << "FAILED OPERATION" << QByteArray("z/L6");
    QTest::newRow("length unanswered")
            << Setup([](OpsRig& r) { r.link.answers["/L6"] = ""; })
            << (opstest::presentLines() << "Sent /L6" << "FAILED to set string length to 6") << ""
            << "FAILED OPERATION" << QByteArray("z/L6");
    QTest::newRow("line dropped")
            << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 3; })
            << (opstest::presentLines() << "Sent /L6" << "String length successfully set to 6" << "/W{0}{FF}"
                                        << "Sent /R{00}")
            << "Error sending to QZ4VELD. device /dev/fake1 was disconnected" << "FATAL ERROR"
            << QByteArray("z/L6") + block(0, 0xFF, QByteArray(6, 0)) + opstest::readCommand(0);
}

void SendOperationTest::failureExits()
{
    QFETCH(Setup, setup);
    QFETCH(QStringList, lines);
    QFETCH(QString, message);
    QFETCH(QString, completion);
    QFETCH(QByteArray, written);
    OpsRig rig;
    rig.status.completion = QStringLiteral("before");
    rig.status.completionShown = true;
    setup(rig);

    QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Failed);
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(rig.status.completion, completion);
    QCOMPARE(rig.base.link.written(), written);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
}

void SendOperationTest::rowsAreTakenWhenTheirBlockIsBuilt()
{
    OpsRig rig;
    rig.base.waiter.setOnEvents([&] {
        if (rig.status.lines.contains("/W{1}{FF}")) {
            rig.rows.keyNames[3] = QStringLiteral("F1");
            rig.rows.strings[3] = QStringLiteral("new");
        }
    });
    QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Succeeded);
    QVERIFY(rig.status.lines.contains("/W{3}{5}new"));
    QCOMPARE(rig.device.slotAnswer(3), QByteArray::fromHex("056E6577000000"));
}

void SendOperationTest::abortStopsBetweenBlocks()
{
    OpsRig rig;
    qsizetype writtenAtAbort = -1;
    rig.base.waiter.setOnEvents([&] {
        if (writtenAtAbort < 0 && rig.status.lines.contains("/W{4}{FF}")) {
            writtenAtAbort = rig.base.link.written().size();
            rig.base.waiter.requestAbort();
        }
    });
    QVERIFY_THROWS_EXCEPTION(OperationAborted, SendOperation(rig.context).run());
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(rig.base.link.written().size(), writtenAtAbort);
}

QTEST_GUILESS_MAIN(SendOperationTest)
#include "tst_send_operation.moc"
