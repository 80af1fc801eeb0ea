#include "model/capacity.h"
#include "model/key_table.h"
#include "model/row_table.h"

#include <QSet>
#include <QtTest>

class TstKeyTable : public QObject {
    Q_OBJECT

private slots:
    // Every key's name and scan code are unique and lead to each other; slot 93 is empty.
    void tableIsConsistent()
    {
        const auto& table = key_table::records();
        QSet<int> codes;
        QSet<QString> names;
        for (int i = 0; i < key_table::kKeys; ++i) {
            codes.insert(table[i].scancode);
            names.insert(table[i].keyName);
            QCOMPARE(key_table::scancodeForKeyName(table[i].keyName), int(table[i].scancode));
            QCOMPARE(key_table::keyNameForScancode(table[i].scancode), table[i].keyName);
        }
        QVERIFY(codes.size() == 93 && names.size() == 93 && !names.contains(QString()));
        QVERIFY(table[93].keyName.isEmpty() && table[93].scancode == 0);
        QVERIFY(table[78].keyName == "F7" && table[78].scancode == 0x83 && table[92].keyName == "Pause");
    }

    void lookups()
    {
        QCOMPARE(key_table::scancodeForKeyName("Home"), 0xC1);
        QCOMPARE(key_table::scancodeForKeyName("KPhome"), 0x6C);
        QCOMPARE(key_table::scancodeForKeyName("\\"), 0x5D);
        QCOMPARE(key_table::keyNameForScancode(0xAA), QStringLiteral("KPent"));
        QCOMPARE(key_table::scancodeForKeyName("home"), 0);  // case matters
        QCOMPARE(key_table::scancodeForKeyName(QString()), 0);
        for (int unknown : {0, 0x02, 0x100, 0xFF, -1})
            QCOMPARE(key_table::keyNameForScancode(unknown), QString());
    }

    void pairAlternation()
    {
        KeyNamer namer;
        RowTable rows;
        rows.keyNames[0] = QStringLiteral("KPent");  // row 0 lies beyond a capacity of 0
        // The very first call of a run gives the second key of a free pair.
        QCOMPARE(namer.keyNameForKeyCode(13, rows, 0), QStringLiteral("KPent"));
        QCOMPARE(namer.keyNameForKeyCode(13, rows, 0), QStringLiteral("ENTER"));
        // Any other call in between, even for no key, shifts the alternation.
        QCOMPARE(namer.keyNameForKeyCode(18, rows, 0), QString());
        QCOMPARE(namer.keyNameForKeyCode(13, rows, 0), QStringLiteral("ENTER"));
        rows.keyNames[96] = QStringLiteral("Home");  // a huge capacity stays inside the rows
        QCOMPARE(namer.keyNameForKeyCode(36, rows, 100000), QStringLiteral("KPhome"));
    }

    // A pair key named on a row below the capacity gives the other key, whatever the alternation.
    void pairUsage_data()
    {
        QTest::addColumn<QString>("onRow5");
        QTest::addColumn<QString>("onRow6");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first used gives second") << "KPhome"
                                                 << ""
                                                 << "Home";
        QTest::newRow("second used gives first") << "Home"
                                                 << ""
                                                 << "KPhome";
        QTest::newRow("both used gives second") << "KPhome"
                                                << "Home"
                                                << "Home";
    }
    void pairUsage()
    {
        QFETCH(QString, onRow5);
        QFETCH(QString, onRow6);
        QFETCH(QString, expected);
        RowTable rows;
        rows.keyNames[5] = onRow5;
        rows.keyNames[6] = onRow6;
        KeyNamer fresh;
        KeyNamer shifted;
        shifted.keyNameForKeyCode(0, rows, 36);
        QCOMPARE(fresh.keyNameForKeyCode(36, rows, 36), expected);
        QCOMPARE(shifted.keyNameForKeyCode(36, rows, 36), expected);
    }

    void capacityTable()
    {
        const int expected[] = {93, 85, 63, 51, 42, 36, 31, 28, 25, 23};
        for (int i = 0; i < 10; ++i)
            QCOMPARE(capacity::maxKeysForIndex(i), expected[i]);
        QVERIFY(capacity::maxKeysForIndex(10) == 0 && capacity::maxKeysForIndex(-1) == 0);
        const QStringList entries = capacity::lengthEntries();
        QCOMPARE(entries.size(), 10);
        QCOMPARE(entries.mid(0, 2), QStringList({"1 Character  (up to 93 keys)", "2 Characters (up to 85 keys)"}));
        QCOMPARE(entries.last(), QStringLiteral("10 Characters (up to 23 keys)"));
    }
};

QTEST_APPLESS_MAIN(TstKeyTable)
#include "tst_key_table.moc"
