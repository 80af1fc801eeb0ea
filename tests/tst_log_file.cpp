#include "files/log_file.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <numeric>

class TstLogFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void appendsEightBitLinesWithCrLf()
    {
        const QString path = m_dir.filePath(QStringLiteral("status.log"));
        QVERIFY(test_files::writeAll(path, "earlier run\n"));
        QString everyByte;
        for (int b = 0; b <= 0xFF; ++b) {
            everyByte += QChar(b);
        }
        log_file::append(path, QStringList{QStringLiteral("Sent z"), QString::fromUtf8("wide \u20AC")});
        log_file::append(path, everyByte);
        QByteArray bytes(256, '\0');
        std::iota(bytes.begin(), bytes.end(), 0);
        QCOMPARE(test_files::readAll(path), "earlier run\nSent z\r\nwide ?\r\n" + bytes + "\r\n");
    }

    void failuresNameThePath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("start");
        QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("no/such/a.log")) << "Cannot open log file";
        QTest::newRow("folder") << m_dir.path() << "Cannot open log file";
        QTest::newRow("no name") << QString() << "No log file";
        if (QFile::exists(QStringLiteral("/dev/full"))) {
            QTest::newRow("full disk") << QStringLiteral("/dev/full") << "Cannot write log file";
        }
    }
    void failuresNameThePath()
    {
        QFETCH(QString, path);
        QFETCH(QString, start);
        try {
            log_file::append(path, QStringLiteral("line"));
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).startsWith(start) && QString::fromUtf8(e.what()).contains(path), e.what());
        }
    }
};

QTEST_GUILESS_MAIN(TstLogFile)
#include "tst_log_file.moc"
