// Version, Read, Verify and Send against the simulated device on a virtual clock, with fixed waits and with
// the fast exchange; and the FASTEXCHANGE key of the settings file.
#include "device/protocol.h"
#include "files/settings.h"
#include "model/capacity.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_key.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"
#include "support/data_row.h"
#include "support/fake_device.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using fakedev::Rig;
using Setup = std::function<void(Rig&)>;  // a data column: how one case differs
using Act = std::function<QByteArray(Protocol&)>;
using test_data::row;
Q_DECLARE_METATYPE(Setup)

namespace {

QString markedLine(int marks)
{
    return "Check for QZ4VELDT attached" + QStringLiteral(" *").repeated(marks);
}

// The two lines of a device that answered the first presence probe.
QStringList presentLines()
{
    return {markedLine(1), QStringLiteral("QZ4VELDT responded after 1 tries")};
}

QByteArray readCommand(int row)
{
    return QByteArray("/R").append(static_cast<char>(row));
}

QByteArray block(int row, int scancode, const QByteArray& bytes)
{
    return QByteArray("/W").append(char(row)).append(char(scancode)).append(bytes);
}

// Every byte as "{hh}", two upper-case digits.
QString braced(const QByteArray& bytes)
{
    QString text;
    for (const char byte : bytes)
        text += QStringLiteral("{%1}").arg(static_cast<unsigned char>(byte), 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

// The narrowest and the widest slots.
void addLengthRows()
{
    QTest::addColumn<int>("length");
    row("length 1, 93 rows", 1);
    row("length 10, 23 rows", 10);
}

// How a run left the screen, a fact an item: the completion label, the progress bar, the port (left open by a
// failure that did not lose the line), the controls.
QStringList ending(const Rig& rig)
{
    return {rig.status.completionShown ? "shown: " + rig.status.completion : "hidden",
            rig.status.progressShown ? "bar up" : "bar down", rig.link.isOpen() ? "port open" : "port closed",
            rig.view.controlEvents.join(' ')};
}

QStringList endedWith(const QString& completion)
{
    return {"shown: " + completion, "bar down", "port closed", "disable enable"};
}

// The lines, bytes and waits of a run that asked the string length and then read every row the device holds,
// each answer braced from byte `from` on (0: Read's form, 1: Verify's form); the screen then shows the
// device's length.
void checkSlotWalk(Rig& rig, const QString& requested, int from)
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
    QCOMPARE(rig.link.written(), written);
    QCOMPARE(rig.waiter.totalWaitedMs(), 5 + 100 + rows * 100 + 2000);
    QCOMPARE(rig.view.lengthIndex, length - 1);
}

// One exchange on a fresh device, its answer; single-byte answers come after a string length query (not
// recorded) so that the slot width is known.
QByteArray exchange(Rig& rig, bool fast, int latencyMs, bool chunked, const Act& act)
{
    rig.device.setStringLength(1);
    rig.device.setSlot(3, 0x1C, QByteArray("a"));
    Protocol protocol(rig.link, rig.waiter, rig.status, fast);
    if (chunked)
        protocol.queryStringLength();
    std::tie(rig.device.faults().latencyMs, rig.device.faults().chunked) = std::tuple(latencyMs, chunked);
    rig.waiter.clearRecord();
    rig.link.clearRecord();
    rig.status.lines.clear();
    return act(protocol);
}

}  // namespace

class OperationsTest final : public QObject {
    Q_OBJECT

private slots:
    // A successful run is the end-to-end tests'.
    void versionFailures_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("lines");
        const QStringList asked{"Requesting Version", "Version = ???"};
        row("empty version", Setup([](Rig& r) { r.device.setVersion(QByteArray()); }), presentLines() + asked);
        row("absent: still asked", Setup([](Rig& r) { r.device.faults().absent = true; }),
            QStringList{markedLine(8), "QZ4VELDT not responsing on port COM1"} + asked);
    }
    void versionFailures()
    {
        QFETCH(Setup, setup);
        Rig rig;
        setup(rig);
        rig.status.add(QStringLiteral("left from the last operation"));
        QCOMPARE(VersionOperation(rig.context).run(), VersionOperation::Outcome::Failed);
        QTEST(rig.status.lines, "lines");
        QCOMPARE(rig.messages.infos, QStringList());
        QCOMPARE(ending(rig), endedWith("FAILED OPERATION"));
    }

