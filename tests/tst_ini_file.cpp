#include "files/file_error.h"
#include "files/ini_file.h"
#include "support/file_helpers.h"

#include <QTemporaryDir>
#include <QtTest>

class TstIniFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name = QStringLiteral("QZ4Vel.ini")) const { return m_dir.filePath(name); }
    static void put(const QString& target, const QString& key, const QString& value)  // key as "section/key"
    {
        IniFile(target).write(key.section('/', 0, 0), key.section('/', 1), value);
    }

private slots:
    void read()
    {
        QVERIFY(test_files::writeAll(
                path(),
                "\xEF\xBB\xBF[comsettings]\nport=4\n [ A ] \n  K \t=  5  \r\n;J=9\nQ=\"x y\"\nE=\nK=2\nH=\xE9\xFF\nL="
                        + QByteArray(1500, 'v') + "\n[B]\nZ=1\n"));
        const auto read = [this](const char* section, const char* key) {
            return IniFile(path()).read(section, key, QStringLiteral("fb"));
        };
        QCOMPARE(read("COMSETTINGS", "PORT"), QStringLiteral("4"));  // names in any case, after a byte-order mark
        QCOMPARE(read("A", "K"), QStringLiteral("5"));  // blanks around; the first duplicate wins
        QCOMPARE(read("A", "Q"), QStringLiteral("x y"));  // one pair of quotes dropped
        QCOMPARE(read("A", "E"), QString());
        QCOMPARE(read("A", "J"), QStringLiteral("fb"));  // a comment
        QVERIFY(read("B", "K") == "fb" && read("A", "Z") == "fb");  // only the section's own keys
        QCOMPARE(read("A", "H"), QString::fromLatin1("\xE9\xFF"));
        QCOMPARE(read("A", "L"), QString(IniFile::kMaxValue, QLatin1Char('v')));
        QCOMPARE(IniFile(path(QStringLiteral("none")))
                         .read(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("fb")),
                 QStringLiteral("fb"));
    }

    // Every line other than the one written comes back byte for byte.
    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("from nothing") << QByteArray() << "GENERAL/ENABLESTRINGS"
                                      << "1" << QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n");
        QTest::newRow("in place, LF, key case kept") << QByteArray("[a]\nport = 1  \n") << "A/PORT"
                                                     << "12" << QByteArray("[a]\nport = 12\n");
        QTest::newRow("own section only") << QByteArray("[A]\nK=1\n[B]\n") << "B/K"
                                          << "2" << QByteArray("[A]\nK=1\n[B]\nK=2\n");
        QTest::newRow("key before blank line") << QByteArray("[A]\r\nK=1\r\n\r\n[B]\r\n") << "A/J"
                                               << "2" << QByteArray("[A]\r\nK=1\r\nJ=2\r\n\r\n[B]\r\n");
        QTest::newRow("new section after unterminated line") << QByteArray("[A]\nK=1") << "B/K"
                                                             << "v" << QByteArray("[A]\nK=1\n[B]\nK=v\n");
        QTest::newRow("8-bit and mixed ends kept")
                << QByteArray("[A]\r\n\xE9\xFF=1\nK=1\r\n#\x01\r\n") << "A/K" << QString::fromLatin1("\xE9")
                << QByteArray("[A]\r\n\xE9\xFF=1\nK=\xE9\r\n#\x01\r\n");
    }
    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        QFile::remove(path());
        QVERIFY(before.isEmpty() || test_files::writeAll(path(), before));
        put(path(), key, value);
        QCOMPARE(test_files::readAll(path()), after);
    }

    // Input that would break the line structure, a full disk and unusable places leave
    // every file as it was, and the error names the file.
    void refusedAndFailed_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("line break in value") << "QZ4Vel.ini"
                                             << "A/K"
                                             << "1\n[B]";
        QTest::newRow("equals in key") << "QZ4Vel.ini"
                                       << "A/K=1"
                                       << "2";
        QTest::newRow("bracket in section") << "QZ4Vel.ini"
                                            << "A]/K"
                                            << "2";
        QTest::newRow("wide character") << "QZ4Vel.ini"
                                        << "A/K" << QString::fromUtf8("\u20AC");
        QTest::newRow("full disk") << "QZ4Vel.ini"
                                   << "A/K" << QString(IniFile::kMaxValue, QLatin1Char('z'));
        QTest::newRow("folder is a file") << "file/QZ4Vel.ini"
                                          << "A/K"
                                          << "1";
        QTest::newRow("there but unreadable") << "dir.ini"
                                              << "A/K"
                                              << "1";
    }
    void refusedAndFailed()
    {
        QFETCH(QString, target);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QByteArray before("[A]\r\nK=1\r\n[B]\r\nJ=2\r\n");
        QVERIFY(test_files::writeAll(path(), before) && test_files::writeAll(path(QStringLiteral("file")), "x")
                && QDir().mkpath(path(QStringLiteral("dir.ini"))));
        const QString error = test_files::errorOf<FileError>([&] {
            test_files::FileSizeLimit limit(64);  // as a full disk
            put(path(target), key, value);
        });
        QVERIFY2(error.contains(path(target)), qPrintable(error));
        QCOMPARE(test_files::readAll(path()), before);
        QCOMPARE(QDir(m_dir.path())
                         .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                    QDir::Name | QDir::IgnoreCase),
                 QStringList({"dir.ini", "file", "QZ4Vel.ini"}));  // no temporary file left
    }
};

QTEST_GUILESS_MAIN(TstIniFile)
#include "tst_ini_file.moc"
