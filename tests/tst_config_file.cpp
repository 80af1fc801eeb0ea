#include "files/config_file.h"
#include "files/file_error.h"
#include "files/recovery_store.h"
#include "model/row_table.h"
#include "support/file_helpers.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using Kind = config_file::ConfigItem::Kind;

namespace {

const QDateTime kWritten(QDate(2024, 3, 9), QTime(14, 5, 7));

// One readable line per item, so a whole file's outcome compares as a list; "-" is an absent field.
QStringList itemsOf(const QString& path)
{
    QStringList items;
    config_file::ConfigReader reader(path);
    while (const auto item = reader.next())
        items << (item->kind == Kind::StringLength ? QStringLiteral("length %1").arg(item->stringLength)
                          : item->kind == Kind::Row
                          ? QStringList{QString::number(item->row), item->keyName, item->string.value_or("-"),
                                        item->note.value_or("-")}
                                    .join('|')
                          : (item->kind == Kind::LineError ? "line error: " : "open error: ") + item->message);
    return items;
}

// The rows from..to-1 as one list, for whole-table comparisons.
QStringList flat(const RowTable& rows, int from = 0, int to = RowTable::kRows)
{
    QStringList all;
    for (int r = from; r < to; ++r)
        all << rows.keyNames.at(r) << rows.strings.at(r) << rows.notes.at(r);
    return all;
}

// Fields from pieces the format must carry; "breaking" adds tabs, line ends and final blanks.
RowTable randomTable(quint32 seed, bool breaking)
{
    static const QStringList plain{"a", "Z", "{0D}", "{", "#", " ", "\\", "\\s", "\\t", "ü", "€", "\U0001F600", "\""};
    static const QStringList special{"\t", "\n", "\r", "\r\n", " ", "\\"};
    QRandomGenerator rng(seed);
    const auto text = [&] {
        QString t;
        for (int i = rng.bounded(12); i > 0; --i)
            t += (breaking && rng.bounded(4) == 0) ? special.at(rng.bounded(special.size()))
                                                   : plain.at(rng.bounded(plain.size()));
        return t + ((breaking && rng.bounded(3) == 0) ? QStringLiteral(" ") : QString());
    };
    RowTable rows;
    for (auto* column : {&rows.keyNames, &rows.strings, &rows.notes})
        std::generate_n(column->begin(), config_file::kRowsWritten, text);
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
        std::tie(rows.keyNames.at(0), rows.strings.at(0), rows.notes.at(0)) = std::tuple("F9", "ab{0D}", " first row");
        rows.keyNames.at(7) = QStringLiteral("\\");  // written as it is: nothing needs escaping
        rows.keyNames.at(94) = QStringLiteral("never written");
        const QStringList lines =
                QString::fromUtf8(config_file::render(rows, 10, kWritten)).split(QStringLiteral("\r\n"));
        const QLocale locale = QLocale::system();
        const QString written = locale.toString(kWritten.date(), QLocale::ShortFormat) + ' '
                + locale.toString(kWritten.time(), QLocale::LongFormat);
        QCOMPARE(lines.mid(0, 6),
                 (QStringList{"#Quorvane QZ4VELDT configuration file", "#File written " + written, "",
                              "String Length = 10", "", "00\tF9\tab{0D}\t first row"}));
        QCOMPARE(lines.at(5 + 7), QStringLiteral("07\t\\\t\t"));
        QCOMPARE(lines.mid(5 + 93), (QStringList{"93\t\t\t", ""}));  // rows 0..93, each ending in CR LF
        for (int bad : {0, 11})
            QVERIFY_THROWS_EXCEPTION(FileError, config_file::save(path(QStringLiteral("refused.cfg")), rows, bad));
        QVERIFY(!QFile::exists(path(QStringLiteral("refused.cfg"))));
        // One note needing escapes switches escaping on for the whole file, marked in the header.
        const QList<std::pair<QString, QString>> cases{{"a\tb\nc\rd", "a\\tb\\nc\\rd"}, {"a  ", "a \\s"}, {" ", "\\s"}};
        for (const auto& [note, escaped] : cases) {
            RowTable one;
            std::tie(one.strings.at(3), one.notes.at(3)) = std::tuple(QStringLiteral("x\\y"), note);
            const QStringList out =
                    QString::fromUtf8(config_file::render(one, 6, kWritten)).split(QStringLiteral("\r\n"));
            QCOMPARE(out.at(2), QLatin1String(config_file::kEscapeMarker));
            QCOMPARE(out.at(9), "03\t\tx\\\\y\t" + escaped);
        }
    }

