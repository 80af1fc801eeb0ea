#include "model/capacity.h"
#include "operations/send_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using namespace opstest;

static QByteArray block(int row, int scancode, const QByteArray& bytes)
{
    return QByteArray("/W").append(char(row)).append(char(scancode)).append(bytes);
}

class SendOperationTest final : public QObject {
    Q_OBJECT

private slots:
    void fullSend_data() { addLengthRows(); }
    void fullSend()
    {
        QFETCH(int, length);
        OpsRig rig;
        rig.view.lengthIndex = length - 1;
        const int rows = capacity::maxKeysForIndex(length - 1);
        rig.rows.keyNames[0] = "A";
        rig.rows.strings[0] = "{D}";
        rig.rows.strings[rows] = "beyond the capacity, too long and never sent";
        rig.rows.pictureShown.fill(true);

        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Succeeded);
        const QString digit(QChar('0' + length));
        QStringList lines = presentLines() << "Sent /L" + digit << "String length successfully set to " + digit;
        QByteArray written = "z/L" + digit.toLatin1();
        for (int r = 0; r < rows; ++r) {
            const QString hex = QString::number(r, 16).toUpper();
            lines << (r == 0 ? "/W{0}{1C}{D}" : "/W{" + hex + "}{FF}") << "Sent /R" + braced(QByteArray(1, char(r)))
                  << "Response: " + braced(rig.device.slotAnswer(r).mid(1)) << "success  blk# " + hex;
            written += block(r, r == 0 ? 0x1C : 0xFF, (r == 0 ? "\r" : "") + QByteArray(length - (r == 0), 0))
                    + readCommand(r);
        }
        QCOMPARE(rig.status.lines, lines);
        QCOMPARE(rig.base.link.written(), written);
        QCOMPARE(rig.base.waiter.totalWaitedMs(), 5 + 50 + rows * (50 + 100) + 1000);
        QCOMPARE(rig.device.stringLength(), length);
        for (int r = 0; r < RowTable::kRows; ++r)
            QCOMPARE(rig.rows.pictureShown[r], r < rows);
        QCOMPARE(rig.rows.pictures[rows - 1], StatusPicture::CheckMark);
        QCOMPARE(rig.status.percentText, "100%");
        QCOMPARE(ending(rig), endedWith("Successful Operation"));
        QCOMPARE(rig.infos, QStringList());
    }

    // Row 1 (length 6) goes wrong; the run goes on with row 2.
    void blockOutcomes_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("rowLines");  // row 1's lines
        QTest::addColumn<int>("commands");  // all the device parsed: no block went out short
        const QByteArray block1 = block(1, 0xFF, QByteArray(6, 0));
        const QStringList readBack{"Sent /R{01}", "Response: {00}{00}{00}{00}{00}{00}", "FAILED to verify blk# 1"};
        QTest::newRow("key not in the table is sent as 00") << Setup([](OpsRig& r) { r.rows.keyNames[1] = "Nope"; })
                                                            << QStringList{"/W{1}{0}"} + readBack << 2 + 36 + 36;
        QTest::newRow("no answer is a timeout") << Setup([=](OpsRig& r) { r.link.answers[block1] = ""; })
                                                << QStringList{"/W{1}{FF}", "timeout"} << 2 + 36 + 35;
        QTest::newRow("ack with the wrong row") << Setup([=](OpsRig& r) { r.link.answers[block1] = "\x06\x07"; })
                                                << QStringList{"/W{1}{FF}", "{6}{7}"} << 2 + 36 + 35;
        QTest::newRow("read back differs")
                << Setup([](OpsRig& r) { r.link.answers[readCommand(1)] = "\x1Cz"; })
                << QStringList{"/W{1}{FF}", "Sent /R{01}", "Response: {7A}", "FAILED to verify blk# 1"} << 2 + 36 + 36;
        QTest::newRow("made too long after the check: not sent")
                << Setup([](OpsRig& r) { r.base.waiter.setOnEvents([&r] { r.rows.strings[1] = "abcdefg"; }); })
                << QStringList{"Row 1 not sent: its string is longer than 6"} << 2 + 35 + 35;
    }
    void blockOutcomes()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, rowLines);
        OpsRig rig;
        setup(rig);
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Incomplete);
        const qsizetype at = rig.status.lines.indexOf("success  blk# 0") + 1;
        QCOMPARE(rig.status.lines.mid(at, rowLines.size() + 1), rowLines + QStringList{"/W{2}{FF}"});
        QCOMPARE(rig.status.completion, " 1 FAILED blocks");
        QCOMPARE(rig.rows.pictures[1], StatusPicture::QuestionMark);
        QTEST(rig.device.commandCount(), "commands");
    }

    // An acknowledge that comes after its block's window fails that block only: it is
    // not taken for the next block's, nor for any answer after it.
    void lateAcknowledge()
    {
        OpsRig rig;
        rig.device.faults().lateBlockRow = 1;
        OperationContext context{rig.base.link, rig.base.waiter, rig.base.messages, rig.status, rig.rows, rig.view, 1};
        QCOMPARE(SendOperation(context).run(), SendOperation::Outcome::Incomplete);
        QCOMPARE(rig.status.completion, " 1 FAILED blocks");
        QCOMPARE(rig.status.lines.count("timeout"), 1);
        QCOMPARE(rig.status.lines.filter("success  blk#").size(), 35);
    }

    void failureExits_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("completion");
        QTest::addColumn<QByteArray>("written");
        const QStringList requested{"Write Operation Requested"};
        QTest::newRow("too long")
                << Setup([](OpsRig& r) { r.rows.strings[35] = "abcdef{07}"; }) << requested
                << "String at position 35 is longer than 6. This is invalid and you must fix it before continuing."
                << "Operation Aborted" << QByteArray();
        // Refused before the length erases the device's table; the NUL is shown, not cut at.
        const Setup nul = [](OpsRig& r) {
            r.rows.strings[20] = "{7}", r.rows.strings[35] = QString("a") + QChar(0) + "b";
        };
        QTest::newRow("no device form")
                << nul << requested
                << "Row 35: the string \"a{00}b\" cannot be converted to device bytes (every character must be one "
                   "byte other than 00 and every {..} field a hexadecimal value from 01 to FF)"
                << "Operation Aborted" << QByteArray();
        const QStringList dropped{"Sent /L6", "String length successfully set to 6", "/W{0}{FF}", "Sent /R{00}",
                                  "The device now holds an incomplete table: rows 0 to 0 written, the rest empty. "
                                  "Send again."};
        QTest::newRow("line dropped after the length")
                << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 3; }) << presentLines() + dropped
                << "Error sending to QZ4VELD. device /dev/fake1 was disconnected"
                << "FATAL ERROR"
                << "z/L6" + block(0, 0xFF, QByteArray(6, 0)) + readCommand(0);
        QTest::newRow("length refused") << Setup([](OpsRig& r) { r.link.answers["/L6"] = "\x15"; })
                                        << presentLines() + QStringList{"Sent /L6", "FAILED to set string length to 6"}
                                        << QString() << "FAILED OPERATION" << QByteArray("z/L6");
    }
    void failureExits()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        OpsRig rig;
        setup(rig);
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Failed);
        QTEST(rig.status.lines, "lines");
        QCOMPARE(rig.infos, message.isEmpty() ? QStringList() : QStringList{message});
        QTEST(rig.status.completion, "completion");
        QTEST(rig.base.link.written(), "written");
        QCOMPARE(rig.view.controlEvents.join(' '), "disable enable");
    }

    void rowsAreTakenWhenTheirBlockIsBuilt()
    {
        OpsRig rig;
        rig.base.waiter.setOnEvents([&] {
            if (rig.status.lines.contains("/W{1}{FF}"))
                rig.rows.keyNames[3] = "F1", rig.rows.strings[3] = "new";
        });
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Succeeded);
        QVERIFY(rig.status.lines.contains("/W{3}{5}new"));
        QCOMPARE(rig.device.slotAnswer(3), QByteArray("\x05new\0\0\0", 7));
    }

    // A stop after the length went out says what the device now holds.
    void abortStopsBetweenBlocks_data()
    {
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("lastLine");
        const QString incomplete = "The device now holds an incomplete table: %1, the rest empty. Send again.";
        QTest::newRow("presence check") << "Check for QZ4VELDT attached *"
                                        << "Check for QZ4VELDT attached *";  // nothing changed yet
        QTest::newRow("length") << "Sent /L6" << incomplete.arg("no rows written");
        QTest::newRow("block 4") << "/W{4}{FF}" << incomplete.arg("rows 0 to 4 written");
    }
    void abortStopsBetweenBlocks()
    {
        QFETCH(QString, after);
        OpsRig rig;
        checkAbortsCleanly(
                rig, [&] { SendOperation(rig.context).run(); }, [&] { return rig.status.lines.contains(after); });
        QTEST(rig.status.lines.constLast(), "lastLine");
    }
};

QTEST_GUILESS_MAIN(SendOperationTest)
#include "tst_send_operation.moc"
