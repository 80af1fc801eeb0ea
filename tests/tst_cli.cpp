// The command-line tool's own parts: arguments, printed status lines, file and
// port checks. The tool is an executable, not a library, so its sources are
// compiled in here.
#include "cli/cli_options.cpp"
#include "cli/console_status.cpp"
#include "cli/headless.cpp"
#include "cli/interrupt_watch.cpp"
#include "cli/runner.cpp"
#include "support/file_helpers.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace cli;

namespace {

// A status script: "+text" adds, "=i:text" sets line i, "C" clears, "!text"
// shows a completion, "M:text" shows a message.
void play(ConsoleStatus& status, ConsoleMessages& messages, const QStringList& script)
{
    for (const QString& step : script) {
        const QString arg = step.mid(1);
        switch (step.at(0).toLatin1()) {
        case '+': status.add(arg); break;
        case '=': status.setLine(arg.section(QLatin1Char(':'), 0, 0).toInt(), arg.section(QLatin1Char(':'), 1)); break;
        case 'C': status.clear(); break;
        case '!': status.showCompletion(arg); break;
        case 'M': messages.info(arg.mid(1)); break;
        }
    }
    status.finish();
}

QString cfg(const QString& lengthLine, const QString& rowLines)
{
    return QStringLiteral("#Quorvane QZ4VELDT configuration file\r\n#File written x\r\n\r\n") + lengthLine +
           QStringLiteral("\r\n\r\n") + rowLines;
}

}  // namespace

class TstCli final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void parsesArguments_data();
    void parsesArguments();
    void printsEachLineOnceWhenFinal_data();
    void printsEachLineOnceWhenFinal();
    void logGetsLinesAsAdded();
    void progressBarStepsAsideForLines();
    void checksTableFiles_data();
    void checksTableFiles();
    void choosesPort_data();
    void choosesPort();
};

void TstCli::parsesArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expected");  // "command|file|port|baud|parity|quiet" or "error: <start>"
    QTest::newRow("version") << QStringList{"version"} << "0|||||0";
    QTest::newRow("read stdout") << QStringList{"read", "--quiet"} << "1|||||1";
    QTest::newRow("read -o") << QStringList{"read", "-o", "a.cfg", "--port", "com3"} << "1|a.cfg|COM3|||0";
    QTest::newRow("send path") << QStringList{"send", "t.cfg", "--port", "/dev/ttyUSB1", "--baud", "19200", "--parity", "e"}
                               << "2|t.cfg|/dev/ttyUSB1|19200|E|0";
    QTest::newRow("verify") << QStringList{"verify", "t.cfg"} << "3|t.cfg||||0";
    QTest::newRow("unknown option") << QStringList{"send", "t.cfg", "--fast"} << "error: Unknown option 'fast'";
    QTest::newRow("no command") << QStringList{} << "error: no command";
    QTest::newRow("unknown command") << QStringList{"write", "t.cfg"} << "error: unknown command \"write\"";
    QTest::newRow("send without file") << QStringList{"send"} << "error: send needs a configuration file";
    QTest::newRow("extra argument") << QStringList{"version", "x"} << "error: unexpected argument \"x\"";
    QTest::newRow("-o with send") << QStringList{"send", "t.cfg", "-o", "x"} << "error: -o is for the read";
    QTest::newRow("bad port") << QStringList{"version", "--port", "ttyUSB0"} << "error: --port needs COM<n>";
    QTest::newRow("COM0") << QStringList{"version", "--port", "COM0"} << "error: --port needs COM<n>";
    QTest::newRow("bad baud") << QStringList{"version", "--baud", "96k"} << "error: --baud needs";
    QTest::newRow("bad parity") << QStringList{"version", "--parity", "M"} << "error: --parity needs N, E or O";
    QTest::newRow("empty log") << QStringList{"version", "--log="} << "error: --log needs a value";
}

void TstCli::parsesArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, expected);
    args.prepend(QStringLiteral("qz4veld-cli"));
    try {
        const Options o = parse(args).options;
        QCOMPARE(QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(static_cast<int>(o.command))
                     .arg(o.file, o.port, o.baud, o.parity)
                     .arg(o.quiet ? 1 : 0),
                 expected);
    } catch (const UsageError& e) {
        QVERIFY2(expected.startsWith("error: ") && QString::fromUtf8(e.what()).startsWith(expected.mid(7)), e.what());
    }
}

