#include "model/capacity.h"
#include "model/key_mapping.h"
#include "model/key_positions.h"
#include "model/key_table.h"
#include "model/notation.h"
#include "model/override_check.h"
#include "model/row_table.h"
#include "model/table_history.h"

#include <QSet>
#include <QtTest>

namespace {

QString firstNameFor(int keyCode)
{
    const auto& table = key_table::records();
    const auto first = std::find_if(table.begin(), table.end(),
                                    [keyCode](const KeyRecord& k) { return keyCode != 0 && k.keyCode == keyCode; });
    return first == table.end() ? QString() : first->keyName;
}

// A table told apart by the note of row 90.
TableState tableNamed(const QString& name)
{
    TableState state;
    state.rows.notes.at(90) = name;
    return state;
}

QString nameOf(const std::optional<TableState>& state)
{
    return state ? state->rows.notes.at(90) : QStringLiteral("(none)");
}

}  // namespace

class TstModel : public QObject {
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

    // Letters, Tab, the keypad with Num Lock on, Alt, Control and Caps Lock: see tst_ui_rows.
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
        QTEST(firstNameFor(key_mapping::keyCodeFor(qtKey, keypad, keysym)), "firstName");
    }

    // Every key of the table has exactly one position.
    void everyKeyHasAPosition()
    {
        QSet<QString> named;
        for (int code = -1; code < 512; ++code) {
            const int scancode = key_positions::scancodeForInputCode(code);
            if (scancode != 0)
                QVERIFY2(!named.contains(key_table::keyNameForScancode(scancode)), qPrintable(QString::number(code)));
            named.insert(key_table::keyNameForScancode(scancode));
        }
        named.remove(QString());
        QCOMPARE(named.size(), key_table::kKeys);
    }

    // Positions beyond the main block (tst_e2e_keyboard has that on four layouts): keypad and editing block keys keep the
    // key code they share, so the pair rule still decides between them.
    void positions_data()
    {
        QTest::addColumn<int>("inputCode");  // linux/input-event-codes.h
        QTest::addColumn<QStringList>("names");  // its own, and the first table key with its key code
        QTest::newRow("KEY_KP7") << 71 << QStringList{"KPhome", "KPhome"};
        QTest::newRow("KEY_HOME") << 102 << QStringList{"Home", "KPhome"};
        QTest::newRow("KEY_KPENTER") << 96 << QStringList{"KPent", "ENTER"};
        QTest::newRow("KEY_KP5") << 76 << QStringList{"KP5", "KP5"};
        QTest::newRow("KEY_F7") << 65 << QStringList{"F7", "F7"};
        QTest::newRow("KEY_SYSRQ") << 99 << QStringList{"PRSCN", "PRSCN"};
        QTest::newRow("KEY_LEFTCTRL") << 29 << QStringList{"", ""};
        QTest::newRow("KEY_102ND") << 86 << QStringList{"", ""};
        QTest::newRow("beyond the table") << 120 << QStringList{"", ""};
    }
    void positions()
    {
        QFETCH(int, inputCode);
        QTEST(QStringList({key_table::keyNameForScancode(key_positions::scancodeForInputCode(inputCode)),
                           firstNameFor(key_mapping::keyCodeForInputCode(inputCode))}),
              "names");
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

    // Text and string length (line 0); what is kept, its count, whether it ends inside a hexadecimal field, and the
    // messages.
    void live_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("inField");
        QTest::addColumn<QStringList>("messages");
        const QStringList none, tooLong{"String entered for item # 1 is too long .. max string length is 2 chars"};
        const QString null1 = "String entered for item # 1 is invalid - cannot not use null {00} character";
        const auto hex = [](const char* start) {
            return QStringList{start + QStringLiteral(" only 2 HEX chars allowed within brackets (like {C7})")};
        };
        QTest::newRow("fits") << "AB{C7}" << 6 << "AB{C7}" << 3 << false << none;
        QTest::newRow("too long") << "ABC" << 2 << "AB" << 2 << false << tooLong;
        QTest::newRow("too long keeps whole field") << "A{41}{42}" << 2 << "A{41}" << 2 << false << tooLong;
        QTest::newRow("third digit") << "X{C7D" << 6 << "X{" << 1 << true << hex("{C7D");
        QTest::newRow("comma in field") << "{," << 6 << "{" << 0 << true << hex("{,");
        QTest::newRow("lower case in field") << "{c" << 6 << "{" << 0 << true << hex("{c");
        QTest::newRow("null field") << "{00" << 6 << "{" << 0 << true << QStringList{null1};
        QTest::newRow("null one digit") << "{0}" << 6 << "{" << 0 << true << QStringList{null1};
        // Two characters go at a time, so a partial field can stay.
        QTest::newRow("null twice") << "{0}{0}" << 6 << "{0" << 0 << true << QStringList{null1, null1};
        QTest::newRow("brace outside counts") << "}}" << 2 << "}}" << 2 << false << none;
        QTest::newRow("open field not counted") << "A{4" << 1 << "A{4" << 1 << true << none;
    }
    void live()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        const auto result = override_check::liveCheck(text, length, 0);
        QTEST(result.inHexField, "inField");
        QTEST(result.text, "kept");
        QTEST(result.count, "count");
        QTEST(result.messages, "messages");
        // What is kept must pass the check again without a message.
        QCOMPARE(override_check::liveCheck(result.text, length, 0).messages, QStringList());
    }

    // The check when a field loses focus: the message, "" for a sound string (row numbers stand after a sign position).
    void structure_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("message");
        QTest::newRow("sound, brace outside") << "ab{0D}}" << 3 << "";
        QTest::newRow("empty field") << "{}" << 3 << "Hexadecimal brackets in string do not contain any hex characters";
        QTest::newRow("comma in field") << "{4,}" << 5 << "Key String # 5contains invalid hex character at position 3";
        QTest::newRow("tab") << "A\tB" << 0 << "Key String # 0 contains an invalid character at position 2";
        QTest::newRow("delete") << "\x7F" << 1 << "Key String # 1 contains an invalid character at position 1";
        QTest::newRow("open field") << "a{4" << 27
                                    << "Key String # 27 cannot end with an open hexadecimal field { bracket";
    }
    void structure()
    {
        QFETCH(QString, text);
        QFETCH(int, row);
        QTEST(override_check::structureCheck(text, row), "message");
    }

    // Each undo gives back the table before its change, each redo the one after; a new change forgets the redo steps;
    // only the last twenty steps are kept.
    void undoRedoAndTwentySteps()
    {
        TableHistory history;
        QCOMPARE(history.undoText(), "Undo");
        QCOMPARE(history.redoText(), "Redo");
        QCOMPARE(nameOf(history.undo(tableNamed("x"))), "(none)");
        for (int i = 1; i <= 25; ++i)
            history.record(QStringLiteral("Step %1").arg(i), tableNamed(QStringLiteral("t%1").arg(i - 1)));
        QCOMPARE(history.undoText(), "Undo Step 25");
        for (int i = 24; i >= 5; --i)
            QCOMPARE(nameOf(history.undo(tableNamed(QStringLiteral("t%1").arg(i + 1)))), QStringLiteral("t%1").arg(i));
        QVERIFY(!history.canUndo());  // t4 and older are gone
        QCOMPARE(history.redoText(), "Redo Step 6");
        QCOMPARE(nameOf(history.redo(tableNamed("t5"))), "t6");
        QCOMPARE(history.undoText(), "Undo Step 6");
        history.record(QStringLiteral("Clear All"), tableNamed("t6"));
        QVERIFY(!history.canRedo());
        QCOMPARE(nameOf(history.undo(TableState{})), "t6");
        QCOMPARE(nameOf(history.undo(tableNamed("t6"))), "t5");
    }

    void lengthChangeLoses_data()
    {
        QTest::addColumn<QStringList>("cell");  // row, key, string or note, text
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("loses");
        QTest::newRow("empty table") << QStringList{"0", "key", ""} << 6 << 1 << false;
        QTest::newRow("shorter length shows more") << QStringList{"30", "key", "F1"} << 7 << 1 << false;
        QTest::newRow("string fits") << QStringList{"0", "string", "a{0D}"} << 6 << 2 << false;
        QTest::newRow("string cut") << QStringList{"0", "string", "a{0D}b"} << 6 << 2 << true;
        QTest::newRow("key hidden") << QStringList{"35", "key", "F1"} << 6 << 7 << true;
        QTest::newRow("note hidden") << QStringList{"32", "note", "n"} << 6 << 7 << true;
        QTest::newRow("already hidden") << QStringList{"40", "key", "F1"} << 6 << 7 << false;
    }
    void lengthChangeLoses()
    {
        QFETCH(QStringList, cell);
        QFETCH(int, from);
        QFETCH(int, to);
        RowTable rows;
        const QString field = cell.at(1);
        (field == "key"              ? rows.keyNames
                 : field == "string" ? rows.strings
                                     : rows.notes)
                .at(cell.at(0).toUInt()) = cell.at(2);
        QTEST(::lengthChangeLoses(rows, from, to), "loses");
    }

    // The capacity of each length is checked by the full runs at lengths 1 and 10; here what lies around it.
    void capacityTable()
    {
        for (int outside : {10, -1})
            QCOMPARE(capacity::maxKeysForIndex(outside), 0);
        const QStringList entries = capacity::lengthEntries();
        QCOMPARE(entries.size(), 10);
        QCOMPARE(entries.mid(0, 2), QStringList({"1 Character  (up to 93 keys)", "2 Characters (up to 85 keys)"}));
        QCOMPARE(entries.last(), QStringLiteral("10 Characters (up to 23 keys)"));
    }
    // A null expected value: the text has no device form. tooLong: more than `length` slots by checkLen.
    void deviceBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("padded") << "AB{C7}" << 6 << QByteArray("AB\xC7\0\0\0", 6) << false;
        QTest::newRow("one digit") << "a{D}" << 4 << QByteArray("a\x0D\0\0", 4) << false;
        QTest::newRow("empty") << "" << 1 << QByteArray(1, '\0') << false;
        QTest::newRow("lower-case field") << "{0d}" << 1 << QByteArray("\x0D", 1) << false;
        QTest::newRow("open field adds nothing") << "A{4" << 2 << QByteArray("A\0", 2) << false;
        QTest::newRow("open field counts") << "AB{" << 2 << QByteArray("AB") << true;
        QTest::newRow("A B open") << "A{42}{" << 2 << QByteArray("AB") << true;
        QTest::newRow("A B") << "A{42}" << 2 << QByteArray("AB") << false;
        QTest::newRow("brace outside is literal") << "}" << 1 << QByteArray("}") << false;
        QTest::newRow("longer is not cut") << "ABC" << 2 << QByteArray("ABC") << true;
        QTest::newRow("two fields max 1") << "{41}{42}" << 1 << QByteArray("AB") << true;
        QTest::newRow("three digits within a byte") << "{0FF}" << 1 << QByteArray("\xFF", 1) << false;
        QTest::newRow("above a byte") << "{100}" << 10 << QByteArray() << false;
        QTest::newRow("huge") << "{FFFFFFFFFFFFFFFFFFFF}" << 10 << QByteArray() << false;
        QTest::newRow("empty field") << "A{}" << 10 << QByteArray() << false;
        QTest::newRow("null field") << "{00}" << 10 << QByteArray() << false;
        QTest::newRow("not hex") << "{G1}" << 10 << QByteArray() << false;
        QTest::newRow("literal NUL") << QString("a") + QChar(0) + "b" << 10 << QByteArray() << false;
        QTest::newRow("wide character") << QString::fromUtf8("\u20AC") << 10 << QByteArray() << false;
    }
    void deviceBytes()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QByteArray, bytes);
        QCOMPARE(notation::toDeviceBytes(text, length).value_or(QByteArray()), bytes);
        QCOMPARE(notation::toDeviceBytes(text, length).has_value(), !bytes.isNull());
        QTEST(notation::checkLen(text, length), "tooLong");
    }

    void otherForms()
    {
        QCOMPARE(notation::textToHexFields("A{7}{0d}b{}"), QStringLiteral("{41}{7}{0d}{62}{}"));
        QCOMPARE(notation::comparisonForm("A{7}{0d}b{}"), QStringLiteral("{41}{07}{0D}{62}{}"));
        bool ok = false;
        QCOMPARE(notation::hexFieldsToText("{41}{7E}{0D}", &ok), QStringLiteral("A{7E}{0D}"));
        QVERIFY(ok);
        QCOMPARE(notation::hexFieldsToText("{7B}{7D}{20}"), QStringLiteral("{} "));
        for (const QString bad : {"x{}y", "{ZZ}"}) {
            QCOMPARE(notation::hexFieldsToText(bad, &ok), bad);
            QVERIFY(!ok);
        }
        QCOMPARE(notation::fromDeviceBytes(QByteArray("ab\x0D\0B", 5)),
                 QStringLiteral("ab{0D}"));  // a null ends the text
        QCOMPARE(notation::fromDeviceBytes("\x20\x7F{}"), QStringLiteral("{20}{7F}{7B}}"));
        QCOMPARE(notation::fromDeviceBytes(QByteArray()), QString());
    }

    // Every byte a slot can hold survives notation -> device -> notation, and the
    // comparison form of a device byte equals that of the notation read back.
    void everyByteRoundTrips()
    {
        for (int b = 1; b <= 0xFF; ++b) {
            const QByteArray device(1, static_cast<char>(b));
            const QString text = notation::fromDeviceBytes(device);
            const auto bytes = notation::toDeviceBytes(text, 1);
            QVERIFY2(bytes.has_value(), qPrintable(text));
            QCOMPARE(*bytes, device);
            if (b != '{')
                QCOMPARE(notation::comparisonForm(text), notation::comparisonForm(QString(QChar(b))));
            QCOMPARE(notation::comparisonForm(QStringLiteral("{%1}").arg(b, 0, 16)), notation::comparisonForm(text));
        }
    }
};

QTEST_APPLESS_MAIN(TstModel)
#include "tst_model.moc"
