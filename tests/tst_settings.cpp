#include "files/file_error.h"
#include "files/settings.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using test_files::readAll;
using test_files::writeAll;

class TstSettings : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString iniPath() const { return settings_file::pathIn(m_dir.path()); }

private slots:
    void init() { QFile::remove(iniPath()); }

    void pathIsInProgramFolder()
    {
        QCOMPARE(settings_file::pathIn(QStringLiteral("/opt/qz4veld")), QStringLiteral("/opt/qz4veld/QZ4Vel.ini"));
    }

    void defaultsWithoutFileAndFileStaysAbsent()
    {
        const auto result = settings_file::load(iniPath());
        QVERIFY(result.errors.isEmpty());
        QCOMPARE(result.settings.comPort, 1);
        QCOMPARE(result.settings.baud, QStringLiteral("9600"));
        QCOMPARE(result.settings.parity, QStringLiteral("N"));
        QCOMPARE(result.settings.enableStrings, 0);
        QVERIFY(result.settings.portPaths.isEmpty());
        QVERIFY(!QFile::exists(iniPath()));
    }

    // A bad number is reported and keeps its default; every other value is still read.
    void load_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("enable");
        QTest::addColumn<QStringList>("errorKeys");
        const QByteArray rest = "BAUD=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n";
        const auto withPort = [&rest](const QByteArray& port) { return "[COMSETTINGS]\r\nPORT=" + port + "\r\n" + rest; };
        QTest::newRow("PORT=3 only") << QByteArray("[COMSETTINGS]\r\nPORT=3\r\n") << 3 << "9600" << "N" << 0 << QStringList();
        QTest::newRow("lower-case names") << QByteArray("[comsettings]\nport=4\nparity=O\n[general]\nenablestrings=1\n")
                                          << 4 << "9600" << "O" << 1 << QStringList();
        QTest::newRow("all four") << withPort("2") << 2 << "19200" << "E" << 1 << QStringList();
        QTest::newRow("blanks around") << withPort("  3 ") << 3 << "19200" << "E" << 1 << QStringList();
        QTest::newRow("plus sign") << withPort("+3") << 3 << "19200" << "E" << 1 << QStringList();
        QTest::newRow("minus sign") << withPort("-2") << -2 << "19200" << "E" << 1 << QStringList();
        QTest::newRow("16-bit top") << withPort("32767") << 32767 << "19200" << "E" << 1 << QStringList();
        QTest::newRow("16-bit bottom") << withPort("-32768") << -32768 << "19200" << "E" << 1 << QStringList();
        QTest::newRow("letters") << withPort("x") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("decimal point") << withPort("3.0") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("hexadecimal") << withPort("0x3") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("trailing text") << withPort("3 ports") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("empty") << withPort("") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("above 16 bits") << withPort("32768") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("below 16 bits") << withPort("-32769") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("above 64 bits") << withPort("99999999999999999999999") << 1 << "19200" << "E" << 1 << QStringList{"PORT"};
        QTest::newRow("both bad, in reading order")
            << QByteArray("[GENERAL]\nENABLESTRINGS=yes\n[COMSETTINGS]\nPORT=one\nBAUD=4800\n") << 1 << "4800" << "N" << 0
            << QStringList{"PORT", "ENABLESTRINGS"};
        QTest::newRow("baud and parity are not checked here")
            << QByteArray("[COMSETTINGS]\nBAUD=fast\nPARITY=Q\n") << 1 << "fast" << "Q" << 0 << QStringList();
    }
    void load()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, port);
        QFETCH(QString, baud);
        QFETCH(QString, parity);
        QFETCH(int, enable);
        QFETCH(QStringList, errorKeys);
        QVERIFY(writeAll(iniPath(), content));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(result.settings.comPort, port);
        QCOMPARE(result.settings.baud, baud);
        QCOMPARE(result.settings.parity, parity);
        QCOMPARE(result.settings.enableStrings, enable);
        QCOMPARE(result.errors.size(), errorKeys.size());
        for (int i = 0; i < errorKeys.size(); ++i) {
            QVERIFY2(result.errors.at(i).startsWith(errorKeys.at(i) + QStringLiteral(" value ")), qPrintable(result.errors.at(i)));
            QVERIFY2(result.errors.at(i).contains(iniPath()), qPrintable(result.errors.at(i)));
        }
    }

    void errorText()
    {
        QVERIFY(writeAll(iniPath(), "[COMSETTINGS]\r\nPORT=x\r\n[GENERAL]\r\nENABLESTRINGS=70000\r\n"));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(result.errors, (QStringList{QStringLiteral("PORT value \"x\" in %1 is not a number").arg(iniPath()),
                                             QStringLiteral("ENABLESTRINGS value \"70000\" in %1 is outside -32768..32767").arg(iniPath())}));
    }

    void portMapping()
    {
        QVERIFY(writeAll(iniPath(), "[PORTS]\nCOM1=/dev/ttyUSB0\ncom2 = /dev/pts/5\nCOM1=/dev/second\nCOM0=/x\nLPT1=/y\nCOM3=\n"
                                    "COM4=/dev/tty\xC3\xBC\n"));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(result.settings.portPaths.size(), 3);
        QCOMPARE(result.settings.portPaths.value(1), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(result.settings.portPaths.value(2), QStringLiteral("/dev/pts/5"));
        QCOMPARE(result.settings.portPaths.value(4), QString::fromUtf8("/dev/tty\u00FC"));
        QCOMPARE(result.errors.size(), 3);  // COM0, LPT1, empty COM3
        QCOMPARE(result.settings.comPort, 1);
    }

    void unreadableFileIsReported()
    {
        QVERIFY(QDir().mkpath(iniPath()));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(result.errors.size(), 1);
        QCOMPARE(result.settings.comPort, 1);
        QVERIFY(QDir().rmdir(iniPath()));
    }

    void saveFromNothing()
    {
        Settings s;
        s.comPort = 2;
        s.baud = QStringLiteral("19200");
        s.parity = QStringLiteral("E");
        s.enableStrings = 1;
        settings_file::save(iniPath(), s);
        QCOMPARE(readAll(iniPath()),
                 QByteArray("[COMSETTINGS]\r\nPORT=2\r\nBAUD=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        const auto back = settings_file::load(iniPath());
        QVERIFY(back.errors.isEmpty());
        QCOMPARE(back.settings.comPort, 2);
        QCOMPARE(back.settings.baud, s.baud);
        QCOMPARE(back.settings.parity, s.parity);
        QCOMPARE(back.settings.enableStrings, 1);
    }

    void saveKeepsOtherLines()
    {
        const QByteArray before = "; hand-written\n[PORTS]\nCOM5=/dev/ttyACM0\n\n[comsettings]\nport = 1\nEXTRA=keep\nPARITY=N\n\n[GENERAL]\n";
        QVERIFY(writeAll(iniPath(), before));
        Settings s;
        s.comPort = 5;
        s.baud = QStringLiteral("57600");
        s.parity = QStringLiteral("O");
        settings_file::save(iniPath(), s);
        QCOMPARE(readAll(iniPath()),
                 QByteArray("; hand-written\n[PORTS]\nCOM5=/dev/ttyACM0\n\n[comsettings]\nport = 5\nEXTRA=keep\nPARITY=O\nBAUD=57600\n\n"
                            "[GENERAL]\nENABLESTRINGS=0\n"));
        QCOMPARE(settings_file::load(iniPath()).settings.portPaths.value(5), QStringLiteral("/dev/ttyACM0"));
    }

    void saveFailureThrows()
    {
        const QString blocker = m_dir.filePath(QStringLiteral("file"));
        QVERIFY(writeAll(blocker, "x"));
        QVERIFY_THROWS_EXCEPTION(FileError, settings_file::save(settings_file::pathIn(blocker), Settings{}));
        Settings bad;
        bad.baud = QStringLiteral("9600\r\n[GENERAL]");
        QVERIFY_THROWS_EXCEPTION(FileError, settings_file::save(iniPath(), bad));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
