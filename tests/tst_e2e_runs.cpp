// qz4veld-cli as a separate process and the real serial link against qz4veld-sim on pseudo-terminals, the
// simulator's state file, and a window's table across a kill -9.
#include "files/recovery_store.h"
#include "support/file_helpers.h"
#include "support/sim_process.h"
#include "support/ui_rig.h"
#include "ui/station_dialog.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

const QString kGone = QStringLiteral("device %1 was disconnected");
const QString kCli = QStringLiteral(QZ_BIN_DIR "/qz4veld-cli");

struct Run final {
    int exitCode = -1;  // -1: crashed or hung
    QString out, err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

Run finish(QProcess& process)
{
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Run cli(const QStringList& arguments, const QString& program = kCli)
{
    QProcess process;
    process.start(program, arguments);
    return finish(process);
}

// String length 10 (23 usable rows): a key without a string, blanks, the last usable row full.
QByteArray tableFile(const QByteArray& row5String)
{
    QByteArray text = "#Quorvane QZ4VELDT configuration file\r\n#File written x\r\n\r\nString Length = 10\r\n\r\n";
    for (int r = 0; r < 94; ++r) {
        const QByteArray fields = r == 0 ? QByteArray("A\tab{0D}")
                : r == 5                 ? "F1\t" + row5String
                : r == 7                 ? QByteArray("TAB\t")
                : r == 22                ? QByteArray("ENTER\t~{7F}{1B}x012345")
                                         : QByteArray("\t");
        text += QByteArray::number(r).rightJustified(2, '0') + '\t' + fields + "\t\r\n";
    }
    return text;
}

QStringList rowLines(const QString& path)
{
    return QString::fromUtf8(test_files::readAll(path))
            .split("\r\n")
            .filter(QRegularExpression("^(String Length|[0-9]{2}\t)"));
}

// `<test> --child <folder>`, the process restoresAfterKill kills: types a table,
// says "ready" once its snapshot is on disk, then waits.
int typeAndWait(const QString& stateFolder)
{
    ui_test::WindowRig rig;
    rig.stateFolder = stateFolder;
    rig.restart();
    rig.keyString(0)->setText(QStringLiteral("abc"));
    rig.window->rows().notes.at(3) = QStringLiteral("note");
    if (!QTest::qWaitFor([&] { return QFile::exists(RecoveryStore(stateFolder).path()); }, 10000))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// Set-length commands ("/L" and a digit) the simulator's arrival log shows: one per Send.
int lengthsSet(const QString& arrivals)
{
    const QList<QByteArray> lines = test_files::readAll(arrivals).split('\n');
    return std::count_if(lines.cbegin(), lines.cend(), [](const QByteArray& line) {
        const QByteArray bytes = QByteArray::fromHex(line.mid(line.indexOf(' ') + 1));
        return bytes.size() == 3 && bytes.startsWith("/L") && bytes.at(2) != '?';
    });
}

// The arrival log's stamp of its last presence probe (the monotonic clock in microseconds), 0 before any.
qint64 lastProbeUs(const QString& arrivals)
{
    const QList<QByteArray> lines = test_files::readAll(arrivals).split('\n');
    const auto probe =
            std::find_if(lines.crbegin(), lines.crend(), [](const QByteArray& l) { return l.endsWith(" 7a"); });
    return probe == lines.crend() ? 0 : probe->left(probe->indexOf(' ')).toLongLong();
}

}  // namespace

class E2eRunsTest final : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& content)
    {
        return test_files::writeAll(m_dir.filePath(name), content) ? m_dir.filePath(name) : QString();
    }

private slots:
    void initTestCase()
    {
        // Benches run it without a display: no GUI library may come in.
        const QString libraries = cli({kCli}, "ldd").out;
        QVERIFY2(libraries.contains("Qt6Core") && !libraries.contains("Qt6Gui"), qPrintable(libraries));
    }
    // The device's memory outlives the simulator ([PORTS] from --ini: findsMappedDevices); a lost line
    // is reported once.
    void stateFileAndUnplug()
    {
        const QString state = m_dir.filePath("state.bin");
        {
            fakedev::SimProcess sim({"--state", state});
            QVERIFY2(sim.started(), qPrintable(sim.errors()));
            fakedev::RealRig rig(sim.path());
            QCOMPARE(rig.settle("/L3", 1), QByteArray("\x06"));
            QCOMPARE(rig.settle("/W\x05\x1Cxyz", 2), QByteArray("\x06\x05"));
            QCOMPARE(sim.stop(), 0);
        }
        // Through a link that goes with the simulator: the freed terminal's own name may be
        // taken by another process at once.
        const QString link = m_dir.filePath("unplugged");
        fakedev::SimProcess sim({"--state", state, "--unplug-after", "2", "--link", link});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        fakedev::RealRig rig(link);
        QCOMPARE(rig.settle("/L?/R\x05", 5), QByteArray("3\x1Cxyz"));
        rig.link.write("V");  // the simulator drops the line when this arrives
        const QString lost = test_files::errorOf<SerialError>([&] {
            for (int poll = 0; poll < 500; ++poll) {
                rig.waiter.delay(10);
                (void)rig.link.bytesAvailable();  // throws once the line is lost
            }
        });
        QCOMPARE(lost, kGone.arg(link));
        QVERIFY(!rig.link.isOpen());
        QVERIFY(sim.waitForExit(5000));
        QTest::qWait(200);
        QCOMPARE(rig.link.errorReports(), 1);  // nothing keeps firing on the dead line
        // Said once: the next open finds the mapped terminal gone.
        const QString reopened = test_files::errorOf<SerialError>([&] { rig.link.open(); });
        QVERIFY(reopened.startsWith("COM1 is mapped to " + link + " which is not connected"));
    }