    // Save then open gives back rows 0..92 exactly, whatever the fields hold.
    void roundTrip_data()
    {
        QTest::addColumn<quint32>("seed");  // even seeds add tabs, line ends and final blanks
        for (quint32 seed = 1; seed <= 24; ++seed)
            QTest::addRow("seed %u", seed) << seed;
    }
    void roundTrip()
    {
        QFETCH(quint32, seed);
        const RowTable original = randomTable(seed, seed % 2 == 0);
        const int length = int(seed % 10 + 1), read = config_file::kLastRowRead + 1;
        config_file::save(path(), original, length, kWritten);
        const RowTable before = randomTable(~seed, true);  // loading must replace all of rows 0..92
        RowTable loaded = before;
        const auto summary = config_file::applyTo(loaded, path());
        QVERIFY(summary.complete());
        QCOMPARE(summary.lineErrors, QStringList());
        QCOMPARE(summary.rowLines, read);
        QCOMPARE(summary.stringLength, length);
        QCOMPARE(flat(loaded, 0, read), flat(original, 0, read));
        QCOMPARE(flat(loaded, read), flat(before, read));  // row 93 is written but never read
    }

    // Reading rules on hand-made files; each expected entry is one item, in order.
    void reader_data()
    {
        using B = QByteArray;
        using L = QStringList;
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("items");
        const QString lineError = QStringLiteral("line error: Error extracting info from config file. Row number ");
        const QString openError = QStringLiteral("open error: Error opening specified config file. ");
        const QString notLength = QStringLiteral(" is not a number from 1 to 10");
        const B marker = B(config_file::kEscapeMarker) + "\r\n";
        const auto row = [](const char* tag, const B& content, const L& items) {
            QTest::newRow(tag) << content << items;
        };
        row("comments and blank lines", "   #c\r\n   \r\n\r\n#\tx\ty\r\n  String Length = 03  \r\n05\tF1\r\n",
            {"length 3", "5|F1|-|-"});
        row("fields present and absent",
            "07\tF1\n08\tF2\tab\n09\tF3\tcd\tnote\n10\tF4\tef\tgh\textra\n  11\t\t a \t n  \n",
            {"7|F1|-|-", "8|F2|ab|-", "9|F3|cd|note", "10|F4|ef|gh", "11|| a | n"});
        row("numbers rounded half to even", "5.5\tA\n4.5\tB\n 8 \tC\n1e1\tD\n-0.4\tE\n92.0\tF\n+3\tG\n",
            {"6|A|-|-", "4|B|-|-", "8|C|-|-", "10|D|-|-", "0|E|-|-", "92|F|-|-", "3|G|-|-"});
        row("lines that change nothing",
            "92.4\tA\n93\tA\n100\tB\nQ\tC\n0x5\tD\ninf\tE\nnan\tF\n1,5\tG\n\tH\n05\nstring length = 5\n", {});
        row("row below 0 goes on", "-1\tF1\n-2.6\tF2\n-1e300\tF4\n06\tF3\n",
            {lineError + "\"-1\" in line 1 is below 0 iitemnumber-1 =-2",
             lineError + "\"-2.6\" in line 2 is below 0 iitemnumber-1 =-4",
             lineError + "\"-1e300\" in line 3 is below 0 iitemnumber-1 =-1e+300", "6|F3|-|-"});
        row("string length 0 stops", "01\tA\nString Length = 0\n02\tB\n",
            {"1|A|-|-", openError + "String length \"0\" in line 2" + notLength});
        row("string length: the leading number", "String Length = 3 chars\nString Length = 6.0\n",
            {"length 3", "length 6"});
        row("string length letters", "String Length = ch 5\n",
            {openError + "String length \"ch 5\" in line 1" + notLength});
        row("string length missing", "String Length =\n", {openError + "The string length is missing in line 1"});
        row("string length by position", "String Length=5\n", {openError + "The string length is missing in line 1"});
        row("marker decodes fields", marker + "01\t\\\\\ta\\tb\\q\tline\\r\\nnext\\s\\\n",
            {"1|\\|a\tb\\q|line\r\nnext \\"});
        row("no marker, no decoding", "01\t\\\\\ta\\tb\tc\\s\n", {"1|\\\\|a\\tb|c\\s"});
        row("marker after rows ignored", "01\tA\n" + marker + "02\t\\\\\n", {"1|A|-|-", "2|\\\\|-|-"});
        row("LF and lone CR end lines", "01\tA\n02\tB\r03\tC\r\n\r04\tD", {"1|A|-|-", "2|B|-|-", "3|C|-|-", "4|D|-|-"});
        row("UTF-8 with byte-order mark",
            "\xEF\xBB\xBF"
            "01\t\xC3\xBC\t\xE2\x82\xAC\n",
            {QString::fromUtf8("1|\u00FC|\u20AC|-")});
        row("not UTF-8 read as Latin-1", "01\tA\t\xE9\x80\n02\t\xC3\xBC\n",
            {QString::fromLatin1("1|A|\xE9\x80|-"), QString::fromLatin1("2|\xC3\xBC|-|-")});
        row("NUL bytes", B("01\tA\ta\0b\n\0\n02\tB\n", 17), {"1|A|a" + QString(QChar(0)) + "b|-", "2|B|-|-"});
        // Huge lines and fields cost one pass; fields after the fourth are never split out.
        row("long line", B(4 << 20, 'x') + "\n01\tA\n", {"1|A|-|-"});
        row("million tabs", "02" + B(1 << 20, '\t') + "\n01\tA\tb\t" + B(2 << 20, 'n'),
            {"2|||", "1|A|b|" + QString(2 << 20, 'n')});
    }
    void reader()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, items);
        QVERIFY(test_files::writeAll(path(), content));
        QCOMPARE(itemsOf(path()), items);
    }

    // The string length is announced before the rows after it; absent fields keep
    // their old text; rows read before an open error stay loaded. A folder, an oversized file or a pipe is refused.
    void applyToOrderPartialLoadAndOpenErrors()
    {
        QVERIFY(test_files::writeAll(
                path(), "05\tA\r\nString Length = 3\r\n06\tB\tbb\r\n-1\tC\r\nString Length = 12\r\n07\tD\r\n"));
        RowTable rows;
        for (auto [column, old] :
             {std::pair(&rows.keyNames, "oldk"), std::pair(&rows.strings, "olds"), std::pair(&rows.notes, "oldn")})
            column->fill(QString::fromLatin1(old));
        QStringList seen;
        const auto summary = config_file::applyTo(
                rows, path(), [&](int n) { seen << QString::number(n) + rows.keyNames.at(5) + rows.keyNames.at(6); });
        QCOMPARE(seen, QStringList{QStringLiteral("3Aoldk")});
        QCOMPARE(summary.stringLength, 3);
        QCOMPARE(summary.lineErrors.size(), 1);
        QVERIFY(!summary.complete());
        QCOMPARE(flat(rows, 5, 8), QStringList({"A", "olds", "oldn", "B", "bb", "oldn", "oldk", "olds", "oldn"}));
        QVERIFY(QDir().mkpath(path(QStringLiteral("folder.cfg"))));
        QFile large(path(QStringLiteral("large.cfg")));  // sparse: costs no disk
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize(config_file::kMaxFileSize + 1));
        large.close();
        QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo.cfg"))).constData(), 0600)
                == 0);  // opening it would wait for a writer
        for (const QString name : {"folder.cfg", "large.cfg", "fifo.cfg"}) {  // a missing file: tst_file_menu
            RowTable fresh;
            const QString error = config_file::applyTo(fresh, path(name)).openError;
            QVERIFY2(error.startsWith("Error opening specified config file. "), qPrintable(error));
            QVERIFY2(error.contains(path(name)), qPrintable(error));
        }
    }

    // A snapshot gives back the table with its file name and label and the time it was
    // taken, and only one running copy of the program keeps it.
    void snapshotRoundTrip()
    {
        RecoveryStore store(path(QStringLiteral("state")));
        TableState state;
        state.rows = randomTable(7, true);
        std::tie(state.stringLength, state.configFileName, state.configLabel) =
                std::tuple(3, "/a b/x\ty.cfg ", "x\ty.cfg\n");
        store.write(state, kWritten);
        const auto snapshot = store.read();
        QVERIFY(snapshot && snapshot->state);
        QCOMPARE(snapshot->problem, QString());
        QCOMPARE(snapshot->taken, kWritten);
        QCOMPARE(flat(snapshot->state->rows, 0, 93), flat(state.rows, 0, 93));
        QCOMPARE((std::tuple(snapshot->state->stringLength, snapshot->state->configFileName,
                             snapshot->state->configLabel)),
                 (std::tuple(state.stringLength, state.configFileName, state.configLabel)));
        RowTable opened;  // an ordinary configuration file to Open
        QCOMPARE(config_file::applyTo(opened, store.path()).stringLength, 3);
        RecoveryStore other(path(QStringLiteral("state")));
        QVERIFY(store.claim() && store.claim());  // a second claim of the same copy holds
        QVERIFY(!other.claim());
        store.remove();
        QVERIFY(!store.read());
    }

    // An unreadable snapshot is renamed out of the way and reported once (garbage: tst_table_history).
    void corruptSnapshotSetAside_data()
    {
        QTest::addColumn<int>("keep");  // bytes of a good snapshot kept, then the garbage below
        QTest::addColumn<QByteArray>("garbage");
        QTest::newRow("cut short") << 800 << QByteArray();
        QTest::newRow("bad length") << 0
                                    << QByteArray(
                                               "#Table snapshot taken 2024-03-09T13:05:07.000Z\nString Length = 42\n");
        QTest::newRow("no time") << -1 << QByteArray();
    }
    void corruptSnapshotSetAside()
    {
        QFETCH(int, keep);
        QFETCH(QByteArray, garbage);
        QTemporaryDir folder;
        RecoveryStore store(folder.path());
        store.write(TableState{}, kWritten);
        QByteArray bytes = test_files::readAll(store.path());
        bytes = keep < 0 ? bytes.replace("#Table snapshot taken", "#") : bytes.left(keep) + garbage;
        QVERIFY(test_files::writeAll(store.path(), bytes));
        const auto snapshot = store.read();
        QVERIFY(snapshot);
        QVERIFY(!snapshot->state);
        QVERIFY2(snapshot->problem.contains("set aside"), qPrintable(snapshot->problem));
        QCOMPARE(QDir(folder.path()).entryList({"table-snapshot-unreadable-*.cfg"}).size(), 1);
        QVERIFY(!store.read());
    }
};

QTEST_GUILESS_MAIN(TstConfigFile)
#include "tst_config_file.moc"
