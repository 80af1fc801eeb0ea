#include "device/waiter.h"
#include "model/capacity.h"
#include "operations/read_operation.h"
#include "support/ops_rig.h"

#include <QtTest>

using opstest::OpsRig;
using Setup = std::function<void(OpsRig&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

// The screen table the failure cases must leave alone.
void fillScreen(OpsRig& rig)
{
    rig.rows.keyNames[3] = QStringLiteral("F1");
    rig.rows.strings[3] = QStringLiteral("keep{0D}");
    rig.rows.pictureShown[3] = true;
}

}  // namespace

class ReadOperationTest final : public QObject {
    Q_OBJECT

private slots:
    void fullRead_data();
    void fullRead();
    void slotAnswers_data();
    void slotAnswers();
    void failureExits_data();
    void failureExits();
    void onlyCurrentPageLinesFillDuringRun();
    void abortClosesPortAndSendsNothingMore();
};

void ReadOperationTest::fullRead_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("length 1, 93 rows") << 1;
    QTest::newRow("length 10, 23 rows") << 10;
}

void ReadOperationTest::fullRead()
{
    QFETCH(int, length);
    OpsRig rig;
    fillScreen(rig);
    rig.rows.strings[95] = QStringLiteral("old");
    rig.device.setStringLength(length);
    const int rows = capacity::maxKeysForIndex(length - 1);
    rig.device.setSlot(0, 0x1C, QByteArray("a\r"));  // A
    rig.device.setSlot(rows - 1, 0x05, QByteArray());  // F1, key only

    QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Succeeded);

    QStringList lines{"Read Operation Requested"};
    lines << opstest::presentLines() << "Sent /L?" << QStringLiteral("Response  ") + QChar('0' + length);
    QByteArray written("z/L?");
    for (int r = 0; r < rows; ++r) {
        const QByteArray answer = rig.device.slotAnswer(r);
        lines << "Sent /R" + opstest::braced(QByteArray(1, char(r))) << "Response: " + opstest::braced(answer);
        written += opstest::readCommand(r);
    }
    QCOMPARE(rig.status.lines, lines);
    QCOMPARE(rig.base.link.written(), written);
    QCOMPARE(rig.base.waiter.totalWaitedMs(), 5 + 100 + rows * 100 + 2000);

    QCOMPARE(rig.view.lengthIndex, length - 1);
    QCOMPARE(rig.rows.keyNames[0], QStringLiteral("A"));
    QCOMPARE(rig.rows.strings[0], length == 1 ? QStringLiteral("a") : QStringLiteral("a{0D}"));
    QCOMPARE(rig.rows.keyNames[rows - 1], QStringLiteral("F1"));
    QCOMPARE(rig.rows.strings[rows - 1], QString());
    QCOMPARE(rig.rows.keyNames[3], QString());  // the device's empty slot replaced the screen's row
    QCOMPARE(rig.rows.strings[95], QString());
    QVERIFY(!rig.rows.pictureShown[3]);

    QCOMPARE(rig.status.completion, QStringLiteral("Successful Read"));
    QVERIFY(rig.status.completionShown);
    QVERIFY(!rig.status.progressShown);
    QCOMPARE(rig.status.progressMax, rows - 1);
    QCOMPARE(rig.status.percentText, QStringLiteral("100%"));
    QCOMPARE(rig.view.rowCounter, rows - 1);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    QCOMPARE(rig.view.refreshes, 1);
    QVERIFY(!rig.link.isOpen());
    QVERIFY(rig.messages.infos.isEmpty());
}

void ReadOperationTest::slotAnswers_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("string");
    QTest::addColumn<QStringList>("trace");

    QTest::newRow("example row") << QByteArray::fromHex("1C61620D0000") << "A" << "ab{0D}"
                                 << QStringList{"Response: {1C}{61}{62}{0D}{00}{00}"};
    QTest::newRow("0x00 in the middle ends the string") << QByteArray::fromHex("1C6100620000") << "A" << "a"
                                                        << QStringList{"Response: {1C}{61}{00}{62}{00}{00}"};
    QTest::newRow("0x7F and blank are fields") << QByteArray::fromHex("1C7F20000000") << "A" << "{7F}{20}"
                                               << QStringList{"Response: {1C}{7F}{20}{00}{00}{00}"};
    QTest::newRow("scan code only") << QByteArray::fromHex("05") << "F1" << "" << QStringList{"Response: {05}"};
    QTest::newRow("unknown scan code is an empty row") << QByteArray::fromHex("0261620000") << "" << ""
                                                       << QStringList{"Response: {02}{61}{62}{00}{00}"};
    QTest::newRow("CMDERR is an empty slot, not key I") << QByteArray("CMDERR") << "" << ""
                                                        << QStringList{"CMDERR", "Response: "};
    QTest::newRow("no answer") << QByteArray() << "" << "" << QStringList{"No response to command received"};
}

