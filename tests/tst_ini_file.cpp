#include "files/file_error.h"
#include "files/ini_file.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using test_files::readAll;
using test_files::writeAll;

class TstIniFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name = QStringLiteral("QZ4Vel.ini")) const { return m_dir.filePath(name); }

private slots:
    void read_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("key");  // section/key
        QTest::addColumn<QString>("expected");
        QTest::newRow("lower-case query") << QByteArray("[COMSETTINGS]\r\nBAUD=19200\r\n") << "comsettings/baud" << "19200";
        QTest::newRow("lower-case file") << QByteArray("[comsettings]\nport=4\n") << "COMSETTINGS/PORT" << "4";
        QTest::newRow("blanks around") << QByteArray(" [ A ] \n  K \t=  5  \r\n") << "A/K" << "5";
        QTest::newRow("quotes dropped") << QByteArray("[A]\nK=\"x y\"\n") << "A/K" << "x y";
        QTest::newRow("empty value") << QByteArray("[A]\nK=\n") << "A/K" << "";
        QTest::newRow("first duplicate wins") << QByteArray("[A]\nK=1\nK=2\n") << "A/K" << "1";
        QTest::newRow("comment") << QByteArray("[A]\n;K=9\n") << "A/K" << "fb";
        QTest::newRow("other section") << QByteArray("K=0\n[A]\nK=1\n[B]\n") << "B/K" << "fb";
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[A]\r\nK=7") << "A/K" << "7";
        QTest::newRow("8-bit bytes") << QByteArray("[A]\nK=\xE9\xFF\n") << "A/K" << QString::fromLatin1("\xE9\xFF");
        QTest::newRow("1023 of 1500") << "[A]\nK=" + QByteArray(1500, 'v') << "A/K" << QString(IniFile::kMaxValue, QLatin1Char('v'));
    }
    void read()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QVERIFY(writeAll(path(), content));
        QCOMPARE(IniFile(path()).read(key.section('/', 0, 0), key.section('/', 1), QStringLiteral("fb")), expected);
        QCOMPARE(IniFile(path(QStringLiteral("none"))).read(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("fb")), QStringLiteral("fb"));
    }

    // Every line other than the one written comes back byte for byte.
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("from nothing") << QByteArray() << "GENERAL/ENABLESTRINGS" << "1" << QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n");
        QTest::newRow("in place, CRLF") << QByteArray(";c\r\n[A]\r\nK=1\r\nJ=2\r\n\r\n[B]\r\nK=3\r\n") << "A/K" << "5"
                                        << QByteArray(";c\r\n[A]\r\nK=5\r\nJ=2\r\n\r\n[B]\r\nK=3\r\n");
        QTest::newRow("in place, LF, key case kept") << QByteArray("[a]\nport = 1  \n") << "A/PORT" << "12" << QByteArray("[a]\nport = 12\n");
        QTest::newRow("own section only") << QByteArray("[A]\nK=1\n[B]\n") << "B/K" << "2" << QByteArray("[A]\nK=1\n[B]\nK=2\n");
        QTest::newRow("key before blank line") << QByteArray("[A]\r\nK=1\r\n\r\n[B]\r\n") << "A/J" << "2"
                                               << QByteArray("[A]\r\nK=1\r\nJ=2\r\n\r\n[B]\r\n");
        QTest::newRow("unterminated last line") << QByteArray("[A]\nK=1") << "A/J" << "2" << QByteArray("[A]\nK=1\nJ=2\n");
        QTest::newRow("new section") << QByteArray("[A]\nK=1") << "B/K" << "v" << QByteArray("[A]\nK=1\n[B]\nK=v\n");
        QTest::newRow("8-bit and mixed ends kept") << QByteArray("[A]\r\n\xE9\xFF=1\nK=1\r\n#\x01\r\n") << "A/K" << QString::fromLatin1("\xE9")
                                                   << QByteArray("[A]\r\n\xE9\xFF=1\nK=\xE9\r\n#\x01\r\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFile::remove(path());
        if (!before.isEmpty()) {
            QVERIFY(writeAll(path(), before));
        }
        IniFile(path()).write(key.section('/', 0, 0), key.section('/', 1), value);
        QCOMPARE(readAll(path()), after);
    }

    // Input that would break the line structure, and failing disks, leave the file as it was.
    void refusedAndFailed_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("sizeLimit");
        QTest::newRow("line break in value") << "A/K" << "1\n[B]" << 0;
        QTest::newRow("equals in key") << "A/K=1" << "2" << 0;
        QTest::newRow("bracket in section") << "A]/K" << "2" << 0;
        QTest::newRow("wide character") << "A/K" << QString::fromUtf8("\u20AC") << 0;
        QTest::newRow("full disk") << "A/K" << QString(IniFile::kMaxValue, QLatin1Char('z')) << 64;
    }
    void refusedAndFailed()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(int, sizeLimit);
        const QByteArray before("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n");
        QVERIFY(writeAll(path(), before));
        bool threw = false;
        {
            test_files::FileSizeLimit limit(sizeLimit > 0 ? rlim_t(sizeLimit) : RLIM_INFINITY);
            try {
                IniFile(path()).write(key.section('/', 0, 0), key.section('/', 1), value);
            } catch (const FileError&) {
                threw = true;
            }
        }
        QVERIFY(threw);
        QCOMPARE(readAll(path()), before);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("QZ4Vel.ini")});
    }

    void unwritablePlaceNamesThePath()
    {
        QVERIFY(writeAll(path(QStringLiteral("file")), "x"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("dir.ini"))));  // exists but cannot be read: never overwritten
        for (const QString& target : {path(QStringLiteral("file/QZ4Vel.ini")), path(QStringLiteral("dir.ini"))}) {
            try {
                IniFile(target).write(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1"));
                QFAIL("no error");
            } catch (const std::runtime_error& e) {
                QVERIFY2(QString::fromUtf8(e.what()).contains(target), e.what());
            }
        }
        QVERIFY(QFileInfo(path(QStringLiteral("dir.ini"))).isDir());
    }
};

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"
