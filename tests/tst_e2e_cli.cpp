// qz4veld-cli as a separate process against qz4veld-sim on a pseudo-terminal.
#include "support/file_helpers.h"
#include "support/sim_process.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kCli = QStringLiteral(QZ_BIN_DIR "/qz4veld-cli");

struct Run final {
    int exitCode = -1;  // -1: crashed or hung
    QString out;
    QString err;
    QStringList outLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

Run finish(QProcess& process)
{
    if (!process.waitForFinished(60000))
        process.kill(), process.waitForFinished();
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

}  // namespace

class E2eCliTest final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& content)
    {
        return test_files::writeAll(m_dir.filePath(name), content) ? m_dir.filePath(name) : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(kCli), "build the qz4veld-cli target first");
        // Benches run it without a display: no GUI library may come in.
        QProcess ldd;
        ldd.start("ldd", {kCli});
        const QString libraries =
                ldd.waitForFinished(10000) ? QString::fromLocal8Bit(ldd.readAllStandardOutput()) : QString();
        QVERIFY2(libraries.contains("Qt6Core") && !libraries.contains("Qt6Gui"), qPrintable(libraries));
    }

    // The device starts at string length 6: send sets 10, read adopts it; then a send is interrupted.
    void sendVerifyReadInterrupt()
    {
        const QString arrivals = m_dir.filePath("arrivals");
        fakedev::SimProcess sim({"--arrivals", arrivals});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        const QString sent = file("sent.cfg", tableFile("xyz{20}"));
        const QString log = m_dir.filePath("send.log");

        const Run send = cli({"send", sent, "--port", sim.path(), "--log", log});
        QCOMPARE(send.exitCode, 0);
        const QStringList lines = send.outLines();
        QCOMPARE(lines.mid(0, 5),
                 (QStringList{"Write Operation Requested", "Check for QZ4VELDT attached *",
                              "QZ4VELDT responded after 1 tries", "Sent /L:", "String length successfully set to :"}));
        QCOMPARE(lines.filter(QRegularExpression("^success  blk# ")).size(), 23);
        QCOMPARE(lines.last(), QStringLiteral("Successful Operation"));
        // The window's log: the presence line as added, no completion text.
        const QStringList logged = QString::fromLatin1(test_files::readAll(log)).split("\r\n", Qt::SkipEmptyParts);
        QCOMPARE(logged.at(1), QStringLiteral("Check for QZ4VELDT attached"));
        QCOMPARE(logged.mid(2), lines.mid(2, lines.size() - 3));

        const Run verify = cli({"verify", sent, "--port", sim.path(), "--quiet"});
        QCOMPARE(verify.exitCode, 0);
        QCOMPARE(verify.outLines(), QStringList{"Successful Verification"});
        const Run mismatch = cli({"verify", file("changed.cfg", tableFile("xyz")), "--port", sim.path()});
        QCOMPARE(mismatch.exitCode, 1);
        QCOMPARE(mismatch.outLines().last(), QStringLiteral(" 1 FAILED verifications"));

        const QString readBack = m_dir.filePath("read.cfg");
        const Run read = cli({"read", "-o", readBack, "--port", sim.path()});
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(read.outLines().last(), QStringLiteral("Successful Read"));
        QCOMPARE(rowLines(readBack), rowLines(sent));

        // No command went out before the previous one's wait was over, as the device saw them arrive.
        // A busy machine runs the pseudo-terminal's kernel worker and the simulator late at times, which
        // makes single gaps look short; a wait that ends early shortens every gap of its length, so the
        // middle gap of each length is checked, to half a millisecond. The first commands meet a cold
        // simulator: they are left out.
        const QList<QByteArray> arrived = test_files::readAll(arrivals).split('\n');
        QMap<int, QList<qint64>> gapsUs;  // by the wait owed, in ms
        for (qsizetype i = 3; i + 2 < arrived.size(); ++i) {
            const QList<QByteArray> now = arrived.at(i).split(' '), next = arrived.at(i + 1).split(' ');
            const int owedMs = fakedev::owedWaitMs(QByteArray::fromHex(now.at(1)), QByteArray::fromHex(next.at(1)));
            gapsUs[owedMs].append(next.at(0).toLongLong() - now.at(0).toLongLong());
        }
        QCOMPARE(gapsUs.keys(), (QList<int>{5, 10, 100, 140}));
        for (auto [owedMs, gaps] : gapsUs.asKeyValueRange()) {
            std::sort(gaps.begin(), gaps.end());
            QVERIFY2(gaps.at(gaps.size() / 2) >= owedMs * 1000 - 500, qPrintable(QString::number(owedMs)));
        }

        // Interrupted mid-send.
        QProcess process;
        process.start(kCli, {"send", file("interrupt.cfg", tableFile("q")), "--port", sim.path()});
        QByteArray out;
        while (!out.contains("/W{3}") && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        QVERIFY2(out.contains("/W{3}"), out.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const Run interrupted = finish(process);
        QCOMPARE(interrupted.exitCode, 130);
        // The last line says what the device holds now; row 3's block had gone out.
        const QRegularExpression holds(
                "^The device now holds an incomplete table: rows 0 to ([3-9]|1[0-9]|2[0-2]) written, "
                "the rest empty\\. Send again\\.$");
        QVERIFY2(holds.match(interrupted.outLines().constLast()).hasMatch(), qPrintable(interrupted.out));
        // The port was let go and no block was cut: the next run's bytes are commands again.
        const Run version = cli({"version", "--port", sim.path()});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.outLines().last(), QStringLiteral("Operation Successful"));
    }

    // Four devices in one run, the third losing its line in the middle of the send.
    void manyDevicesOneUnplugged()
    {
        std::vector<std::unique_ptr<fakedev::SimProcess>> sims;
        QStringList ports;
        for (int i = 0; i < 4; ++i) {
            sims.push_back(
                    std::make_unique<fakedev::SimProcess>(i == 2 ? QStringList{"--unplug-after", "8"} : QStringList{}));
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
        QCOMPARE(QJsonDocument::fromJson(objects.at(2).toUtf8()).object().value("message").toString(), why);
        QVERIFY2(send.err.contains("[" + lost + "] " + why + "\n"), qPrintable(send.err));
        QCOMPARE(send.err.count("] success  blk# ") - send.err.count("[" + lost + "] success  blk# "), 3 * 23);
        const QString summaryLine = "\n" + QRegularExpression::escape(lost) + " +FATAL ERROR \\("
                + QRegularExpression::escape(why) + "\\)  ";
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
        const Run found = cli({"version", "--port", "auto"}, tool);
        QCOMPARE(found.exitCode, 0);
        QCOMPARE(found.outLines().mid(0, 2),
                 (QStringList{"Check for QZ4VELDT attached *", "QZ4VELDT responded after 1 tries"}));

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

QTEST_GUILESS_MAIN(E2eCliTest)
#include "tst_e2e_cli.moc"