void ReadOperationTest::slotAnswers()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, key);
    QFETCH(QString, string);
    QFETCH(QStringList, trace);
    OpsRig rig;
    rig.device.setStringLength(5);
    rig.link.answers[opstest::readCommand(1)] = answer;

    QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Succeeded);
    QCOMPARE(rig.rows.keyNames[1], key);
    QCOMPARE(rig.rows.strings[1], string);
    const int at = static_cast<int>(rig.status.lines.indexOf("Sent /R{01}"));
    QCOMPARE(rig.status.lines.mid(at + 1, trace.size()), trace);
    QCOMPARE(rig.status.lines.at(at + 1 + trace.size()), QStringLiteral("Sent /R{02}"));
    QCOMPARE(rig.view.shownRows.contains(1), !key.isEmpty());
}

void ReadOperationTest::failureExits_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("completion");
    QTest::addColumn<int>("beeps");

    const QString noDevice = "QZ4VELDT not responsing on port COM1";
    QTest::newRow("absent") << Setup([](OpsRig& r) { r.device.faults().absent = true; }) << noDevice << ""
                            << "FAILED READ" << 1;
    QTest::newRow("wrong device")
            << Setup([](OpsRig& r) { r.device.faults().presenceByte = 0x41; })
            << "Not a QZ4VELDT that is connected (received 0x41)" << "" << "FAILED READ" << 1;
    QTest::newRow("length digit 0") << Setup([](OpsRig& r) { r.link.answers["/L?"] = "0"; }) << "Response  0"
                                    << "Invalid string configuration in QZ4 ..0" << "FAILED READ" << 0;
    QTest::newRow("length letter") << Setup([](OpsRig& r) { r.link.answers["/L?"] = "A6"; }) << "Response  A6"
                                   << "Invalid string configuration in QZ4 ..A" << "FAILED READ" << 0;
    QTest::newRow("empty length answer")
            << Setup([](OpsRig& r) { r.link.answers["/L?"] = ""; }) << "Response  "
            << "Error retrieve current key overrides - the device sent no answer to the string length query"
            << "Failed Read" << 0;
    QTest::newRow("line dropped after the probe")
            << Setup([](OpsRig& r) { r.device.faults().unplugAfter = 1; }) << "Sent /L?"
            << "Error retrieve current key overrides - device /dev/fake1 was disconnected" << "Failed Read" << 0;
}

void ReadOperationTest::failureExits()
{
    QFETCH(Setup, setup);
    QFETCH(QString, lastLine);
    QFETCH(QString, message);
    QFETCH(QString, completion);
    QFETCH(int, beeps);
    OpsRig rig;
    fillScreen(rig);
    const RowTable before = rig.rows;
    setup(rig);

    QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Failed);
    QCOMPARE(rig.status.lines.constLast(), lastLine);
    QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(rig.status.completion, completion);
    QVERIFY(rig.status.completionShown);
    QCOMPARE(rig.messages.beeps, beeps);
    QVERIFY(rig.status.progressShown);
    QCOMPARE(rig.view.controlEvents, (QStringList{"disable", "enable"}));
    // The operator's table survives a device that is not there or not usable.
    QCOMPARE(rig.rows.keyNames, before.keyNames);
    QCOMPARE(rig.rows.strings, before.strings);
    QCOMPARE(rig.rows.pictureShown, before.pictureShown);
    QCOMPARE(rig.view.showPages, 0);
    QCOMPARE(rig.view.lengthIndex, 5);
    QVERIFY(!rig.base.link.written().contains("/R"));
}

void ReadOperationTest::onlyCurrentPageLinesFillDuringRun()
{
    OpsRig rig;
    rig.device.setStringLength(1);
    rig.view.page = 2;
    for (const int row : {10, 47, 48, 60, 71, 72, 92})
        rig.device.setSlot(row, 0x1C, "x");
    QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Succeeded);
    QCOMPARE(rig.view.shownRows, (QList<int>{48, 60, 71}));
    QCOMPARE(rig.rows.strings[92], QStringLiteral("x"));
}

void ReadOperationTest::abortClosesPortAndSendsNothingMore()
{
    OpsRig rig;
    qsizetype writtenAtAbort = -1;
    rig.base.waiter.setOnEvents([&] {
        if (rig.base.link.written().contains(opstest::readCommand(4)) && writtenAtAbort < 0) {
            writtenAtAbort = rig.base.link.written().size();
            rig.base.waiter.requestAbort();
        }
    });
    QVERIFY_THROWS_EXCEPTION(OperationAborted, ReadOperation(rig.context).run());
    QVERIFY(!rig.link.isOpen());
    QCOMPARE(rig.base.link.written().size(), writtenAtAbort);
    QVERIFY(!rig.status.completionShown);
}

QTEST_GUILESS_MAIN(ReadOperationTest)
#include "tst_read_operation.moc"
