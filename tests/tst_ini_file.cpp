#include "files/file_error.h"
#include "files/ini_file.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using test_files::readAll;
using test_files::writeAll;

class TstIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name = QStringLiteral("QZ4Vel.ini")) const { return m_dir.filePath(name); }

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray com = "[COMSETTINGS]\r\nPORT=3\r\nBAUD=19200\r\n";
        QTest::newRow("exact") << com << "COMSETTINGS" << "PORT" << "3";
        QTest::newRow("lower-case query") << com << "comsettings" << "baud" << "19200";
        QTest::newRow("lower-case file") << QByteArray("[comsettings]\nport=4\n") << "COMSETTINGS" << "PORT" << "4";
        QTest::newRow("blanks around") << QByteArray(" [ COMSETTINGS ] \n  PORT \t=  5  \r\n") << "COMSETTINGS" << "PORT" << "5";
        QTest::newRow("quotes dropped") << QByteArray("[A]\nK=\"x y\"\n") << "A" << "K" << "x y";
        QTest::newRow("unmatched quote kept") << QByteArray("[A]\nK=\"x\n") << "A" << "K" << "\"x";
        QTest::newRow("equals in value") << QByteArray("[A]\nK=b=c\n") << "A" << "K" << "b=c";
        QTest::newRow("empty value is not the fallback") << QByteArray("[A]\nK=\n") << "A" << "K" << "";
        QTest::newRow("first duplicate wins") << QByteArray("[A]\nK=1\nK=2\n") << "A" << "K" << "1";
        QTest::newRow("first duplicate section wins") << QByteArray("[A]\nX=0\n[A]\nK=2\n") << "A" << "K" << "fb";
        QTest::newRow("comment is no key") << QByteArray("[A]\n;K=9\n") << "A" << "K" << "fb";
        QTest::newRow("other section") << QByteArray("[A]\nK=1\n[B]\nJ=2\n") << "B" << "K" << "fb";
        QTest::newRow("key before any section") << QByteArray("K=1\n[A]\n") << "A" << "K" << "fb";
        QTest::newRow("missing section") << com << "GENERAL" << "ENABLESTRINGS" << "fb";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[A]\r\nK=7\r\n") << "A" << "K" << "7";
        QTest::newRow("8-bit bytes") << QByteArray("[A]\nK=\xE9\xFF\n") << "A" << "K" << QString::fromLatin1("\xE9\xFF");
        QTest::newRow("no final newline") << QByteArray("[A]\nK=8") << "A" << "K" << "8";
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY(writeAll(path(), content));
        QCOMPARE(IniFile(path()).read(section, key, QStringLiteral("fb")), expected);
    }

    void missingFileGivesFallback()
    {
        const QString missing = path(QStringLiteral("none.ini"));
        QCOMPARE(IniFile(missing).read(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("9600")), QStringLiteral("9600"));
        QVERIFY(IniFile(missing).section(QStringLiteral("A")).isEmpty());
        QVERIFY(!QFile::exists(missing));
    }

    void valueLimit_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("1023 kept") << 1023;
        QTest::newRow("1024 cut") << 1024;
        QTest::newRow("5000 cut") << 5000;
    }
    void valueLimit()
    {
        QFETCH(int, length);
        QByteArray value(length, 'v');
        value[0] = 'a';
        QVERIFY(writeAll(path(), "[A]\r\nK=" + value + "\r\n"));
        const QString got = IniFile(path()).read(QStringLiteral("A"), QStringLiteral("K"), QString());
        QCOMPARE(got.size(), qMin(length, IniFile::kMaxValue));
        QCOMPARE(got, QString::fromLatin1(value.left(IniFile::kMaxValue)));
    }

    void sectionEntries()
    {
        QVERIFY(writeAll(path(), "[GENERAL]\nX=1\n[ports]\nCOM1=/dev/ttyUSB0\n;COM9=/x\ncom2 = /dev/pts/4 \n[Z]\nCOM3=/y\n"));
        const auto entries = IniFile(path()).section(QStringLiteral("PORTS"));
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.at(0), (QPair<QString, QString>(QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB0"))));
        QCOMPARE(entries.at(1), (QPair<QString, QString>(QStringLiteral("com2"), QStringLiteral("/dev/pts/4"))));
    }

    // Every line other than the one written must come back byte for byte.
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("replace in place, CRLF")
            << QByteArray("; top\r\n[COMSETTINGS]\r\nPORT=1\r\nBAUD=9600\r\n\r\n[OTHER]\r\nX=1\r\n") << "COMSETTINGS" << "PORT" << "5"
            << QByteArray("; top\r\n[COMSETTINGS]\r\nPORT=5\r\nBAUD=9600\r\n\r\n[OTHER]\r\nX=1\r\n");
        QTest::newRow("replace keeps key case and spacing, LF")
            << QByteArray("[comsettings]\nport = 1   \nbaud=2400\n") << "COMSETTINGS" << "PORT" << "12"
            << QByteArray("[comsettings]\nport = 12\nbaud=2400\n");
        QTest::newRow("replace only in its own section")
            << QByteArray("[A]\nPORT=1\n[B]\n") << "B" << "PORT" << "2" << QByteArray("[A]\nPORT=1\n[B]\nPORT=2\n");
        QTest::newRow("append key before blank separator")
            << QByteArray("[COMSETTINGS]\r\nPORT=1\r\n\r\n[GENERAL]\r\nX=1\r\n") << "COMSETTINGS" << "BAUD" << "2400"
            << QByteArray("[COMSETTINGS]\r\nPORT=1\r\nBAUD=2400\r\n\r\n[GENERAL]\r\nX=1\r\n");
        QTest::newRow("append key to empty section")
            << QByteArray("[A]\r\n\r\n[B]\r\n") << "a" << "K" << "1" << QByteArray("[A]\r\nK=1\r\n\r\n[B]\r\n");
        QTest::newRow("append key after unterminated last line")
            << QByteArray("[A]\nX=1") << "A" << "Y" << "2" << QByteArray("[A]\nX=1\nY=2\n");
        QTest::newRow("append section, CRLF")
            << QByteArray("[A]\r\nX=1\r\n") << "GENERAL" << "ENABLESTRINGS" << "1"
            << QByteArray("[A]\r\nX=1\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n");
        QTest::newRow("append section, LF, unterminated")
            << QByteArray("[A]\nX=1") << "B" << "K" << "v" << QByteArray("[A]\nX=1\n[B]\nK=v\n");
        QTest::newRow("8-bit bytes and mixed ends kept")
            << QByteArray("[A]\r\n\xE9\xFF=1\nX=1\r\n#\x01\x7F\r\n") << "A" << "X" << "2"
            << QByteArray("[A]\r\n\xE9\xFF=1\nX=2\r\n#\x01\x7F\r\n");
        QTest::newRow("8-bit value written as bytes")
            << QByteArray("[A]\nX=1\n") << "A" << "X" << QString::fromLatin1("\xE9") << QByteArray("[A]\nX=\xE9\n");
        QTest::newRow("empty value") << QByteArray("[A]\nX=1\n") << "A" << "X" << "" << QByteArray("[A]\nX=\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QVERIFY(writeAll(path(), before));
        IniFile(path()).write(section, key, value);
        QCOMPARE(readAll(path()), after);
        QCOMPARE(IniFile(path()).read(section, key, QStringLiteral("fb")), value);
    }

    void writeFromNothingUsesCrLf()
    {
        const QString fresh = path(QStringLiteral("fresh.ini"));
        IniFile ini(fresh);
        ini.write(QStringLiteral("COMSETTINGS"), QStringLiteral("PORT"), QStringLiteral("2"));
        ini.write(QStringLiteral("GENERAL"), QStringLiteral("ENABLESTRINGS"), QStringLiteral("0"));
        ini.write(QStringLiteral("COMSETTINGS"), QStringLiteral("BAUD"), QStringLiteral("4800"));
        QCOMPARE(readAll(fresh), QByteArray("[COMSETTINGS]\r\nPORT=2\r\nBAUD=4800\r\n[GENERAL]\r\nENABLESTRINGS=0\r\n"));
    }

    // Names and values that would break the file's line structure are refused, not written.
    void writeRefused_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("line feed in value") << "A" << "K" << "1\n[B]";
        QTest::newRow("carriage return in value") << "A" << "K" << "1\r";
        QTest::newRow("equals in key") << "A" << "K=1" << "2";
        QTest::newRow("empty key") << "A" << " " << "2";
        QTest::newRow("bracket in section") << "A]" << "K" << "2";
        QTest::newRow("empty section") << "" << "K" << "2";
        QTest::newRow("wide character") << "A" << "K" << QString::fromUtf8("\u20AC");
    }
    void writeRefused()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before("[A]\r\nK=1\r\n");
        QVERIFY(writeAll(path(), before));
        QVERIFY_THROWS_EXCEPTION(FileError, IniFile(path()).write(section, key, value));
        QCOMPARE(readAll(path()), before);
    }

    void unwritableFolderThrows()
    {
        const QString blocker = path(QStringLiteral("not-a-folder"));
        QVERIFY(writeAll(blocker, "x"));
        const QString target = blocker + QStringLiteral("/QZ4Vel.ini");
        try {
            IniFile(target).write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1"));
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(target), e.what());
        }
        QCOMPARE(readAll(blocker), QByteArray("x"));
    }

    void fullDiskLeavesFileIntact()
    {
        const QByteArray before("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n");
        QVERIFY(writeAll(path(), before));
        bool threw = false;
        {
            test_files::FileSizeLimit limit(64);
            if (!limit.active()) {
                QSKIP("cannot lower the file size limit here");
            }
            try {
                IniFile(path()).write(QStringLiteral("A"), QStringLiteral("K"), QString(IniFile::kMaxValue, QLatin1Char('z')));
            } catch (const FileError&) {
                threw = true;
            }
        }
        QVERIFY(threw);
        QCOMPARE(readAll(path()), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("QZ4Vel.ini")).size(), 1);
    }

    void unreadableFileIsNotOverwritten()
    {
        const QString folder = path(QStringLiteral("dir.ini"));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY_THROWS_EXCEPTION(FileError, IniFile(folder).write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")));
        QVERIFY(QFileInfo(folder).isDir());
    }
};

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"