void TstCli::printsEachLineOnceWhenFinal_data()
{
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("marks printed once, final")
        << QStringList{"+Check for QZ4VELDT attached", "=0:Check for QZ4VELDT attached *",
                       "=0:Check for QZ4VELDT attached * *", "+QZ4VELDT responded after 2 tries", "!Done"}
        << false << "Check for QZ4VELDT attached * *\nQZ4VELDT responded after 2 tries\nDone\n" << "";
    QTest::newRow("cleared line still printed")
        << QStringList{"+Write Operation Requested", "C", "+Sent /L4"} << false
        << "Write Operation Requested\nSent /L4\n" << "";
    QTest::newRow("message after the open line")
        << QStringList{"+Sent /L?", "M:Invalid string configuration in QZ4 ..0"} << false << "Sent /L?\n"
        << "Invalid string configuration in QZ4 ..0\n";
    QTest::newRow("printed line changed later")
        << QStringList{"+a", "+b", "=0:a *"} << false << "a\nb\na *\n" << "";
    QTest::newRow("quiet keeps completion and messages")
        << QStringList{"+Sent /L?", "M:box", "! 2 FAILED verifications"} << true << " 2 FAILED verifications\n"
        << "box\n";
    QTest::newRow("control bytes made safe")
        << QStringList{"+Response  \x1b[2J\x07\xc2\x9b"} << false << "Response  ?[2J??\n" << "";
}

void TstCli::printsEachLineOnceWhenFinal()
{
    QFETCH(QStringList, script);
    QFETCH(bool, quiet);
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    ConsoleStatus status(out, err, false);
    status.setQuiet(quiet);
    ConsoleMessages messages(status);
    play(status, messages, script);
    QTEST(QString::fromUtf8(out.data()), "out");
    QTEST(QString::fromUtf8(err.data()), "err");
}

void TstCli::logGetsLinesAsAdded()
{
    const QString log = m_dir.filePath(QStringLiteral("status.log"));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ConsoleStatus status(out, out, false);
    status.setLogFile(log);
    status.setQuiet(true);  // the log does not depend on what is printed
    ConsoleMessages messages(status);
    play(status, messages,
         {"+Check for QZ4VELDT attached", "=0:Check for QZ4VELDT attached *", QStringLiteral("+x") + QChar(0xE8), "!Done"});
    QCOMPARE(test_files::readAll(log), QByteArray("Check for QZ4VELDT attached\r\nx\xe8\r\n"));

    // The 250-line window: indices shift as the oldest lines go.
    for (int i = 0; i < 300; ++i)
        status.add(QString::number(i));
    QCOMPARE(status.line(0), QStringLiteral("50"));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, status.line(ConsoleStatus::kMaxLines));
}

void TstCli::progressBarStepsAsideForLines()
{
    QCOMPARE(progressLine(11, 22, "50%"), QStringLiteral("Progress [###############---------------] row 11/22 50%"));
    QCOMPARE(progressLine(30, 22, "100%"), QStringLiteral("Progress [##############################] row 30/22 100%"));
    QCOMPARE(progressLine(0, 0, "0%"), QStringLiteral("Progress [------------------------------] row 0/0 0%"));

    QBuffer term;
    term.open(QIODevice::WriteOnly);
    ConsoleStatus status(term, term, true);
    status.setProgressMaximum(4);
    status.add("before");  // no bar yet: nothing to erase
    status.showProgress();
    status.setProgressValue(2);
    status.add("after");   // prints "before" with the bar erased, then redraws it
    status.hideProgress();
    status.finish();
    const QByteArray bar = "\r\x1b[K" + progressLine(2, 4, "0%").toUtf8();
    QCOMPARE(term.data(), "\r\x1b[K" + progressLine(0, 4, "0%").toUtf8() + bar + "\r\x1b[Kbefore\n" + bar +
                              "\r\x1b[K" + "after\n");
}

