// Fast exchange: the same bytes and trace lines as the fixed waits, ended as
// soon as the whole answer is in, never later than the fixed wait; and the
// optional FASTEXCHANGE key of the settings file.
#include "device/protocol.h"
#include "files/settings.h"
#include "model/key_table.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "support/fake_device.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using Act = std::function<QByteArray(Protocol&)>;

namespace {

struct Run final {
    QByteArray answer;
    QStringList lines;
    QList<QByteArray> writes;
    QList<qint64> writeTimes;
    qint64 waitedMs = 0;
    RowTable rows;
};

Run record(fakedev::Rig& rig, QByteArray answer = {})
{
    return {answer, rig.status.lines, rig.link.writes(), rig.link.writeTimes(), rig.waiter.totalWaitedMs(), rig.rows};
}

// The first command whose next one went out before the command's wait was over, "" when none.
QString earlyCommand(const Run& run)
{
    for (qsizetype i = 0; i < run.writes.size(); ++i) {
        const QByteArray& command = run.writes.at(i);
        const qsizetype next = command.startsWith("/W") ? i + 3 : i + 1;  // a block goes out in three writes
        if (next >= run.writes.size())
            break;
        if (run.writeTimes.at(next) - run.writeTimes.at(i) < fakedev::owedWaitMs(command, run.writes.at(next)))
            return QString::fromLatin1(command.toHex()) + QStringLiteral(" at write %1").arg(i);
    }
    return {};
}

// One exchange on a fresh device. Single-byte answers come after a string length
// query (not counted) so that the slot width is known.
Run exchange(bool fast, int latencyMs, bool chunked, const Act& act)
{
    fakedev::Rig rig;
    rig.device.setStringLength(1);
    rig.device.setSlot(3, 0x1C, QByteArray("a"));
    Protocol protocol(rig.link, rig.waiter, rig.status, fast);
    if (chunked)
        protocol.queryStringLength();
    rig.device.faults().latencyMs = latencyMs;
    rig.device.faults().chunked = chunked;
    rig.waiter.clearRecord();
    rig.link.clearRecord();
    rig.status.lines.clear();
    const QByteArray answer = act(protocol);
    return record(rig, answer);
}

}  // namespace

class FastExchangeTest final : public QObject {
    Q_OBJECT

private slots:
    void endsWhenTheAnswerIsIn_data()
    {
        const Act query = [](Protocol& p) { return p.queryStringLength(); };
        const Act setLength = [](Protocol& p) { return p.setStringLength(1); };
        const Act version = [](Protocol& p) { return p.queryVersion().toLatin1(); };
        const Act readRow3 = [](Protocol& p) { return p.readSlot(3); };
        const Act readRow95 = [](Protocol& p) { return p.readSlot(95); };
        const Act block = [](Protocol& p) {
            p.setStringLength(1);
            p.writeSlot(3, 0x1C, "a", 1, QStringLiteral("a"));
            return p.awaitBlockAnswer(3, [&p](int row) { return !p.readSlot(row).isEmpty(); }).line.toLatin1();
        };
        QTest::addColumn<Act>("act");
        QTest::addColumn<int>("latency");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<int>("fastMs");  // virtual time the fast exchange waits
        QTest::addColumn<int>("fixedMs");
        QTest::newRow("length digit at once") << query << 0 << false << 0 << 100;
        QTest::newRow("length digit late") << query << 30 << false << 30 << 100;
        QTest::newRow("length digit too late") << query << 150 << false << 100 << 100;
        QTest::newRow("set-length ack") << setLength << 10 << false << 10 << 50;
        QTest::newRow("slot in single bytes") << readRow3 << 0 << true << 1 << 100;
        QTest::newRow("slot, width unknown") << readRow3 << 0 << false << 100 << 100;
        // No slot 95: at width 1 "CM" looks like a whole slot, the rest of the refusal is waited for.
        QTest::newRow("refusal in single bytes") << readRow95 << 0 << true << 5 << 100;
        QTest::newRow("version then quiet") << version << 0 << false << 20 << 25;
        QTest::newRow("version quiet past the cap") << version << 10 << false << 25 << 25;
        // Fast: the block window ends with the read-back, its idle rest is skipped.
        QTest::newRow("block and read-back") << block << 3 << false << 9 << 200;
    }

