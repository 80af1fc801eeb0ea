// The rows of the page and the table behind them: paging, checks, notes, keys, undo and recovery.
#include "files/recovery_store.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/override_check.h"
#include "model/table_history.h"
#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/config_dialog.h"
#include "ui/row_lines.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMenuBar>
#include <QTextEdit>
#include <QtTest>

using override_check::liveCheck;
using override_check::structureCheck;
using ui_test::WindowRig;

namespace {

const QByteArray kNotesOn("[GENERAL]\r\nENABLESTRINGS=1\r\n");

// The window (capacity 36) on a page, "row=name" entries already held by rows.
struct KeyRig final : WindowRig {
    explicit KeyRig(const QStringList& held = {}, int page = 0)
    {
        for (const QString& entry : held)
            window->rows().keyNames.at(entry.section('=', 0, 0).toUInt()) = entry.section('=', 1);
        page == 1 ? click("NextPage") : window->showPage();
    }
    void focus(QWidget* widget)
    {
        QVERIFY(activate());
        widget->setFocus();
        QTRY_VERIFY(widget->hasFocus());
    }
    QString row(int r) const { return window->rows().keyNames.at(static_cast<std::size_t>(r)); }
};

// Box left, pointer ends and height in twips, the box centred on the pointer, within the pixel that converting twips
// may round; both shown, the pointer over the box.
void checkNotesPlace(const WindowRig& rig, int boxLeft, int x1, int x2, int y)
{
    const QWidget* box = rig.find<QTextEdit>("StrDes");
    const QWidget* pointer = rig.find<QFrame>("StrLine");
    const QList<int> got{box->x(), pointer->x(), pointer->x() + pointer->width(), pointer->y(), box->y()};
    const QList<int> want{boxLeft, x1, x2, y, y - 545};
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(qAbs(got[i] - rig.px(want[i])) <= 1, qPrintable(QString::number(want[i])));
    QVERIFY(box->isVisible());
    QVERIFY(pointer->isVisible());
    QCOMPARE(box->parentWidget()->children().last(), pointer);
}

// A key press as the X server reports it: the X key code, and the Qt::Key and text the layout makes of the character
// `c`; a combining accent stands for the dead key of that accent, which types nothing.
void pressKey(QWidget* field, int xKey, QChar c, Qt::KeyboardModifiers modifiers)
{
    static const QHash<QChar, int> dead{{QChar(0x300), Qt::Key_Dead_Grave},
                                        {QChar(0x301), Qt::Key_Dead_Acute},
                                        {QChar(0x302), Qt::Key_Dead_Circumflex},
                                        {QChar(0x308), Qt::Key_Dead_Diaeresis}};
    const QChar upper = c.toUpper().unicode() < 0x100 ? c.toUpper() : c;
    const int key = dead.value(c, upper.unicode());
    const QString text = dead.contains(c) ? QString() : QString(c);
    QKeyEvent event(QEvent::KeyPress, key, modifiers, quint32(xKey), c.unicode(), 0, text);
    QApplication::sendEvent(field, &event);
}

TableState tableNamed(const QString& name)
{
    TableState state;
    state.rows.notes.at(90) = state.configLabel = name;
    return state;
}

bool same(const TableState& a, const TableState& b)
{
    return a.sameTable(b) && a.configFileName == b.configFileName && a.configLabel == b.configLabel;
}

// What the window shows of its table: rows, notes, string length, file name and label.
TableState shown(const WindowRig& rig)
{
    return {rig.window->rows(), rig.window->stringLength(), rig.window->configFileName(), rig.label("CfgLabel")};
}
}  // namespace

