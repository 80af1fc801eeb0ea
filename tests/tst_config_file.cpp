#include "files/config_file.h"
#include "files/file_error.h"
#include "model/key_table.h"
#include "model/row_table.h"
#include "support/file_helpers.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using config_file::ConfigItem;
using test_files::readAll;
using test_files::writeAll;

namespace {

const QDateTime kWritten(QDate(2024, 3, 9), QTime(14, 5, 7));

// One readable line per item, so a whole file's outcome compares as a list.
QStringList itemsOf(const QString& path)
{
    const auto opt = [](const std::optional<QString>& v) { return v ? QLatin1Char('[') + *v + QLatin1Char(']') : QStringLiteral("-"); };
    QStringList items;
    config_file::ConfigReader reader(path);
    while (const auto item = reader.next()) {
        switch (item->kind) {
        case ConfigItem::Kind::StringLength: items << QStringLiteral("length %1").arg(item->stringLength); break;
        case ConfigItem::Kind::Row:
            items << QStringLiteral("row %1 [%2] %3 %4").arg(item->row).arg(item->keyName, opt(item->string), opt(item->note));
            break;
        case ConfigItem::Kind::LineError: items << QStringLiteral("line error: ") + item->message; break;
        case ConfigItem::Kind::OpenError: items << QStringLiteral("open error: ") + item->message; break;
        }
    }
    return items;
}

RowTable filled(const QString& tag)
{
    RowTable rows;
    for (int r = 0; r < RowTable::kRows; ++r) {
        rows.keyNames.at(r) = tag + QStringLiteral("k%1").arg(r);
        rows.strings.at(r) = tag + QStringLiteral("s%1").arg(r);
        rows.notes.at(r) = tag + QStringLiteral("n%1").arg(r);
    }
    return rows;
}

RowTable randomTable(quint32 seed, bool breaking)
{
    static const QStringList plain{"a", "Z", "{0D}", "{", "#", " ", "\\", "\\s", "\\t", "ü", "€", "\U0001F600", "\""};
    static const QStringList special{"\t", "\n", "\r", "\r\n", " ", "\\"};
    QRandomGenerator rng(seed);
    const auto text = [&] {
        QString t;
        for (int i = rng.bounded(12); i > 0; --i) {
            t += (breaking && rng.bounded(4) == 0) ? special.at(rng.bounded(special.size())) : plain.at(rng.bounded(plain.size()));
        }
        return t + ((breaking && rng.bounded(3) == 0) ? QStringLiteral(" ") : QString());
    };
    RowTable rows;
    for (int r = 0; r < config_file::kRowsWritten; ++r) {
        rows.keyNames.at(r) = rng.bounded(5) == 0 ? QString() : key_table::records().at(rng.bounded(key_table::kSlots)).keyName;
        rows.strings.at(r) = text();
        rows.notes.at(r) = text();
    }
    return rows;
}

}  // namespace

class TstConfigFile : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString path(const QString& name = QStringLiteral("table.cfg")) const { return m_dir.filePath(name); }