    void fullRead_data() { addLengthRows(); }
    void fullRead()
    {
        QFETCH(int, length);
        Rig rig;
        rig.rows.keyNames[3] = "F1";
        rig.rows.strings[95] = "old";
        rig.device.setStringLength(length);
        const int rows = rig.device.capacity();
        rig.device.setSlot(0, 0x1C, "a\r");
        rig.device.setSlot(rows - 1, 0x05, "");
        rig.device.setSlot(3, 0x02, "x");  // no key has scan code 2: the row stays empty

        QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Succeeded);
        checkSlotWalk(rig, "Read Operation Requested", 0);
        QCOMPARE(rig.rows.strings[0], length == 1 ? "a" : "a{0D}");
        QCOMPARE(rig.rows.keyNames[rows - 1], "F1");
        QCOMPARE(rig.rows.keyNames[3], QString());
        QCOMPARE(rig.rows.strings[3], QString());
        QCOMPARE(rig.rows.strings[95], QString());
        QCOMPARE(rig.view.shownRows, (rows < 24 ? QList<int>{0, rows - 1} : QList<int>{0}));
        QCOMPARE(rig.status.percentText, "100%");
        QCOMPARE(ending(rig), endedWith("Successful Read"));
    }

    // Rows 1 and 3 (length 6) answered so that they cannot be read: they stay empty, carry the question mark
    // with the reason, are counted, and one line names them.
    void slotAnswers_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QStringList>("trace");
        QTest::addColumn<QString>("tip");
        row("wider than the slot", QByteArray("\034abcdefg"), QStringList{"Response: {1C}{61}{62}{63}{64}{65}{66}{67}"},
            "VELD answered 8 bytes where a slot holds 7");
        row("cut short", QByteArray("\034a"), QStringList{"Response: {1C}{61}"},
            "VELD answered 2 bytes where a slot holds 7");
        row("filling that is not 0x00", QByteArray("\034a\0\0\0\0A", 7),
            QStringList{"Response: {1C}{61}{00}{00}{00}{00}{41}"},
            "VELD holds {00}{00}{00}{00}{41} after the string's end, where only 0x00 belongs");
        row("CMDERR is empty, not key I", QByteArray("CMDERR"), QStringList{"CMDERR", "Response: "},
            "VELD refused to read this row (CMDERR)");
        row("no answer", QByteArray(), QStringList{"No response to command received"}, "VELD gave no answer");
    }
    void slotAnswers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QStringList, trace);
        QFETCH(QString, tip);
        Rig rig;
        rig.scripted.answers[readCommand(1)] = rig.scripted.answers[readCommand(3)] = answer;
        QCOMPARE(ReadOperation(rig.context).run(), ReadOperation::Outcome::Incomplete);
        QCOMPARE(ending(rig), endedWith(" 2 rows not read"));
        QCOMPARE(rig.status.lines.constLast(), "Rows not read: 1, 3");
        QCOMPARE(rig.messages.beeps, 1);
        QCOMPARE(rig.rows.keyNames[1] + rig.rows.strings[1], QString());
        QCOMPARE(rig.rows.pictures[1], StatusPicture::QuestionMark);
        QCOMPARE(rig.rows.pictureTips[1], "Not read: " + tip);
        QCOMPARE(rig.view.pictureRows, (QList<int>{1, 3}));
        QVERIFY(rig.rows.pictureShown[3] && !rig.rows.pictureShown[2]);
        const qsizetype at = rig.status.lines.indexOf("Sent /R{01}") + 1;
        QCOMPARE(rig.status.lines.mid(at, trace.size() + 1), trace + QStringList{"Sent /R{02}"});
    }

    void fullVerify_data() { addLengthRows(); }
    void fullVerify()
    {
        QFETCH(int, length);
        Rig rig;
        rig.device.setStringLength(length);
        const int rows = rig.device.capacity();
        rig.device.setSlot(0, 0x1C, "\r");
        std::tie(rig.rows.keyNames[0], rig.rows.strings[0], rig.rows.strings[5]) =
                std::tuple("A", "{D}", "no key: ignored");
        rig.rows.keyNames[1] = "F1";  // the device's slot 1 holds no key
        rig.rows.verified[94] = true;

        QCOMPARE(VerifyOperation(rig.context).run(), VerifyOperation::Outcome::Mismatched);
        checkSlotWalk(rig, "Veriy Operation Requested", 1);
        for (int r = 0; r < 95; ++r) {
            QCOMPARE(rig.rows.verified[r], (r < rows && r != 1) || r == 94);
            QCOMPARE(rig.rows.pictureShown[r], r < rows);
        }
        QCOMPARE(rig.view.pictureRows.size(), qMin(rows, 24));
        // The bar is the screen's (length 6, rows 0-35): it stops at its end, or the run ends short of it.
        QCOMPARE(rig.status.progressMax, 35);
        QCOMPARE(rig.status.progressValue_, length == 1 ? 35 : 22);
        QCOMPARE(rig.status.percentText, length == 1 ? "100%" : "62%");
        QCOMPARE(ending(rig), endedWith(" 1 FAILED verifications"));
    }

    // Verify against a device at length 6 (36 empty rows) compares everything the table holds: rows beyond what
    // the device keeps, the file's own length on the command line, every answer's full width.
    void verifyComparesEverything_data()
    {
        QTest::addColumn<int>("lengthIndex");  // the table's before the run
        QTest::addColumn<bool>("fileLength");  // the command line's verify: the file's length is compared too
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("line");  // the line naming what failed, "" for none
        QTest::addColumn<int>("failed");
        const Setup beyond = [](Rig& r) { std::tie(r.rows.strings[40], r.rows.keyNames[60]) = std::tuple("x", "A"); };
        row("rows beyond the device's", 0, false, beyond, "Rows the device cannot hold at string length 6: 40, 60", 2);
        row("window: another length alone", 9, false, Setup(), QString(), 0);
        row("file: another length", 9, true, Setup(), "The device's string length is 6, the file's is 10", 1);
        row("file: the same length", 5, true, Setup(), QString(), 0);
        row("a slot cut short", 5, false, Setup([](Rig& r) { r.scripted.answers[readCommand(2)] = "\xFF"; }), QString(),
            1);
    }
    void verifyComparesEverything()
    {
        QFETCH(bool, fileLength);
        QFETCH(Setup, setup);
        QFETCH(QString, line);
        QFETCH(int, failed);
        Rig rig;
        QFETCH(int, lengthIndex);
        rig.view.lengthIndex = lengthIndex;
        if (setup)
            setup(rig);
        VerifyOperation verify(rig.context);
        if (fileLength)
            verify.compareStringLength();
        QCOMPARE(verify.run(), failed ? VerifyOperation::Outcome::Mismatched : VerifyOperation::Outcome::Succeeded);
        QCOMPARE(verify.failedRows(), failed);
        QCOMPARE(rig.status.lines.filter(QRegularExpression("string length (is )?\\d")),
                 line.isEmpty() ? QStringList() : QStringList{line});
        QCOMPARE(rig.rows.pictureShown[60], rig.rows.keyNames[60] == "A");
        QCOMPARE(rig.rows.pictures[60], StatusPicture::QuestionMark);
    }

    // Row 30, on the page shown: the device's answer against the screen's key and string.
    void verifyKey_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("keyAndString");
        QTest::addColumn<QStringList>("tipAndTrace");  // an empty tip: a match
        const QByteArray ab0d("\034ab\r\0", 5);
        row("key differs", ab0d, "F1 ab{0D}", QStringList{"VELD Key=A  STR=ab{0D}", "Response: {61}{62}{0D}{00}"});
        row("string differs", QByteArray("\005a "), "F1 a", QStringList{"VELD Key=F1  STR=a ", "Response: {61}{20}"});
        row("scan code only", QByteArray("\x05"), "F1 ", QStringList{"", "Response: "});
        row("filling that is not 0x00", QByteArray("\034a\0b", 4), "A a",
            QStringList{"VELD holds {00}{62} after the string's end, where only 0x00 belongs",
                        "Response: {61}{00}{62}"});
        row("no key on device", QByteArray("\377a\r"), "A a", QStringList{"VELD Key=,STR=a{0D}", "Response: {61}{0D}"});
        row("no answer", QByteArray(), "A ab", QStringList{"VELD Key= ,STR= "});
        row("CMDERR", QByteArray("CMDERR"), " ",
            QStringList{"VELD refused to read this row (CMDERR)", "Response: {4D}{44}{45}{52}{52}"});
    }
    void verifyKey()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, keyAndString);
        QFETCH(QStringList, tipAndTrace);
        Rig rig;
        rig.scripted.answers[readCommand(30)] = answer;
        std::tie(rig.rows.keyNames[30], rig.rows.strings[30]) =
                std::tuple(keyAndString.section(' ', 0, 0), keyAndString.section(' ', 1));
        rig.view.page = 1;
        Protocol protocol(rig.scripted, rig.waiter, rig.status);

        const QString tip = tipAndTrace.takeFirst();
        QCOMPARE(VerifyKey(protocol, rig.rows, rig.view).check(30), tip.isEmpty());
        QCOMPARE(rig.rows.pictures[30], tip.isEmpty() ? StatusPicture::CheckMark : StatusPicture::QuestionMark);
        QCOMPARE(rig.rows.pictureTips[30], tip);
        QVERIFY(rig.rows.pictureShown[30]);
        QCOMPARE(rig.view.pictureRows, QList<int>{30});
        QCOMPARE(rig.status.lines, QStringList{"Sent /R{1E}"} + tipAndTrace);
    }

    // Row 3 as "key string tip shown"; the screen's string length was 2, the device's is 6.
    void readVerifyFailures_data()
    {
        QTest::addColumn<bool>("verify");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message");  // none: a beep
        QTest::addColumn<QStringList>("ending");
        QTest::addColumn<QStringList>("row3");  // key, string, picture tip, picture shown
        QTest::addColumn<int>("lengthIndex");
        const Setup absent = [](Rig& r) { r.device.faults().absent = true; };
        const QStringList kept{"F1", "keep{0D}", "tip", "1"};
        row("read, absent", false, absent, QString(),
            QStringList{"shown: FAILED READ", "bar up", "port open", "disable enable"}, kept, 2);
        // Absent: nothing reset and no progress; later exits: rows reset, progress left up.
        row("verify, absent", true, absent, QString(), QStringList{"hidden", "bar down", "port open", "disable enable"},
            kept, 2);
        row("verify, line dropped at row 3", true, Setup([](Rig& r) { r.device.faults().unplugAfter = 5; }),
            "Error verifying values. device /dev/fake1 was disconnected",
            QStringList{"hidden", "bar up", "port closed", "disable enable"}, QStringList{"F1", "keep{0D}", "", "0"},
            5);
    }
    void readVerifyFailures()
    {
        QFETCH(bool, verify);
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        Rig rig;
        rig.view.lengthIndex = 2;
        std::tie(rig.rows.keyNames[3], rig.rows.strings[3], rig.rows.pictureTips[3], rig.rows.pictureShown[3]) =
                std::tuple("F1", "keep{0D}", "tip", true);
        setup(rig);

        QVERIFY(verify ? VerifyOperation(rig.context).run() == VerifyOperation::Outcome::Failed
                       : ReadOperation(rig.context).run() == ReadOperation::Outcome::Failed);
        QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(rig.messages.beeps, message.isEmpty() ? 1 : 0);
        QTEST(ending(rig), "ending");
        QTEST(QStringList({rig.rows.keyNames[3], rig.rows.strings[3], rig.rows.pictureTips[3],
                           QString::number(rig.rows.pictureShown[3])}),
              "row3");
        QTEST(rig.view.lengthIndex, "lengthIndex");
    }

    void fullSend_data() { addLengthRows(); }
    void fullSend()
    {
        QFETCH(int, length);
        Rig rig;
        rig.view.lengthIndex = length - 1;
        const int rows = capacity::maxKeysForIndex(length - 1);
        std::tie(rig.rows.keyNames[0], rig.rows.strings[0]) = std::tuple("A", "{D}");
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
        QCOMPARE(rig.link.written(), written);
        QCOMPARE(rig.waiter.totalWaitedMs(), 5 + 50 + rows * (50 + 100) + 1000);
        QCOMPARE(rig.device.stringLength(), length);
        for (int r = 0; r < RowTable::kRows; ++r)
            QCOMPARE(rig.rows.pictureShown[r], r < rows);
        QCOMPARE(rig.rows.pictures[rows - 1], StatusPicture::CheckMark);
        QCOMPARE(rig.status.percentText, "100%");
        QCOMPARE(ending(rig), endedWith("Successful Operation"));
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Row 1 (length 6) goes wrong; the run goes on with row 2.
    void blockOutcomes_data()
    {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QStringList>("rowLines");  // row 1's lines
        QTest::addColumn<int>("commands");  // all the device parsed: no block went out short
        const QByteArray block1 = block(1, 0xFF, QByteArray(6, 0));
        const QStringList readBack{"Sent /R{01}", "Response: {00}{00}{00}{00}{00}{00}", "FAILED to verify blk# 1"};
        row("key not in the table is sent as 00", Setup([](Rig& r) { r.rows.keyNames[1] = "Nope"; }),
            QStringList{"/W{1}{0}"} + readBack, 2 + 36 + 36);
        // Nor is it taken for the next block's, nor for any answer after it.
        row("acknowledge after the window", Setup([](Rig& r) { r.device.faults().lateBlockRow = 1; }),
            QStringList{"/W{1}{FF}", "timeout"}, 2 + 36 + 35);
        row("ack with the wrong row", Setup([=](Rig& r) { r.scripted.answers[block1] = "\x06\x07"; }),
            QStringList{"/W{1}{FF}", "{6}{7}"}, 2 + 36 + 35);
        // Its late answer, in front of row 2's acknowledge, is not row 2's answer.
        row("read back after its wait", Setup([](Rig& r) { r.device.faults().lateReadRow = 1; }),
            QStringList{"/W{1}{FF}", "Sent /R{01}", "FAILED to verify blk# 1"}, 2 + 36 + 36);
        row("read back differs", Setup([](Rig& r) { r.scripted.answers[readCommand(1)] = "\x1Cz"; }),
            QStringList{"/W{1}{FF}", "Sent /R{01}", "Response: {7A}", "FAILED to verify blk# 1"}, 2 + 36 + 36);
        row("made too long after the check: not sent",
            Setup([](Rig& r) { r.waiter.setOnEvents([&r] { r.rows.strings[1] = "abcdefg"; }); }),
            QStringList{"Row 1 not sent: its string is longer than 6"}, 2 + 35 + 35);
    }
    void blockOutcomes()
    {
        QFETCH(Setup, setup);
        QFETCH(QStringList, rowLines);
        Rig rig;
        setup(rig);
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Incomplete);
        const qsizetype at = rig.status.lines.indexOf("success  blk# 0") + 1;
        QCOMPARE(rig.status.lines.mid(at, rowLines.size() + 1), rowLines + QStringList{"/W{2}{FF}"});
        QCOMPARE(rig.status.completion, " 1 FAILED blocks");
        QCOMPARE(rig.rows.pictures[1], StatusPicture::QuestionMark);
        QTEST(rig.device.commandCount(), "commands");
    }

    // A Send that ends early says what the device now holds: nothing changed only after a clear refusal of the
    // length; a restart leaves only the acknowledged blocks certain.
    void sendSaysWhatTheDeviceHolds_data()
    {
        QTest::addColumn<QByteArray>("command");  // answered with `answer`
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("completion");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("lastLine");
        const QString mayHold =
                "The device may hold an incomplete table: the string length went out, no rows written. Send again.";
        row("length refused", QByteArray("/L6"), QByteArray("CMDERR"), "FAILED OPERATION", QString(),
            "FAILED to set string length to 6");
        row("length not acknowledged", QByteArray("/L6"), QByteArray(), "FAILED OPERATION", QString(), mayHold);
        row("length acknowledge garbled", QByteArray("/L6"), QByteArray("~#\x06"), "FAILED OPERATION", QString(),
            mayHold);
        const QString holds = "The device now holds an incomplete table: rows 0 to 2 written, row 3 may be written, "
                              "the rows after 3 not written. Send again.";
        row("restart at block 3", block(3, 0xFF, QByteArray(6, 0)), QByteArray("\xE8"), "FATAL ERROR",
            "Error sending to QZ4VELD. the device restarted in the middle of the run (it sent its presence "
            "mark E8 unasked)\n"
                    + holds,
            holds);
    }
    void sendSaysWhatTheDeviceHolds()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        Rig rig;
        rig.scripted.answers[command] = answer;
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Failed);
        QTEST(rig.status.completion, "completion");
        QFETCH(QString, message);
        QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
        QTEST(rig.status.lines.constLast(), "lastLine");
    }

    // Every row is checked before the device's table is erased.
    void unsendableTableIsNotSent()
    {
        Rig rig;
        rig.rows.strings[35] = "abcdef{07}";
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Failed);
        QCOMPARE(rig.status.lines, QStringList{"Write Operation Requested"});
        QCOMPARE(rig.messages.infos,
                 QStringList{"String at position 35 is longer than 6. This is invalid and you "
                             "must fix it before continuing."});
        QCOMPARE(ending(rig), endedWith("Operation Aborted"));
        QCOMPARE(rig.link.written(), QByteArray());
    }

    void rowsAreTakenWhenTheirBlockIsBuilt()
    {
        Rig rig;
        rig.waiter.setOnEvents([&] {
            if (rig.status.lines.contains("/W{1}{FF}"))
                std::tie(rig.rows.keyNames[3], rig.rows.strings[3]) = std::tuple("F1", "new");
        });
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Succeeded);
        QVERIFY(rig.status.lines.contains("/W{3}{5}new"));
        QCOMPARE(rig.device.slotAnswer(3), QByteArray("\x05new\0\0\0", 7));
    }

    // A stop (the window closing) at the first wait after the status list shows `after`: the port is closed,
    // nothing goes out after it, and a Send that set the length says what the device now holds.
    void stops_data()
    {
        QTest::addColumn<char>("op");  // 'V'ersion, 'R'ead, 'v'erify or 'S'end
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("lastLine");
        const QString incomplete = "The device now holds an incomplete table: %1 not written. Send again.";
        row("version, absent", 'V', markedLine(2), markedLine(2));
        row("read", 'R', "Sent /R{04}", "Sent /R{04}");
        row("verify", 'v', "Sent /R{02}", "Sent /R{02}");
        row("send, presence check", 'S', markedLine(1), markedLine(1));  // nothing changed yet
        row("send, length", 'S', "Sent /L6",
            "The device may hold an incomplete table: the string length went out, no rows written. Send again.");
        row("send, block 4", 'S', "/W{4}{FF}",
            incomplete.arg("rows 0 to 3 written, row 4 may be written, the rows after 4"));
        row("send, read-back 4", 'S', "Sent /R{04}", incomplete.arg("rows 0 to 4 written, the rows after 4"));
        row("send, closing pause", 'S', "success  blk# 23",
            "The device now holds the complete table: rows 0 to 35 written.");
    }
    void stops()
    {
        QFETCH(char, op);
        QFETCH(QString, after);
        Rig rig;
        rig.device.faults().absent = op == 'V';
        qsizetype sent = -1;
        rig.waiter.setOnEvents([&] {
            if (sent < 0 && rig.status.lines.contains(after)) {
                sent = rig.link.written().size();
                rig.waiter.requestAbort();
            }
        });
        if (op == 'V')
            QVERIFY_THROWS_EXCEPTION(OperationAborted, VersionOperation(rig.context).run());
        else if (op == 'R')
            QVERIFY_THROWS_EXCEPTION(OperationAborted, ReadOperation(rig.context).run());
        else if (op == 'v')
            QVERIFY_THROWS_EXCEPTION(OperationAborted, VerifyOperation(rig.context).run());
        else
            QVERIFY_THROWS_EXCEPTION(OperationAborted, SendOperation(rig.context).run());
        QVERIFY(!rig.link.isOpen());
        QCOMPARE(rig.link.written().size(), sent);
        QTEST(rig.status.lines.constLast(), "lastLine");
        QCOMPARE(rig.messages.infos, QStringList());
        QVERIFY(!rig.status.completionShown);
    }

    void fastExchangeEndsWhenTheAnswerIsIn_data()
    {
        const Act query = [](Protocol& p) { return p.queryStringLength(); };
        const Act version = [](Protocol& p) { return p.queryVersion().toLatin1(); };
        const Act readRow3 = [](Protocol& p) { return p.readSlot(3); };
        QTest::addColumn<Act>("act");
        QTest::addColumn<int>("latency");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<int>("fastMs");  // virtual time the fast exchange waits
        QTest::addColumn<int>("fixedMs");
        row("length digit at once", query, 0, false, 0, 100);
        row("length digit late", query, 30, false, 30, 100);
        row("length digit too late", query, 250, false, 200, 200);
        row("set-length ack", Act([](Protocol& p) { return p.setStringLength(1); }), 10, false, 10, 50);
        row("slot in single bytes", readRow3, 0, true, 1, 100);
        row("slot, width unknown", readRow3, 0, false, 100, 100);
        // No slot 95: at width 1 "CM" looks like a whole slot, the rest of the refusal is waited for.
        row("refusal in single bytes", Act([](Protocol& p) { return p.readSlot(95); }), 0, true, 5, 100);
        row("version then quiet", version, 0, false, 100, 100);
        row("version quiet past the wait", version, 10, false, 110, 110);
    }
    void fastExchangeEndsWhenTheAnswerIsIn()
    {
        QFETCH(Act, act);
        QFETCH(int, latency);
        QFETCH(bool, chunked);
        Rig fixed, fast;
        QCOMPARE(exchange(fast, true, latency, chunked, act), exchange(fixed, false, latency, chunked, act));
        QTEST(int(fixed.waiter.totalWaitedMs()), "fixedMs");
        QTEST(int(fast.waiter.totalWaitedMs()), "fastMs");
        QCOMPARE(fast.status.lines, fixed.status.lines);
        QCOMPARE(fast.link.writes(), fixed.link.writes());
    }

    void fastExchangeSettingsKey_data()
    {
        QTest::addColumn<QByteArray>("key");  // the line before, "" = none
        QTest::addColumn<int>("loaded");
        QTest::addColumn<int>("saved");
        QTest::addColumn<QByteArray>("after");
        row("turned on", QByteArray(), 0, 1, QByteArray("FASTEXCHANGE=1\r\n"));
        row("turned off", QByteArray("FASTEXCHANGE=1\r\n"), 1, 0, QByteArray("FASTEXCHANGE=0\r\n"));
        row("same meaning kept as written", QByteArray("fastexchange = +1\r\n"), 1, 1,
            QByteArray("fastexchange = +1\r\n"));
        row("other number kept", QByteArray("FASTEXCHANGE=2\r\n"), 2, 2, QByteArray("FASTEXCHANGE=2\r\n"));
    }
    void fastExchangeSettingsKey()
    {
        QFETCH(QByteArray, key);
        QFETCH(int, saved);
        QFETCH(QByteArray, after);
        const QByteArray base = "[COMSETTINGS]\r\nPORT=1\r\nBAUD=9600\r\nPARITY=N\r\n[GENERAL]\r\nENABLESTRINGS=0\r\n";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("QZ4Vel.ini"));
        QVERIFY(test_files::writeAll(path, base + key));
        settings_file::LoadResult result = settings_file::load(path);
        QCOMPARE(result.errors, QStringList());
        QTEST(result.settings.fastExchange, "loaded");
        result.settings.fastExchange = saved;
        settings_file::save(path, result.settings);
        QCOMPARE(test_files::readAll(path), base + after);
    }
};

QTEST_GUILESS_MAIN(OperationsTest)
#include "tst_operations.moc"
