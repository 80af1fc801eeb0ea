// qz4veld-cli as a bench runs it: a separate process against qz4veld-sim on a
// pseudo-terminal, judged by its exit status and what it prints.
#include "support/file_helpers.h"
#include "support/sim_process.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

const QString kCli = QStringLiteral(QZ_BIN_DIR "/qz4veld-cli");

struct Run final {
    int exitCode = -1;
    QString out;
    QString err;
    QStringList outLines() const { return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
    QStringList errLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

Run finish(QProcess& process)
{
    Run run;
    // Generous: a run that hangs fails here instead of stalling the suite.
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run cli(const QStringList& arguments)
{
    QProcess process;
    process.start(kCli, arguments);
    return finish(process);
}

// Rows of a table at string length 10 (23 usable rows), each a different
// kind of content: keys and strings with fields, a key without a string, an
// empty row, the last usable row.
QByteArray tableFile(const QString& row5String)
{
    QByteArray text = "#Quorvane QZ4VELDT configuration file\r\n#File written x\r\n\r\nString Length = 10\r\n\r\n";
    for (int r = 0; r < 94; ++r) {
        QByteArray line = QByteArray::number(r).rightJustified(2, '0') + '\t';
        if (r == 0) line += "A\tab{0D}\t";
        else if (r == 5) line += "F1\t" + row5String.toUtf8() + '\t';
        else if (r == 7) line += "TAB\t\t";
        else if (r == 22) line += "ENTER\t~{7F}{1B}x012345\t";
        else line += "\t\t";
        text += line + "\r\n";
    }
    return text;
}

QStringList rowLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(test_files::readAll(path)).split(QStringLiteral("\r\n"));
    return lines.filter(QRegularExpression(QStringLiteral("^(String Length|[0-9]{2}\t)")));
}

}  // namespace

class E2eCliTest final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase();
    void sendVerifyReadRoundTrip();
    void absentDeviceOnRead();
    void unplugDuringSend();
    void interruptDuringSend();
    void badInputIsUsageError_data();
    void badInputIsUsageError();
};

void E2eCliTest::initTestCase()
{
    QVERIFY2(QFile::exists(kCli), "build the qz4veld-cli target first");
    // Benches run it on machines without a display: no GUI library may come in.
    QProcess ldd;
    ldd.start(QStringLiteral("ldd"), {kCli});
    QVERIFY(ldd.waitForFinished(10000));
    const QString libraries = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    QVERIFY2(libraries.contains("Qt6Core") && !libraries.contains("Qt6Gui") && !libraries.contains("Qt6Widgets"),
             qPrintable(libraries));
}

void E2eCliTest::sendVerifyReadRoundTrip()
{
    fakedev::SimProcess sim({});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    const QString sent = m_dir.filePath("sent.cfg");
    const QString log = m_dir.filePath("send.log");
    QVERIFY(test_files::writeAll(sent, tableFile("xyz{20}")));

    const Run send = cli({"send", sent, "--port", sim.path(), "--log", log});
    QCOMPARE(send.exitCode, 0);
    const QStringList lines = send.outLines();
    QCOMPARE(lines.mid(0, 5), (QStringList{"Write Operation Requested", "Check for QZ4VELDT attached *",
                                           "QZ4VELDT responded after 1 tries", "Sent /L:",
                                           "String length successfully set to :"}));
    QCOMPARE(lines.filter(QRegularExpression("^success  blk# ")).size(), 23);
    QCOMPARE(lines.last(), QStringLiteral("Successful Operation"));
    // The log holds the lines as the window logs them: the check line as added,
    // no completion text.
    const QStringList logged = QString::fromLatin1(test_files::readAll(log)).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(logged.at(1), QStringLiteral("Check for QZ4VELDT attached"));
    QCOMPARE(logged.mid(2), lines.mid(2, lines.size() - 3));

    const Run verify = cli({"verify", sent, "--port", sim.path(), "--quiet"});
    QCOMPARE(verify.exitCode, 0);
    QCOMPARE(verify.outLines(), QStringList{"Successful Verification"});

    const QString changed = m_dir.filePath("changed.cfg");
    QVERIFY(test_files::writeAll(changed, tableFile("xyz")));
    const Run mismatch = cli({"verify", changed, "--port", sim.path()});
    QCOMPARE(mismatch.exitCode, 1);
    QCOMPARE(mismatch.outLines().last(), QStringLiteral(" 1 FAILED verifications"));

    const QString readBack = m_dir.filePath("read.cfg");
    const Run read = cli({"read", "-o", readBack, "--port", sim.path()});
    QCOMPARE(read.exitCode, 0);
    QCOMPARE(read.outLines().last(), QStringLiteral("Successful Read"));
    QCOMPARE(rowLines(readBack), rowLines(sent));
}

