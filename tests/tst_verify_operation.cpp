#include "device/protocol.h"
#include "device/waiter.h"
#include "model/capacity.h"
#include "operations/verify_key.h"
#include "operations/verify_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using opstest::OpsRig;
using Setup = std::function<void(OpsRig&)>;
Q_DECLARE_METATYPE(Setup)

class VerifyOperationTest final : public QObject {
    Q_OBJECT

private slots:
    void fullVerify_data();
    void fullVerify();
    void verifyKey_data();
    void verifyKey();
    void failedRowsAreCounted();
    void failureExits_data();
    void failureExits();
    void progressWhenDeviceLengthDiffers_data();
    void progressWhenDeviceLengthDiffers();
    void abortClosesPort();
};

void VerifyOperationTest::fullVerify_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("length 1, 93 rows") << 1;
    QTest::newRow("length 10, 23 rows") << 10;
}

void VerifyOperationTest::fullVerify()
{
    QFETCH(int, length);
    OpsRig rig;
    rig.device.setStringLength(length);
    const int rows = capacity::maxKeysForIndex(length - 1);
    rig.setRow(0, 0x1C, "\r", "A", "{D}");  // a one-digit field is the device's byte 0x0D
    rig.setRow(rows - 1, 0x05, "b", "F1", "b");
    rig.rows.strings[5] = QStringLiteral("ignored without a key");
    rig.rows.pictureTips[2] = QStringLiteral("old tip");
    rig.rows.verified[94] = true;

    QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Succeeded);

    QStringList lines{"Veriy Operation Requested"};
    lines << opstest::presentLines() << "Sent /L?" << QStringLiteral("Response  ") + QChar('0' + length);
    QByteArray written("z/L?");
    for (int r = 0; r < rows; ++r) {
        lines << "Sent /R" + opstest::braced(QByteArray(1, char(r)))
              << "Response: " + opstest::braced(rig.device.slotAnswer(r).mid(1));
        written += opstest::readCommand(r);
    }
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.base.link.written(), written);
    QCOMPARE(rig.base.waiter.totalWaitedMs(), 5 + 100 + rows * 100 + 2000);

    for (int r = 0; r < 94; ++r) {
        QCOMPARE(rig.rows.verified[r], r < rows);
        QCOMPARE(rig.rows.pictureShown[r], r < rows);
        QCOMPARE(rig.rows.pictures[r], r < rows ? StatusPicture::CheckMark : StatusPicture::QuestionMark);
    }
    QVERIFY(rig.rows.verified[94]);  // beyond the rows any length uses
    QCOMPARE(rig.rows.pictureTips[2], QString());
    QCOMPARE(rig.view.pictureRows.size(), qMin(rows, 24));
    QCOMPARE(rig.view.lengthIndex, length - 1);
    QCOMPARE(rig.status.completion, QStringLiteral("Successful Verification"));
    QVERIFY(rig.status.completionShown);
    QVERIFY(!rig.status.progressShown);
    QCOMPARE(rig.view.showPages, 2);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.messages.infos.isEmpty());
}

void VerifyOperationTest::verifyKey_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("string");
    QTest::addColumn<bool>("matches");
    QTest::addColumn<QString>("tip");  // "-" for a tip left as it was
    QTest::addColumn<QString>("trace");

    const QByteArray ab0d = QByteArray::fromHex("1C61620D0000");
    QTest::newRow("exact") << ab0d << "A" << "ab{0D}" << true << "-" << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("one-digit field") << ab0d << "A" << "ab{D}" << true << "-" << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("lower-case field") << ab0d << "A" << "ab{0d}" << true << "-" << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("field for a printable") << ab0d << "A" << "{61}b{0D}" << true << "-"
                                           << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("key differs") << ab0d << "F1" << "ab{0D}" << false << "VELD Key=A  STR=ab{0D}"
                                 << "Response: {61}{62}{0D}{00}{00}";
    QTest::newRow("string differs") << QByteArray::fromHex("05612000") << "F1" << "a" << false
                                    << "VELD Key=F1  STR=a " << "Response: {61}{20}{00}";
    QTest::newRow("device holds a brace") << QByteArray::fromHex("1C7B00") << "A" << "{7B}" << true << "-"
                                          << "Response: {7B}{00}";
    QTest::newRow("all filling, empty string") << QByteArray::fromHex("1C000000") << "A" << "" << true << "-"
                                               << "Response: {00}{00}{00}";
    QTest::newRow("string ends at 0x00") << QByteArray::fromHex("1C610062") << "A" << "a" << true << "-"
                                         << "Response: {61}{00}{62}";
    QTest::newRow("text after 0x00 is not output") << QByteArray::fromHex("1C610062") << "A" << "ab" << false
                                                   << "VELD Key=A  STR=a" << "Response: {61}{00}{62}";
    QTest::newRow("no key on either side") << QByteArray::fromHex("FF6162") << "" << "xyz" << true << "-"
                                           << "Response: {61}{62}";
    QTest::newRow("no key on the device") << QByteArray::fromHex("FF6162") << "A" << "ab" << false
                                          << "VELD Key=,STR=ab" << "Response: {61}{62}";
    QTest::newRow("no answer") << QByteArray() << "A" << "ab" << false << "VELD Key= ,STR= " << "";
    QTest::newRow("CMDERR fails even without a key") << QByteArray("CMDERR") << "" << "" << false
                                                     << "VELD refused to read this row (CMDERR)"
                                                     << "Response: {4D}{44}{45}{52}{52}";
}

