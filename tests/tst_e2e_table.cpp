// Send, Read and Verify over the real serial link and waiter, against
// qz4veld-sim on a pseudo-terminal.
#include "device/event_loop_waiter.h"
#include "device/qt_serial_link.h"
#include "model/key_table.h"
#include "model/notation.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "support/fake_device.h"
#include "support/sim_process.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class E2eTableTest final : public QObject {
    Q_OBJECT

private slots:
    void sendClearReadVerify();
};

void E2eTableTest::sendClearReadVerify()
{
    // The device starts at another width: Send must set it, Read and Verify adopt it.
    QTemporaryDir dir;
    const QString arrivals = dir.filePath(QStringLiteral("arrivals"));
    fakedev::SimProcess sim({QStringLiteral("--length"), QStringLiteral("3"), QStringLiteral("--arrivals"), arrivals});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    QtSerialLink link({{1, sim.path()}});
    link.configure(1, QStringLiteral("9600,N,8,2"));
    EventLoopWaiter waiter;
    fakedev::RecordingStatus status;
    fakedev::RecordingMessages messages;
    RowTable rows;
    fakedev::RecordingView view;
    OperationContext context{link, waiter, messages, status, rows, view, 1};

    constexpr int kRows = 23;  // string length 10
    const QStringList strings{"abcdefghij", "{0D}", "a b", "{D}x", "{7b}", "~}|", "{FF}{01}", ""};
    view.lengthIndex = 9;
    for (int r = 0; r < kRows - 1; ++r) {
        rows.keyNames[r] = key_table::records().at(r * 4).keyName;
        rows.strings[r] = strings.at(r % strings.size());
    }
    const RowTable sent = rows;

    QCOMPARE(SendOperation(context).run(), SendOperation::Outcome::Succeeded);
    QCOMPARE(status.completion, "Successful Operation");

    rows = RowTable();
    view.lengthIndex = 0;
    QCOMPARE(ReadOperation(context).run(), ReadOperation::Outcome::Succeeded);
    QCOMPARE(view.lengthIndex, 9);
    for (int r = 0; r < kRows; ++r) {
        QCOMPARE(rows.keyNames[r], sent.keyNames[r]);
        QCOMPARE(notation::comparisonForm(rows.strings[r]), notation::comparisonForm(sent.strings[r]));
    }

    QCOMPARE(VerifyOperation(context).run(), VerifyOperation::Outcome::Succeeded);
    QCOMPARE(status.completion, "Successful Verification");
    for (int r = 0; r < kRows; ++r)
        QVERIFY2(rows.verified[r], qPrintable(QString::number(r)));
    QVERIFY(messages.infos.isEmpty());
    QVERIFY(!link.isOpen());

    // No command went out before the previous one's wait was over, as the device saw them arrive.
    // A busy machine runs the pseudo-terminal's kernel worker and the simulator late at times, which
    // makes single gaps look short; a wait that ends early shortens every gap of its length, so the
    // middle gap of each length is checked, to half a millisecond. The first commands meet a cold
    // simulator: they are left out.
    QFile log(arrivals);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QMap<int, QList<qint64>> gapsUs;  // by the wait owed, in ms
    for (qsizetype i = 3; i + 2 < lines.size(); ++i) {
        const QList<QByteArray> now = lines.at(i).split(' ');
        const QList<QByteArray> next = lines.at(i + 1).split(' ');
        const int owedMs = fakedev::owedWaitMs(QByteArray::fromHex(now.at(1)), QByteArray::fromHex(next.at(1)));
        gapsUs[owedMs].append(next.at(0).toLongLong() - now.at(0).toLongLong());
    }
    QCOMPARE(gapsUs.keys(), (QList<int>{5, 10, 100, 140}));
    for (auto [owedMs, gaps] : gapsUs.asKeyValueRange()) {
        std::sort(gaps.begin(), gaps.end());
        const qint64 middleUs = gaps.at(gaps.size() / 2);
        QVERIFY2(middleUs >= owedMs * 1000 - 500,
                 qPrintable(QStringLiteral("%1 ms waits: middle gap %2 us").arg(owedMs).arg(middleUs)));
    }
}

QTEST_GUILESS_MAIN(E2eTableTest)
#include "tst_e2e_table.moc"
