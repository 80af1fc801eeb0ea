// The command-line tool's parts; whole runs are in tst_e2e_runs.
#include "cli/cli_options.h"
#include "cli/console_messages.h"
#include "cli/console_status.h"
#include "cli/runner.h"
#include "cli/table_check.h"
#include "support/data_row.h"
#include "support/fake_device.h"
#include "support/file_helpers.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace cli;
using test_data::row;
Q_DECLARE_METATYPE(cli::Command)

namespace {

// Standard output and standard error of one run, kept in memory.
struct Captured final {
    Captured()
    {
        out.open(QIODevice::WriteOnly);
        err.open(QIODevice::WriteOnly);
    }
    QBuffer out;
    QBuffer err;
    Console console{out, err, false};
};

}  // namespace

class TstCli final : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void parsesArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<Command>("command");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<bool>("quiet");
        const auto row = [](const char* tag, const QStringList& args, Command command, const QStringList& values,
                            bool quiet) {  // values: file, port, baud, parity
            QTest::newRow(tag) << args << command << values.at(0) << values.at(1) << values.at(2) << values.at(3)
                               << quiet;
        };
        row("read -o", {"read", "-o", "a.cfg", "--port", "com3", "--quiet"}, Command::Read, {"a.cfg", "COM3", "", ""},
            true);
        row("send", {"send", "t.cfg", "--port", "/dev/ttyUSB1", "--baud", "19200", "--parity", "e"}, Command::Send,
            {"t.cfg", "/dev/ttyUSB1", "19200", "E"}, false);
        row("check", {"check", "t.cfg", "--port", "serial:A1"}, Command::Check, {"t.cfg", "serial:A1", "", ""}, false);
    }
    void parsesArguments()
    {
        QFETCH(QStringList, args);
        const Options o = parse(QStringList{"qz4veld-cli"} + args).options;
        QTEST(o.command, "command");
        QTEST(o.file, "file");
        QTEST(o.port, "port");
        QTEST(o.baud, "baud");
        QTEST(o.parity, "parity");
        QTEST(o.quiet, "quiet");
    }

    void refusesArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");  // the error's start
        const auto row = [](const char* tag, const QStringList& args, const QString& error) {
            QTest::newRow(tag) << args << error;
        };
        row("unknown command", {"write", "t.cfg"}, "unknown command \"write\"");
        row("extra argument", {"version", "x"}, "unexpected argument \"x\"");
        row("-o with send", {"send", "t.cfg", "-o", "x"}, "-o is for the read");
        row("COM0", {"version", "--port", "COM0"}, "--port needs COM<n>");
        row("bad parity", {"version", "--parity", "M"}, "--parity needs N, E or O");
        row("port twice", {"version", "--port", "com1", "--port", "COM1"}, "--port \"COM1\" is given twice");
        row("auto-all and more", {"version", "--port", "auto-all", "--port", "COM1"}, "--port auto-all already takes");
        row("empty serial", {"version", "--port", "serial:"}, "--port needs COM<n>");
        row("--probe with read", {"read", "--probe"}, "--probe is for the ports");
    }
    void refusesArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const QString refusal = test_files::errorOf([&] { parse(QStringList{"qz4veld-cli"} + args); });
        QVERIFY2(refusal.startsWith(error), qPrintable(refusal));
    }

    // Steps: "+text" adds a line, "=i:text" changes line i, "C" clears, "Mtext"
    // shows a message box, "Q" is --quiet. Presence marks are seen in whole runs.
    void printsEachLineOnceWhenFinal_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const auto row = [](const char* tag, const QStringList& script, const QString& out, const QString& err = "") {
            QTest::newRow(tag) << script << out << err;
        };
        row("cleared line", {"+Write Operation Requested", "C", "+Sent /L4"}, "Write Operation Requested\nSent /L4\n");
        row("quiet message", {"Q", "+Sent /L?", "MInvalid string configuration in QZ4 ..0"}, "",
            "Invalid string configuration in QZ4 ..0\n");
        row("printed line changed", {"+a", "+b", "=0:a *"}, "a\nb\na *\n");
        row("control bytes", {"+Response  \x1b[2J\x07\xc2\x9b"}, "Response  ?[2J??\n");
    }
    void printsEachLineOnceWhenFinal()
    {
        QFETCH(QStringList, script);
        Captured run;
        ConsoleStatus status(run.out, run.err, false);
        const QString log = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()));
        status.setLogFile(log);
        ConsoleMessages messages(status);
        QString logged;
        for (const QString& step : script) {
            const QString arg = step.mid(1);
            const char op = step.at(0).toLatin1();
            if (op == 'Q') {
                status.setQuiet(true);
            } else if (op == '+') {
                status.add(arg);
                logged += arg + "\r\n";
            } else if (op == '=') {
                status.setLine(arg.section(':', 0, 0).toInt(), arg.section(':', 1));
            } else if (op == 'C') {
                status.clear();
            } else {
                messages.info(arg);
            }
        }
        status.finish();
        QTEST(QString::fromUtf8(run.out.data()), "out");
        QTEST(QString::fromUtf8(run.err.data()), "err");
        QCOMPARE(QString::fromLatin1(test_files::readAll(log)), logged);  // every line as added, raw
    }

    void progressBarStepsAsideForLines()
    {
        QCOMPARE(progressLine(11, 22, "50%"),
                 QStringLiteral("Progress [###############---------------] row 11/22 50%"));
        QCOMPARE(progressLine(30, 22, "100%"),
                 QStringLiteral("Progress [##############################] row 30/22 100%"));
        QBuffer term;
        term.open(QIODevice::WriteOnly);
        ConsoleStatus status(term, term, true);
        status.setProgressMaximum(4);
        status.add("before");
        status.showProgress();
        status.setProgressValue(2);
        status.add("after");  // "before" is printed with the bar out of the way
        status.hideProgress();
        status.finish();
        const QByteArray erase = "\r\x1b[K";
        const QByteArray bar = erase + progressLine(2, 4, "0%").toUtf8();
        QCOMPARE(term.data(),
                 erase + progressLine(0, 4, "0%").toUtf8() + bar + erase + "before\n" + bar + erase + "after\n");
    }

    // What check prints for a file: one line per finding (its start here), then the count.
    void checkReportsEveryFinding_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("report");
        QString clean = "String Length = 10\n00\tA\tab\t\n";
        for (int r = 1; r < 23; ++r)
            clean += QStringLiteral("%1\t\t\t\n").arg(r);
        row("clean", clean, 0, QStringList{});
        row("everything",
            "String Length = 10\n-3\tA\tx\t\n00\tA\tab\t\n01\tA\tcd\t\n02\tF99\tx\t\n"
            "03\tB\tabcdefghijk\t\n04\tC\t{1FF}\t\n30\tC\t\t",
            1,
            QStringList{"refused: Error extracting info", "warning: Rows 5 to 22 are not in the file",
                        "warning: Row 1: the key \"A\" is also in row 0", "refused: Row 2: the key name \"F99\"",
                        "refused: String at position 3 is longer than 10", "refused: Row 4: the string \"{1FF}\"",
                        "warning: Row 30 is beyond the 23 rows"});
        row("no rows", "String Length = 3", 1, QStringList{"refused: no row lines", "warning: Rows 0 to 62 are not"});
        row("unreadable", "String Length = 11", 2, QStringList{});
        // Allowed but rarely meant: one warning line each.
        row("row set twice", clean + "05\tB\t\t\n05\tC\t\t", 1,
            QStringList{"warning: Row 5 is set 3 times (lines 7, 25 and 26); the last"});
        row("rows beyond", clean + "30\t\tq\t\n40\t\t\t", 1,
            QStringList{"warning: Row 30 is beyond the 23 rows string length 10 holds: it is not sent"});
        row("rows left out", clean + "String Length = 9", 1,
            QStringList{"warning: Rows 23 and 24 are not in the file; they are"});
        row("--strict: warnings refused", clean + "String Length = 9", 1,
            QStringList{"refused: Rows 23 and 24 are not in the file"});
    }
    void checkReportsEveryFinding()
    {
        QFETCH(QString, lines);
        QFETCH(QStringList, report);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".cfg");
        QVERIFY(test_files::writeAll(path, lines.toUtf8()));
        Captured run;
        QTEST(runCheck(path, QByteArray(QTest::currentDataTag()).startsWith("--strict"), run.console), "exitCode");
        QStringList printed = QString::fromUtf8(run.out.data()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.size(), report.size() + (run.err.data().isEmpty() ? 1 : 0));
        for (qsizetype i = 0; i < report.size(); ++i)
            QVERIFY2(printed.at(i).startsWith(report.at(i)), qPrintable(printed.at(i)));
    }

    // Refused with exit status 2 before any port is opened (the port named does not exist).
    void refusesBeforeTheDevice_data()
    {
        QTest::addColumn<QStringList>("args");  // %D = a folder of this test
        QTest::addColumn<QString>("table");  // %D/t.cfg after its header, "String Length = n" first
        QTest::addColumn<QString>("err");  // contained in standard error
        const auto row = [](const char* tag, const QStringList& args, const QString& err, const QString& table = "") {
            QTest::newRow(tag) << args << table << err;
        };
        row("unknown option", {"verify", "%D/t.cfg", "--fast"}, "Unknown option 'fast'");
        row("missing table", {"send", "%D/none.cfg"}, "%D/none.cfg\": No such file");
        row("pipe as the table", {"send", "%D/pipe.cfg"}, "%D/pipe.cfg\": it is not a regular file");
        row("pipe as the settings file", {"version", "--baud", "9600"},
            "the settings file cannot be used: Cannot open \"%D/QZ4Vel.ini\"");
        row("link to nothing as -o", {"read", "-o", "%D/dangling.cfg"}, "which does not exist");
        row("-o in a missing folder", {"read", "-o", "%D/none/x.cfg"}, "the folder %D/none does not exist");
        row("--strict with warnings", {"send", "%D/short.cfg", "--strict"}, "--strict: %D/short.cfg has warnings");
        // Only the missing port stops these.
        row("warnings alone go on", {"send", "%D/short.cfg"}, "Rows 1 to 35 are not in the file");
        row("a row beyond the capacity, go on", {"send", "%D/t.cfg"}, "t.cfg: Row 30 is beyond the 23 rows",
            "String Length = 10\n00\tA\tab{0D}\tnote\n22\tF1\tx\t\n30\tF99\t{123}\t");
        row("row below 0", {"verify", "%D/t.cfg"}, "t.cfg: Error extracting info", "String Length = 2\n-3\tA\tx\t");
        row("no row lines", {"send", "%D/t.cfg"}, "t.cfg holds no row lines", "hello");
        row("unknown key", {"send", "%D/t.cfg"}, "Row 7: the key name \"F99\"", "String Length = 3\n07\tF99\tab\t");
        row("literal NUL", {"send", "%D/t.cfg"}, "Row 3: the string \"a{00}\"",
            QString("String Length = 4\n03\tA\ta") + QChar(0) + "\t");
        row("open field", {"send", "%D/t.cfg"}, "Row 3: the string \"a{4\" cannot end with an open",
            "String Length = 4\n03\tA\ta{4\t");
        row("log is a pipe", {"version", "--log", "%D/pipe.cfg"}, "\"%D/pipe.cfg\": it is not a regular file");
        row("log is a device", {"version", "--log", "/dev/null"}, "\"/dev/null\": it is not a regular file");
        row("-o where no file can be made", {"read", "-o", "/proc/version"}, "Cannot write \"/proc/version\"");
    }
    void refusesBeforeTheDevice()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, table);
        QFETCH(QString, err);
        QTemporaryDir dir;
        const QByteArray d = QFile::encodeName(dir.path());
        const bool settingsPipe = QByteArray(QTest::currentDataTag()).contains("settings");
        QVERIFY(::mkfifo(d + (settingsPipe ? "/QZ4Vel.ini" : "/pipe.cfg"), 0600) == 0);
        // PORT names no port, and --port makes it irrelevant.
        QVERIFY(settingsPipe || test_files::writeAll(dir.filePath("QZ4Vel.ini"), "[COMSETTINGS]\nPORT=0\n"));
        QVERIFY(::symlink(d + "/none.cfg", d + "/dangling.cfg") == 0);
        QVERIFY(test_files::writeAll(dir.filePath("short.cfg"), "String Length = 6\n00\tA\tx\t\n"));
        QVERIFY(test_files::writeAll(dir.filePath("t.cfg"),
                                     ("#Quorvane QZ4VELDT configuration file\n\n" + table).toUtf8()));
        Captured run;
        const QByteArray& errors = run.err.data();
        const int status =
                execute(QStringList{"qz4veld-cli", "--port", "/dev/qz-none"} + args.replaceInStrings("%D", dir.path()),
                        dir.path(), run.console);
        QCOMPARE(status, kExitUsage);
        QVERIFY2(QString::fromUtf8(errors).contains(err.replace("%D", dir.path())), errors.constData());
        QCOMPARE(errors.contains("Cannot open /dev/qz-none: no such serial device"),
                 QByteArray(QTest::currentDataTag()).contains("go on"));
        QCOMPARE(errors.contains("--help"), args.contains("--fast"));  // only a command line's slip
    }

    // The last line of a run is its completion text, also where the window's label stays hidden.
    void runsEndWithTheirCompletion_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArray>("lengthAnswer");  // "-": the device is absent
        QTest::addColumn<QString>("lastLine");
        row("verify", Command::Verify, QByteArray("6"), "Successful Verification");
        row("verify, absent", Command::Verify, QByteArray("-"), "FAILED VERIFICATION");
        row("verify, length U", Command::Verify, QByteArray("U"), "FAILED VERIFICATION");
        row("verify, no length", Command::Verify, QByteArray(), "FAILED VERIFICATION");
        row("read, no length", Command::Read, QByteArray(), "Failed Read");
    }
    void runsEndWithTheirCompletion()
    {
        QFETCH(Command, command);
        QFETCH(QByteArray, lengthAnswer);
        fakedev::Rig rig;
        rig.device.faults().absent = lengthAnswer == "-";
        rig.scripted.answers["/L?"] = lengthAnswer;
        Captured run;
        ConsoleStatus status(run.out, run.err, false);
        Options options;
        options.command = command;
        TableFile table;
        const DeviceOutcome outcome = runOnOpenPort(options, {}, rig.scripted, rig.waiter, table, status, run.console);
        QCOMPARE(outcome.exitStatus, lengthAnswer == "6" ? kExitSucceeded : kExitNotSucceeded);
        QTEST(QString::fromUtf8(run.out.data()).split('\n', Qt::SkipEmptyParts).constLast(), "lastLine");
    }
};

QTEST_GUILESS_MAIN(TstCli)
#include "tst_cli.moc"
