// The files layer: configuration files and table snapshots, QZ4Vel.ini and the settings kept in it, the status
// log file, the production record.
#include "files/config_file.h"
#include "files/file_error.h"
#include "files/ini_file.h"
#include "files/log_file.h"
#include "files/record_file.h"
#include "files/recovery_store.h"
#include "files/settings.h"
#include "support/data_row.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

#include <sys/stat.h>

using Kind = config_file::ConfigItem::Kind;
using test_data::row;
using test_files::readAll;
using test_files::writeAll;

namespace {

const QDateTime kWritten(QDate(2024, 3, 9), QTime(14, 5, 7));

// One readable line per item, so a whole file's outcome compares as a list; "-" is an absent field.
QStringList itemsOf(const QString& path)
{
    QStringList items;
    config_file::ConfigReader reader(path);
    while (const auto item = reader.next())
        items << (item->kind == Kind::StringLength ? QStringLiteral("length %1").arg(item->stringLength)
                          : item->kind == Kind::Row
                          ? QStringList{QString::number(item->row), item->keyName, item->string.value_or("-"),
                                        item->note.value_or("-")}
                                    .join('|')
                          : (item->kind == Kind::LineError ? "line error: " : "open error: ") + item->message);
    return items;
}

// Port, baud rate, parity and ENABLESTRINGS, a list so that a failure names the one that differs.
QStringList summary(const Settings& s)
{
    return {QString::number(s.comPort), s.baud, s.parity, QString::number(s.enableStrings)};
}

}  // namespace

class TstFiles : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name = QStringLiteral("table.cfg")) const { return m_dir.filePath(name); }
    QString ini() const { return path(QStringLiteral("QZ4Vel.ini")); }