    void endsWhenTheAnswerIsIn()
    {
        QFETCH(Act, act);
        QFETCH(int, latency);
        QFETCH(bool, chunked);
        const Run fixed = exchange(false, latency, chunked, act);
        const Run fast = exchange(true, latency, chunked, act);
        QTEST(int(fixed.waitedMs), "fixedMs");
        QTEST(int(fast.waitedMs), "fastMs");
        QCOMPARE(fast.answer, fixed.answer);
        QCOMPARE(fast.lines, fixed.lines);
        QCOMPARE(fast.writes, fixed.writes);
    }

    void operationsSeeTheSameConversation_data()
    {
        QTest::addColumn<int>("op");  // 0 Read, 1 Verify, 2 Send
        QTest::addColumn<int>("length");
        for (const int length : {1, 3, 10})
            for (const int op : {0, 1, 2})
                QTest::addRow("%s %d", op == 0 ? "read" : op == 1 ? "verify" : "send", length) << op << length;
    }

    void operationsSeeTheSameConversation()
    {
        QFETCH(int, op);
        QFETCH(int, length);
        Run runs[2];
        for (const bool fast : {false, true}) {
            fakedev::Rig rig;
            rig.context.fastExchange = fast;
            rig.device.setStringLength(length);
            rig.device.faults().chunked = true;  // the answer grows while the fast wait polls
            for (int r = 0; r < 20; ++r) {
                // Row 2 starts like a refusal: scan code 0x43 ("C"), then "MD...".
                const int scancode = r == 2 ? 0x43 : key_table::records().at(static_cast<std::size_t>(r)).scancode;
                rig.device.setSlot(r, static_cast<std::uint8_t>(scancode), QByteArray("MDERR{").left(r % length + 1));
                rig.rows.keyNames.at(r) = key_table::keyNameForScancode(scancode);
                rig.rows.strings.at(r) = r % 2 ? "M" : length > 1 ? "x{0D}" : "x";
            }
            rig.view.lengthIndex = length - 1;
            if (op == 0)
                ReadOperation(rig.context).run();
            else
                op == 1 ? (void)VerifyOperation(rig.context).run() : (void)SendOperation(rig.context).run();
            runs[fast] = record(rig);
            QVERIFY(rig.messages.infos.isEmpty());
        }
        QCOMPARE(earlyCommand(runs[0]), QString());
        QCOMPARE(runs[1].lines, runs[0].lines);
        QCOMPARE(runs[1].writes, runs[0].writes);
        QCOMPARE(runs[1].rows.keyNames, runs[0].rows.keyNames);
        QCOMPARE(runs[1].rows.strings, runs[0].rows.strings);
        QCOMPARE(runs[1].rows.verified, runs[0].rows.verified);
        QVERIFY2(runs[1].waitedMs < runs[0].waitedMs, qPrintable(QString::number(runs[1].waitedMs)));
    }

    void settingsKey_data()
    {
        QTest::addColumn<QByteArray>("key");  // the line before, "" = none
        QTest::addColumn<int>("loaded");
        QTest::addColumn<int>("saved");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("never had it, stays off") << QByteArray() << 0 << 0 << QByteArray();
        QTest::newRow("turned on") << QByteArray() << 0 << 1 << QByteArray("FASTEXCHANGE=1\r\n");
        QTest::newRow("turned off") << QByteArray("FASTEXCHANGE=1\r\n") << 1 << 0 << QByteArray("FASTEXCHANGE=0\r\n");
        QTest::newRow("same meaning kept as written")
                << QByteArray("fastexchange = +1\r\n") << 1 << 1 << QByteArray("fastexchange = +1\r\n");
        QTest::newRow("other number kept")
                << QByteArray("FASTEXCHANGE=2\r\n") << 2 << 2 << QByteArray("FASTEXCHANGE=2\r\n");
    }

    void settingsKey()
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

QTEST_GUILESS_MAIN(FastExchangeTest)
#include "tst_fast_exchange.moc"