private slots:
    void writesTheDocumentedLayout()
    {
        RowTable rows;
        rows.keyNames.at(0) = QStringLiteral("F9");
        rows.strings.at(0) = QStringLiteral("ab{0D}");
        rows.notes.at(0) = QStringLiteral(" first row");
        rows.keyNames.at(7) = QStringLiteral("\\");
        rows.keyNames.at(94) = QStringLiteral("never written");
        const QString text = QString::fromUtf8(config_file::render(rows, 10, kWritten));
        const QStringList lines = text.split(QStringLiteral("\r\n"));
        const QLocale locale = QLocale::system();
        QCOMPARE(lines.mid(0, 6), (QStringList{QStringLiteral("#Quorvane QZ4VELDT configuration file"),
                                               QStringLiteral("#File written ") + locale.toString(kWritten.date(), QLocale::ShortFormat) +
                                                   QLatin1Char(' ') + locale.toString(kWritten.time(), QLocale::LongFormat),
                                               QString(), QStringLiteral("String Length = 10"), QString(),
                                               QStringLiteral("00\tF9\tab{0D}\t first row")}));
        QCOMPARE(lines.at(5 + 7), QStringLiteral("07\t\\\t\t"));
        QCOMPARE(lines.at(5 + 93), QStringLiteral("93\t\t\t"));
        QCOMPARE(lines.size(), 5 + 94 + 1);  // ends with CR LF
        QVERIFY(!text.contains(QStringLiteral("never written")) && !text.contains(QLatin1Char('\n') + QStringLiteral("#Fields")));
        for (int bad : {0, 11}) {
            QVERIFY_THROWS_EXCEPTION(FileError, config_file::save(path(QStringLiteral("refused.cfg")), rows, bad));
        }
        QVERIFY(!QFile::exists(path(QStringLiteral("refused.cfg"))));
    }

    void escaping_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("escaped");
        QTest::addColumn<bool>("marker");
        QTest::newRow("plain") << "a \\t b" << "a \\\\t b" << false;
        QTest::newRow("controls") << "a\tb\nc\rd" << "a\\tb\\nc\\rd" << true;
        QTest::newRow("final blanks") << "a  " << "a \\s" << true;
        QTest::newRow("only a blank") << " " << "\\s" << true;
    }
    void escaping()
    {
        QFETCH(QString, note);
        QFETCH(QString, escaped);
        QFETCH(bool, marker);
        QCOMPARE(config_file::escapeField(note), escaped);
        QCOMPARE(config_file::unescapeField(escaped), note);
        RowTable rows;
        rows.strings.at(3) = QStringLiteral("x\\y");
        rows.notes.at(3) = note;
        const QStringList lines = QString::fromUtf8(config_file::render(rows, 6, kWritten)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.at(2) == QLatin1String(config_file::kEscapeMarker), marker);
        QCOMPARE(lines.at(marker ? 9 : 8), marker ? QStringLiteral("03\t\tx\\\\y\t") + escaped : QStringLiteral("03\t\tx\\y\t") + note);
    }

    // Save then open gives back rows 0..92 exactly, whatever the fields hold.
    void roundTrip_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("breaking");
        for (quint32 seed = 1; seed <= 12; ++seed) {
            QTest::addRow("plain %u", seed) << seed << false;
            QTest::addRow("breaking %u", seed) << seed << true;
        }
    }
    void roundTrip()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, breaking);
        const RowTable original = randomTable(seed, breaking);
        const int length = int(seed % 10 + 1);
        config_file::save(path(), original, length, kWritten);
        RowTable loaded = filled(QStringLiteral("old"));
        QList<int> lengths;
        const auto summary = config_file::applyTo(loaded, path(), [&lengths](int n) { lengths.append(n); });
        QVERIFY(summary.complete() && summary.lineErrors.isEmpty());
        QCOMPARE(lengths, QList<int>{length});
        QCOMPARE(summary.rowLines, config_file::kLastRowRead + 1);
        for (int r = 0; r < RowTable::kRows; ++r) {
            const bool read = r <= config_file::kLastRowRead;
            QCOMPARE(loaded.keyNames.at(r), read ? original.keyNames.at(r) : QStringLiteral("oldk%1").arg(r));
            QCOMPARE(loaded.strings.at(r), read ? original.strings.at(r) : QStringLiteral("olds%1").arg(r));
            QCOMPARE(loaded.notes.at(r), read ? original.notes.at(r) : QStringLiteral("oldn%1").arg(r));
        }
    }

    // Reading rules on hand-made files; each expected entry is one item, in order.
    void reader_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("items");
        const QString lineError = QStringLiteral("line error: Error extracting info from config file. ");
        const QString openError = QStringLiteral("open error: Error opening specified config file. ");
        const QString notLength = QStringLiteral(" is not a number from 1 to 10");
        const QByteArray marker = QByteArray(config_file::kEscapeMarker) + "\r\n";
        QTest::newRow("comments and blank lines") << QByteArray("   #c\r\n   \r\n\r\n#\tx\ty\r\n  String Length = 03  \r\n05\tF1\r\n")
                                                  << QStringList{"length 3", "row 5 [F1] - -"};
        QTest::newRow("fields present and absent")
            << QByteArray("07\tF1\n08\tF2\tab\n09\tF3\tcd\tnote\n10\tF4\tef\tgh\textra\n  11\t\t a \t n  \n")
            << QStringList{"row 7 [F1] - -", "row 8 [F2] [ab] -", "row 9 [F3] [cd] [note]", "row 10 [F4] [ef] [gh]", "row 11 [] [ a ] [ n]"};
        QTest::newRow("numbers rounded half to even") << QByteArray("5.5\tA\n4.5\tB\n 8 \tC\n1e1\tD\n-0.4\tE\n92.0\tF\n+3\tG\n")
                                                      << QStringList{"row 6 [A] - -", "row 4 [B] - -", "row 8 [C] - -", "row 10 [D] - -",
                                                                     "row 0 [E] - -", "row 92 [F] - -", "row 3 [G] - -"};
        QTest::newRow("lines that change nothing")
            << QByteArray("92.4\tA\n93\tA\n100\tB\nQ\tC\n0x5\tD\ninf\tE\nnan\tF\n1,5\tG\n\tH\n05\nstring length = 5\n") << QStringList{};
        QTest::newRow("row below 0 goes on") << QByteArray("-1\tF1\n-2.6\tF2\n06\tF3\n")
                                             << QStringList{lineError + "Row number \"-1\" in line 1 is below 0 iitemnumber-1 =-2",
                                                            lineError + "Row number \"-2.6\" in line 2 is below 0 iitemnumber-1 =-4",
                                                            "row 6 [F3] - -"};
        QTest::newRow("string length 0 stops") << QByteArray("01\tA\nString Length = 0\n02\tB\n")
                                               << QStringList{"row 1 [A] - -", openError + "String length \"0\" in line 2" + notLength};
        QTest::newRow("string length 11") << QByteArray("String Length = 11\n") << QStringList{openError + "String length \"11\" in line 1" + notLength};
        QTest::newRow("string length letters") << QByteArray("String Length = 5 ch\n") << QStringList{openError + "String length \"5 ch\" in line 1" + notLength};
        QTest::newRow("string length missing") << QByteArray("String Length =\n") << QStringList{openError + "The string length is missing in line 1"};
        QTest::newRow("string length by position") << QByteArray("String Length=5\n") << QStringList{openError + "The string length is missing in line 1"};
        QTest::newRow("marker decodes fields") << marker + "01\t\\\\\ta\\tb\\q\tline\\r\\nnext\\s\\\n"
                                               << QStringList{"row 1 [\\] [a\tb\\q] [line\r\nnext \\]"};
        QTest::newRow("no marker, no decoding") << QByteArray("01\t\\\\\ta\\tb\tc\\s\n") << QStringList{"row 1 [\\\\] [a\\tb] [c\\s]"};
        QTest::newRow("marker after rows ignored") << "01\tA\n" + marker + "02\t\\\\\n" << QStringList{"row 1 [A] - -", "row 2 [\\\\] - -"};
        QTest::newRow("old note over two lines") << QByteArray("03\tA\ts\tfirst\r\nsecond\r\n04\tB") << QStringList{"row 3 [A] [s] [first]", "row 4 [B] - -"};
        QTest::newRow("LF and lone CR end lines") << QByteArray("01\tA\n02\tB\r03\tC\r\n\r04\tD")
                                                  << QStringList{"row 1 [A] - -", "row 2 [B] - -", "row 3 [C] - -", "row 4 [D] - -"};
        QTest::newRow("UTF-8 with byte-order mark") << QByteArray("\xEF\xBB\xBF" "01\t\xC3\xBC\t\xE2\x82\xAC\n") << QStringList{QString::fromUtf8("row 1 [\u00FC] [\u20AC] -")};
        QTest::newRow("not UTF-8 read as Latin-1") << QByteArray("01\tA\t\xE9\x80\n02\t\xC3\xBC\n")
                                                   << QStringList{QString::fromLatin1("row 1 [A] [\xE9\x80] -"), QString::fromLatin1("row 2 [\xC3\xBC] - -")};
        QTest::newRow("NUL bytes") << QByteArray("01\tA\ta\0b\n\0\n02\tB\n", 17)
                                   << QStringList{QStringLiteral("row 1 [A] [a") + QChar(0) + QStringLiteral("b] -"), "row 2 [B] - -"};
    }
    void reader()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, items);
        QVERIFY(writeAll(path(), content));
        QCOMPARE(itemsOf(path()), items);
    }

    void openErrors()
    {
        QVERIFY(QDir().mkpath(path(QStringLiteral("folder.cfg"))));
        QFile large(path(QStringLiteral("large.cfg")));
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(config_file::kMaxFileSize + 1));  // sparse: costs no disk
        large.close();
        for (const QString name : {"missing.cfg", "folder.cfg", "large.cfg"}) {
            RowTable rows = filled(QStringLiteral("keep"));
            const auto summary = config_file::applyTo(rows, path(name));
            QVERIFY2(summary.openError.startsWith(QStringLiteral("Error opening specified config file. ")), qPrintable(summary.openError));
            QVERIFY2(summary.openError.contains(path(name)), qPrintable(summary.openError));
            QCOMPARE(rows.keyNames.at(0), QStringLiteral("keepk0"));
        }
    }

    // The string length is announced before the rows after it, and rows read
    // before an open error stay loaded.
    void applyToOrderAndPartialLoad()
    {
        QVERIFY(writeAll(path(), "05\tA\r\nString Length = 3\r\n06\tB\tbb\r\n-1\tC\r\nString Length = 12\r\n07\tD\r\n"));
        RowTable rows = filled(QStringLiteral("old"));
        QStringList seen;
        const auto summary = config_file::applyTo(rows, path(), [&](int n) { seen << QString::number(n) + rows.keyNames.at(5) + rows.keyNames.at(6); });
        QCOMPARE(seen, QStringList{QStringLiteral("3Aoldk6")});
        QCOMPARE(summary.stringLength, std::optional<int>(3));
        QCOMPARE(summary.lineErrors.size(), 1);
        QVERIFY(!summary.complete());
        QCOMPARE(QStringList({rows.keyNames.at(5), rows.strings.at(5), rows.keyNames.at(6), rows.strings.at(6), rows.notes.at(6), rows.keyNames.at(7)}),
                 QStringList({"A", "olds5", "B", "bb", "oldn6", "oldk7"}));
    }

    void survivesHostileContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rows");
        QTest::newRow("long line") << QByteArray(4 << 20, 'x') + "\n01\tA\n" << 1;
        QTest::newRow("million tabs") << "02" + QByteArray(1 << 20, '\t') + "\n01\tA\tb\t" + QByteArray(2 << 20, 'n') << 2;
        for (quint32 seed = 1; seed <= 8; ++seed) {
            QByteArray garbage(64 * 1024, '\0');
            QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(garbage.data()), garbage.size() / 4);
            QTest::addRow("garbage %u", seed) << garbage << -1;
        }
    }
    void survivesHostileContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, rows);
        QVERIFY(writeAll(path(), content));
        config_file::ConfigReader reader(path());
        int rowItems = 0;
        while (const auto item = reader.next()) {
            QVERIFY(item->row >= 0 && item->row <= config_file::kLastRowRead);
            QVERIFY(item->kind != ConfigItem::Kind::StringLength || (item->stringLength >= 1 && item->stringLength <= 10));
            rowItems += item->kind == ConfigItem::Kind::Row ? 1 : 0;
        }
        QVERIFY(rows < 0 || rowItems == rows);
    }

    void failedSaveKeepsTheOldFile()
    {
        QVERIFY(writeAll(path(QStringLiteral("file")), "x"));
        QVERIFY_THROWS_EXCEPTION(FileError, config_file::save(path(QStringLiteral("file/t.cfg")), RowTable{}, 6));
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("kept.cfg"));
        config_file::save(target, RowTable{}, 6, kWritten);
        const QByteArray before = readAll(target);
        try {
            test_files::FileSizeLimit limit(before.size() + 100);
            config_file::save(target, filled(QStringLiteral("a longer prefix that makes the file grow")), 6, kWritten);
            QFAIL("no error");
        } catch (const FileError& e) {
            QVERIFY2(e.description().contains(target), e.what());
        }
        QCOMPARE(readAll(target), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("kept.cfg")});
    }
};

QTEST_GUILESS_MAIN(TstConfigFile)
#include "tst_config_file.moc"
