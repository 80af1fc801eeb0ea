// QZ4Vel.ini (the line-keeping reader and writer, the settings kept in it) and the status log file.
#include "files/file_error.h"
#include "files/ini_file.h"
#include "files/log_file.h"
#include "files/settings.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

using test_files::writeAll;

class TstIniFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir, m_settingsDir;
    QString path(const QString& name = QStringLiteral("QZ4Vel.ini")) const { return m_dir.filePath(name); }
    QString iniPath() const { return settings_file::pathIn(m_settingsDir.path()); }
    static void put(const QString& target, const QString& key, const QString& value)  // key as "section/key"
    {
        IniFile(target).write(key.section('/', 0, 0), key.section('/', 1), value);
    }
    static QString summary(const Settings& s)
    {
        return QStringLiteral("%1 %2 %3 %4").arg(s.comPort).arg(s.baud, s.parity).arg(s.enableStrings);
    }

private slots:
    void init() { QFile::remove(iniPath()); }

    void read()
    {
        QVERIFY(writeAll(
                path(),
                "\xEF\xBB\xBF[comsettings]\nport=4\n [ A ] \n  K \t=  5  \r\n;J=9\nQ=\"x y\"\nE=\nK=2\nH=\xE9\xFF\nL="
                        + QByteArray(1500, 'v') + "\n[B]\nZ=1\n"));
        const auto read = [this](const char* section, const char* key, const QString& name = "QZ4Vel.ini") {
            return IniFile(path(name)).read(section, key, QStringLiteral("fb"));
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
        QCOMPARE(read("A", "K", "none"), QStringLiteral("fb"));
    }

    // Every line other than the one written comes back byte for byte.
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("assignment");  // section/key=value
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("from nothing") << QByteArray() << "GENERAL/ENABLESTRINGS=1"
                                      << QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n");
        QTest::newRow("in place, LF, key case kept")
                << QByteArray("[a]\nport = 1  \n") << "A/PORT=12" << QByteArray("[a]\nport = 12\n");
        QTest::newRow("own section only")
                << QByteArray("[A]\nK=1\n[B]\n") << "B/K=2" << QByteArray("[A]\nK=1\n[B]\nK=2\n");
        QTest::newRow("key before blank line")
                << QByteArray("[A]\r\nK=1\r\n\r\n[B]\r\n") << "A/J=2" << QByteArray("[A]\r\nK=1\r\nJ=2\r\n\r\n[B]\r\n");
        QTest::newRow("new section after unterminated line")
                << QByteArray("[A]\nK=1") << "B/K=v" << QByteArray("[A]\nK=1\n[B]\nK=v\n");
        QTest::newRow("8-bit and mixed ends kept")
                << QByteArray("[A]\r\n\xE9\xFF=1\nK=1\r\n#\x01\r\n") << QString::fromLatin1("A/K=\xE9")
                << QByteArray("[A]\r\n\xE9\xFF=1\nK=\xE9\r\n#\x01\r\n");
        // Found by fuzzing: the new key used to be glued onto a last line ending in a lone CR.
        QTest::newRow("last line ends in CR") << QByteArray("[PORTS]\r\nC1=/dev/00\r") << "PORTS/COM1=201"
                                              << QByteArray("[PORTS]\r\nC1=/dev/00\r\r\nCOM1=201\r\n");
        QTest::newRow("last line unterminated") << QByteArray("[PORTS]\r\nC1=/dev/00") << "PORTS/COM1=201"
                                                << QByteArray("[PORTS]\r\nC1=/dev/00\r\nCOM1=201\r\n");
        QTest::newRow("CR inside a line")
                << QByteArray("[PORTS]\nC1=a\rb\n") << "PORTS/COM1=201" << QByteArray("[PORTS]\nC1=a\rb\nCOM1=201\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, assignment);
        QFile::remove(path());
        QVERIFY(before.isEmpty() || writeAll(path(), before));
        put(path(), assignment.section('=', 0, 0), assignment.section('=', 1));
        QTEST(test_files::readAll(path()), "after");
    }

    // Input that would break the line structure, a full disk and unusable places leave
    // every file as it was, and the error names the file.
    void refusedAndFailed_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* tag, const QString& target, const QString& key, const QString& value) {
            QTest::newRow(tag) << target << key << value;
        };
        row("line break in value", "QZ4Vel.ini", "A/K", "1\n[B]");
        row("equals in key", "QZ4Vel.ini", "A/K=1", "2");
        row("bracket in section", "QZ4Vel.ini", "A]/K", "2");
        row("wide character", "QZ4Vel.ini", "A/K", QString::fromUtf8("\u20AC"));
        row("full disk", "QZ4Vel.ini", "A/K", QString(IniFile::kMaxValue, QLatin1Char('z')));
        row("folder is a file", "file/QZ4Vel.ini", "A/K", "1");
        row("there but unreadable", "dir.ini", "A/K", "1");
    }
    void refusedAndFailed()
    {
        QFETCH(QString, target);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n");
        QVERIFY(writeAll(path(), before) && writeAll(path(QStringLiteral("file")), "x"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("dir.ini"))));
        const QString error = test_files::errorOf<FileError>([&] {
            test_files::FileSizeLimit limit(64);  // as a full disk
            put(path(target), key, value);
        });
        QVERIFY2(error.contains(path(target)), qPrintable(error));
        QCOMPARE(test_files::readAll(path()), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                 QStringList({"QZ4Vel.ini", "dir.ini", "file"}));  // no temporary file left
    }

    // A value that does not start with a number is reported and keeps its default (1); the other values are still read.
    void loadSettings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("error");
        const QString outside = QStringLiteral("PORT value \"%1\" in %2 is outside -32768..32767");
        QTest::newRow("signs") << QByteArray("-2") << -2 << "";
        QTest::newRow("16-bit top") << QByteArray("+32767") << 32767 << "";
        QTest::newRow("the leading number") << QByteArray("3.0") << 3 << "";
        QTest::newRow("text after the number") << QByteArray("4 ports") << 4 << "";
        QTest::newRow("no leading number, a NUL shown")
                << QByteArray("x\0003", 3) << 1 << "PORT value \"x?3\" in %2 is not a number";
        QTest::newRow("empty") << QByteArray("") << 1 << "PORT value \"\" in %2 is not a number";
        QTest::newRow("above 16 bits") << QByteArray("32768") << 1 << outside.arg("32768");
        QTest::newRow("above 64 bits, cut in the message")
                << QByteArray(50, '9') << 1 << outside.arg(QString(40, '9') + "...");
    }
    void loadSettings()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, port);
        QFETCH(QString, error);
        QVERIFY(writeAll(iniPath(),
                         "[comsettings]\r\nport=" + text
                                 + "\r\nBaud=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(summary(result.settings), QStringLiteral("%1 19200 E 1").arg(port));
        QCOMPARE(result.errors, error.isEmpty() ? QStringList() : QStringList{error.arg(iniPath())});
    }

    // No file, part of a file, two bad numbers, an unreadable file.
    void settingsMissingPartialAndBad()
    {
        const auto none = settings_file::load(iniPath());
        QCOMPARE(summary(none.settings), QStringLiteral("1 9600 N 0"));
        QCOMPARE(none.errors, QStringList());
        QVERIFY(!QFile::exists(iniPath()));
        QVERIFY(writeAll(iniPath(), "[COMSETTINGS]\r\nPORT=3\r\n"));
        QCOMPARE(summary(settings_file::load(iniPath()).settings), QStringLiteral("3 9600 N 0"));
        QVERIFY(writeAll(iniPath(), "[GENERAL]\nENABLESTRINGS=yes\n[COMSETTINGS]\nPORT=one\n"));
        const QStringList both = settings_file::load(iniPath()).errors;
        QCOMPARE(both.size(), 2);
        QVERIFY(both.at(0).startsWith(QStringLiteral("PORT ")));
        QVERIFY(both.at(1).startsWith(QStringLiteral("ENABLESTRINGS ")));
        // There, but not a file to read (a folder and a pipe are refused alike: tst_config_file): one message
        // at once and the defaults.
        QVERIFY(writeAll(iniPath(), "[COMSETTINGS]\nPORT=3\n;" + QByteArray(1 << 20, 'x')));
        const auto large = settings_file::load(iniPath());
        QCOMPARE(large.errors.size(), 1);
        QVERIFY2(large.errors.at(0).contains("too large"), qPrintable(large.errors.at(0)));
        QCOMPARE(large.settings.comPort, 1);
    }

    void settingsPortMapping()
    {
        QVERIFY(writeAll(iniPath(),
                         "[PORTS]\nCOM1=/dev/ttyUSB0\ncom2 = /dev/pts/5\nCOM1=/dev/second\nCOM0=/x\nLPT1=/y\nCOM3=\n"
                         "COM4=/dev/\xC3\xBC\n"));
        const auto result = settings_file::load(iniPath());
        const QMap<int, QString> expected{
                {1, "/dev/ttyUSB0"}, {2, "/dev/pts/5"}, {4, QString::fromUtf8("/dev/\u00FC")}};
        QCOMPARE(result.settings.portPaths, expected);
        QCOMPARE(result.errors.size(), 3);  // COM0, LPT1, empty COM3
        // A chosen device replaces its own line only, in the file system's encoding.
        const QString stable = QString::fromUtf8("/dev/serial/by-id/usb-\u00FC-if00");
        settings_file::savePortPath(iniPath(), 2, stable);
        QCOMPARE(settings_file::load(iniPath()).settings.portPaths,
                 (QMap<int, QString>{{1, "/dev/ttyUSB0"}, {2, stable}, {4, expected[4]}}));
    }

    // Other lines kept on saving: see tst_config_dialog and write() above.
    void saveSettingsFromNothing()
    {
        const Settings s{2, QStringLiteral("19200"), QStringLiteral("E"), 1, {}};
        settings_file::save(iniPath(), s);
        QCOMPARE(test_files::readAll(iniPath()),
                 QByteArray("[COMSETTINGS]\r\nPORT=2\r\nBAUD=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        QCOMPARE(summary(settings_file::load(iniPath()).settings), summary(s));
    }
    void logAppendsEightBitLinesWithCrLf()
    {
        const QString log = path(QStringLiteral("status.log"));
        QByteArray everyByte(256, '\0');
        std::iota(everyByte.begin(), everyByte.end(), 0);
        QVERIFY(writeAll(log, "earlier run\n"));
        log_file::append(log, QStringList{QStringLiteral("Sent z"), QString::fromUtf8("wide \u20AC")});
        log_file::append(log, QString::fromLatin1(everyByte));
        QCOMPARE(test_files::readAll(log), "earlier run\nSent z\r\nwide ?\r\n" + everyByte + "\r\n");
        QFile::remove(log);
    }

    // Each log failure names the file, with the reason after ": ".
    void logFailuresNameThePath()
    {
        const auto failure = [](const QString& path) {
            return test_files::errorOf([&] { log_file::append(path, QStringLiteral("line")); }).section(": ", 0, 0);
        };
        const QString missing = path(QStringLiteral("no/such/a.log"));
        QCOMPARE(failure(missing), "Cannot open log file \"" + missing + '"');
        QCOMPARE(failure(m_dir.path()), "Cannot open log file \"" + m_dir.path() + '"');
        QCOMPARE(failure(QString()), QStringLiteral("No log file has been chosen"));
        if (QFile::exists(QStringLiteral("/dev/full")))  // a full disk
            QCOMPARE(failure(QStringLiteral("/dev/full")), QStringLiteral("Cannot write log file \"/dev/full\""));
    }
};

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"