class TstUiRows : public QObject {
    Q_OBJECT

private slots:
    // Every string length: a length change keeps the page on screen, even one now beyond the capacity; NextPage stops
    // at the page holding row capacity - 1, and exactly the rows from the capacity on are greyed, with a disabled
    // string field.
    void pagingAtEveryLength_data()
    {
        QTest::addColumn<int>("index");
        for (int index = 0; index < capacity::kLengthCount; ++index)
            QTest::addRow("length %d", index + 1) << index;
    }
    void pagingAtEveryLength()
    {
        QFETCH(int, index);
        WindowRig rig;
        rig.click("NextPage");
        rig.window->selectStringLengthIndex(index);
        const int capacity = capacity::maxKeysForIndex(index), lastPage = (capacity - 1) / 24;
        QCOMPARE(rig.window->currentPage(), 1);
        QCOMPARE(rig.keyString(0)->isEnabled(), capacity > 24);
        rig.click("PreviousPage");
        rig.click("PreviousPage");
        QCOMPARE(rig.window->currentPage(), 0);  // and no further
        for (int i = 0; i < 5; ++i)
            rig.click("NextPage");
        QCOMPARE(rig.window->currentPage(), lastPage);
        const QColor usable = rig.keyString(0)->palette().color(QPalette::Base);  // line 0 always is
        for (int line = 0; line < 24; ++line) {
            const int row = lastPage * 24 + line;
            QCOMPARE(rig.rowLabel(line)->text() + '|' + rig.kbdKey(line)->accessibleName() + '|'
                             + rig.keyString(line)->accessibleName(),
                     QStringLiteral("%1|Row %1 key|Row %1 output string").arg(row));
            const bool grey = row >= capacity;
            QCOMPARE(rig.keyString(line)->isEnabled(), !grey);
            QCOMPARE(rig.keyString(line)->palette().color(QPalette::Base) != usable, grey);
            QCOMPARE(rig.kbdKey(line)->palette().color(QPalette::Base) != usable, grey);
            QVERIFY(rig.kbdKey(line)->isEnabled());  // keys can still be captured on grey lines
        }
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
        const auto result = liveCheck(text, length, 0);
        QTEST(result.inHexField, "inField");
        QTEST(result.text, "kept");
        QTEST(result.count, "count");
        QTEST(result.messages, "messages");
        // What is kept must pass the check again without a message.
        QCOMPARE(liveCheck(result.text, length, 0).messages, QStringList());
    }

