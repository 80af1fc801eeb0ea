#include "model/capacity.h"
#include "model/key_mapping.h"
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
        QCOMPARE(codes.size(), 93);
        QCOMPARE(names.size(), 93);
        QVERIFY(!names.contains(QString()));
        QCOMPARE(table[93].keyName, QString());
        QCOMPARE(table[93].scancode, 0);
        QCOMPARE(table[78].keyName, QStringLiteral("F7"));
        QCOMPARE(table[92].keyName, QStringLiteral("Pause"));
    }

    void lookups()
    {
        QCOMPARE(key_table::scancodeForKeyName("Home"), 0xC1);
        QCOMPARE(key_table::scancodeForKeyName("KPhome"), 0x6C);
        QCOMPARE(key_table::scancodeForKeyName("\\"), 0x5D);
        QCOMPARE(key_table::scancodeForKeyName("F7"), 0x83);
        QCOMPARE(key_table::keyNameForScancode(0xAA), QStringLiteral("KPent"));
        QCOMPARE(key_table::scancodeForKeyName("home"), 0);  // case matters
        QCOMPARE(key_table::scancodeForKeyName(QString()), 0);
        for (int unknown : {0, 0x02, 0x100, 0xFF, -1})
            QCOMPARE(key_table::keyNameForScancode(unknown), QString());
        QCOMPARE(key_mapping::keyCodeFor(Qt::Key_Print, false, 0), 44);  // seen on release only
    }

    // Letters, Tab, the keypad with Num Lock on, Alt, Control and Caps Lock: see tst_key_capture.
    void keyCodes_data()
    {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<uint>("keysym");
        QTest::addColumn<QString>("firstName");  // first table key with the mapped code, "" for none
        QTest::newRow("shift 1") << int(Qt::Key_Exclam) << false << 0u << "1";
        QTest::newRow("shift =") << int(Qt::Key_Plus) << false << 0u << "=";
        QTest::newRow("back quote") << int(Qt::Key_QuoteLeft) << false << 0u << "`";
        QTest::newRow("F7") << int(Qt::Key_F7) << false << 0u << "F7";
        QTest::newRow("F12") << int(Qt::Key_F12) << false << 0u << "F12";
        QTest::newRow("return") << int(Qt::Key_Return) << false << 0u << "ENTER";
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << true << 0u << "ENTER";
        QTest::newRow("home") << int(Qt::Key_Home) << false << 0u << "KPhome";
        QTest::newRow("keypad 7 by keysym") << int(Qt::Key_7) << false << 0xFFB7u << "KPhome";
        QTest::newRow("keypad 5 num lock off") << int(Qt::Key_Clear) << true << 0u << "KP5";
        QTest::newRow("keypad 5 num lock on") << int(Qt::Key_5) << true << 0u << "KP5";
        QTest::newRow("keypad point") << int(Qt::Key_Period) << true << 0u << "KPdel";
        QTest::newRow("keypad plus") << int(Qt::Key_Plus) << true << 0u << "KP+";
        QTest::newRow("keypad star") << int(Qt::Key_Asterisk) << true << 0u << "KP*";
        QTest::newRow("shift 8 star") << int(Qt::Key_Asterisk) << false << 0u << "8";
        QTest::newRow("keypad slash") << int(Qt::Key_Slash) << true << 0u << "KP/";
        QTest::newRow("scroll lock") << int(Qt::Key_ScrollLock) << false << 0u << "SCRLK";
        QTest::newRow("pause") << int(Qt::Key_Pause) << false << 0u << "Pause";
        QTest::newRow("escape") << int(Qt::Key_Escape) << false << 0u << "ESC";
        QTest::newRow("backspace") << int(Qt::Key_Backspace) << false << 0u << "BKSPC";
        QTest::newRow("shift") << int(Qt::Key_Shift) << false << 0u << "";
        QTest::newRow("num lock") << int(Qt::Key_NumLock) << false << 0u << "";
        QTest::newRow("unknown") << int(Qt::Key_VolumeUp) << false << 0u << "";
    }
    void keyCodes()
    {
        QFETCH(int, qtKey);
        QFETCH(bool, keypad);
        QFETCH(uint, keysym);
        const int code = key_mapping::keyCodeFor(qtKey, keypad, keysym);
        const auto& table = key_table::records();
        const auto first = std::find_if(table.begin(), table.end(),
                                        [code](const KeyRecord& k) { return code != 0 && k.keyCode == code; });
        QTEST(first == table.end() ? QString() : first->keyName, "firstName");
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
        QTest::addColumn<QStringList>("rows5and6");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first used gives second") << QStringList{"KPhome", ""} << "Home";
        QTest::newRow("second used gives first") << QStringList{"Home", ""} << "KPhome";
        QTest::newRow("both used gives second") << QStringList{"KPhome", "Home"} << "Home";
    }
    void pairUsage()
    {
        QFETCH(QStringList, rows5and6);
        RowTable rows;
        std::tie(rows.keyNames[5], rows.keyNames[6]) = std::tuple(rows5and6.at(0), rows5and6.at(1));
        KeyNamer fresh, shifted;
        shifted.keyNameForKeyCode(0, rows, 36);
        QTEST(fresh.keyNameForKeyCode(36, rows, 36), "expected");
        QTEST(shifted.keyNameForKeyCode(36, rows, 36), "expected");
    }

    void capacityTable()
    {
        const int expected[] = {93, 85, 63, 51, 42, 36, 31, 28, 25, 23};
        for (int i = 0; i < 10; ++i)
            QCOMPARE(capacity::maxKeysForIndex(i), expected[i]);
        for (int outside : {10, -1})
            QCOMPARE(capacity::maxKeysForIndex(outside), 0);
        const QStringList entries = capacity::lengthEntries();
        QCOMPARE(entries.size(), 10);
        QCOMPARE(entries.mid(0, 2), QStringList({"1 Character  (up to 93 keys)", "2 Characters (up to 85 keys)"}));
        QCOMPARE(entries.last(), QStringLiteral("10 Characters (up to 23 keys)"));
    }
};

QTEST_APPLESS_MAIN(TstKeyTable)
#include "tst_key_table.moc"
