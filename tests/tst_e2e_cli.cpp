// qz4veld-cli as a bench runs it: a separate process against qz4veld-sim on a
// pseudo-terminal, judged by its exit status and what it prints.
#include "support/file_helpers.h"
#include "support/sim_process.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

Run cli(const QStringList& arguments)
{
    QProcess process;
    process.start(kCli, arguments);
    return finish(process);
}

// A table at string length 10 (23 usable rows): fields, a key without a
// string, blanks, and the last usable row full.
QByteArray tableFile(const QByteArray& row5String)
{
    QByteArray text = "#Quorvane QZ4VELDT configuration file\r\n#File written x\r\n\r\nString Length = 10\r\n\r\n";
    for (int r = 0; r < 94; ++r) {
        const QByteArray fields = r == 0    ? QByteArray("A\tab{0D}")
                                  : r == 5  ? "F1\t" + row5String
                                  : r == 7  ? QByteArray("TAB\t")
                                  : r == 22 ? QByteArray("ENTER\t~{7F}{1B}x012345")
                                            : QByteArray("\t");
        text += QByteArray::number(r).rightJustified(2, '0') + '\t' + fields + "\t\r\n";
    }
    return text;
}

QStringList rowLines(const QString& path)
{
    return QString::fromUtf8(test_files::readAll(path)).split("\r\n").filter(QRegularExpression("^(String Length|[0-9]{2}\t)"));
}

}  // namespace

class E2eCliTest final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    QString file(const QString& name, const QByteArray& content)
    {
        const QString path = m_dir.filePath(name);
        return test_files::writeAll(path, content) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(kCli), "build the qz4veld-cli target first");
        // Benches run it without a display: no GUI library may come in.
        QProcess ldd;
        ldd.start("ldd", {kCli});
        QVERIFY(ldd.waitForFinished(10000));
        const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
        QVERIFY2(libraries.contains("Qt6Core") && !libraries.contains("Qt6Gui") && !libraries.contains("Qt6Widgets"),
                 qPrintable(libraries));
    }

    void sendVerifyReadRoundTrip()
    {
        fakedev::SimProcess sim({});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        const QString sent = file("sent.cfg", tableFile("xyz{20}"));
        const QString log = m_dir.filePath("send.log");

        const Run send = cli({"send", sent, "--port", sim.path(), "--log", log});
        QCOMPARE(send.exitCode, 0);
        const QStringList lines = send.outLines();
        QCOMPARE(lines.mid(0, 5), (QStringList{"Write Operation Requested", "Check for QZ4VELDT attached *",
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
    }

    void interruptDuringSend()
    {
        fakedev::SimProcess sim({});
        QVERIFY2(sim.started(), qPrintable(sim.errors()));
        QProcess process;
        process.start(kCli, {"send", file("interrupt.cfg", tableFile("q")), "--port", sim.path()});
        QByteArray out;
        while (!out.contains("/W{3}") && process.waitForReadyRead(5000))
            out += process.readAllStandardOutput();
        QVERIFY2(out.contains("/W{3}"), out.constData());
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const Run interrupted = finish(process);
        QCOMPARE(interrupted.exitCode, 130);
        QVERIFY(!interrupted.out.contains("Successful Operation"));
        // The port was let go and no block was cut: the device takes the next
        // run's bytes as commands again.
        const Run version = cli({"version", "--port", sim.path()});
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.outLines().last(), QStringLiteral("Operation Successful"));
    }

    void failsCleanly_data()
    {
        QTest::addColumn<QStringList>("simArgs");  // empty: no simulator
        QTest::addColumn<QStringList>("args");     // %PTY% = the simulator's terminal, %CFG% = a good table
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");          // exactly, or "*" for anything
        QTest::addColumn<QString>("err");          // contained; %PTY% replaced
        QTest::addColumn<int>("errLines");         // -1: any number
        // The table goes to standard output, so the status lines go to standard error.
        QTest::newRow("absent device on read")
            << QStringList{"--absent"} << QStringList{"read", "--port", "%PTY%"} << 1 << ""
            << "Read Operation Requested\nCheck for QZ4VELDT attached * * * * * * * *\n"
               "QZ4VELDT not responsing on port COM1\nFAILED READ\n" << 4;
        // The line drops after the fourth block's read-back.
        QTest::newRow("unplug during send") << QStringList{"--unplug-after", "8"} << QStringList{"send", "%CFG%", "--port", "%PTY%"}
                                            << 1 << "*" << "%PTY%" << 1;
        QTest::newRow("unknown option") << QStringList{} << QStringList{"verify", "%CFG%", "--fast"} << 2 << ""
                                        << "Unknown option 'fast'" << -1;
        QTest::newRow("missing file") << QStringList{} << QStringList{"send", "/nonexistent/none.cfg"} << 2 << ""
                                      << "\"/nonexistent/none.cfg\": No such file" << 1;
        QTest::newRow("row without device bytes") << QStringList{} << QStringList{"send", "%BAD%"} << 2 << ""
                                                  << "Row 3: the string \"{1FF}\"" << 1;
        QTest::newRow("port cannot be opened") << QStringList{} << QStringList{"version", "--port", "/dev/qz-none"} << 2
                                               << "" << "Cannot open /dev/qz-none: no such serial device" << 1;
    }
    void failsCleanly()
    {
        QFETCH(QStringList, simArgs);
        QFETCH(QStringList, args);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(int, errLines);
        std::unique_ptr<fakedev::SimProcess> sim;
        if (!simArgs.isEmpty()) {
            sim = std::make_unique<fakedev::SimProcess>(simArgs);
            QVERIFY2(sim->started(), qPrintable(sim->errors()));
        }
        const QString pty = sim ? sim->path() : QString();
        args.replaceInStrings("%PTY%", pty).replaceInStrings("%CFG%", file("good.cfg", tableFile("q")));
        args.replaceInStrings("%BAD%", file("bad.cfg", "String Length = 4\r\n03\tA\t{1FF}\t\r\n"));
        const Run run = cli(args);
        QTEST(run.exitCode, "exitCode");
        if (out != "*")
            QCOMPARE(run.out, out);
        QVERIFY2(run.err.contains(err.replace("%PTY%", pty)), qPrintable(run.err));
        if (errLines >= 0)
            QCOMPARE(run.err.count('\n'), errLines);
    }
};

QTEST_GUILESS_MAIN(E2eCliTest)
#include "tst_e2e_cli.moc"
