#include "model/override_check.h"

#include <QtTest>

using override_check::liveCheck;
using override_check::structureCheck;

class TstOverrideCheck : public QObject {
    Q_OBJECT

private slots:
    void live_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("inField");  // the kept text ends inside a hexadecimal field
        const QString tooLong2 = "String entered for item # 1 is too long .. max string length is 2 chars";
        const QString null1 = "String entered for item # 1 is invalid - cannot not use null {00} character";
        QTest::newRow("fits") << "AB{C7}" << 6 << 0 << "AB{C7}" << 3 << QStringList() << false;
        QTest::newRow("too long") << "ABC" << 2 << 0 << "AB" << 2 << QStringList{tooLong2} << false;
        QTest::newRow("too long keeps whole field")
                << "A{41}{42}" << 2 << 0 << "A{41}" << 2 << QStringList{tooLong2} << false;
        QTest::newRow("third digit") << "X{C7D" << 6 << 0 << "X{" << 1
                                     << QStringList{"{C7D only 2 HEX chars allowed within brackets (like {C7})"}
                                     << true;
        QTest::newRow("comma in field") << "{," << 6 << 0 << "{" << 0
                                        << QStringList{"{, only 2 HEX chars allowed within brackets (like {C7})"}
                                        << true;
        QTest::newRow("lower case in field")
                << "{c" << 6 << 0 << "{" << 0 << QStringList{"{c only 2 HEX chars allowed within brackets (like {C7})"}
                << true;
        QTest::newRow("null field") << "{00" << 6 << 0 << "{" << 0 << QStringList{null1} << true;
        QTest::newRow("null one digit") << "{0}" << 6 << 0 << "{" << 0 << QStringList{null1} << true;
        // Two characters go at a time, so a partial field can stay.
        QTest::newRow("null twice") << "{0}{0}" << 6 << 0 << "{0" << 0 << QStringList{null1, null1} << true;
        QTest::newRow("item number is the line")
                << "ABC" << 1 << 4 << "A" << 1
                << QStringList{"String entered for item # 5 is too long .. max string length is 1 chars"} << false;
        QTest::newRow("brace outside counts") << "}}" << 2 << 0 << "}}" << 2 << QStringList() << false;
        QTest::newRow("open field not counted") << "A{4" << 1 << 0 << "A{4" << 1 << QStringList() << true;
    }
    void live()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(int, line);
        QFETCH(QString, kept);
        QFETCH(int, count);
        QFETCH(QStringList, messages);
        QFETCH(bool, inField);
        const auto result = liveCheck(text, length, line);
        QCOMPARE(result.inHexField, inField);
        QCOMPARE(result.text, kept);
        QCOMPARE(result.count, count);
        QCOMPARE(result.messages, messages);
        // What is kept must pass the check again without a message.
        QVERIFY(liveCheck(result.text, length, line).messages.isEmpty());
    }

    // Any text, typed or pasted, ends in a text that passes the check and fits.
    void randomTextsSettle()
    {
        const QString alphabet = QStringLiteral("AZaz09{}{}{}0F7,~ ");
        QRandomGenerator rng(1234);
        for (int n = 0; n < 2000; ++n) {
            QString text;
            const int size = int(rng.bounded(47));
            for (int i = 0; i < size; ++i)
                text.append(alphabet.at(int(rng.bounded(alphabet.size()))));
            const int length = int(rng.bounded(1, 11));
            const auto result = liveCheck(text, length, 0);
            QVERIFY2(result.count <= length, qPrintable(text));
            QVERIFY(liveCheck(result.text, length, 0).messages.isEmpty());
            QVERIFY(text.startsWith(result.text));
        }
    }

    void structure()
    {
        QCOMPARE(structureCheck("ab{0D}}", 3), QString());
        QCOMPARE(structureCheck("{}", 3),
                 QStringLiteral("Hexadecimal brackets in string do not contain any hex characters"));
        QCOMPARE(structureCheck("A{4", 27),
                 QStringLiteral("Key String # 27 cannot end with an open hexadecimal field { bracket"));
        QCOMPARE(structureCheck("{4,}", 5),
                 QStringLiteral("Key String # 5contains invalid hex character at position 3"));
        QCOMPARE(structureCheck("A\tB", 0),
                 QStringLiteral("Key String # 0 contains an invalid character at position 2"));
        QCOMPARE(structureCheck("\x7F", 1),
                 QStringLiteral("Key String # 1 contains an invalid character at position 1"));
    }
};

QTEST_APPLESS_MAIN(TstOverrideCheck)
#include "tst_override_check.moc"
