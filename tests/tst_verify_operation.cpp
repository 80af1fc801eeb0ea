#include "device/protocol.h"
#include "operations/verify_key.h"
#include "operations/verify_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using namespace opstest;

class VerifyOperationTest final : public QObject {
    Q_OBJECT

private slots:
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
        QCOMPARE(QStringLiteral("%1/%2 %3")
                         .arg(rig.status.progressValue_)
                         .arg(rig.status.progressMax)
                         .arg(rig.status.percentText),
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

    void failureExits_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message");  // none: a beep
        QTest::addColumn<int>("lengthIndex");  // the screen's was 2, the device's is 5
        QTest::newRow("absent") << Setup([](OpsRig& r) { r.device.faults().absent = true; }) << "" << 2;
        QTest::newRow("line dropped at row 3") << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 5; })
                                               << "Error verifying values. device /dev/fake1 was disconnected" << 5;
    }
    void failureExits()
    {
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        OpsRig rig;
        rig.view.lengthIndex = 2;
        rig.rows.pictureShown[3] = true;
        rig.rows.pictureTips[3] = "tip";
        setup(rig);

        QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Failed);
        QCOMPARE(rig.infos.join(QString()), message);
        QCOMPARE(rig.base.messages.beeps, message.isEmpty() ? 1 : 0);
        // Absent: nothing reset and no progress; later exits: rows reset, progress left up.
        QCOMPARE(ending(rig),

                 (message.isEmpty() ? QStringList{"hidden", "bar down", "port open", "disable enable"}
                                    : QStringList{"hidden", "bar up", "port closed", "disable enable"}));
        QCOMPARE(rig.rows.pictureTips[3] + QString::number(rig.rows.pictureShown[3]), message.isEmpty() ? "tip1" : "0");
        QTEST(rig.view.lengthIndex, "lengthIndex");
    }

    void abortClosesThePort()
    {
        OpsRig rig;
        checkAbortsCleanly(
                rig, [&] { VerifyOperation(rig.context).run(); },
                [&] { return rig.status.lines.contains("Sent /R{02}"); });
    }
};

QTEST_GUILESS_MAIN(VerifyOperationTest)
#include "tst_verify_operation.moc"
