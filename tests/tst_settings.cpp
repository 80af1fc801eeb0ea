#include "files/settings.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

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

    // A value that does not start with a number is reported and keeps its default (1); the other values are still read.
    void load_data()
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
    void load()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, port);
        QFETCH(QString, error);
        QVERIFY(test_files::writeAll(iniPath(),
                                     "[comsettings]\r\nport=" + text
                                             + "\r\nBaud=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        const auto result = settings_file::load(iniPath());
        QCOMPARE(summary(result.settings), QStringLiteral("%1 19200 E 1").arg(port));
        QCOMPARE(result.errors, error.isEmpty() ? QStringList() : QStringList{error.arg(iniPath())});
    }

    // No file, part of a file, two bad numbers, an unreadable file.
    void missingPartialAndBadFiles()
    {
        const auto none = settings_file::load(iniPath());
        QCOMPARE(summary(none.settings), QStringLiteral("1 9600 N 0"));
        QVERIFY(none.errors.isEmpty() && !QFile::exists(iniPath()));
        QVERIFY(test_files::writeAll(iniPath(), "[COMSETTINGS]\r\nPORT=3\r\n"));
        QCOMPARE(summary(settings_file::load(iniPath()).settings), QStringLiteral("3 9600 N 0"));
        QVERIFY(test_files::writeAll(iniPath(), "[GENERAL]\nENABLESTRINGS=yes\n[COMSETTINGS]\nPORT=one\n"));
        const auto both = settings_file::load(iniPath());
        QCOMPARE(both.errors.size(), 2);
        QVERIFY(both.errors.at(0).startsWith(QStringLiteral("PORT "))
                && both.errors.at(1).startsWith(QStringLiteral("ENABLESTRINGS ")));
        // There, but no file to read: each gives one message at once and the defaults.
        QVERIFY(QFile::remove(iniPath()) && QDir().mkpath(iniPath()));
        QCOMPARE(settings_file::load(iniPath()).errors.size(), 1);
        QVERIFY(QDir().rmdir(iniPath()) && ::mkfifo(QFile::encodeName(iniPath()).constData(), 0600) == 0);
        QCOMPARE(settings_file::load(iniPath()).errors.size(), 1);
        QVERIFY(QFile::remove(iniPath())
                && test_files::writeAll(iniPath(), "[COMSETTINGS]\nPORT=3\n;" + QByteArray(1 << 20, 'x')));
        const auto large = settings_file::load(iniPath());
        QVERIFY2(large.errors.size() == 1 && large.errors.at(0).contains("too large"),
                 qPrintable(large.errors.join("")));
        QCOMPARE(large.settings.comPort, 1);
    }

    void portMapping()
    {
        QVERIFY(test_files::writeAll(iniPath(),
                                     "[PORTS]\nCOM1=/dev/ttyUSB0\ncom2 = "
                                     "/dev/pts/5\nCOM1=/dev/second\nCOM0=/x\nLPT1=/y\nCOM3=\nCOM4=/dev/\xC3\xBC\n"));
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

    // Other lines kept on saving: see tst_config_dialog and tst_ini_file.
    void saveFromNothing()
    {
        const Settings s{2, QStringLiteral("19200"), QStringLiteral("E"), 1, {}};
        settings_file::save(iniPath(), s);
        QCOMPARE(test_files::readAll(iniPath()),
                 QByteArray("[COMSETTINGS]\r\nPORT=2\r\nBAUD=19200\r\nPARITY=E\r\n[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        QCOMPARE(summary(settings_file::load(iniPath()).settings), summary(s));
    }
};

QTEST_GUILESS_MAIN(TstSettings)
#include "tst_settings.moc"
