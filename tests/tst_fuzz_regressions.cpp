// Inputs the fuzz targets found a fault with, kept so the fault stays fixed.
#include "files/ini_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class FuzzRegressionsTest final : public QObject {
    Q_OBJECT

private slots:
    void iniWriteKeepsLines_data();
    void iniWriteKeepsLines();
};

void FuzzRegressionsTest::iniWriteKeepsLines_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("otherKey");  // a key of [PORTS] whose value must survive
    QTest::addColumn<QString>("otherValue");
    // The section's last line ends in a lone CR: the new key used to be glued onto it.
    QTest::newRow("last line ends in CR") << QByteArray("[PORTS]\r\nC1=/dev/00\r") << "C1" << "/dev/00";
    QTest::newRow("last line unterminated") << QByteArray("[PORTS]\r\nC1=/dev/00") << "C1" << "/dev/00";
    QTest::newRow("CR inside a line") << QByteArray("[PORTS]\nC1=a\rb\n") << "C1" << "a\rb";
}

void FuzzRegressionsTest::iniWriteKeepsLines()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, otherKey);
    QFETCH(QString, otherValue);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QZ4Vel.ini"));
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();

    IniFile ini(path);
    ini.write(QStringLiteral("PORTS"), QStringLiteral("COM1"), QStringLiteral("201"));
    QCOMPARE(ini.read(QStringLiteral("PORTS"), QStringLiteral("COM1"), QString()), QStringLiteral("201"));
    QCOMPARE(ini.read(QStringLiteral("PORTS"), otherKey, QString()), otherValue);
}

QTEST_GUILESS_MAIN(FuzzRegressionsTest)
#include "tst_fuzz_regressions.moc"
