#include "files/file_error.h"
#include "files/log_file.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

using test_files::readAll;

class TstLogFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void appendsLinesWithCrLf()
    {
        const QString path = m_dir.filePath(QStringLiteral("status.log"));
        log_file::append(path, QStringList{QStringLiteral("Sent z"), QStringLiteral("Received {06}")});
        log_file::append(path, QStringLiteral("Sent V"));
        log_file::append(path, QString());
        QCOMPARE(readAll(path), QByteArray("Sent z\r\nReceived {06}\r\nSent V\r\n\r\n"));
    }

    void keepsWhatTheFileHeld()
    {
        const QString path = m_dir.filePath(QStringLiteral("old.txt"));
        QVERIFY(test_files::writeAll(path, "earlier run\n"));
        log_file::append(path, QStringLiteral("next"));
        QCOMPARE(readAll(path), QByteArray("earlier run\nnext\r\n"));
    }

    void encoding_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("device bytes as Latin-1") << QString::fromLatin1("\x01\x7F\x80\xE9\xFF") << QByteArray("\x01\x7F\x80\xE9\xFF\r\n");
        QTest::newRow("NUL kept") << QString(QChar(0)) + QStringLiteral("a") << QByteArray("\0a\r\n", 4);
        QTest::newRow("wide character") << QString::fromUtf8("x\u20ACy") << QByteArray("x?y\r\n");
    }
    void encoding()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, bytes);
        QCOMPARE(log_file::encodeLine(line), bytes);
        const QString path = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('_')));
        log_file::append(path, line);
        QCOMPARE(readAll(path), bytes);
    }

    void everyByteSurvives()
    {
        QString line;
        for (int b = 0; b <= 0xFF; ++b) {
            if (b != '\r' && b != '\n') {
                line += QChar(b);
            }
        }
        const QString path = m_dir.filePath(QStringLiteral("bytes.log"));
        log_file::append(path, line);
        const QByteArray got = readAll(path);
        QCOMPARE(got.size(), 254 + 2);
        QCOMPARE(QString::fromLatin1(got.chopped(2)), line);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing folder") << m_dir.filePath(QStringLiteral("no/such/folder/a.log")) << "Cannot open log file";
        QTest::newRow("folder") << m_dir.path() << "Cannot open log file";
        QTest::newRow("no name") << QString() << "No log file";
        if (QFile::exists(QStringLiteral("/dev/full"))) {
            QTest::newRow("full disk") << QStringLiteral("/dev/full") << "Cannot write log file";
        }
    }
    void failures()
    {
        QFETCH(QString, path);
        QFETCH(QString, mentions);
        try {
            log_file::append(path, QStringLiteral("line"));
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            const QString what = QString::fromUtf8(e.what());
            QVERIFY2(what.startsWith(mentions), e.what());
            QVERIFY2(what.contains(path), e.what());
        }
    }
};

QTEST_GUILESS_MAIN(TstLogFile)
#include "tst_log_file.moc"
