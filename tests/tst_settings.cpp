#include "files/settings.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using test_files::readAll;
using test_files::writeAll;

class TstSettings : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString iniPath() const { return settings_file::pathIn(m_dir.path()); }

    static QString summary(const Settings& s)
    {
        return QStringLiteral("%1 %2 %3 %4").arg(s.comPort).arg(s.baud, s.parity).arg(s.enableStrings);
    }

private slots:
    void init() { QFile::remove(iniPath()); }

    void defaultsWithoutFile()
    {
        const auto result = settings_file::load(iniPath());
        QCOMPARE(summary(result.settings), QStringLiteral("1 9600 N 0"));
        QVERIFY(result.errors.isEmpty());
        QVERIFY(!QFile::exists(iniPath()));
    }

    // A bad number is reported and keeps its default; the other values are still read.
    void load_data()
    {
        QTest::addColumn<QByteArray>("port");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("error");
        QTest::newRow("3") << QByteArray("3") << "3 19200 E 1" << "";
        QTest::newRow("blanks") << QByteArray("  3 ") << "3 19200 E 1" << "";
        QTest::newRow("signs") << QByteArray("-2") << "-2 19200 E 1" << "";
        QTest::newRow("16-bit top") << QByteArray("+32767") << "32767 19200 E 1" << "";
        QTest::newRow("letters") << QByteArray("x") << "1 19200 E 1" << "PORT value \"x\" in %1 is not a number";
        QTest::newRow("decimal point") << QByteArray("3.0") << "1 19200 E 1" << "PORT value \"3.0\" in %1 is not a number";
        QTest::newRow("hexadecimal") << QByteArray("0x3") << "1 19200 E 1" << "PORT value \"0x3\" in %1 is not a number";
        QTest::newRow("empty") << QByteArray("") << "1 19200 E 1" << "PORT value \"\" in %1 is not a number";
        QTest::newRow("above 16 bits") << QByteArray("32768") << "1 19200 E 1" << "PORT value \"32768\" in %1 is outside -32768..32767";
        QTest::newRow("above 64 bits") << QByteArray(30, '9') << "1 19200 E 1" << "PORT value \"" + QString(30, '9') + "\" in %1 is outside -32768..32767";
    }
    void load()
    {
        QFETCH(QByteArray, port);
        QFETCH(QString, expected);
        QFETCH(QString, error);
        QVERIFY(writeAll(iniPath(), "[comsettings]\r\nport=" + port + "\r\nBaud=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(summary(result.settings), expected);
        QCOMPARE(result.errors, error.isEmpty() ? QStringList() : QStringList{error.arg(iniPath())});
    }

    void partialAndBadFiles()
    {
        QVERIFY(writeAll(iniPath(), "[COMSETTINGS]\r\nPORT=3\r\n"));
        QCOMPARE(summary(settings_file::load(iniPath()).settings), QStringLiteral("3 9600 N 0"));
        QVERIFY(writeAll(iniPath(), "[GENERAL]\nENABLESTRINGS=yes\n[COMSETTINGS]\nPORT=one\n"));
        const auto both = settings_file::load(iniPath());
        QCOMPARE(both.errors.size(), 2);
        QVERIFY(both.errors.at(0).startsWith(QStringLiteral("PORT ")) && both.errors.at(1).startsWith(QStringLiteral("ENABLESTRINGS ")));
        QVERIFY(QFile::remove(iniPath()) && QDir().mkpath(iniPath()));  // there, but unreadable
        QCOMPARE(settings_file::load(iniPath()).errors.size(), 1);
        QVERIFY(QDir().rmdir(iniPath()));
    }

    void portMapping()
    {
        QVERIFY(writeAll(iniPath(), "[PORTS]\nCOM1=/dev/ttyUSB0\ncom2 = /dev/pts/5\nCOM1=/dev/second\nCOM0=/x\nLPT1=/y\nCOM3=\nCOM4=/dev/\xC3\xBC\n"));
        const auto result = settings_file::load(iniPath());
        const QMap<int, QString> expected{{1, "/dev/ttyUSB0"}, {2, "/dev/pts/5"}, {4, QString::fromUtf8("/dev/\u00FC")}};
        QCOMPARE(result.settings.portPaths, expected);
        QCOMPARE(result.errors.size(), 3);  // COM0, LPT1, empty COM3
    }

    void saveWritesFourKeysInOrder()
    {
        Settings s;
        s.comPort = 2;
        s.baud = QStringLiteral("19200");
        s.parity = QStringLiteral("E");
        s.enableStrings = 1;
        settings_file::save(iniPath(), s);
        QCOMPARE(readAll(iniPath()), QByteArray("[COMSETTINGS]\r\nPORT=2\r\nBAUD=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        QCOMPARE(summary(settings_file::load(iniPath()).settings), summary(s));
    }

    void saveKeepsOtherLines()
    {
        QVERIFY(writeAll(iniPath(), "; mine\n[PORTS]\nCOM5=/dev/ttyACM0\n\n[comsettings]\nport = 1\nEXTRA=keep\nPARITY=N\n\n[GENERAL]\n"));
        Settings s;
        s.comPort = 5;
        s.baud = QStringLiteral("57600");
        settings_file::save(iniPath(), s);
        QCOMPARE(readAll(iniPath()), QByteArray("; mine\n[PORTS]\nCOM5=/dev/ttyACM0\n\n[comsettings]\nport = 5\nEXTRA=keep\nPARITY=N\n"
                                                "BAUD=57600\n\n[GENERAL]\nENABLESTRINGS=0\n"));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
