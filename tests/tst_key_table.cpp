#include "model/capacity.h"
#include "model/key_table.h"
#include "model/row_table.h"

#include <QSet>
#include <QtTest>

class TstKeyTable : public QObject {
    Q_OBJECT

private slots:
    void tableIsConsistent()
    {
        const auto& table = key_table::records();
        QSet<int> codes;
        QSet<QString> names;
        for (int i = 0; i < key_table::kKeys; ++i) {
            codes.insert(table[i].scancode);
            names.insert(table[i].keyName);
            QVERIFY(!table[i].keyName.isEmpty());
        }
        QCOMPARE(codes.size(), 93);
        QCOMPARE(names.size(), 93);
        QCOMPARE(table[93].keyName, QString());
        QCOMPARE(int(table[93].scancode), 0);
        QCOMPARE(table[78].keyName, QStringLiteral("F7"));
        QCOMPARE(int(table[78].scancode), 0x83);
        QCOMPARE(table[92].keyName, QStringLiteral("Pause"));
    }

    void lookups_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("scancode");
        QTest::newRow("Home") << "Home" << 0xC1;
        QTest::newRow("case matters") << "home" << 0;
        QTest::newRow("KPhome") << "KPhome" << 0x6C;
        QTest::newRow("empty name") << "" << 0;
        QTest::newRow("backslash") << "\\" << 0x5D;
        QTest::newRow("PRSCN") << "PRSCN" << 0xC6;
    }
    void lookups()
    {
        QFETCH(QString, name);
        QFETCH(int, scancode);
        QCOMPARE(key_table::scancodeForKeyName(name), scancode);
    }

    void reverseLookups_data()
    {
        QTest::addColumn<int>("scancode");
        QTest::addColumn<QString>("name");
        QTest::newRow("ENTER") << 0x5A << "ENTER";
        QTest::newRow("KPent") << 0xAA << "KPent";
        QTest::newRow("unknown") << 0x02 << "";
        QTest::newRow("above a byte") << 0x100 << "";
        QTest::newRow("zero") << 0 << "";
        QTest::newRow("empty slot") << 0xFF << "";
        QTest::newRow("negative") << -1 << "";
    }
    void reverseLookups()
    {
        QFETCH(int, scancode);
        QFETCH(QString, name);
        QCOMPARE(key_table::keyNameForScancode(scancode), name);
    }

    void everyKeyRoundTrips()
    {
        for (int i = 0; i < key_table::kKeys; ++i) {
            const KeyRecord& k = key_table::records()[i];
            QCOMPARE(key_table::keyNameForScancode(key_table::scancodeForKeyName(k.keyName)), k.keyName);
        }
    }

    void singleKeysIgnoreRows()
    {
        KeyNamer namer;
        RowTable rows;
        rows.keyNames[0] = QStringLiteral("A");
        QCOMPARE(namer.keyNameForKeyCode(18, rows, 36), QString());  // Alt
        QCOMPARE(namer.keyNameForKeyCode(65, rows, 36), QStringLiteral("A"));
        QCOMPARE(namer.keyNameForKeyCode(0, rows, 36), QString());
        QCOMPARE(namer.keyNameForKeyCode(198, rows, 36), QStringLiteral("PRSCN"));
    }

    void pairAlternation()
    {
        KeyNamer namer;
        RowTable rows;
        // The very first call of a run gives the second key of a free pair.
        QCOMPARE(namer.keyNameForKeyCode(13, rows, 36), QStringLiteral("KPent"));
        QCOMPARE(namer.keyNameForKeyCode(13, rows, 36), QStringLiteral("ENTER"));
        // Another key in between shifts the alternation.
        QCOMPARE(namer.keyNameForKeyCode(65, rows, 36), QStringLiteral("A"));
        QCOMPARE(namer.keyNameForKeyCode(13, rows, 36), QStringLiteral("ENTER"));
    }

    void pairUsage_data()
    {
        QTest::addColumn<QString>("onRow5");
        QTest::addColumn<QString>("onRow6");
        QTest::addColumn<int>("capacity");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first used gives second") << "KPhome" << "" << 36 << "Home";
        QTest::newRow("second used gives first") << "Home" << "" << 36 << "KPhome";
        QTest::newRow("both used gives second") << "KPhome" << "Home" << 36 << "Home";
        QTest::newRow("beyond capacity not used") << "" << "" << 5 << "";
    }
    void pairUsage()
    {
        QFETCH(QString, onRow5);
        QFETCH(QString, onRow6);
        QFETCH(int, capacity);
        QFETCH(QString, expected);
        RowTable rows;
        rows.keyNames[5] = onRow5;
        rows.keyNames[6] = onRow6;
        for (bool flag : {false, true}) {
            KeyNamer namer;
            if (flag)
                namer.keyNameForKeyCode(0, rows, capacity);
            const QString got = namer.keyNameForKeyCode(36, rows, capacity);
            if (expected.isEmpty()) {
                // Only the alternation decides when no usable row holds a name.
                QCOMPARE(got, flag ? QStringLiteral("KPhome") : QStringLiteral("Home"));
            } else {
                QCOMPARE(got, expected);
            }
        }
    }

    void hugeCapacityStaysInsideTheRows()
    {
        KeyNamer namer;
        RowTable rows;
        rows.keyNames[96] = QStringLiteral("Home");
        QCOMPARE(namer.keyNameForKeyCode(36, rows, 100000), QStringLiteral("KPhome"));
    }

    void capacityTable()
    {
        const int expected[] = {93, 85, 63, 51, 42, 36, 31, 28, 25, 23};
        for (int i = 0; i < 10; ++i)
            QCOMPARE(capacity::maxKeysForIndex(i), expected[i]);
        QCOMPARE(capacity::maxKeysForIndex(10), 0);
        QCOMPARE(capacity::maxKeysForIndex(-1), 0);
        const QStringList entries = capacity::lengthEntries();
        QCOMPARE(entries.size(), 10);
        QCOMPARE(entries.first(), QStringLiteral("1 Character  (up to 93 keys)"));
        QCOMPARE(entries.at(1), QStringLiteral("2 Characters (up to 85 keys)"));
        QCOMPARE(entries.last(), QStringLiteral("10 Characters (up to 23 keys)"));
    }

    void lastReachablePage_data()
    {
        QTest::addColumn<int>("listIndex");
        QTest::addColumn<int>("lastPage");
        const int last[] = {3, 3, 2, 2, 1, 1, 1, 1, 1, 0};
        for (int i = 0; i < 10; ++i)
            QTest::addRow("length %d", i + 1) << i << last[i];
    }
    void lastReachablePage()
    {
        QFETCH(int, listIndex);
        QFETCH(int, lastPage);
        const int cap = capacity::maxKeysForIndex(listIndex);
        int page = 0;
        while (capacity::canGoToNextPage(page, cap))
            ++page;
        QCOMPARE(page, lastPage);
    }
};

QTEST_APPLESS_MAIN(TstKeyTable)
#include "tst_key_table.moc"
