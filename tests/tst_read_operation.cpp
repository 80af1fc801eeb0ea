#include "operations/read_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using namespace opstest;

class ReadOperationTest final : public QObject {
    Q_OBJECT

private slots:
    void fullRead_data() { addLengthRows(); }
    void fullRead()
    {
        QFETCH(int, length);
        OpsRig rig;
        rig.rows.keyNames[3] = "F1";
        rig.rows.strings[95] = "old";
        rig.device.setStringLength(length);
        const int rows = rig.device.capacity();
        rig.device.setSlot(0, 0x1C, "a\r");
        rig.device.setSlot(rows - 1, 0x05, "");

        QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Succeeded);
        checkSlotWalk(rig, "Read Operation Requested", 0);
        QCOMPARE(rig.rows.strings[0], length == 1 ? "a" : "a{0D}");
        QCOMPARE(rig.rows.keyNames[rows - 1] + rig.rows.keyNames[3] + rig.rows.strings[95], "F1");
        QCOMPARE(rig.view.shownRows, (rows < 24 ? QList<int>{0, rows - 1} : QList<int>{0}));
        QCOMPARE(rig.view.rowCounter, rows - 1);
        QCOMPARE(rig.status.percentText, "100%");
        QCOMPARE(ending(rig), endedWith("Successful Read"));
    }

    // How a slot's bytes become row 1 (the string's notation itself is checked with the notation).
    void slotAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("keyAndString");
        QTest::addColumn<QStringList>("trace");
        QTest::addColumn<QString>("completion");
        const QString read = "Successful Read", notRead = " 1 rows not read";
        QTest::newRow("example") << QByteArray("\034ab\r\0\0", 6) << "A ab{0D}"
                                 << QStringList{"Response: {1C}{61}{62}{0D}{00}{00}"} << read;
        QTest::newRow("scan code only") << QByteArray("\x05") << "F1 " << QStringList{"Response: {05}"} << read;
        QTest::newRow("unknown scan code") << QByteArray("\002a") << " " << QStringList{"Response: {02}{61}"} << read;
        QTest::newRow("full slot") << QByteArray("\034abcdef") << "A abcdef"
                                   << QStringList{"Response: {1C}{61}{62}{63}{64}{65}{66}"} << read;
        QTest::newRow("wider than the slot") << QByteArray("\034abcdefg") << " "
                                             << QStringList{"Response: {1C}{61}{62}{63}{64}{65}{66}{67}"} << notRead;
        QTest::newRow("CMDERR is empty, not key I")
                << QByteArray("CMDERR") << " " << QStringList{"CMDERR", "Response: "} << notRead;
        QTest::newRow("no answer") << QByteArray() << " " << QStringList{"No response to command received"} << notRead;
    }
    void slotAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, trace);
        QFETCH(QString, completion);
        OpsRig rig;
        rig.link.answers[readCommand(1)] = answer;
        const bool short_ = completion.startsWith(' ');
        QCOMPARE(ReadOperation(rig.context).run(),
                 short_ ? ReadOperation::Outcome::Incomplete : ReadOperation::Outcome::Succeeded);
        QCOMPARE(rig.status.completion, completion);
        QCOMPARE(rig.base.messages.beeps, short_ ? 1 : 0);
        QTEST(rig.rows.keyNames[1] + ' ' + rig.rows.strings[1], "keyAndString");
        const qsizetype at = rig.status.lines.indexOf("Sent /R{01}") + 1;
        QCOMPARE(rig.status.lines.mid(at, trace.size() + 1), trace + QStringList{"Sent /R{02}"});
    }

    void failureExitsKeepTheTable_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("lastLine");
        QTest::addColumn<QString>("message");  // none: a beep
        QTest::addColumn<QString>("completion");
        QTest::newRow("absent") << Setup([](OpsRig& r) { r.device.faults().absent = true; })
                                << "QZ4VELDT not responsing on port COM1" << QString() << "FAILED READ";
        QTest::newRow("line dropped") << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 1; }) << "Sent /L?"
                                      << "Error retrieve current key overrides - device /dev/fake1 was disconnected"
                                      << "Failed Read";
    }
    void failureExitsKeepTheTable()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        QFETCH(QString, completion);
        OpsRig rig;
        rig.rows.keyNames[3] = "F1";
        rig.rows.strings[3] = "keep{0D}";
        rig.rows.pictureShown[3] = true;
        setup(rig);

        QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Failed);
        QTEST(rig.status.lines.constLast(), "lastLine");
        QCOMPARE(rig.infos.join(QString()), message);
        QCOMPARE(rig.base.messages.beeps, message.isEmpty() ? 1 : 0);
        QCOMPARE(ending(rig),
                 (QStringList{"shown: " + completion, "bar up", message.isEmpty() ? "port open" : "port closed",
                              "disable enable"}));
        QVERIFY(rig.rows.pictureShown[3]);
        QCOMPARE(rig.rows.keyNames[3] + rig.rows.strings[3] + QString::number(rig.view.lengthIndex), "F1keep{0D}5");
    }

    void abortClosesThePort()
    {
        OpsRig rig;
        checkAbortsCleanly(
                rig, [&] { ReadOperation(rig.context).run(); },
                [&] { return rig.base.link.written().contains(readCommand(4)); });
    }
};

QTEST_GUILESS_MAIN(ReadOperationTest)
#include "tst_read_operation.moc"
