#include "files/config_file.h"
#include "files/file_error.h"
#include "model/key_table.h"
#include "model/row_table.h"
#include "support/file_helpers.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

using config_file::ConfigItem;
using config_file::ConfigReader;
using test_files::readAll;
using test_files::writeAll;

namespace {

const QDateTime kWritten(QDate(2024, 3, 9), QTime(14, 5, 7));

// One readable line per item, so a whole file's outcome compares as a list.
QString describe(const ConfigItem& item)
{
    const auto opt = [](const std::optional<QString>& v) { return v ? QLatin1Char('[') + *v + QLatin1Char(']') : QStringLiteral("-"); };
    switch (item.kind) {
    case ConfigItem::Kind::StringLength: return QStringLiteral("length %1").arg(item.stringLength);
    case ConfigItem::Kind::Row:
        return QStringLiteral("row %1 [%2] %3 %4").arg(item.row).arg(item.keyName, opt(item.string), opt(item.note));
    case ConfigItem::Kind::LineError: return QStringLiteral("line error: ") + item.message;
    case ConfigItem::Kind::OpenError: return QStringLiteral("open error: ") + item.message;
    }
    return {};
}

QStringList itemsOf(const QString& path)
{
    QStringList items;
    ConfigReader reader(path);
    while (const auto item = reader.next()) {
        items.append(describe(*item));
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

QString randomText(QRandomGenerator& rng, bool special)
{
    static const QStringList plain{"a", "Z", "{0D}", "{", "}", "#", " ", "=", "\\", "\\s", "\\t", "ü", "€", "\U0001F600", "'", "\""};
    static const QStringList breaking{"\t", "\n", "\r", "\r\n", " ", "\\"};
    QString text;
    const int length = rng.bounded(0, 12);
    for (int i = 0; i < length; ++i) {
        text += (special && rng.bounded(4) == 0) ? breaking.at(rng.bounded(breaking.size())) : plain.at(rng.bounded(plain.size()));
    }
    if (special && rng.bounded(3) == 0) {
        text += QLatin1Char(' ');
    }
    return text;
}

RowTable randomTable(quint32 seed, bool special)
{
    QRandomGenerator rng(seed);
    RowTable rows;
    const auto& keys = key_table::records();
    for (int r = 0; r < config_file::kRowsWritten; ++r) {
        rows.keyNames.at(r) = rng.bounded(5) == 0 ? QString() : keys.at(rng.bounded(key_table::kSlots)).keyName;
        rows.strings.at(r) = randomText(rng, special);
        rows.notes.at(r) = randomText(rng, special);
    }
    return rows;
}

}  // namespace

class TstConfigFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name = QStringLiteral("table.cfg")) const { return m_dir.filePath(name); }

private slots:
    void writesTheDocumentedLayout()
    {
        RowTable rows;
        rows.keyNames.at(0) = QStringLiteral("F9");
        rows.strings.at(0) = QStringLiteral("ab{0D}");
        rows.notes.at(0) = QStringLiteral("first row");
        rows.keyNames.at(7) = QStringLiteral("\\");
        rows.keyNames.at(93) = QStringLiteral("Pause");
        rows.keyNames.at(94) = QStringLiteral("never written");
        const QStringList lines = QString::fromUtf8(config_file::render(rows, 10, kWritten)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 5 + 94 + 1);
        QCOMPARE(lines.at(0), QStringLiteral("#Quorvane QZ4VELDT configuration file"));
        const QLocale locale = QLocale::system();
        QCOMPARE(lines.at(1), QStringLiteral("#File written ") + locale.toString(kWritten.date(), QLocale::ShortFormat) +
                                  QLatin1Char(' ') + locale.toString(kWritten.time(), QLocale::LongFormat));
        QCOMPARE(lines.at(2), QString());
        QCOMPARE(lines.at(3), QStringLiteral("String Length = 10"));
        QCOMPARE(lines.at(4), QString());
        QCOMPARE(lines.at(5), QStringLiteral("00\tF9\tab{0D}\tfirst row"));
        QCOMPARE(lines.at(5 + 7), QStringLiteral("07\t\\\t\t"));
        QCOMPARE(lines.at(5 + 93), QStringLiteral("93\tPause\t\t"));
        QCOMPARE(lines.last(), QString());  // the file ends with CR LF
        QVERIFY(!QString::fromUtf8(config_file::render(rows, 10, kWritten)).contains(QStringLiteral("never written")));
    }