void VerifyOperationTest::verifyKey()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, key);
    QFETCH(QString, string);
    QFETCH(bool, matches);
    QFETCH(QString, tip);
    QFETCH(QString, trace);
    OpsRig rig;
    rig.link.answers[opstest::readCommand(30)] = answer;
    rig.rows.keyNames[30] = key;
    rig.rows.strings[30] = string;
    rig.rows.pictureTips[30] = QStringLiteral("earlier");
    rig.view.page = 1;
    Protocol protocol(rig.link, rig.base.waiter, rig.status);

    QCOMPARE(VerifyKey(protocol, rig.rows, rig.view).check(30), matches);
    QCOMPARE(rig.rows.pictures[30], matches ? StatusPicture::CheckMark : StatusPicture::QuestionMark);
    QCOMPARE(rig.rows.pictureTips[30], tip == "-" ? QStringLiteral("earlier") : tip);
    QVERIFY(rig.rows.pictureShown[30]);
    QCOMPARE(rig.view.pictureRows, QList<int>{30});
    QStringList lines{"Sent /R{1E}"};
    if (!trace.isEmpty())
        lines << trace;
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.base.waiter.waits(), QList<int>{100});
}

void VerifyOperationTest::failedRowsAreCounted()
{
    OpsRig rig;
    rig.rows.keyNames[1] = QStringLiteral("A");
    rig.link.answers[opstest::readCommand(7)] = QByteArray();
    rig.view.page = 1;
    QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Mismatched);
    QCOMPARE(rig.status.completion, QStringLiteral(" 2 FAILED verifications"));
    QVERIFY(!rig.rows.verified[1] && !rig.rows.verified[7] && rig.rows.verified[0]);
    QCOMPARE(rig.view.pictureRows.size(), 36 - 24);  // only page 1's rows reach the screen at once
}

void VerifyOperationTest::failureExits_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("progress");
    QTest::addColumn<bool>("reset");
    QTest::addColumn<int>("lengthIndex");  // the screen's was 2, the device's is 5

    QTest::newRow("absent") << Setup([](OpsRig& r) { r.device.faults().absent = true; }) << "" << false << false << 2;
    QTest::newRow("length letter") << Setup([](OpsRig& r) { r.link.answers["/L?"] = "x"; })
                                   << "Invalid string configuration in QZ4 ..x" << true << true << 2;
    QTest::newRow("empty length answer")
            << Setup([](OpsRig& r) { r.link.answers["/L?"] = ""; })
            << "Error verifying values. the device sent no answer to the string length query" << true << true << 2;
    QTest::newRow("line dropped at row 3")
            << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 5; })
            << "Error verifying values. device /dev/fake1 was disconnected" << true << true << 5;
}

void VerifyOperationTest::failureExits()
{
    QFETCH(Setup, setup);
    QFETCH(QString, message);
    QFETCH(bool, progress);
    QFETCH(bool, reset);
    QFETCH(int, lengthIndex);
    OpsRig rig;
    rig.view.lengthIndex = 2;
    rig.rows.pictureShown.fill(true);
    rig.rows.pictureTips[3] = QStringLiteral("tip");
    rig.status.completion = QStringLiteral("before");
    rig.status.completionShown = true;
    setup(rig);

    QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Failed);
    QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(rig.messages.beeps, message.isEmpty() ? 1 : 0);
    if (message.isEmpty())
        QCOMPARE(rig.status.lines.constLast(), QStringLiteral("QZ4VELDT not responsing on port COM1"));
    QCOMPARE(rig.status.completion, QStringLiteral("Successful Verification"));
    QVERIFY(!rig.status.completionShown);
    QCOMPARE(rig.status.progressShown, progress);
    QCOMPARE(rig.rows.pictureShown[3], !reset);
    QCOMPARE(rig.rows.pictureTips[3], reset ? QString() : QStringLiteral("tip"));
    QCOMPARE(rig.view.lengthIndex, lengthIndex);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
}

void VerifyOperationTest::progressWhenDeviceLengthDiffers_data()
{
    QTest::addColumn<int>("screenLength");
    QTest::addColumn<int>("deviceLength");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("percent");
    QTest::newRow("device holds more rows: the bar stops at its end") << 10 << 1 << 22 << "100%";
    QTest::newRow("device holds fewer rows: the run ends short") << 1 << 10 << 22 << "23%";
}

void VerifyOperationTest::progressWhenDeviceLengthDiffers()
{
    QFETCH(int, screenLength);
    QFETCH(int, deviceLength);
    QFETCH(int, value);
    QFETCH(QString, percent);
    OpsRig rig;
    rig.view.lengthIndex = screenLength - 1;
    rig.device.setStringLength(deviceLength);
    QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Succeeded);
    QCOMPARE(rig.status.progressMax, capacity::maxKeysForIndex(screenLength - 1) - 1);
    QCOMPARE(rig.status.progressValue_, value);
    QCOMPARE(rig.status.percentText, percent);
    QCOMPARE(rig.view.lengthIndex, deviceLength - 1);
}

void VerifyOperationTest::abortClosesPort()
{
    OpsRig rig;
    rig.base.waiter.setOnEvents([&] {
        if (rig.status.lines.contains("Sent /R{02}"))
            rig.base.waiter.requestAbort();
    });
    QVERIFY_THROWS_EXCEPTION(OperationAborted, VerifyOperation(rig.context).run());
    QVERIFY(!rig.link.isOpen());
    QVERIFY(!rig.base.link.written().contains(opstest::readCommand(3)));
}

QTEST_GUILESS_MAIN(VerifyOperationTest)
#include "tst_verify_operation.moc"
