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

namespace {

struct Run final {
    QByteArray answer;
    QStringList lines;
    QList<QByteArray> writes;
    qint64 waitedMs = 0;
};

// One exchange on a fresh device; `prepare` runs first and is not counted.
Run exchange(bool fast, int latencyMs, bool chunked, const std::function<void(Protocol&)>& prepare,
             const std::function<QByteArray(Protocol&)>& act)
{
    fakedev::Rig rig;
    rig.device.setStringLength(1);
    rig.device.setSlot(3, 0x1C, QByteArray("a"));
    Protocol protocol(rig.link, rig.waiter, rig.status, fast);
    if (prepare)
        prepare(protocol);
    rig.device.faults().latencyMs = latencyMs;
    rig.device.faults().chunked = chunked;
    rig.waiter.clearRecord();
    rig.link.clearRecord();
    rig.status.lines.clear();
    Run run;
    run.answer = act(protocol);
    run.lines = rig.status.lines;
    run.writes = rig.link.writes();
    run.waitedMs = rig.waiter.totalWaitedMs();
    return run;
}

}  // namespace

class FastExchangeTest final : public QObject {
    Q_OBJECT

private slots:
    void endsWhenTheAnswerIsIn_data();
    void endsWhenTheAnswerIsIn();
    void operationsSeeTheSameConversation_data();
    void operationsSeeTheSameConversation();
    void settingsKey_data();
    void settingsKey();
};

void FastExchangeTest::endsWhenTheAnswerIsIn_data()
{
    using Act = std::function<QByteArray(Protocol&)>;
    using Prepare = std::function<void(Protocol&)>;
    const Act query = [](Protocol& p) { return p.queryStringLength(); };
    const Act set = [](Protocol& p) { return p.setStringLength(1); };
    const Act version = [](Protocol& p) { return p.queryVersion().toLatin1(); };
    const Act readRow3 = [](Protocol& p) { return p.readSlot(3); };
    const Act readRefused = [](Protocol& p) { return p.readSlot(95); };  // no such slot: CMDERR
    const Prepare knowsLength = [](Protocol& p) { p.queryStringLength(); };
    QTest::addColumn<Act>("act");
    QTest::addColumn<Prepare>("prepare");
    QTest::addColumn<int>("latency");
    QTest::addColumn<bool>("chunked");
    QTest::addColumn<int>("fastMs");  // virtual time the fast exchange waits
    QTest::addColumn<int>("fixedMs");

    QTest::newRow("length digit at once") << query << Prepare() << 0 << false << 1 << 100;
    QTest::newRow("length digit late") << query << Prepare() << 30 << false << 30 << 100;
    QTest::newRow("length digit too late") << query << Prepare() << 150 << false << 100 << 100;
    QTest::newRow("set-length ack") << set << Prepare() << 10 << false << 10 << 50;
    QTest::newRow("slot in single bytes") << readRow3 << knowsLength << 0 << true << 1 << 100;
    QTest::newRow("slot, width unknown") << readRow3 << Prepare() << 0 << false << 100 << 100;
    // At width 1 "CM" looks like a whole slot: the rest of the refusal is waited for.
    QTest::newRow("refusal in single bytes") << readRefused << knowsLength << 0 << true << 5 << 100;
    QTest::newRow("version then quiet") << version << Prepare() << 0 << false << 21 << 25;
    QTest::newRow("version quiet past the cap") << version << Prepare() << 10 << false << 25 << 25;
}

void FastExchangeTest::endsWhenTheAnswerIsIn()
{
    QFETCH(std::function<QByteArray(Protocol&)>, act);
    QFETCH(std::function<void(Protocol&)>, prepare);
    QFETCH(int, latency);
    QFETCH(bool, chunked);
    QFETCH(int, fastMs);
    QFETCH(int, fixedMs);
    const Run fixed = exchange(false, latency, chunked, prepare, act);
    const Run fast = exchange(true, latency, chunked, prepare, act);
    QCOMPARE(fixed.waitedMs, fixedMs);
    QCOMPARE(fast.waitedMs, fastMs);
    QCOMPARE(fast.answer, fixed.answer);
    QCOMPARE(fast.lines, fixed.lines);
    QCOMPARE(fast.writes, fixed.writes);
}

void FastExchangeTest::operationsSeeTheSameConversation_data()
{
    QTest::addColumn<int>("op");  // 0 Read, 1 Verify, 2 Send
    QTest::addColumn<int>("length");
    for (const int length : {1, 3, 10}) {
        QTest::addRow("read %d", length) << 0 << length;
        QTest::addRow("verify %d", length) << 1 << length;
        QTest::addRow("send %d", length) << 2 << length;
    }
}

void FastExchangeTest::operationsSeeTheSameConversation()
{
    QFETCH(int, op);
    QFETCH(int, length);
    Run runs[2];
    RowTable tables[2];
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
            rig.rows.strings.at(r) = r % 2 ? QStringLiteral("M") : length > 1 ? QStringLiteral("x{0D}") : QStringLiteral("x");
        }
        rig.view.lengthIndex = length - 1;
        if (op == 0)
            ReadOperation(rig.context).run();
        else if (op == 1)
            VerifyOperation(rig.context).run();
        else
            SendOperation(rig.context).run();
        runs[fast].lines = rig.status.lines;
        runs[fast].writes = rig.link.writes();
        runs[fast].waitedMs = rig.waiter.totalWaitedMs();
        tables[fast] = rig.rows;
        QVERIFY(rig.messages.infos.isEmpty());
    }
    QCOMPARE(runs[1].lines, runs[0].lines);
    QCOMPARE(runs[1].writes, runs[0].writes);
    QCOMPARE(tables[1].keyNames, tables[0].keyNames);
    QCOMPARE(tables[1].strings, tables[0].strings);
    QCOMPARE(tables[1].verified, tables[0].verified);
    QVERIFY2(runs[1].waitedMs < runs[0].waitedMs, qPrintable(QString::number(runs[1].waitedMs)));
}

void FastExchangeTest::settingsKey_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<int>("saved");
    QTest::addColumn<QByteArray>("after");
    const QByteArray base = "[COMSETTINGS]\r\nPORT=1\r\nBAUD=9600\r\nPARITY=N\r\n[GENERAL]\r\nENABLESTRINGS=0\r\n";
    QTest::newRow("never had it, stays off") << base << 0 << 0 << base;
    QTest::newRow("turned on") << base << 0 << 1 << base + "FASTEXCHANGE=1\r\n";
    QTest::newRow("turned off") << base + "FASTEXCHANGE=1\r\n" << 1 << 0 << base + "FASTEXCHANGE=0\r\n";
    QTest::newRow("same meaning kept as written") << base + "fastexchange = +1\r\n" << 1 << 1 << base + "fastexchange = +1\r\n";
    QTest::newRow("other number kept") << base + "FASTEXCHANGE=2\r\n" << 2 << 2 << base + "FASTEXCHANGE=2\r\n";
}

void FastExchangeTest::settingsKey()
{
    QFETCH(QByteArray, before);
    QFETCH(int, loaded);
    QFETCH(int, saved);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QZ4Vel.ini"));
    QVERIFY(test_files::writeAll(path, before));
    settings_file::LoadResult result = settings_file::load(path);
    QCOMPARE(result.errors, QStringList());
    QCOMPARE(result.settings.fastExchange, loaded);
    result.settings.fastExchange = saved;
    settings_file::save(path, result.settings);
    QCOMPARE(test_files::readAll(path), after);
}

QTEST_GUILESS_MAIN(FastExchangeTest)
#include "tst_fast_exchange.moc"