    void escapedOnlyWhenNeeded_data()
    {
        QTest::addColumn<QString>("note");
        QTest::addColumn<bool>("escaped");
        QTest::newRow("plain") << "plain \\ text" << false;
        QTest::newRow("leading blank") << " x" << false;
        QTest::newRow("tab") << "a\tb" << true;
        QTest::newRow("line feed") << "a\nb" << true;
        QTest::newRow("carriage return") << "a\rb" << true;
        QTest::newRow("trailing blank") << "a " << true;
    }
    void escapedOnlyWhenNeeded()
    {
        QFETCH(QString, note);
        QFETCH(bool, escaped);
        RowTable rows;
        rows.strings.at(3) = QStringLiteral("x\\y");
        rows.notes.at(3) = note;
        const QStringList lines = QString::fromUtf8(config_file::render(rows, 6, kWritten)).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.at(2) == QLatin1String(config_file::kEscapeMarker), escaped);
        QCOMPARE(lines.size(), 5 + 94 + 1 + (escaped ? 1 : 0));
        const QString row3 = lines.at(escaped ? 9 : 8);
        QCOMPARE(row3, QStringLiteral("03\t\t") + (escaped ? QStringLiteral("x\\\\y\t") + config_file::escapeField(note)
                                                            : QStringLiteral("x\\y\t") + note));
    }

    void escapeRoundTrip_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("empty") << "" << "";
        QTest::newRow("backslash") << "\\" << "\\\\";
        QTest::newRow("looks escaped") << "\\t\\s" << "\\\\t\\\\s";
        QTest::newRow("controls") << "a\tb\nc\rd" << "a\\tb\\nc\\rd";
        QTest::newRow("final blanks") << "a  " << "a \\s";
        QTest::newRow("only a blank") << " " << "\\s";
        QTest::newRow("blank before backslash") << "a \\" << "a \\\\";
    }
    void escapeRoundTrip()
    {
        QFETCH(QString, field);
        QFETCH(QString, escaped);
        QCOMPARE(config_file::escapeField(field), escaped);
        QCOMPARE(config_file::unescapeField(escaped), field);
    }

    void unescapeIsTolerant_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("unknown escape kept") << "\\q" << "\\q";
        QTest::newRow("lone final backslash") << "ab\\" << "ab\\";
        QTest::newRow("blank escape inside") << "a\\sb" << "a b";
    }
    void unescapeIsTolerant()
    {
        QFETCH(QString, text);
        QFETCH(QString, decoded);
        QCOMPARE(config_file::unescapeField(text), decoded);
    }

    void refusesAStringLengthItCannotReadBack_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("0") << 0;
        QTest::newRow("11") << 11;
        QTest::newRow("-1") << -1;
    }
    void refusesAStringLengthItCannotReadBack()
    {
        QFETCH(int, length);
        QVERIFY_THROWS_EXCEPTION(FileError, config_file::save(path(QStringLiteral("refused.cfg")), RowTable{}, length));
        QVERIFY(!QFile::exists(path(QStringLiteral("refused.cfg"))));
    }

    // Save then load gives back rows 0..92 exactly, whatever the fields hold.
    void roundTrip_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("special");
        QTest::addColumn<int>("length");
        for (quint32 seed = 1; seed <= 12; ++seed) {
            QTest::addRow("plain %u", seed) << seed << false << int(seed % 10 + 1);
            QTest::addRow("breaking %u", seed) << seed << true << int((seed * 7) % 10 + 1);
        }
    }
    void roundTrip()
    {
        QFETCH(quint32, seed);
        QFETCH(bool, special);
        QFETCH(int, length);
        const RowTable original = randomTable(seed, special);
        config_file::save(path(), original, length, kWritten);
        QCOMPARE(readAll(path()).contains(config_file::kEscapeMarker), config_file::needsEscaping(original));

        RowTable loaded = filled(QStringLiteral("old"));
        QList<int> lengths;
        const auto summary = config_file::applyTo(loaded, path(), [&lengths](int n) { lengths.append(n); });
        QVERIFY(summary.complete());
        QVERIFY(summary.lineErrors.isEmpty());
        QCOMPARE(lengths, QList<int>{length});
        QCOMPARE(summary.stringLength, std::optional<int>(length));
        QCOMPARE(summary.rowLines, config_file::kLastRowRead + 1);
        for (int r = 0; r <= config_file::kLastRowRead; ++r) {
            QCOMPARE(loaded.keyNames.at(r), original.keyNames.at(r));
            QCOMPARE(loaded.strings.at(r), original.strings.at(r));
            QCOMPARE(loaded.notes.at(r), original.notes.at(r));
        }
        for (int r = config_file::kLastRowRead + 1; r < RowTable::kRows; ++r) {
            QCOMPARE(loaded.keyNames.at(r), QStringLiteral("oldk%1").arg(r));
        }
    }

    // Reading rules on hand-made files; each expected line is one item in order.
    void reader_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("items");
        const QString lineError = QStringLiteral("line error: Error extracting info from config file. ");
        const QString openError = QStringLiteral("open error: Error opening specified config file. ");
        QTest::newRow("comments and blank lines")
            << QByteArray("   #comment\r\n   \r\n\r\n#\tx\ty\r\n  String Length = 3  \r\n05\tF1\r\n")
            << QStringList{"length 3", "row 5 [F1] - -"};
        QTest::newRow("fields present and absent")
            << QByteArray("07\tF1\n08\tF2\tab\n09\tF3\tcd\tnote\n10\tF4\tef\tgh\textra\tmore\n11\t\t\t\n")
            << QStringList{"row 7 [F1] - -", "row 8 [F2] [ab] -", "row 9 [F3] [cd] [note]", "row 10 [F4] [ef] [gh]",
                           "row 11 [] [] []"};
        QTest::newRow("numbers rounded half to even")
            << QByteArray("5.5\tA\n4.5\tB\n07\tC\n 8 \tD\n1e1\tE\n-0.4\tF\n92.0\tG\n+3\tH\n")
            << QStringList{"row 6 [A] - -", "row 4 [B] - -", "row 7 [C] - -", "row 8 [D] - -", "row 10 [E] - -",
                           "row 0 [F] - -", "row 92 [G] - -", "row 3 [H] - -"};
        QTest::newRow("rows that change nothing")
            << QByteArray("92.4\tZ\n93\tA\n100\tB\nQ\tC\n0x5\tD\ninf\tE\nnan\tF\n1,5\tG\n\tH\n92.6\tI\n05\n5 A\n")
            << QStringList{};
        QTest::newRow("blanks stripped from the line only")
            << QByteArray("  05\tF1\t a \t note  \n") << QStringList{"row 5 [F1] [ a ] [ note]"};
        QTest::newRow("row below 0 goes on")
            << QByteArray("-1\tF1\n-2.6\tF2\n06\tF3\n")
            << QStringList{lineError + "Row number \"-1\" in line 1 is below 0 iitemnumber-1 =-2",
                           lineError + "Row number \"-2.6\" in line 2 is below 0 iitemnumber-1 =-4", "row 6 [F3] - -"};
        QTest::newRow("string length 10") << QByteArray("String Length = 10\n") << QStringList{"length 10"};
        QTest::newRow("string length with zero") << QByteArray("String Length = 07\n") << QStringList{"length 7"};
        QTest::newRow("string length 0 stops")
            << QByteArray("01\tA\nString Length = 0\n02\tB\n")
            << QStringList{"row 1 [A] - -", openError + "String length \"0\" in line 2 is not a number from 1 to 10"};
        QTest::newRow("string length 11 stops")
            << QByteArray("String Length = 11\n02\tB\n") << QStringList{openError + "String length \"11\" in line 1 is not a number from 1 to 10"};
        QTest::newRow("string length missing")
            << QByteArray("String Length =\n02\tB\n") << QStringList{openError + "The string length is missing in line 1"};
        QTest::newRow("string length letters")
            << QByteArray("String Length = six\n") << QStringList{openError + "String length \"six\" in line 1 is not a number from 1 to 10"};
        QTest::newRow("string length trailing text")
            << QByteArray("String Length = 5 chars\n") << QStringList{openError + "String length \"5 chars\" in line 1 is not a number from 1 to 10"};
        QTest::newRow("string length huge")
            << QByteArray("String Length = 99999999999999999999\n")
            << QStringList{openError + "String length \"99999999999999999999\" in line 1 is not a number from 1 to 10"};
        QTest::newRow("string length by position")
            << QByteArray("String Length=5\n") << QStringList{openError + "The string length is missing in line 1"};
        QTest::newRow("other case is no string length") << QByteArray("string length = 5\n") << QStringList{};
        QTest::newRow("marker decodes fields")
            << QByteArray("#Fields escaped: \\t tab, \\n line feed, \\r carriage return, \\s trailing blank, \\\\ backslash\r\n"
                          "01\t\\\\\ta\\tb\tline\\r\\nnext\\s\n")
            << QStringList{"row 1 [\\] [a\tb] [line\r\nnext ]"};
        QTest::newRow("no marker, no decoding")
            << QByteArray("01\t\\\\\ta\\tb\tc\\s\n") << QStringList{"row 1 [\\\\] [a\\tb] [c\\s]"};
        QTest::newRow("marker after rows ignored")
            << QByteArray("01\tA\n#Fields escaped: \\t tab, \\n line feed, \\r carriage return, \\s trailing blank, \\\\ backslash\n02\t\\\\\n")
            << QStringList{"row 1 [A] - -", "row 2 [\\\\] - -"};
        QTest::newRow("continuation line of an old note")
            << QByteArray("03\tA\ts\tfirst\r\nsecond\r\n04\tB\r\n") << QStringList{"row 3 [A] [s] [first]", "row 4 [B] - -"};
        QTest::newRow("LF and lone CR end lines")
            << QByteArray("01\tA\n02\tB\r03\tC\r\n\r04\tD") << QStringList{"row 1 [A] - -", "row 2 [B] - -", "row 3 [C] - -", "row 4 [D] - -"};
        QTest::newRow("UTF-8") << QByteArray("01\t\xC3\xBC\t\xE2\x82\xAC\n") << QStringList{QString::fromUtf8("row 1 [\u00FC] [\u20AC] -")};
        QTest::newRow("not UTF-8 read as Latin-1")
            << QByteArray("01\tA\t\xE9\x80\tn\xFC\n02\t\xC3\xBC\n")
            << QStringList{QString::fromLatin1("row 1 [A] [\xE9\x80] [n\xFC]"), QString::fromLatin1("row 2 [\xC3\xBC] - -")};
        QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFString Length = 2\n") << QStringList{"length 2"};
        QTest::newRow("NUL bytes") << QByteArray("01\tA\ta\0b\n\0\n02\tB\n", 17)
                                   << QStringList{QStringLiteral("row 1 [A] [a") + QChar(0) + QStringLiteral("b] -"), "row 2 [B] - -"};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
    }
    void reader()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, items);
        QVERIFY(writeAll(path(), content));
        QCOMPARE(itemsOf(path()), items);
    }

    void lineNumbersCountEveryLine()
    {
        QVERIFY(writeAll(path(), "#a\r\n\r\nString Length = 4\r\n\r\n03\tA\r\n-5\tB\r\n"));
        ConfigReader reader(path());
        QList<int> numbers;
        while (const auto item = reader.next()) {
            numbers.append(item->lineNumber);
        }
        QCOMPARE(numbers, (QList<int>{3, 5, 6}));
        QVERIFY(!reader.next());
    }

    void openErrors_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing file") << "missing.cfg" << "Cannot open";
        QTest::newRow("folder") << "folder.cfg" << "Cannot open";
        QTest::newRow("too large") << "large.cfg" << "is too large";
    }
    void openErrors()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QDir().mkpath(path(QStringLiteral("folder.cfg")));
        {
            QFile large(path(QStringLiteral("large.cfg")));
            QVERIFY(large.open(QIODevice::WriteOnly));
            QVERIFY(large.resize(config_file::kMaxFileSize + 1));  // sparse: costs no disk
        }
        ConfigReader reader(path(name));
        const auto item = reader.next();
        QVERIFY(item);
        QCOMPARE(item->kind, ConfigItem::Kind::OpenError);
        QVERIFY2(item->message.startsWith(QStringLiteral("Error opening specified config file. ")), qPrintable(item->message));
        QVERIFY2(item->description.contains(reason), qPrintable(item->message));
        QVERIFY2(item->message.contains(path(name)), qPrintable(item->message));
        QVERIFY(!reader.next());

        RowTable rows = filled(QStringLiteral("keep"));
        const auto summary = config_file::applyTo(rows, path(name));
        QVERIFY(!summary.complete());
        QCOMPARE(summary.openError, item->message);
        QCOMPARE(rows.keyNames.at(0), QStringLiteral("keepk0"));
    }

    // The string length is announced before the rows after it are applied, and
    // rows read before an open error stay loaded.
    void applyToOrderAndPartialLoad()
    {
        QVERIFY(writeAll(path(), "05\tA\r\nString Length = 3\r\n06\tB\tbb\r\n-1\tC\r\nString Length = 12\r\n07\tD\r\n"));
        RowTable rows = filled(QStringLiteral("old"));
        QStringList seenAtLength;
        const auto summary = config_file::applyTo(rows, path(), [&](int n) {
            seenAtLength << QStringLiteral("%1:%2:%3").arg(n).arg(rows.keyNames.at(5), rows.keyNames.at(6));
        });
        QCOMPARE(seenAtLength, QStringList{QStringLiteral("3:A:oldk6")});
        QCOMPARE(summary.stringLength, std::optional<int>(3));
        QCOMPARE(summary.rowLines, 2);
        QCOMPARE(summary.lineErrors.size(), 1);
        QVERIFY(summary.openError.startsWith(QStringLiteral("Error opening specified config file. ")));
        QCOMPARE(rows.keyNames.at(5), QStringLiteral("A"));
        QCOMPARE(rows.strings.at(5), QStringLiteral("olds5"));  // absent field keeps its value
        QCOMPARE(rows.keyNames.at(6), QStringLiteral("B"));
        QCOMPARE(rows.strings.at(6), QStringLiteral("bb"));
        QCOMPARE(rows.notes.at(6), QStringLiteral("oldn6"));
        QCOMPARE(rows.keyNames.at(7), QStringLiteral("oldk7"));  // after the open error
    }

    void survivesHostileContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rows");
        QTest::newRow("long line without tabs") << QByteArray(4 << 20, 'x') + "\n01\tA\n" << 1;
        QTest::newRow("million tabs") << "02" + QByteArray(1 << 20, '\t') + "\n01\tA\n" << 2;
        QTest::newRow("long note") << "01\tA\tb\t" + QByteArray(2 << 20, 'n') + "\n" << 1;
        for (quint32 seed = 1; seed <= 8; ++seed) {
            QRandomGenerator rng(seed);
            QByteArray garbage(64 * 1024, '\0');
            for (char& c : garbage) {
                c = char(rng.bounded(256));
            }
            QTest::addRow("garbage %u", seed) << garbage << -1;
        }
    }
    void survivesHostileContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, rows);
        QVERIFY(writeAll(path(), content));
        ConfigReader reader(path());
        int rowItems = 0;
        while (const auto item = reader.next()) {
            if (item->kind == ConfigItem::Kind::Row) {
                QVERIFY(item->row >= 0 && item->row <= config_file::kLastRowRead);
                ++rowItems;
            }
            if (item->kind == ConfigItem::Kind::StringLength) {
                QVERIFY(item->stringLength >= 1 && item->stringLength <= 10);
            }
        }
        if (rows >= 0) {
            QCOMPARE(rowItems, rows);
        }
        RowTable table;
        config_file::applyTo(table, path());
    }

    void saveReplacesAndLeavesNoTemporaryFiles()
    {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("t.cfg"));
        QVERIFY(writeAll(target, "old content"));
        config_file::save(target, filled(QStringLiteral("a")), 4, kWritten);
        QCOMPARE(readAll(target), config_file::render(filled(QStringLiteral("a")), 4, kWritten));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("t.cfg")});
    }

    void saveFailureNamesThePath()
    {
        const QString blocker = path(QStringLiteral("plain-file"));
        QVERIFY(writeAll(blocker, "x"));
        const QString target = blocker + QStringLiteral("/t.cfg");
        try {
            config_file::save(target, RowTable{}, 6);
            QFAIL("no error");
        } catch (const std::runtime_error& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(target), e.what());
        }
    }

    void fullDiskLeavesOldFileIntact()
    {
        const QString target = path(QStringLiteral("kept.cfg"));
        config_file::save(target, RowTable{}, 6, kWritten);
        const QByteArray before = readAll(target);
        const RowTable bigger = filled(QStringLiteral("a long prefix that makes the file grow "));
        bool threw = false;
        {
            test_files::FileSizeLimit limit(before.size() + 100);
            if (!limit.active()) {
                QSKIP("cannot lower the file size limit here");
            }
            try {
                config_file::save(target, bigger, 6, kWritten);
            } catch (const FileError&) {
                threw = true;
            }
        }
        QVERIFY(threw);
        QCOMPARE(readAll(target), before);
    }
};

QTEST_GUILESS_MAIN(TstConfigFile)
#include "tst_config_file.moc"
