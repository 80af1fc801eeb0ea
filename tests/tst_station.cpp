// The production station's parts; whole stations run in tst_e2e_runs (command line) and tst_main_window.
#include "operations/send_operation.h"
#include "station/station_table.h"
#include "support/fake_device.h"

#include <QtTest>

class TstStation final : public QObject {
    Q_OBJECT

private slots:
    // The record's sha256 is of exactly what Send writes after the presence checks; notes and rows beyond the
    // string length do not count.
    void sha256OfWhatSendWrites()
    {
        fakedev::Rig rig;
        rig.view.lengthIndex = 2;
        std::tie(rig.rows.keyNames[0], rig.rows.strings[0]) = std::tuple("A", "ab{0D}");
        std::tie(rig.rows.keyNames[4], rig.rows.strings[4]) = std::tuple("F1", "x");
        const StationTable table{rig.rows, 2, "t.cfg"};
        QCOMPARE(SendOperation(rig.context).run(), SendOperation::Outcome::Succeeded);

        // What went out from the string length on, without the read-backs ("/R" and a row byte).
        const QByteArray written = rig.link.written();
        QByteArray sent = written.mid(written.indexOf("/L"), 3);
        for (qsizetype at = written.indexOf("/W"); at >= 0 && at < written.size();) {
            const qsizetype size = written.sliced(at).startsWith("/W") ? 2 + 2 + table.stringLength() : 3;
            if (size > 3)
                sent += written.mid(at, size);
            at += size;
        }
        QCOMPARE(table.sentBytes(), sent);

        StationTable other = table;
        std::tie(other.rows.notes[0], other.rows.keyNames[96], other.rows.strings[96]) = std::tuple("note", "B", "q");
        QCOMPARE(other.sha256(), table.sha256());
        other.rows.strings[4] = "y";
        QVERIFY(other.sha256() != table.sha256());
    }
};

QTEST_GUILESS_MAIN(TstStation)
#include "tst_station.moc"