    // Leaving a field checks it: a sound field lets the focus go; a faulty one (row numbers as on screen) takes it
    // back, and the control it is taken from is not checked in turn. Typing is checked key by key (hex digits
    // upper-cased inside a field only), and so is the text the page puts into a field; item numbers are line + 1 on
    // every page.
    void checksInTheWindow()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        rig.keyString(3)->setFocus();
        rig.keyString(3)->setText(QStringLiteral("A{0D}"));
        rig.kbdKey(4)->setFocus();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.kbdKey(4)));
        rig.click("NextPage");
        rig.keyString(5)->setText(QStringLiteral("{"));
        rig.keyString(3)->setText(QStringLiteral("{"));
        rig.keyString(3)->setFocus();
        rig.keyString(5)->setFocus();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.keyString(3)));
        QCOMPARE(rig.keyString(3)->text(), "{");
        rig.window->selectStringLengthIndex(1);  // 2 characters
        QTest::keyClicks(rig.keyString(4), QStringLiteral("XYZW"));
        QTest::keyClicks(rig.keyString(0), QStringLiteral("{c7}a{d"));
        RowTable& rows = rig.window->rows();
        rows.strings.at(25) = QStringLiteral("ABCDEFGH");
        rig.window->showPage();
        const QStringList texts{rig.keyString(4)->text(), rig.keyString(0)->text(), rig.keyString(1)->text()};
        QCOMPARE(texts, QStringList({"XY", "{C7}a{D", "AB"}));
        QCOMPARE(rows.strings.at(25) + rows.strings.at(28) + rig.count(1)->text(), "ABXY2");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->showRowOnLine(97));
        const QString tooLong = "String entered for item # %1 is too long .. max string length is 2 chars";
        QCOMPARE(rig.messages.infos,
                 QStringList({"Key String # 27 cannot end with an open hexadecimal field { bracket", tooLong.arg(5),
                              tooLong.arg(5), tooLong.arg(2)}));
        QCOMPARE(structureCheck("ab{0D}}", 3), QString());
        QCOMPARE(structureCheck("{}", 3), "Hexadecimal brackets in string do not contain any hex characters");
        QCOMPARE(structureCheck("{4,}", 5), "Key String # 5contains invalid hex character at position 3");
        QCOMPARE(structureCheck("A\tB", 0), "Key String # 0 contains an invalid character at position 2");
        QCOMPARE(structureCheck("\x7F", 1), "Key String # 1 contains an invalid character at position 1");
    }

    // Descriptions on: a click opens the row's notes beside its line, a second one stores and closes them. Switched off
    // by the dialog's SAVE while open: the box goes with the typed text, and clicks open nothing.
    void notes()
    {
        WindowRig rig(kNotesOn);
        QVERIFY(rig.activate());
        QTextEdit* box = rig.find<QTextEdit>("StrDes");
        const RowTable& rows = rig.window->rows();
        rig.clickCount(0);
        checkNotesPlace(rig, 7295, 6495, 7295, 1725);
        // The pointer line lies over the String Length box it points from; a click there reaches the box.
        const QWidget* pointer = rig.find<QFrame>("StrLine");
        QCOMPARE(rig.window->childAt(pointer->mapTo(rig.window.get(), pointer->rect().center())), rig.count(0));
        QCOMPARE(box->toPlainText(),
                 QStringLiteral("Optional string notes can be entered here\n"
                                "Click on String Length box to close this description"));
        rig.clickCount(3);  // moves to line 3 without a note for row 0
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("why"));  // into a box the focus emptied
        rig.clickCount(3);
        QVERIFY(box->isHidden());
        rig.clickCount(3);
        QCOMPARE(box->toPlainText(), "why");
        rig.clickCount(15);
        checkNotesPlace(rig, 4280, 9280, 9480, 1725 + 3 * 480);
        rig.click("NextPage");  // the box stays with row 15
        rig.clickCount(0);  // closes row 15 on its untouched hint (no note), opens row 24
        box->setPlainText(QStringLiteral("page 1"));
        rig.clickCount(0);
        rig.clickCount(3);
        box->setPlainText(QStringLiteral("unsaved"));
        QTimer::singleShot(0, [] {
            auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);  // the COM settings dialog
            dialog->descriptionsBox()->click();
            dialog->saveButton()->click();
        });
        rig.run("Config");
        QVERIFY(box->isHidden());
        rig.clickCount(3);
        QVERIFY(box->isHidden());
        QVERIFY(pointer->isHidden());
        QCOMPARE(QStringList(
                         {rows.notes.at(0), rows.notes.at(3), rows.notes.at(15), rows.notes.at(24), rows.notes.at(27)}),
                 QStringList({"", "why", "", "page 1", ""}));
    }

    void keyAssignment_data()
    {
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<int>("row");  // page 1 from row 24 on
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("name");  // the row's key afterwards
        QTest::addColumn<QList<int>>("warnings");  // positions named
        const QKeyCombination a(Qt::Key_A);
        const QList<int> none;
        QTest::newRow("A again, own row") << QStringList{"27=A"} << 27 << a << "A" << none;
        QTest::newRow("A on rows 2, 27") << QStringList{"2=A", "27=A", "5=Q"} << 5 << a << "Q" << QList<int>{2, 27};
        QTest::newRow("A only on row 36") << QStringList{"36=A"} << 4 << a << "A" << none;
        QTest::newRow("beyond capacity") << QStringList() << 44 << QKeyCombination(Qt::Key_F5) << "F5" << none;
        QTest::newRow("shift A") << QStringList{"8=Q"} << 8 << (Qt::ShiftModifier | Qt::Key_A) << "A" << none;
        for (Qt::Key empties : {Qt::Key_Alt, Qt::Key_Control, Qt::Key_CapsLock})
            QTest::addRow("empties %x", empties) << QStringList{"3=Q"} << 3 << QKeyCombination(empties) << "" << none;
        QTest::newRow("shift tab") << QStringList() << 2 << (Qt::ShiftModifier | Qt::Key_Backtab) << "TAB" << none;
        QTest::newRow("tab held") << QStringList{"9=TAB", "2=Z"} << 2 << QKeyCombination(Qt::Key_Tab) << "Z"
                                  << QList<int>{9};
        QTest::newRow("print press") << QStringList{"6=Q"} << 6 << QKeyCombination(Qt::Key_Print) << "Q" << none;
        QTest::newRow("keypad 7, Home held")
                << QStringList{"14=Home"} << 1 << (Qt::KeypadModifier | Qt::Key_7) << "KPhome" << none;
    }
    void keyAssignment()
    {
        QFETCH(int, row);
        QFETCH(QKeyCombination, key);
        QFETCH(QList<int>, warnings);
        QFETCH(QStringList, held);
        KeyRig rig(held, row / 24);
        QTest::keyClick(rig.kbdKey(row % 24), key.key(), key.keyboardModifiers());
        QTEST(rig.kbdKey(row % 24)->text(), "name");
        QTEST(rig.row(row), "name");
        QStringList expected;
        for (int position : warnings)
            expected << QStringLiteral("WARNING .. this same key already overridden (position %1)").arg(position);
        QCOMPARE(rig.messages.infos, expected);
    }

    // A physical key gives the same entry on every layout, shifted or not. The events are those the X server gives:
    // native scan code (Linux input code + 8), and Qt::Key and text as the layout makes them; a dead key is written as
    // its combining accent. The keys: the main block left to right, row by row, then the extra key of 102-key
    // keyboards, which the key table does not have.
    void keysByPosition_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("shifted");
        QTest::addColumn<QString>("zKey");  // the tooltip's line on what the keyboard prints on the US Z key
        QTest::newRow("us") << "`1234567890-=qwertyuiop[]\\asdfghjkl;'zxcvbnm,./<"
                            << "~!@#$%^&*()_+QWERTYUIOP{}|ASDFGHJKL:\"ZXCVBNM<>?>"
                            << "";
        QTest::newRow("de") << "\u03021234567890ß\u0301qwertzuiopü+#asdfghjklöäyxcvbnm,.-<"
                            << "°!\"§$%&/()=?\u0300QWERTZUIOPÜ*'ASDFGHJKLÖÄYXCVBNM;:_>"
                            << "Z (labelled Y on this keyboard)";
        QTest::newRow("fr") << "²&é\"'(-è_çà)=azertyuiop\u0302$*qsdfghjklmùwxcvbn,;:!<"
                            << "~1234567890°+AZERTYUIOP\u0308£µQSDFGHJKLM%WXCVBN?./§>"
                            << "Z (labelled W on this keyboard)";
        QTest::newRow("gb") << "`1234567890-=qwertyuiop[]#asdfghjkl;'zxcvbnm,./\\"
                            << "¬!\"£$%^&*()_+QWERTYUIOP{}~ASDFGHJKL:@ZXCVBNM<>?|"
                            << "";
    }
    void keysByPosition()
    {
        QFETCH(QString, plain);
        QFETCH(QString, shifted);
        const QList<int> xKeys = [] {
            QList<int> keys{49};  // X key codes in the order of the strings above
            for (const auto& [from, to] : {std::pair(10, 21), {24, 35}, {51, 51}, {38, 48}, {52, 61}, {94, 94}})
                for (int k = from; k <= to; ++k)
                    keys << k;
            return keys;
        }();
        QStringList expected;
        for (QChar c : QStringLiteral("`1234567890-=QWERTYUIOP[]\\ASDFGHJKL;'ZXCVBNM,./"))
            expected << c;
        expected << "";
        KeyRig rig;
        QLineEdit* field = rig.kbdKey(0);
        const auto press = [&](const QString& layout, Qt::KeyboardModifiers modifiers) {
            QStringList names;
            for (int i = 0; i < xKeys.size(); ++i) {
                pressKey(field, xKeys[i], layout.at(i), modifiers);
                names << field->text();
            }
            return names;
        };
        QCOMPARE(press(plain, Qt::NoModifier), expected);
        QCOMPARE(press(shifted, Qt::ShiftModifier), expected);
        pressKey(field, 52, plain.at(37), Qt::NoModifier);
        QTEST(field->toolTip().section('\n', 1, -2), "zKey");
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Keyboard only: Ctrl+Tab and Ctrl+Shift+Tab move on and leave a key field as it is, and composed text never enters it. From a
    // string field Alt and F10 reach the menu bar, and Shift+F2 opens the row's notes and, in the box, stores and
    // closes them. Tab walks the page row by row, then the page buttons, the length list and the operation buttons.
    void keyboardOnly()
    {
        WindowRig rig(kNotesOn);
        QVERIFY(rig.activate());
        const auto focused = [] { return QApplication::focusWidget()->objectName(); };
        rig.window->rows().keyNames[1] = QStringLiteral("Q");
        rig.window->showPage();
        rig.kbdKey(2)->setFocus();
        QTest::keyClick(rig.kbdKey(2), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        QTRY_COMPARE(focused(), "KeyString_1");
        rig.kbdKey(1)->setFocus();
        QTest::keyClick(rig.kbdKey(1), Qt::Key_Tab, Qt::ControlModifier);
        QTRY_COMPARE(focused(), "KeyString_1");
        QTest::keyClick(rig.keyString(1), Qt::Key_Tab, Qt::ControlModifier);  // on from a string field too
        QTRY_COMPARE(focused(), "KbdKey_2");
        rig.keyString(1)->setFocus();
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("\u00E1"));
        QApplication::sendEvent(rig.kbdKey(1), &composed);
        QCOMPARE(rig.kbdKey(1)->text() + rig.kbdKey(2)->text() + rig.window->rows().keyNames[1], "QQ");

        QMenuBar* bar = rig.window->menuBar();
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);
        QVERIFY(bar->activeAction());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        rig.keyString(3)->setFocus();
        QTest::keyClick(rig.keyString(3), Qt::Key_F10);
        QCOMPARE(bar->activeAction(), bar->actions().first());
        QApplication::activePopupWidget()->close();

        auto* box = rig.find<QTextEdit>("StrDes");
        rig.keyString(3)->setFocus();
        QTest::keyClick(rig.keyString(3), Qt::Key_F2, Qt::ShiftModifier);
        QTRY_VERIFY(box->hasFocus());
        QTest::keyClicks(box, QStringLiteral("why"));
        QTest::keyClick(box, Qt::Key_F2, Qt::ShiftModifier);
        QVERIFY(box->isHidden());
        QCOMPARE(rig.window->rows().notes[3], "why");
        QTRY_COMPARE(focused(), "KeyString_3");

        QStringList walk, expected;
        for (int i = 0; i < RowLines::kLines; ++i)
            expected << QStringLiteral("KbdKey_%1").arg(i) << QStringLiteral("KeyString_%1").arg(i);
        expected += QStringList{"PreviousPage", "NextPage", "StrConfig", "Read", "Send", "VerifyBtn", "GetVersionBtn"};
        for (QWidget* w = rig.kbdKey(0); walk.size() < expected.size(); w = w->nextInFocusChain())
            if (w->isVisibleTo(rig.window.get()) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
                walk << w->objectName();
        QCOMPARE(walk, expected);
    }

    // A screen reader finds the length list by its caption, with the entry as its value, and each settings value
    // labelled by its caption.
    void screenReaderNames()
    {
        WindowRig rig;
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(rig.find<QComboBox>("StrConfig"));
        QCOMPARE(list->text(QAccessible::Name) + '|' + list->text(QAccessible::Value),
                 "Maximum Override String Length|6 Characters (up to 36 keys)");
        QCOMPARE(list->child(0)->childCount(), 10);  // the entries, the chosen one selected
        QVERIFY(list->child(0)->child(5)->state().selected);
        QStringList captions;  // the nearest label first, then the frame's caption
        for (const char* value : {"CommLabel", "BaudLabel", "ParityLabel", "CfgLabel"}) {
            const auto labels =
                    QAccessible::queryAccessibleInterface(rig.find<QLabel>(value))->relations(QAccessible::Label);
            captions << (labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name));
        }
        QCOMPARE(captions, QStringList({"PORT:", "BAUD RATE:", "PARITY:", "CONFIG FILE:"}));
    }

    // A pair key pressed twice gives both names. Only a key press that types a character (Delete excepted) puts up the
    // question mark, on screen only, in a key or a string field. A key field keeps the focus on Tab, and Alt off
    // the menu bar.
    void keyFieldByHand()
    {
        KeyRig rig({"1=Q"});
        QTest::keyClick(rig.kbdKey(4), Qt::Key_Home);
        const QString first = rig.row(4);
        QTest::keyClick(rig.kbdKey(4), Qt::Key_Home);
        QCOMPARE(QSet<QString>({first, rig.row(4)}), QSet<QString>({"KPhome", "Home"}));
        QLabel* image = rig.image(3);
        QTest::sendKeyEvent(QTest::Click, rig.kbdKey(3), Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
        QTest::keyClick(rig.kbdKey(3), Qt::Key_F1);
        QVERIFY(image->pixmap().isNull());
        QTest::keyClick(rig.kbdKey(3), Qt::Key_B);
        QVERIFY(!image->pixmap().isNull());
        RowTable& rows = rig.window->rows();
        QCOMPARE(rows.pictures.at(3), StatusPicture::None);
        rows.pictures.at(2) = StatusPicture::CheckMark;
        rows.pictureShown.at(2) = true;
        rows.pictureTips.at(2) = QStringLiteral("Verified");
        rig.window->showPage();
        const QImage check = rig.image(2)->pixmap().toImage();
        QVERIFY(rig.image(2)->isVisibleTo(rig.window.get()));
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(rig.image(2));
        QCOMPARE(picture->text(QAccessible::Name) + '|' + picture->text(QAccessible::Description),
                 "Row 2: matches the device|Verified");
        QTest::keyClick(rig.keyString(2), Qt::Key_Left);  // types nothing: no picture change
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
        QTest::keyClicks(rig.keyString(2), QStringLiteral("A"));
        QVERIFY(rig.image(2)->pixmap().toImage() != check);
        QCOMPARE(picture->text(QAccessible::Name), "Row 2: differs or not confirmed");
        QCOMPARE(rows.pictures.at(2), StatusPicture::CheckMark);
        rig.window->showPage();
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
        rig.focus(rig.kbdKey(1));
        QTest::keyClick(rig.kbdKey(1), Qt::Key_Tab);
        QVERIFY(rig.kbdKey(1)->hasFocus());
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);  // the window system's path
        QCOMPARE(rig.window->menuBar()->activeAction(), nullptr);
        QCOMPARE(rig.row(1), QString());
        // Print Screen is taken on release from a string or key field, without duplicate check; from elsewhere (a
        // button) it names nothing.
        std::tie(rows.keyNames.at(2), rows.keyNames.at(29), rows.keyNames.at(44)) = std::tuple("PRSCN", "Q", "Q");
        rig.click("NextPage");
        QWidget* targets[] = {rig.find<QWidget>("Read"), rig.keyString(5), rig.kbdKey(20)};
        for (QWidget* target : targets) {
            rig.focus(target);
            QTest::keyClick(target, Qt::Key_Print);
        }
        QCOMPARE(rig.kbdKey(5)->text() + ' ' + rig.kbdKey(20)->text(), "PRSCN PRSCN");
        QStringList named;
        for (std::size_t r = RowTable::kLinesPerPage; r < RowTable::kRows; ++r)
            if (!rows.keyNames[r].isEmpty())
                named << QString::number(r) + '=' + rows.keyNames[r];
        QCOMPARE(named, QStringList({"29=PRSCN", "44=PRSCN"}));
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Each undo gives back the table before its change, each redo the one after; a new change forgets the redo steps;
    // only the last twenty steps are kept.
    void undoRedoAndTwentySteps()
    {
        TableHistory history;
        QCOMPARE(history.undoText() + history.redoText(), "UndoRedo");
        QVERIFY(!history.undo(tableNamed("x")));
        QList<TableState> tables;
        for (int i = 0; i <= 25; ++i) {
            tables << tableNamed(QStringLiteral("t%1").arg(i));
            if (i > 0)
                history.record(QStringLiteral("Step %1").arg(i), tables.at(i - 1));
        }
        QCOMPARE(history.undoText(), "Undo Step 25");
        for (int i = 24; i >= 5; --i)
            QVERIFY(same(*history.undo(tables.at(i + 1)), tables.at(i)));
        QVERIFY(!history.canUndo());  // t4 and older are gone
        QCOMPARE(history.redoText(), "Redo Step 6");
        QVERIFY(same(*history.redo(tables.at(5)), tables.at(6)));
        QCOMPARE(history.undoText(), "Undo Step 6");
        history.record(QStringLiteral("Clear All"), tables.at(6));
        QVERIFY(!history.canRedo());
        QVERIFY(same(*history.undo(TableState{}), tables.at(6)));
        QVERIFY(same(*history.undo(tables.at(6)), tables.at(5)));
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

    // Each recorded change is undone and redone exactly, from the File menu.
    void windowUndoRedo_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("control");  // a menu item or a button; none: the string length list
        for (const auto& [what, control] : {std::pair("Clear All", "ClearAll"), std::pair("Open", "FOpen"),
                                            std::pair("Read", "Read"), std::pair("String Length", "")})
            QTest::newRow(what) << what << control;
    }
    void windowUndoRedo()
    {
        QFETCH(QString, what);
        WindowRig rig;
        const QString first = rig.folder.filePath("first.cfg"), second = rig.folder.filePath("second.cfg");
        QVERIFY(test_files::writeAll(first,
                                     "String Length = 4\r\n00\tF1\tabcd\tnote 0\r\n40\tF2\t\tnote 40\r\n60\tF4\r\n"));
        QVERIFY(test_files::writeAll(second, "String Length = 9\r\n01\tF3\tx\r\n"));
        rig.dialogs.answers = {first, second};
        rig.run("FOpen");
        rig.keyString(1)->setText("typ");  // differs from the file
        rig.device.setStringLength(2);
        rig.device.setSlot(0, std::uint8_t(key_table::scancodeForKeyName("F5")), "yz");
        const TableState before = shown(rig);
        QFETCH(QString, control);
        if (control.isEmpty())
            rig.find<QComboBox>("StrConfig")->setCurrentIndex(1);  // cuts "abcd"
        else
            rig.find<QAction>(control) ? rig.run(qPrintable(control)) : rig.click(qPrintable(control));
        const TableState after = shown(rig);
        QVERIFY(!same(after, before));
        QCOMPARE(rig.find<QAction>("Undo")->text(), "Undo " + what);
        rig.run("Undo");
        QVERIFY(same(shown(rig), before));
        QCOMPARE(rig.keyString(0)->text(), "abcd");
        rig.run("Redo");
        QVERIFY(same(shown(rig), after));
        QVERIFY(!rig.find<QAction>("Redo")->isEnabled());
    }

    // Start-up offers a snapshot over the shown window, saying why and where the table came from; Yes gives it back with
    // its string length first, so no row is cut (length 10 into a window at 6). No removes it; one that cannot be read
    // is set aside and told once.
    void recoveryAtStart()
    {
        WindowRig rig;
        TableState kept;
        std::tie(kept.rows.strings.at(2), kept.stringLength, kept.configFileName, kept.configLabel) =
                std::tuple("ABCDEFGHIJ", 10, "/x/k.cfg", "k.cfg");
        const QString snapshot = RecoveryStore(rig.stateFolder).path();
        const auto keep = [&] { RecoveryStore(rig.stateFolder).write(kept); };
        QList<bool> shownWhenAsked;
        rig.messages.onConfirm = [&] { shownWhenAsked << rig.window->isVisible(); };
        rig.restart(keep);
        QCOMPARE(shownWhenAsked, QList<bool>{true});
        QVERIFY(rig.messages.confirms.at(0).contains("did not end normally"));
        QVERIFY(rig.messages.confirms.at(0).contains("came from /x/k.cfg"));
        QVERIFY(same(shown(rig), kept));
        QCOMPARE(rig.keyString(2)->text(), "ABCDEFGHIJ");
        QCOMPARE(rig.messages.infos, QStringList());
        rig.messages.confirmAnswer = false;
        rig.restart();  // a clean exit removed it
        QCOMPARE(rig.messages.confirms.size(), 1);
        kept.configFileName.clear();
        rig.restart(keep);
        QVERIFY(rig.messages.confirms.at(1).contains("never saved to a file"));
        QVERIFY(!QFile::exists(snapshot));
        rig.restart([&] { QVERIFY(test_files::writeAll(snapshot, "junk")); });
        QCOMPARE(rig.messages.infos.size(), 1);
        QVERIFY(rig.messages.infos.at(0).contains("set aside"));
    }

    // Clear All empties every shown row and the page, keeps the page, the string length and the file name. Ctrl+Z in a
    // row field then undoes the typing there; with no typing to undo, the table.
    void clearAll()
    {
        WindowRig rig(QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        QVERIFY(rig.activate());
        RowTable& rows = rig.window->rows();
        rig.window->selectStringLengthIndex(0);  // 93 keys: page 2 reachable
        for (auto* column : {&rows.keyNames, &rows.strings, &rows.notes, &rows.pictureTips})
            column->fill("A");
        rows.pictures.fill(StatusPicture::CheckMark);
        rows.pictureShown.fill(true);
        rig.click("NextPage");
        rig.click("NextPage");
        rig.find<QListWidget>("StatusBox")->addItem(QStringLiteral("a status line"));
        const QString path = rig.folder.filePath("table.cfg");
        rig.window->setConfigFileName(path);
        rig.find<QLabel>("CfgLabel")->setText("table.cfg");
        rig.clickCount(2);  // the notes box open on row 50
        rig.run("ClearAll");
        for (int line = 0; line < 24; ++line)
            QCOMPARE(QStringList({rig.rowLabel(line)->text(), rig.kbdKey(line)->text(), rig.keyString(line)->text(),
                                  rig.count(line)->text(), rig.image(line)->isHidden() ? "" : "picture"})
                             .join('|'),
                     QStringLiteral("%1|||0|").arg(48 + line));
        QStringList holding;  // rows holding more than their picture
        for (std::size_t r = 0; r < RowTable::kRows; ++r)
            if (!(rows.keyNames[r] + rows.strings[r] + rows.notes[r] + rows.pictureTips[r]).isEmpty()
                || rows.pictureShown[r] || rows.pictures[r] != StatusPicture::CheckMark)
                holding << QString::number(r);
        QCOMPARE(holding, QStringList{"96"});  // never shown, never cleared
        QCOMPARE(rig.find<QComboBox>("StrConfig")->currentIndex(), 0);
        QCOMPARE(rig.label("CfgLabel"), "table.cfg");
        QCOMPARE(rig.find<QListWidget>("StatusBox")->count(), 0);
        QVERIFY(!rig.find<QWidget>("StrDes")->isHidden());
        rig.clickCount(2);  // closing stores the emptied text
        QCOMPARE(rows.notes.at(50), QString());
        QCOMPARE(rig.window->configFileName(), path);
        QCOMPARE(rig.messages.infos, QStringList());
        rig.keyString(0)->setFocus();
        QTest::keyClicks(rig.keyString(0), "a");
        QTest::keyClick(rig.keyString(0), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.keyString(0)->text(), QString());
        QCOMPARE(rows.keyNames.at(50), QString());
        rig.keyString(1)->setFocus();
        QTest::keyClick(rig.keyString(1), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rows.keyNames.at(50), "A");
    }
};

QTEST_MAIN(TstUiRows)
#include "tst_ui_rows.moc"