void TstCli::checksTableFiles_data()
{
    QTest::addColumn<QString>("content");  // "" = no file at all
    QTest::addColumn<QString>("error");    // expected start of the message, "" = accepted
    QTest::addColumn<bool>("sendable");
    const QString good = QStringLiteral("00\tA\tab{0D}\t\r\n01\t\t\t\r\n22\tF1\tx\tnote\r\n");
    QTest::newRow("good") << cfg("String Length = 10", good) << "" << true;
    QTest::newRow("missing file") << "" << "Error opening specified config file. Cannot open" << false;
    QTest::newRow("length 11") << cfg("String Length = 11", good) << "Error opening specified config file. String length" << false;
    QTest::newRow("length missing") << cfg("String Length =", good) << "Error opening specified config file. The string length is missing" << false;
    QTest::newRow("row below 0") << cfg("String Length = 2", "-3\tA\tx\t\r\n") << "Error extracting info" << false;
    QTest::newRow("no row lines") << QStringLiteral("hello\r\nworld\r\n") << "holds no row lines" << false;
    QTest::newRow("too long") << cfg("String Length = 2", "05\tA\tabc\t\r\n") << "" << false;
    QTest::newRow("three-digit field") << cfg("String Length = 3", "04\tA\t{123}\t\r\n") << "" << false;
    QTest::newRow("field 00") << cfg("String Length = 3", "04\tA\t{00}\t\r\n") << "" << false;
    QTest::newRow("wide character") << cfg("String Length = 3", QString::fromUtf8("04\tA\t\u20ac\t\r\n")) << "" << false;
    QTest::newRow("unknown key") << cfg("String Length = 3", "07\tF99\tab\t\r\n") << "" << false;
    QTest::newRow("bad row beyond capacity") << cfg("String Length = 10", "30\tF99\t{123}\t\r\n") << "" << true;
}

void TstCli::checksTableFiles()
{
    QFETCH(QString, content);
    QFETCH(QString, error);
    QFETCH(bool, sendable);
    const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".cfg");
    if (!content.isEmpty())
        QVERIFY(test_files::writeAll(path, content.toUtf8()));
    try {
        const TableFile table = loadTable(path);
        QVERIFY2(error.isEmpty(), "the file was accepted");
        try {
            checkSendable(table);
            QVERIFY2(sendable, "the table was found sendable");
        } catch (const UsageError& e) {
            QVERIFY2(!sendable, e.what());
            // Every refusal names its row.
            const QString text = QString::fromUtf8(e.what());
            QVERIFY2(text.startsWith("Row ") || text.startsWith("String at position "), e.what());
        }
        if (QTest::currentDataTag() == QByteArray("good")) {
            QCOMPARE(table.lengthIndex, 9);
            QCOMPARE(table.rows.strings.at(0), QStringLiteral("ab{0D}"));
            QCOMPARE(table.rows.notes.at(22), QStringLiteral("note"));
        }
    } catch (const UsageError& e) {
        QVERIFY2(!error.isEmpty() && QString::fromUtf8(e.what()).contains(error), e.what());
    }
}

void TstCli::choosesPort_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("ports");  // [PORTS] as "n=path,..."
    QTest::addColumn<int>("comPort");
    QTest::addColumn<QString>("path");
    QTest::newRow("settings") << "" << "" << 2 << "/dev/ttyS1";
    QTest::newRow("settings mapped") << "" << "2=/dev/ttyUSB0" << 2 << "/dev/ttyUSB0";
    QTest::newRow("COM option") << "COM4" << "" << 4 << "/dev/ttyS3";
    QTest::newRow("COM option mapped") << "COM4" << "4=/dev/ttyACM0" << 4 << "/dev/ttyACM0";
    QTest::newRow("path of a mapping") << "/dev/ttyUSB3" << "6=/dev/ttyUSB3" << 6 << "/dev/ttyUSB3";
    QTest::newRow("ttyS path") << "/dev/ttyS4" << "" << 5 << "/dev/ttyS4";
    QTest::newRow("ttyS path, number mapped elsewhere") << "/dev/ttyS4" << "5=/dev/ttyUSB0" << 2 << "/dev/ttyS4";
    QTest::newRow("other path") << "/dev/pts/7" << "" << 2 << "/dev/pts/7";
}

void TstCli::choosesPort()
{
    QFETCH(QString, port);
    QFETCH(QString, ports);
    Settings settings;
    settings.comPort = 2;
    settings.parity = QStringLiteral("E");
    for (const QString& entry : ports.split(QLatin1Char(','), Qt::SkipEmptyParts))
        settings.portPaths.insert(entry.section(QLatin1Char('='), 0, 0).toInt(), entry.section(QLatin1Char('='), 1));
    Options options;
    options.port = port;
    options.baud = QStringLiteral("4800");
    const PortChoice choice = choosePort(options, settings);
    QTEST(choice.comPort, "comPort");
    QTEST(port_settings::devicePath(choice.comPort, choice.paths), "path");
    QCOMPARE(choice.settingsText, QStringLiteral("4800,E,8,2"));
}

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
