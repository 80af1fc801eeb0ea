// Read and Verify: both ask the string length, then walk the slots the device holds.
#include "device/protocol.h"
#include "operations/read_operation.h"
#include "operations/verify_key.h"
#include "operations/verify_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using namespace opstest;

class ReadVerifyTest final : public QObject {
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

    void fullVerify_data() { addLengthRows(); }
    void fullVerify()
    {
        QFETCH(int, length);
        OpsRig rig;
        rig.device.setStringLength(length);
        const int rows = rig.device.capacity();
        rig.device.setSlot(0, 0x1C, "\r");
        rig.rows.keyNames[0] = "A";
        rig.rows.strings[0] = "{D}";
        rig.rows.keyNames[1] = "F1";  // the device's slot 1 holds no key
        rig.rows.strings[5] = "ignored without a key";
        rig.rows.verified[94] = true;

        QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Mismatched);
        checkSlotWalk(rig, "Veriy Operation Requested", 1);
        for (int r = 0; r < 95; ++r) {
            QCOMPARE(rig.rows.verified[r], (r < rows && r != 1) || r == 94);
            QCOMPARE(rig.rows.pictureShown[r], r < rows);
        }
        QCOMPARE(rig.view.pictureRows.size(), qMin(rows, 24));
        // The bar is the screen's (length 6, rows 0-35): it stops at its end, or the run ends short of it.
        QCOMPARE(QString::asprintf("%d/%d ", rig.status.progressValue_, rig.status.progressMax)
                         + rig.status.percentText,
                 length == 1 ? "35/35 100%" : "22/35 62%");
        QCOMPARE(ending(rig), endedWith(" 1 FAILED verifications"));
    }

    // Row 30, on the page shown: the device's answer against the screen's key and string.
    void verifyKey_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("keyAndString");
        QTest::addColumn<QStringList>("tipAndTrace");  // an empty tip: a match
        const QByteArray ab0d("\034ab\r\0", 5), a0b("\034a\0b", 4);
        QTest::newRow("one-digit, lower case") << ab0d << "A {61}b{d}" << QStringList{"", "Response: {61}{62}{0D}{00}"};
        QTest::newRow("key differs") << ab0d << "F1 ab{0D}"
                                     << QStringList{"VELD Key=A  STR=ab{0D}", "Response: {61}{62}{0D}{00}"};
        QTest::newRow("string differs") << QByteArray("\005a ") << "F1 a"
                                        << QStringList{"VELD Key=F1  STR=a ", "Response: {61}{20}"};
        QTest::newRow("scan code only") << QByteArray("\x05") << "F1 " << QStringList{"", "Response: "};
        QTest::newRow("string ends at 0x00") << a0b << "A a" << QStringList{"", "Response: {61}{00}{62}"};
        QTest::newRow("after 0x00 is not output")
                << a0b << "A ab" << QStringList{"VELD Key=A  STR=a", "Response: {61}{00}{62}"};
        QTest::newRow("no key either side") << QByteArray("\377a") << " xyz" << QStringList{"", "Response: {61}"};
        QTest::newRow("no key on device")
                << QByteArray("\377a\r") << "A a" << QStringList{"VELD Key=,STR=a{0D}", "Response: {61}{0D}"};
        QTest::newRow("no answer") << QByteArray() << "A ab" << QStringList{"VELD Key= ,STR= "};
        QTest::newRow("CMDERR") << QByteArray("CMDERR") << " "
                                << QStringList{"VELD refused to read this row (CMDERR)",
                                               "Response: {4D}{44}{45}{52}{52}"};
    }
    void verifyKey()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, keyAndString);
        QFETCH(QStringList, tipAndTrace);
        OpsRig rig;
        rig.link.answers[readCommand(30)] = answer;
        rig.rows.keyNames[30] = keyAndString.section(' ', 0, 0);
        rig.rows.strings[30] = keyAndString.section(' ', 1);
        rig.view.page = 1;
        Protocol protocol(rig.link, rig.base.waiter, rig.status);

        const QString tip = tipAndTrace.takeFirst();
        QCOMPARE(VerifyKey(protocol, rig.rows, rig.view).check(30), tip.isEmpty());
        QCOMPARE(rig.rows.pictures[30], tip.isEmpty() ? StatusPicture::CheckMark : StatusPicture::QuestionMark);
        QCOMPARE(rig.rows.pictureTips[30], tip);
        QVERIFY(rig.rows.pictureShown[30]);
        QCOMPARE(rig.view.pictureRows, QList<int>{30});
        QCOMPARE(rig.status.lines, QStringList{"Sent /R{1E}"} + tipAndTrace);
    }

    // Row 3 as "key string tip shown"; the screen's string length was 2, the device's is 6.
    void failureExits_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message");  // none: a beep
        QTest::addColumn<QStringList>("ending");
        QTest::addColumn<QString>("row3");
        QTest::addColumn<int>("lengthIndex");
        const Setup absent = [](OpsRig& r) { r.device.faults().absent = true; };
        const QString gone = "device /dev/fake1 was disconnected", kept = "F1 keep{0D} tip 1";
        const QStringList absentEnding{"shown: FAILED READ", "bar up", "port open", "disable enable"};
        QTest::newRow("read, absent") << false << absent << QString() << absentEnding << kept << 2;
        QTest::newRow("read, line dropped at the length")
                << false << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 1; })
                << "Error retrieve current key overrides - " + gone
                << QStringList{"shown: Failed Read", "bar up", "port closed", "disable enable"} << kept << 2;
        // Absent: nothing reset and no progress; later exits: rows reset, progress left up.
        QTest::newRow("verify, absent") << true << absent << QString()
                                        << QStringList{"hidden", "bar down", "port open", "disable enable"} << kept
                                        << 2;
        QTest::newRow("verify, line dropped at row 3")
                << true << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 5; })
                << "Error verifying values. " + gone << QStringList{"hidden", "bar up", "port closed", "disable enable"}
                << "F1 keep{0D}  0" << 5;
    }
    void failureExits()
    {
        QFETCH(bool, verify);
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        OpsRig rig;
        rig.view.lengthIndex = 2;
        rig.rows.keyNames[3] = "F1";
        rig.rows.strings[3] = "keep{0D}";
        rig.rows.pictureShown[3] = true;
        rig.rows.pictureTips[3] = "tip";
        setup(rig);

        QVERIFY(verify ? VerifyOperation(rig.context).run() == VerifyOperation::Outcome::Failed
                       : ReadOperation(rig.context).run() == ReadOperation::Outcome::Failed);
        QCOMPARE(rig.infos.join(QString()), message);
        QCOMPARE(rig.base.messages.beeps, message.isEmpty() ? 1 : 0);
        QTEST(ending(rig), "ending");
        QTEST(QStringList({rig.rows.keyNames[3], rig.rows.strings[3], rig.rows.pictureTips[3],
                           QString::number(rig.rows.pictureShown[3])})
                      .join(' '),
              "row3");
        QTEST(rig.view.lengthIndex, "lengthIndex");
    }

    void abortsClosePort()
    {
        OpsRig read, verify;
        const auto runRead = [&] { ReadOperation(read.context).run(); };
        checkAbortsCleanly(read, runRead, [&] { return read.base.link.written().contains(readCommand(4)); });
        const auto runVerify = [&] { VerifyOperation(verify.context).run(); };
        checkAbortsCleanly(verify, runVerify, [&] { return verify.status.lines.contains("Sent /R{02}"); });
    }
};

QTEST_GUILESS_MAIN(ReadVerifyTest)
#include "tst_read_operation.moc"