    // A table typed into a window outlives a kill -9 of its process: the next start offers it back.
    void restoresAfterKill()
    {
        QTemporaryDir state;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), state.path()});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("ready"), 20000);
        child.kill();  // SIGKILL: nothing of the program's own clean-up runs
        QVERIFY(child.waitForFinished(5000));

        ui_test::WindowRig rig;
        rig.stateFolder = state.path();
        rig.restart();
        QCOMPARE(rig.messages.confirms.size(), 1);
        QCOMPARE(rig.keyString(0)->text(), "abc");
        QCOMPARE(rig.window->rows().notes.at(3), "note");
    }

    // Four devices in one run, the third losing its line in the middle of the send; a port that cannot be opened
    // stops the next run before anything is sent; the three others verify.
    void manyDevicesOneLost()
    {
        std::vector<std::unique_ptr<fakedev::SimProcess>> sims;
        QStringList ports;
        for (const QStringList& args : {QStringList{}, {}, {"--unplug-after", "8"}, {}}) {
            sims.push_back(std::make_unique<fakedev::SimProcess>(args));
            QVERIFY2(sims.back()->started(), qPrintable(sims.back()->errors()));
            ports << "--port" << sims.back()->path();
        }
        const QString table = file("many.cfg", tableFile("xyz{20}"));
        const QString lost = sims[2]->path().mid(5);  // "pts/N", as the lines name it

        const Run send = cli(QStringList{"send", table, "--json"} + ports);
        QCOMPARE(send.exitCode, 1);
        const QStringList objects = send.outLines();
        QCOMPARE(objects.size(), 4);
        for (int i = 0; i < 4; ++i) {
            const QJsonObject device = QJsonDocument::fromJson(objects.at(i).toUtf8()).object();
            QCOMPARE(device.value("port").toString(), sims[i]->path());
            QCOMPARE(device.value("ok").toBool(), i != 2);
            QCOMPARE(device.value("completion").toString(), i == 2 ? "FATAL ERROR" : "Successful Operation");
        }
        const QString why = "Error sending to QZ4VELD. device " + sims[2]->path() + " was disconnected";
        const QString lostHolds =
                "The device now holds an incomplete table: rows 0 to 2 written, row 3 may be written, "
                "the rows after 3 not written. Send again.";
        QCOMPARE(QJsonDocument::fromJson(objects.at(2).toUtf8()).object().value("message").toString(),
                 why + "\n" + lostHolds);
        QVERIFY2(send.err.contains("[" + lost + "] " + why + "\n"), qPrintable(send.err));
        QCOMPARE(send.err.count("] success  blk# ") - send.err.count("[" + lost + "] success  blk# "), 3 * 23);
        const QString summaryLine = "\n" + QRegularExpression::escape(lost) + " +FATAL ERROR \\("
                + QRegularExpression::escape(why + "): " + lostHolds) + "  ";
        QVERIFY2(send.err.contains(QRegularExpression(summaryLine)), qPrintable(send.err));

        // A port that cannot be opened (a freed terminal's name may be taken again
        // at once): nothing is sent to any of the four.
        ports[5] = "/dev/qz-none";
        const Run refused = cli(QStringList{"verify", table} + ports);
        QCOMPARE(refused.exitCode, 2);
        QCOMPARE(refused.out, QString());
        ports.remove(4, 2);
        const Run verify = cli(QStringList{"verify", table, "--quiet"} + ports);
        QCOMPARE(verify.exitCode, 0);
        QCOMPARE(verify.out.count(QRegularExpression(" Successful Verification +0 ")), 3);
    }

    // One device: a send with a log, a verify of another table, a read (its file takes the device's length); then
    // Ctrl-C in the middle of a send: the last line says what the device holds now, and the port is let go with no
    // block cut, so the next run's bytes are commands again.
    void sendVerifyReadInterrupt()
    {
        fakedev::SimProcess sim;
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        const QString table = file("one.cfg", tableFile("xyz{20}"));
        const QString log = m_dir.filePath("send.log");
        const Run single = cli({"send", table, "--port", sim.path(), "--log", log});
        QCOMPARE(single.exitCode, 0);
        const QStringList lines = single.outLines();
        QCOMPARE(lines.first(), QStringLiteral("Write Operation Requested"));
        // A busy machine may wake the simulator past a probe's time: more tries, not a fault.
        QVERIFY2(lines.at(1).startsWith("Check for QZ4VELDT attached *"), qPrintable(lines.at(1)));
        QCOMPARE(lines.last(), QStringLiteral("Successful Operation"));
        // The window's log: the presence line as added, no completion text.
        const QStringList logged = QString::fromLatin1(test_files::readAll(log)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(logged.at(1), QStringLiteral("Check for QZ4VELDT attached"));
        QCOMPARE(logged.mid(2), lines.mid(2, lines.size() - 3));

        const Run mismatch = cli({"verify", file("changed.cfg", tableFile("xyz")), "--port", sim.path(), "--quiet"});
        QCOMPARE(mismatch.exitCode, 1);
        QCOMPARE(mismatch.outLines(), QStringList{" 1 FAILED verifications"});

        const QString readBack = m_dir.filePath("read.cfg");
        const Run read = cli({"read", "-o", readBack, "--port", sim.path()});
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(rowLines(readBack), rowLines(table));

        QProcess process;
        process.start(kCli, {"send", file("interrupt.cfg", tableFile("q")), "--port", sim.path()});
        QByteArray out;
        while (!out.contains("/W{3}") && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        QVERIFY2(out.contains("/W{3}"), out.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const Run interrupted = finish(process);
        QCOMPARE(interrupted.exitCode, 130);
        // Row 3's block had gone out.
        const QRegularExpression holds("^The device now holds an incomplete table: rows 0 to ([2-9]|1[0-9]|2[0-1]) "
                                       "written, (row \\d+ may be written, )?the rows after \\d+ not written\\. "
                                       "Send again\\.$");
        QVERIFY2(holds.match(interrupted.outLines().constLast()).hasMatch(), qPrintable(interrupted.out));
        const Run version = cli({"version", "--port", sim.path()});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.outLines().last(), QStringLiteral("Operation Successful"));
    }

    // A station watching two paths that lead nowhere yet (each simulator makes its path a link to its terminal
    // while its line is up, like a USB adapter's port): a device linked to the first is programmed once and
    // left alone while it stays; one linked to the second loses its line mid-Send; the first is replaced by a
    // new device on the same path; --count 2 ends the run with exit 1, and the record holds each device.
    void station()
    {
        const QString a = m_dir.filePath("station-a"), b = m_dir.filePath("station-b");
        const QString record = m_dir.filePath("record.csv");
        QProcess station;
        station.start(kCli,
                      {"station", file("station.cfg", tableFile("xyz")), "--port", a, "--port", b, "--count", "2",
                       "--record", record, "--json"});
        QVERIFY(station.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 20000);  // checked, opened, watching

        const QString arrivalsFirst = m_dir.filePath("arrivals-first");
        auto first = std::make_unique<fakedev::SimProcess>(QStringList{"--arrivals", arrivalsFirst, "--link", a});
        QVERIFY(first->started());
        const QJsonObject one = QJsonDocument::fromJson(fakedev::nextLine(station, 60000)).object();
        QCOMPARE(one.value("number").toInt(), 1);
        QVERIFY2(one.value("ok").toBool(), QJsonDocument(one).toJson(QJsonDocument::Compact).constData());
        // A loaded machine may hold a simulator past a probe's wait: here two probes in a row, each answered
        // before the next one goes out. The device is still connected, not a new one to program.
        qint64 probed = lastProbeUs(arrivalsFirst);
        QTRY_VERIFY_WITH_TIMEOUT(lastProbeUs(arrivalsFirst) > probed, 10000);
        const qint64 startUs = probed = lastProbeUs(arrivalsFirst);
        for (const qint64 heldUntilUs : {startUs + 1355000, startUs + 2355000}) {
            first->hold(true);
            const qint64 nowUs = QDeadlineTimer::current(Qt::PreciseTimer).deadlineNSecs() / 1000;  // the log's clock
            QTest::qWait(static_cast<int>(std::max<qint64>(0, heldUntilUs - nowUs) / 1000));
            first->hold(false);
            QTRY_VERIFY_WITH_TIMEOUT(lastProbeUs(arrivalsFirst) > probed, 10000);  // answered, late
            probed = lastProbeUs(arrivalsFirst);
        }

        fakedev::SimProcess second({"--unplug-after", "12", "--link", b});  // the link goes with the line
        QVERIFY(second.started());
        const QJsonObject two = QJsonDocument::fromJson(fakedev::nextLine(station, 60000)).object();
        QCOMPARE(two.value("port").toString(), b);
        QCOMPARE(two.value("ok").toBool(), false);
        // The message box's lines and what the device now holds, as sentences of one line.
        QVERIFY2(two.value("message").toString().contains(
                         QRegularExpression("was disconnected\\. The device (now|may) hold")),
                 qPrintable(two.value("message").toString()));
        QCOMPARE(lengthsSet(arrivalsFirst), 1);  // still connected all the while, programmed once

        first.reset();
        QVERIFY(!QFileInfo(a).isSymLink());
        const QString arrivalsThird = m_dir.filePath("arrivals-third");
        fakedev::SimProcess third({"--arrivals", arrivalsThird, "--link", a});
        QVERIFY(third.started());
        const QJsonObject three = QJsonDocument::fromJson(fakedev::nextLine(station, 60000)).object();
        QCOMPARE(three.value("port").toString(), a);
        QCOMPARE(three.value("number").toInt(), 3);
        QVERIFY2(three.value("ok").toBool(), QJsonDocument(three).toJson(QJsonDocument::Compact).constData());

        const Run run = finish(station);
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(lengthsSet(arrivalsThird), 1);
        QVERIFY2(run.err.contains("[" + b + "] #2 FAILED  "), qPrintable(run.err));
        const QStringList lines = QString::fromUtf8(test_files::readAll(record)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines.at(0).section(',', 7, 7), "sha256");
        QCOMPARE(lines.at(1).section(',', 10, 10), "ok");
        QVERIFY(QStringList({"failed", "removed"}).contains(lines.at(2).section(',', 10, 10)));
        QCOMPARE(lines.at(3).section(',', 10, 10), "ok");
        QCOMPARE(lines.at(2).section(',', 7, 7), lines.at(1).section(',', 7, 7));
        QCOMPARE(lines.at(3).section(',', 7, 7), lines.at(1).section(',', 7, 7));

        // Ctrl-C in the middle of a Send: the device's line and record say what it now holds.
        station.start(kCli, {"station", file("station.cfg", tableFile("xyz")), "--port", a, "--record", record});
        QTRY_VERIFY_WITH_TIMEOUT(test_files::readAll(arrivalsThird).count(" 2f57") > 26, 60000);  // "/W" again
        ::kill(static_cast<pid_t>(station.processId()), SIGINT);
        const Run interrupted = finish(station);
        QCOMPARE(interrupted.exitCode, 130);
        QVERIFY2(interrupted.out.contains(QRegularExpression(
                         "\\] #1 INTERRUPTED  The device now holds an incomplete table: rows 0 to [0-9]+ written")),
                 qPrintable(interrupted.out));
        QCOMPARE(QString::fromUtf8(test_files::readAll(record)).split("\r\n", Qt::SkipEmptyParts).size(), 5);
        QVERIFY(test_files::readAll(record).contains(",interrupted,"));
    }

    // The window's station over two simulators mapped in [PORTS]: the window's own operations are off while it
    // runs, both devices are programmed and recorded.
    void stationDialog()
    {
        ui_test::WindowRig rig;
        fakedev::SimProcess first({"--ini", rig.iniPath(), "--com", "1"}),
                second({"--ini", rig.iniPath(), "--com", "2"});
        QVERIFY(first.started() && second.started());
        rig.restart();  // with the [PORTS] the simulators wrote
        rig.keyString(0)->setText("ab{0D}");
        const QString record = m_dir.filePath("window-record.csv");
        rig.dialogs.answers = {record};
        QString totals, defaultRecord;
        bool sendWhileOpen = true;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<StationDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            defaultRecord = dialog->findChild<QLineEdit*>("StationRecord")->text();
            dialog->findChild<QPushButton*>("StationBrowse")->click();
            auto* ports = dialog->findChild<QListWidget*>("StationPorts");
            for (int i = 0; i < ports->count(); ++i) {
                const QString path = ports->item(i)->data(Qt::UserRole).toString();
                if (path == first.path() || path == second.path())
                    ports->item(i)->setCheckState(Qt::Checked);
            }
            sendWhileOpen = rig.find<QPushButton>("Send")->isEnabled() || rig.find<QAction>("FOpen")->isEnabled();
            dialog->findChild<QPushButton*>("StationStart")->click();
            auto* label = dialog->findChild<QLabel*>("StationTotals");
            const bool ended = QTest::qWaitFor(
                    [&] { return label->text().contains("Programmed 2") || label->text().contains("Failed 1"); },
                    60000);
            totals = ended ? label->text() : "still " + label->text();
            dialog->findChild<QPushButton*>("StationClose")->click();  // stops the station, then closes
        });
        rig.run("ProductionStation");
        QVERIFY(defaultRecord.endsWith("/production-record.csv"));
        QVERIFY(!sendWhileOpen);
        QVERIFY(rig.find<QPushButton>("Send")->isEnabled());
        QCOMPARE(totals, QString::fromUtf8("Programmed 2 \u00b7 Failed 0"));
        const QStringList lines = QString::fromUtf8(test_files::readAll(record)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.filter(",ok,").size(), 2);
    }

    // A copy of the tool reads the QZ4Vel.ini beside it: COM1 answers (but for row 5), COM2 is silent,
    // COM3 unplugged.
    void findsMappedDevices()
    {
        QTemporaryDir folder;
        const QString tool = folder.filePath("qz4veld-cli"), ini = folder.filePath("QZ4Vel.ini");
        const QString gone = "/dev/serial/by-id/usb-QZ_gone-if00-port0";
        QVERIFY(QFile::copy(kCli, tool) && test_files::writeAll(ini, "[PORTS]\r\nCOM3=" + gone.toUtf8() + "\r\n"));
        fakedev::SimProcess present({"--silent-row", "5", "--ini", ini, "--com", "1"}),
                silent({"--absent", "--ini", ini, "--com", "2"});
        QVERIFY2(present.started() && silent.started(), qPrintable(present.errors() + silent.errors()));

        const QStringList table = cli({"ports", "--probe"}, tool).outLines();
        QCOMPARE(table.first(),
                 QStringLiteral(
                         "Device\tStable path\tDescription\tManufacturer\tSerial number\tVID:PID\tIn use\tQZ4VELD"));
        QCOMPARE(table.mid(table.size() - 3),
                 (QStringList{present.path() + "\t\tmapped as COM1\t\t\t\tno\tyes",
                              silent.path() + "\t\tmapped as COM2\t\t\t\tno\tno",
                              gone + "\t\tmapped as COM3, not connected\t\t\t\tno\tno"}));
        QCOMPARE(cli({"version", "--port", "auto"}, tool).exitCode, 0);

        // The table goes to standard output, so the status lines go to standard error.
        const Run absent = cli({"read", "--port", silent.path()});
        QCOMPARE(absent.exitCode, 1);
        QCOMPARE(absent.out, QString());
        QCOMPARE(absent.err,
                 "Read Operation Requested\nCheck for QZ4VELDT attached * * * * * * * *\n"
                 "QZ4VELDT not responsing on port COM1\nFAILED READ\n");
        // A row the device does not answer: exit 1, said last, and the rows that were read are saved.
        const QString partial = m_dir.filePath("partial.cfg");
        const Run read = cli({"read", "-o", partial, "--port", present.path()});
        QCOMPARE(read.exitCode, 1);
        QCOMPARE(read.outLines().constLast(), QStringLiteral(" 1 rows not read"));
        QCOMPARE(rowLines(partial).size(), 1 + 94);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--child") == 0)
        return typeAndWait(QString::fromLocal8Bit(argv[2]));
    E2eRunsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_runs.moc"