private slots:
    void init() { QFile::remove(ini()); }

    void writesTheDocumentedLayout()
    {
        RowTable rows;
        std::tie(rows.keyNames.at(0), rows.strings.at(0), rows.notes.at(0)) = std::tuple("F9", "ab{0D}", " first row");
        std::tie(rows.keyNames.at(7), rows.keyNames.at(94)) = std::tuple("\\", "never written");  // written as it is
        const QStringList lines = QString::fromUtf8(config_file::render(rows, 10, kWritten)).split("\r\n");
        const QLocale locale = QLocale::system();
        const QString written = locale.toString(kWritten.date(), QLocale::ShortFormat) + ' '
                + locale.toString(kWritten.time(), QLocale::LongFormat);
        QCOMPARE(lines.mid(0, 6),
                 (QStringList{"#Quorvane QZ4VELDT configuration file", "#File written " + written, "",
                              "String Length = 10", "", "00\tF9\tab{0D}\t first row"}));
        QCOMPARE(lines.at(5 + 7), QStringLiteral("07\t\\\t\t"));
        QCOMPARE(lines.mid(5 + 93), (QStringList{"93\t\t\t", ""}));  // rows 0..93, each ending in CR LF
        for (int bad : {0, 11})
            QVERIFY_THROWS_EXCEPTION(FileError, config_file::save(path(QStringLiteral("refused.cfg")), rows, bad));
        QVERIFY(!QFile::exists(path(QStringLiteral("refused.cfg"))));
        // One note needing escapes turns escaping on for the whole file (marked in the header); so does a final blank.
        for (const auto& [note, escaped] : {std::pair("a\tb\nc\rd", "a\\tb\\nc\\rd"), std::pair("a  ", "a \\s")}) {
            RowTable one;
            std::tie(one.strings.at(3), one.notes.at(3)) = std::tuple(QStringLiteral("x\\y"), note);
            const QStringList out = QString::fromUtf8(config_file::render(one, 6, kWritten)).split("\r\n");
            QCOMPARE(out.at(2), QLatin1String(config_file::kEscapeMarker));
            QCOMPARE(out.at(9), "03\t\tx\\\\y\t" + QString(escaped));
        }
    }

    // Reading rules on hand-made files; each expected entry is one item, in order.
    void reader_data()
    {
        using B = QByteArray;
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("items");
        const QString lineError = QStringLiteral("line error: Error extracting info from config file. Row number ");
        const QString openError = QStringLiteral("open error: Error opening specified config file. ");
        const QString notLength = QStringLiteral(" is not a number from 1 to 10");
        const B marker = B(config_file::kEscapeMarker) + "\r\n";
        const auto row = [](const char* tag, const B& content, const QStringList& items) {
            QTest::newRow(tag) << content << items;
        };
        row("comments and blank lines", "   #c\r\n   \r\n\r\n#\tx\ty\r\n  String Length = 03  \r\n05\tF1\r\n",
            {"length 3", "5|F1|-|-"});
        row("fields present and absent",
            "07\tF1\n08\tF2\tab\n09\tF3\tcd\tnote\n10\tF4\tef\tgh\textra\n  11\t\t a \t n  \n",
            {"7|F1|-|-", "8|F2|ab|-", "9|F3|cd|note", "10|F4|ef|gh", "11|| a | n"});
        row("numbers rounded half to even", "5.5\tA\n4.5\tB\n 8 \tC\n1e1\tD\n-0.4\tE\n92.0\tF\n+3\tG\n",
            {"6|A|-|-", "4|B|-|-", "8|C|-|-", "10|D|-|-", "0|E|-|-", "92|F|-|-", "3|G|-|-"});
        row("lines that change nothing",
            "92.4\tA\n93\tA\n100\tB\nQ\tC\n0x5\tD\ninf\tE\nnan\tF\n1,5\tG\n\tH\n05\nstring length = 5\n", {});
        row("row below 0 goes on", "-1\tF1\n-2.6\tF2\n-1e300\tF4\n06\tF3\n",
            {lineError + "\"-1\" in line 1 is below 0 iitemnumber-1 =-2",
             lineError + "\"-2.6\" in line 2 is below 0 iitemnumber-1 =-4",
             lineError + "\"-1e300\" in line 3 is below 0 iitemnumber-1 =-1e+300", "6|F3|-|-"});
        row("string length 0 stops", "01\tA\nString Length = 0\n02\tB\n",
            {"1|A|-|-", openError + "String length \"0\" in line 2" + notLength});
        row("string length: the leading number", "String Length = 3 chars\nString Length = 6.0\n",
            {"length 3", "length 6"});
        row("string length letters", "String Length = ch 5\n",
            {openError + "String length \"ch 5\" in line 1" + notLength});
        // The number is found by its position, not after the "=".
        row("string length missing", "String Length=5\n", {openError + "The string length is missing in line 1"});
        row("marker decodes fields", marker + "01\t\\\\\ta\\tb\\q\tline\\r\\nnext\\s\\\n",
            {"1|\\|a\tb\\q|line\r\nnext \\"});
        row("marker after rows ignored", "01\tA\n" + marker + "02\t\\\\\n", {"1|A|-|-", "2|\\\\|-|-"});
        row("LF and lone CR end lines", "01\tA\n02\tB\r03\tC\r\n\r04\tD", {"1|A|-|-", "2|B|-|-", "3|C|-|-", "4|D|-|-"});
        row("UTF-8 with byte-order mark", B("\xEF\xBB\xBF") + "01\t\xC3\xBC\t\xE2\x82\xAC\n",
            {QString::fromUtf8("1|\u00FC|\u20AC|-")});
        row("not UTF-8 read as Latin-1", "01\tA\t\xE9\x80\n02\t\xC3\xBC\n",
            {QString::fromLatin1("1|A|\xE9\x80|-"), QString::fromLatin1("2|\xC3\xBC|-|-")});
    }
    void reader()
    {
        QFETCH(QByteArray, content);
        QVERIFY(writeAll(path(), content));
        QTEST(itemsOf(path()), "items");
    }

    // The string length is announced before the rows after it; absent fields keep their old text; rows read
    // before an open error stay loaded. An oversized file is refused.
    void applyToOrderPartialLoadAndOpenErrors()
    {
        QVERIFY(writeAll(path(),
                         "05\tA\r\nString Length = 3\r\n06\tB\tbb\r\n-1\tC\r\nString Length = 12\r\n07\tD\r\n"));
        RowTable rows;
        for (auto* column : {&rows.keyNames, &rows.strings, &rows.notes})
            column->fill(QStringLiteral("old"));
        QStringList seen;
        const auto summary = config_file::applyTo(
                rows, path(), [&](int n) { seen << QString::number(n) + rows.keyNames.at(5) + rows.keyNames.at(6); });
        QCOMPARE(seen, QStringList{QStringLiteral("3Aold")});
        QCOMPARE(summary.stringLength, 3);
        QCOMPARE(summary.lineErrors.size(), 1);
        QVERIFY(!summary.complete());
        QCOMPARE(QStringList(rows.keyNames.begin() + 5, rows.keyNames.begin() + 8), QStringList({"A", "B", "old"}));
        QCOMPARE(QStringList(rows.strings.begin() + 5, rows.strings.begin() + 8), QStringList({"old", "bb", "old"}));
        QCOMPARE(QStringList(rows.notes.begin() + 5, rows.notes.begin() + 8), QStringList(3, "old"));
        const QString large = path(QStringLiteral("large.cfg"));  // sparse: costs no disk
        QVERIFY(writeAll(large, {}) && QFile::resize(large, config_file::kMaxFileSize + 1));
        const QString error = config_file::applyTo(rows, large).openError;  // a missing file, a pipe: other programs
        QVERIFY2(error.startsWith("Error opening specified config file. "), qPrintable(error));
        QVERIFY2(error.contains(large), qPrintable(error));
    }

    // A snapshot gives back the table with its file name and label and the time it was taken, and only one
    // running copy of the program keeps it. One cut short or without its time is renamed out of the way and
    // reported once (garbage: the window tests).
    void snapshot()
    {
        RecoveryStore store(path(QStringLiteral("state"))), other(path(QStringLiteral("state")));
        TableState state;  // line ends, tabs, backslashes, any character; only the string needs escaping
        std::tie(state.rows.keyNames.at(0), state.rows.strings.at(1), state.rows.notes.at(92)) =
                std::tuple("\\s\\t\\", "a\tb\r\nc\rd\ne{0D}\r", " #\"\u00FC\u20AC\U0001F600\\");
        std::tie(state.stringLength, state.configFileName, state.configLabel) =
                std::tuple(3, "/a b\\t/x\ty.cfg ", "x\ty.cfg\n");
        store.write(state, kWritten);
        const auto snapshot = store.read();
        QVERIFY(snapshot && snapshot->state);
        QCOMPARE(snapshot->taken, kWritten);
        QVERIFY(snapshot->state->sameTable(state));  // the rows and the string length
        QCOMPARE(snapshot->state->configFileName, state.configFileName);
        QCOMPARE(snapshot->state->configLabel, state.configLabel);
        QVERIFY(store.claim() && store.claim());  // a second claim of the same copy holds
        QVERIFY(!other.claim());
        const QByteArray good = readAll(store.path());
        for (const QByteArray& bad : {good.left(800), QByteArray(good).replace("#Table snapshot taken", "#")}) {
            QTemporaryDir folder;
            RecoveryStore broken(folder.path());
            QVERIFY(writeAll(broken.path(), bad));
            const auto unreadable = broken.read();
            QVERIFY(unreadable && !unreadable->state);
            QVERIFY2(unreadable->problem.contains("set aside"), qPrintable(unreadable->problem));
            QCOMPARE(QDir(folder.path()).entryList({"table-snapshot-unreadable-*.cfg"}).size(), 1);
            QVERIFY(!broken.read());
        }
    }

    void iniRead()
    {
        QVERIFY(writeAll(
                ini(),
                "\xEF\xBB\xBF[comsettings]\nport=4\n [ A ] \n  K \t=  5  \r\n;J=9\nQ=\"x y\"\nE=\nK=2\nH=\xE9\xFF\nL="
                        + QByteArray(1500, 'v') + "\n[B]\nZ=1\n"));
        const auto read = [this](const char* section, const char* key) {
            return IniFile(ini()).read(section, key, "fb");
        };
        QCOMPARE(read("COMSETTINGS", "PORT"), QStringLiteral("4"));  // names in any case, after a byte-order mark
        QCOMPARE(read("A", "K"), QStringLiteral("5"));  // blanks around; the first duplicate wins
        QCOMPARE(read("A", "Q"), QStringLiteral("x y"));  // one pair of quotes dropped
        QCOMPARE(read("A", "E"), QString());
        QCOMPARE(read("A", "J"), QStringLiteral("fb"));  // a comment
        QCOMPARE(read("B", "K"), QStringLiteral("fb"));  // only the section's own keys
        QCOMPARE(read("A", "Z"), QStringLiteral("fb"));
        QCOMPARE(read("A", "H"), QString::fromLatin1("\xE9\xFF"));
        QCOMPARE(read("A", "L"), QString(IniFile::kMaxValue, QLatin1Char('v')));
    }

    // Every line other than the one written comes back byte for byte.
    void iniWrite_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("assignment");  // section/key=value
        QTest::addColumn<QByteArray>("after");
        row("from nothing", QByteArray(), "GENERAL/ENABLESTRINGS=1", QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        row("in place, LF, key case kept", QByteArray("[a]\nport = 1  \n"), "A/PORT=12",
            QByteArray("[a]\nport = 12\n"));
        row("own section only", QByteArray("[A]\nK=1\n[B]\n"), "B/K=2", QByteArray("[A]\nK=1\n[B]\nK=2\n"));
        row("key before blank line", QByteArray("[A]\r\nK=1\r\n\r\n[B]\r\n"), "A/J=2",
            QByteArray("[A]\r\nK=1\r\nJ=2\r\n\r\n[B]\r\n"));
        row("new section after unterminated line", QByteArray("[A]\nK=1"), "B/K=v", QByteArray("[A]\nK=1\n[B]\nK=v\n"));
        row("8-bit and mixed ends kept", QByteArray("[A]\r\n\xE9\xFF=1\nK=1\r\n#\x01\r\n"),
            QString::fromLatin1("A/K=\xE9"), QByteArray("[A]\r\n\xE9\xFF=1\nK=\xE9\r\n#\x01\r\n"));
        // Found by fuzzing: the new key used to be glued onto a last line ending in a lone CR.
        row("last line ends in CR", QByteArray("[PORTS]\r\nC1=/dev/00\r"), "PORTS/COM1=201",
            QByteArray("[PORTS]\r\nC1=/dev/00\r\r\nCOM1=201\r\n"));
        row("CR-only file", QByteArray("[A]\rK=1\r\r[B]"), "A/J=2", QByteArray("[A]\rK=1\rJ=2\r\r[B]"));
        row("CR inside a line", QByteArray("[PORTS]\nC1=a\rb\n"), "PORTS/COM1=201",
            QByteArray("[PORTS]\nC1=a\rb\nCOM1=201\n"));
    }
    void iniWrite()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, assignment);
        QVERIFY(before.isEmpty() || writeAll(ini(), before));
        const QString key = assignment.section('=', 0, 0);
        IniFile(ini()).write(key.section('/', 0, 0), key.section('/', 1), assignment.section('=', 1));
        QTEST(readAll(ini()), "after");
    }

    // Input that would break the line structure, a full disk and unusable places leave every file as it was,
    // and the error names the file.
    void iniRefusedAndFailed_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        row("line break in value", "QZ4Vel.ini", "A/K", "1\n[B]");
        row("equals in key", "QZ4Vel.ini", "A/K=1", "2");
        row("bracket in section", "QZ4Vel.ini", "A]/K", "2");
        row("wide character", "QZ4Vel.ini", "A/K", QString::fromUtf8("\u20AC"));
        row("full disk", "QZ4Vel.ini", "A/K", QString(IniFile::kMaxValue, QLatin1Char('z')));
        row("folder is a file", "file/QZ4Vel.ini", "A/K", "1");
        row("there but unreadable", "dir.ini", "A/K", "1");
    }
    void iniRefusedAndFailed()
    {
        QFETCH(QString, target);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QByteArray before("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n");
        QVERIFY(writeAll(dir.filePath("QZ4Vel.ini"), before) && writeAll(dir.filePath("file"), "x"));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("dir.ini")));
        const QString error = test_files::errorOf<FileError>([&] {
            test_files::FileSizeLimit limit(64);  // as a full disk
            IniFile(dir.filePath(target)).write(key.section('/', 0, 0), key.section('/', 1), value);
        });
        QVERIFY2(error.contains(dir.filePath(target)), qPrintable(error));
        QCOMPARE(readAll(dir.filePath("QZ4Vel.ini")), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({"QZ4Vel.ini", "dir.ini", "file"}));  // no temporary file left
    }

    // A value not starting with a number is reported and keeps its default (1); other values are still read.
    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error");
        const QString outside = QStringLiteral("PORT value \"%1\" in %2 is outside -32768..32767");
        row("signs", QByteArray("-2"), -2, "");
        row("16-bit top", QByteArray("+32767"), 32767, "");
        row("no leading number, a control byte shown", QByteArray("x\x1a\x33"), 1,
            "PORT value \"x?3\" in %2 is not a number");
        row("above 16 bits", QByteArray("32768"), 1, outside.arg("32768"));
        row("above 64 bits, cut in the message", QByteArray(50, '9'), 1, outside.arg(QString(40, '9') + "..."));
    }
    void loadSettings()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, port);
        QFETCH(QString, error);
        QVERIFY(writeAll(ini(),
                         "[comsettings]\nport=" + text + "\nBaud=19200\nPARITY=E\n[GENERAL]\nENABLESTRINGS=1\n"));
        const auto result = settings_file::load(ini());
        QCOMPARE(summary(result.settings), QStringList({QString::number(port), "19200", "E", "1"}));
        QCOMPARE(result.errors, error.isEmpty() ? QStringList() : QStringList{error.arg(ini())});
        QCOMPARE(result.portError, error.isEmpty() ? QString() : error.arg(ini()));
    }

    // Lines end in CR alone (old Mac editors); a file that is no text gets one word and the defaults.
    void settingsTextForms_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("errors");
        row("CR only", QByteArray("[COMSETTINGS]\rPORT=3\rBAUD=1200\r\r[GENERAL]\rENABLESTRINGS=1"),
            QStringList{"3", "1200", "N", "1"}, QStringList());
        row("binary", QByteArray("[COMSETTINGS]\nPORT=3\n") + QByteArray("\x89PNG\0\x01", 6),
            QStringList{"1", "9600", "N", "0"}, QStringList{"%1 is not a text file; the default settings are used"});
    }
    void settingsTextForms()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, errors);
        QVERIFY(writeAll(ini(), bytes));
        const auto result = settings_file::load(ini());
        QTEST(summary(result.settings), "settings");
        QCOMPARE(result.errors, errors.replaceInStrings("%1", ini()));
    }

    // No file; bad numbers and [PORTS] entries (the first of a number wins); a device chosen later; a huge file.
    void settingsMissingBadAndPorts()
    {
        const auto none = settings_file::load(ini());
        QCOMPARE(summary(none.settings), QStringList({"1", "9600", "N", "0"}));
        QCOMPARE(none.errors, QStringList());
        QVERIFY(!QFile::exists(ini()));
        QVERIFY(writeAll(ini(),
                         "[GENERAL]\nENABLESTRINGS=yes\n[COMSETTINGS]\nPORT=one\n[PORTS]\nCOM1=/dev/ttyUSB0\n"
                         "com2 = /dev/pts/5\nCOM1=/dev/second\nCOM0=/x\nLPT1=/y\nCOM3=\nCOM4=/dev/\xC3\xBC\n"));
        const auto result = settings_file::load(ini());
        const QMap<int, QString> expected{
                {1, "/dev/ttyUSB0"}, {2, "/dev/pts/5"}, {4, QString::fromUtf8("/dev/\u00FC")}};
        QCOMPARE(result.settings.portPaths, expected);
        QCOMPARE(result.errors.size(), 5);  // PORT, ENABLESTRINGS, then COM0, LPT1 and the empty COM3
        QVERIFY(result.errors.at(0).startsWith(QStringLiteral("PORT ")));
        QVERIFY(result.errors.at(1).startsWith(QStringLiteral("ENABLESTRINGS ")));
        // A device chosen anew replaces its own value only, in the file system's encoding; the rest stays as written.
        const QString stable = QString::fromUtf8("/dev/serial/by-id/usb-\u00FC-if00");
        Settings chosen = result.settings;
        chosen.portPaths[2] = stable;
        settings_file::save(ini(), chosen);
        QCOMPARE(settings_file::load(ini()).settings.portPaths,
                 (QMap<int, QString>{{1, "/dev/ttyUSB0"}, {2, stable}, {4, expected[4]}}));
        const QByteArray file = readAll(ini());
        QCOMPARE(file.mid(file.indexOf("[PORTS]")),
                 "[PORTS]\nCOM1=/dev/ttyUSB0\ncom2 = /dev/serial/by-id/usb-\xC3\xBC-if00\n"
                 "COM1=/dev/second\nCOM0=/x\nLPT1=/y\nCOM3=\nCOM4=/dev/\xC3\xBC\n");
        // There, but not a file to read (a folder and a pipe alike): one message at once, and the defaults.
        QVERIFY(writeAll(ini(), "[COMSETTINGS]\nPORT=3\n;" + QByteArray(1 << 20, 'x')));
        const auto large = settings_file::load(ini());
        QCOMPARE(large.errors.size(), 1);
        QVERIFY2(large.errors.at(0).contains("too large"), qPrintable(large.errors.at(0)));
        QCOMPARE(large.settings.comPort, 1);
    }

    // QZ4Vel.ini of an installed copy whose program folder cannot be written is read there until the first SAVE, which
    // goes to the user's folder and starts from the shipped file, so its [PORTS] survive. From then on the user's file
    // is read, and never replaced. A writable program folder's file is always the one read.
    void settingsLocation()
    {
        QTemporaryDir program;
        const QByteArray shipped = "[COMSETTINGS]\r\nPORT=2\r\n[PORTS]\r\nCOM4=/dev/ttyUSB0\r\n";
        QVERIFY(writeAll(settings_file::pathIn(program.path()), shipped));
        const QString user = path(QStringLiteral("user/sub"));
        const auto where = settings_file::locate(program.path(), user, false);
        QVERIFY(where.savesToUser);
        QCOMPARE(where.savePath, where.userPath);
        QCOMPARE(where.readPath, where.programPath);
        settings_file::prepareSave(where);
        settings_file::save(where.savePath, Settings{.comPort = 3, .portPaths = {}});
        settings_file::prepareSave(where);
        QCOMPARE(settings_file::locate(program.path(), user, false).readPath, where.userPath);
        const auto writable = settings_file::locate(program.path(), user, true);
        QVERIFY(!writable.savesToUser);
        QCOMPARE(writable.savePath, where.programPath);
        QCOMPARE(writable.readPath, where.programPath);
        const auto loaded = settings_file::load(where.savePath).settings;
        QCOMPARE(loaded.comPort, 3);
        QCOMPARE(loaded.portPaths.value(4), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(readAll(settings_file::pathIn(program.path())), shipped);
    }

    // Lines are appended as 8-bit text with CR LF; each failure names the file, with the reason after ": ".
    void logFile()
    {
        const QString log = path(QStringLiteral("status.log"));
        QByteArray everyByte(256, '\0');
        std::iota(everyByte.begin(), everyByte.end(), 0);
        QVERIFY(writeAll(log, "earlier run\n"));
        log_file::append(log, QStringList{QStringLiteral("Sent z"), QString::fromUtf8("wide \u20AC")});
        log_file::append(log, QString::fromLatin1(everyByte));
        QCOMPARE(readAll(log), "earlier run\nSent z\r\nwide ?\r\n" + everyByte + "\r\n");
        const auto failure = [](const QString& path) {
            return test_files::errorOf([&] { log_file::append(path, QStringLiteral("line")); });
        };
        QCOMPARE(failure(m_dir.path()), "Cannot open log file \"" + m_dir.path() + "\": it is a folder");
        QCOMPARE(failure(QString()), QStringLiteral("No log file has been chosen"));
        // A pipe would block the open until a reader comes, a device is no log: neither is opened.
        const QString fifo = path(QStringLiteral("fifo.log"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo), 0600) == 0);
        for (const QString& node : {fifo, QStringLiteral("/dev/null")})
            QCOMPARE(failure(node),
                     "Cannot open log file \"" + node + "\": it is not a regular file (a pipe or a device)");
    }

    // A header only in a new or empty file, then one CSV line per device: cells quoted where they must be, the
    // time with its UTC offset.
    void recordFile()
    {
        const QString record = path(QStringLiteral("record.csv"));
        QVERIFY(writeAll(record, ""));
        RecordLine line(QDateTime(QDate(2024, 5, 2), QTime(14, 3, 9), Qt::OffsetFromUTC, 7200), "bench-1",
                        "/dev/ttyUSB0", "/dev/serial/by-id/usb-x", "A1", "QZ4VELD V2.10", "t,1.cfg", "ab12", 1, 93,
                        "failed", 2, 0, 6.06, "said \"no\"\nthen gone");
        RecordFile(record).append(line);
        line.time = QDateTime(QDate(2024, 5, 2), QTime(9, 3, 9), Qt::OffsetFromUTC, -12600);
        std::tie(line.result, line.failedBlocks, line.message) = std::tuple("ok", 0, "");
        RecordFile(record).append(line);  // a second station appends to the same file
        QCOMPARE(readAll(record),
                 "time,station,port,stable_path,usb_serial,version,table,sha256,string_length,rows,result,"
                 "failed_blocks,failed_rows,seconds,message\r\n"
                 "2024-05-02T14:03:09+02:00,bench-1,/dev/ttyUSB0,/dev/serial/by-id/usb-x,A1,QZ4VELD V2.10,\"t,1.cfg\","
                 "ab12,1,93,failed,2,0,6.1,\"said \"\"no\"\"\nthen gone\"\r\n"
                 "2024-05-02T09:03:09-03:30,bench-1,/dev/ttyUSB0,/dev/serial/by-id/usb-x,A1,QZ4VELD V2.10,\"t,1.cfg\","
                 "ab12,1,93,ok,0,0,6.1,\r\n");
        // What a device or a file name says stays text in a spreadsheet and on a terminal.
        QCOMPARE(RecordFile::csvLine({"=SUM(A1)", "-2", "@x", "V\x1b[2J\x7f", "a=b"}),
                 "'=SUM(A1),'-2,'@x,V{1B}[2J{7F},a=b\r\n");
        QCOMPARE(test_files::errorOf([&] { RecordFile{m_dir.path()}; }).section(": ", 0, 0),
                 "cannot open the record file " + m_dir.path());
        if (QFile::exists(QStringLiteral("/dev/full")))  // a full disk
            QCOMPARE(test_files::errorOf([] { RecordFile{QStringLiteral("/dev/full")}; }).section(": ", 0, 0),
                     QStringLiteral("cannot write the record file /dev/full"));
    }
};

QTEST_GUILESS_MAIN(TstFiles)
#include "tst_files.moc"
