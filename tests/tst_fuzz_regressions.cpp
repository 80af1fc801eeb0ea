// Inputs the fuzz targets found a fault with, kept so the fault stays fixed.
#include "files/ini_file.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

class FuzzRegressionsTest final : public QObject {
    Q_OBJECT

private slots:
    void iniWriteKeepsLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("c1");  // the value of C1 in [PORTS] that must survive
        // The section's last line ends in a lone CR: the new key used to be glued onto it.
        QTest::newRow("last line ends in CR") << QByteArray("[PORTS]\r\nC1=/dev/00\r") << "/dev/00";
        QTest::newRow("last line unterminated") << QByteArray("[PORTS]\r\nC1=/dev/00") << "/dev/00";
        QTest::newRow("CR inside a line") << QByteArray("[PORTS]\nC1=a\rb\n") << "a\rb";
    }

    void iniWriteKeepsLines()
    {
        QFETCH(QByteArray, file);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("QZ4Vel.ini"));
        QVERIFY(test_files::writeAll(path, file));
        IniFile ini(path);
        ini.write(QStringLiteral("PORTS"), QStringLiteral("COM1"), QStringLiteral("201"));
        QCOMPARE(ini.read(QStringLiteral("PORTS"), QStringLiteral("COM1"), QString()), QStringLiteral("201"));
        QTEST(ini.read(QStringLiteral("PORTS"), QStringLiteral("C1"), QString()), "c1");
    }
};

QTEST_GUILESS_MAIN(FuzzRegressionsTest)
#include "tst_fuzz_regressions.moc"
