#include "model/key_mapping.h"
#include "model/key_table.h"

#include <QtTest>

class TstKeyMapping : public QObject {
    Q_OBJECT

private slots:
    void codes_data()
    {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<uint>("keysym");
        QTest::addColumn<QString>("firstName");  // first table key with the mapped code, "" for none
        // Letters, Tab, the keypad with Num Lock on, Alt, Control and Caps Lock: see tst_key_capture.
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
    void codes()
    {
        QFETCH(int, qtKey);
        QFETCH(bool, keypad);
        QFETCH(uint, keysym);
        QFETCH(QString, firstName);
        const int code = key_mapping::keyCodeFor(qtKey, keypad, keysym);
        const auto& table = key_table::records();
        const auto first = std::find_if(table.begin(), table.end(),
                                        [code](const KeyRecord& k) { return code != 0 && k.keyCode == code; });
        QCOMPARE(first == table.end() ? QString() : first->keyName, firstName);
    }

    void printScreenHasItsOwnCode()
    {
        QCOMPARE(key_mapping::keyCodeFor(Qt::Key_Print, false, 0), 44);
    }  // seen on release only
};

QTEST_APPLESS_MAIN(TstKeyMapping)
#include "tst_key_mapping.moc"