void E2eCliTest::absentDeviceOnRead()
{
    fakedev::SimProcess sim({"--absent"});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    // The table would go to standard output, so the status lines go to standard error.
    const Run read = cli({"read", "--port", sim.path()});
    QCOMPARE(read.exitCode, 1);
    QCOMPARE(read.out, QString());
    QCOMPARE(read.errLines(), (QStringList{"Read Operation Requested", "Check for QZ4VELDT attached * * * * * * * *",
                                           "QZ4VELDT not responsing on port COM1", "FAILED READ"}));
}

void E2eCliTest::unplugDuringSend()
{
    // Commands: probe, length, then block/read-back pairs: the line drops mid-table.
    fakedev::SimProcess sim({"--unplug-after", "8"});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    const QString sent = m_dir.filePath("unplug.cfg");
    QVERIFY(test_files::writeAll(sent, tableFile("q")));
    const Run send = cli({"send", sent, "--port", sim.path()});
    QVERIFY2(send.exitCode == 1 || send.exitCode == 2, qPrintable(send.err));
    const QStringList errors = send.errLines().filter(QRegularExpression("^(?!qz4veld-cli: Error detected - )"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.constFirst().contains(sim.path()), qPrintable(errors.constFirst()));
}

void E2eCliTest::interruptDuringSend()
{
    fakedev::SimProcess sim({});
    QVERIFY2(sim.started(), qPrintable(sim.errors()));
    const QString sent = m_dir.filePath("interrupt.cfg");
    QVERIFY(test_files::writeAll(sent, tableFile("q")));

    QProcess process;
    process.start(kCli, {"send", sent, "--port", sim.path()});
    QByteArray out;
    QDeadlineTimer deadline(30000);
    while (!out.contains("/W{3}") && !deadline.hasExpired() && process.waitForReadyRead(1000))
        out += process.readAllStandardOutput();
    QVERIFY2(out.contains("/W{3}"), out.constData());
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    const Run interrupted = finish(process);
    QCOMPARE(interrupted.exitCode, 130);
    QVERIFY(!(out + interrupted.out.toUtf8()).contains("Successful Operation"));

    // The port was let go and no block was left half-written: the device
    // answers the next run's commands as commands.
    const Run version = cli({"version", "--port", sim.path()});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.outLines().last(), QStringLiteral("Operation Successful"));
}

void E2eCliTest::badInputIsUsageError_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("content");   // written to bad.cfg when not empty
    QTest::addColumn<QString>("message");      // part of the message on standard error
    const QString bad = m_dir.filePath("bad.cfg");
    QTest::newRow("unknown option") << QStringList{"verify", bad, "--fast"} << QByteArray() << "Unknown option 'fast'";
    QTest::newRow("missing file") << QStringList{"send", m_dir.filePath("none.cfg")} << QByteArray() << "none.cfg";
    QTest::newRow("length out of range") << QStringList{"send", bad}
                                         << QByteArray("String Length = 12\r\n00\tA\tb\t\r\n") << "String length \"12\"";
    QTest::newRow("row without device bytes") << QStringList{"send", bad}
                                              << QByteArray("String Length = 4\r\n03\tA\t{1FF}\t\r\n") << "Row 3: the string";
    QTest::newRow("port cannot be opened") << QStringList{"version", "--port", m_dir.filePath("tty")} << QByteArray()
                                           << "Cannot open " + m_dir.filePath("tty");
}

void E2eCliTest::badInputIsUsageError()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    if (!content.isEmpty())
        QVERIFY(test_files::writeAll(m_dir.filePath("bad.cfg"), content));
    const Run run = cli(arguments);
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.out, QString());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

QTEST_GUILESS_MAIN(E2eCliTest)
#include "tst_e2e_cli.moc"
