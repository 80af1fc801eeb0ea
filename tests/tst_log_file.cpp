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
        QByteArray everyByte(256, '\0');
        std::iota(everyByte.begin(), everyByte.end(), 0);
        QVERIFY(test_files::writeAll(path, "earlier run\n"));
        log_file::append(path, QStringList{QStringLiteral("Sent z"), QString::fromUtf8("wide \u20AC")});
        log_file::append(path, QString::fromLatin1(everyByte));
        QCOMPARE(test_files::readAll(path), "earlier run\nSent z\r\nwide ?\r\n" + everyByte + "\r\n");
    }

    // Each failure names the file, with the reason after ": ".
    void failuresNameThePath()
    {
        const auto failure = [](const QString& path) {
            return test_files::errorOf([&] { log_file::append(path, QStringLiteral("line")); })
                    .section(QStringLiteral(": "), 0, 0);
        };
        const QString missing = m_dir.filePath(QStringLiteral("no/such/a.log"));
        QCOMPARE(failure(missing), "Cannot open log file \"" + missing + '"');
        QCOMPARE(failure(m_dir.path()), "Cannot open log file \"" + m_dir.path() + '"');
        QCOMPARE(failure(QString()), QStringLiteral("No log file has been chosen"));
        if (QFile::exists(QStringLiteral("/dev/full")))  // a full disk
            QCOMPARE(failure(QStringLiteral("/dev/full")), QStringLiteral("Cannot write log file \"/dev/full\""));
    }
};

QTEST_GUILESS_MAIN(TstLogFile)
#include "tst_log_file.moc"
