// The rows of the page and the table behind them: paging, checks, notes, keys, undo and recovery.
#include "files/recovery_store.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/table_history.h"
#include "support/data_row.h"
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

using test_data::row;
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
    const QWidget* box = rig.panes().notes;
    const QWidget* pointer = rig.panes().notesPointer;
    const QList<int> got{box->x(), pointer->x(), pointer->x() + pointer->width(), pointer->y(), box->y()};
    const QList<int> want{boxLeft, x1, x2, y, y - 545};
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(qAbs(got[i] - rig.px(want[i])) <= 1, qPrintable(QString::number(want[i])));
    QVERIFY(box->isVisible());
    QVERIFY(pointer->isVisible());
    QCOMPARE(box->parentWidget()->children().last(), pointer);
}

bool same(const TableState& a, const TableState& b)
{
    return a.sameTable(b) && a.configFileName == b.configFileName && a.configLabel == b.configLabel;
}

// What the window shows of its table: rows, notes, string length, file name and label.
TableState shown(const WindowRig& rig)
{
    return {rig.window->rows(), rig.window->stringLength(), rig.window->configFileName(), rig.configLabel()};
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
            QCOMPARE(rig.rowLabel(line)->text(), QString::number(row));
            QCOMPARE(rig.kbdKey(line)->accessibleName(), QStringLiteral("Row %1 key").arg(row));
            QCOMPARE(rig.keyString(line)->accessibleName(), QStringLiteral("Row %1 output string").arg(row));
            const bool grey = row >= capacity;
            QCOMPARE(rig.keyString(line)->isEnabled(), !grey);
            QCOMPARE(rig.keyString(line)->palette().color(QPalette::Base) != usable, grey);
            QCOMPARE(rig.kbdKey(line)->palette().color(QPalette::Base) != usable, grey);
            QVERIFY(rig.kbdKey(line)->isEnabled());  // keys can still be captured on grey lines
        }
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
        QCOMPARE(rows.strings.at(25), "AB");
        QCOMPARE(rows.strings.at(28), "XY");
        QCOMPARE(rig.count(1)->text(), "2");
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->showRowOnLine(97));
        // A run putting the same text back leaves the operator's cursor (and a screen reader) alone.
        rig.keyString(1)->setCursorPosition(0);
        rig.window->refreshPageRows();
        rig.window->showRowOnLine(25);
        QCOMPARE(rig.keyString(1)->cursorPosition(), 0);
        const QString tooLong = "String entered for item # %1 is too long .. max string length is 2 chars";
        QCOMPARE(rig.messages.infos,
                 QStringList({"Key String # 27 cannot end with an open hexadecimal field { bracket", tooLong.arg(5),
                              tooLong.arg(5), tooLong.arg(2)}));
    }

    // Descriptions on: a click opens the row's notes beside its line, a second one stores and closes them. Switched off
    // by the dialog's SAVE while open: the box goes with the typed text, and clicks open nothing.
    void notes()
    {
        WindowRig rig(kNotesOn);
        QVERIFY(rig.activate());
        QTextEdit* box = rig.panes().notes;
        const RowTable& rows = rig.window->rows();
        rig.clickCount(0);
        checkNotesPlace(rig, 7295, 6495, 7295, 1725);
        // The pointer line lies over the String Length box it points from; a click there reaches the box.
        const QWidget* pointer = rig.panes().notesPointer;
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
        row("A again, own row", QStringList{"27=A"}, 27, a, "A", none);
        row("A on rows 2, 27", QStringList{"2=A", "27=A", "5=Q"}, 5, a, "Q", QList<int>{2, 27});
        row("A only on row 36", QStringList{"36=A"}, 4, a, "A", none);
        row("beyond capacity", QStringList(), 44, QKeyCombination(Qt::Key_F5), "F5", none);
        row("shift A", QStringList{"8=Q"}, 8, (Qt::ShiftModifier | Qt::Key_A), "A", none);
        for (Qt::Key empties : {Qt::Key_Alt, Qt::Key_Control, Qt::Key_CapsLock})
            QTest::addRow("empties %x", empties) << QStringList{"3=Q"} << 3 << QKeyCombination(empties) << "" << none;
        row("shift tab", QStringList(), 2, (Qt::ShiftModifier | Qt::Key_Backtab), "TAB", none);
        row("tab held", QStringList{"9=TAB", "2=Z"}, 2, QKeyCombination(Qt::Key_Tab), "Z", QList<int>{9});
        row("print press", QStringList{"6=Q"}, 6, QKeyCombination(Qt::Key_Print), "Q", none);
        row("keypad 7, Home held", QStringList{"14=Home"}, 1, (Qt::KeypadModifier | Qt::Key_7), "KPhome", none);
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
        QCOMPARE(rig.kbdKey(1)->text(), "Q");
        QCOMPARE(rig.window->rows().keyNames[1], "Q");
        QCOMPARE(rig.kbdKey(2)->text(), QString());

        QMenuBar* bar = rig.window->menuBar();
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);
        QVERIFY(bar->activeAction());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        rig.keyString(3)->setFocus();
        QTest::keyClick(rig.keyString(3), Qt::Key_F10);
        QCOMPARE(bar->activeAction(), bar->actions().first());
        QApplication::activePopupWidget()->close();

        auto* box = rig.panes().notes;
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
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(rig.controls().strConfig);
        QCOMPARE(list->text(QAccessible::Name), "Maximum Override String Length");
        QCOMPARE(list->text(QAccessible::Value), "6 Characters (up to 36 keys)");
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

    // Only a key press that types a character (Delete excepted) puts up the question mark, on screen only, in a key
    // or a string field; the page shown again brings the row's own picture back.
    void questionMarkOnlyForTyping()
    {
        KeyRig rig;
        QTest::sendKeyEvent(QTest::Click, rig.kbdKey(3), Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
        QTest::keyClick(rig.kbdKey(3), Qt::Key_F1);
        QVERIFY(rig.image(3)->pixmap().isNull());
        QTest::keyClick(rig.kbdKey(3), Qt::Key_B);
        QVERIFY(!rig.image(3)->pixmap().isNull());
        RowTable& rows = rig.window->rows();
        QCOMPARE(rows.pictures.at(3), StatusPicture::None);
        std::tie(rows.pictures.at(2), rows.pictureShown.at(2), rows.pictureTips.at(2)) =
                std::tuple(StatusPicture::CheckMark, true, "Verified");
        rig.window->showPage();
        const QImage check = rig.image(2)->pixmap().toImage();
        QAccessibleInterface* picture = QAccessible::queryAccessibleInterface(rig.image(2));
        QCOMPARE(picture->text(QAccessible::Name), "Row 2: matches the device");
        QCOMPARE(picture->text(QAccessible::Description), "Verified");
        QTest::keyClick(rig.keyString(2), Qt::Key_Left);  // types nothing: no picture change
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
        QTest::keyClicks(rig.keyString(2), QStringLiteral("A"));
        QCOMPARE(picture->text(QAccessible::Name), "Row 2: differs or not confirmed");
        QCOMPARE(rows.pictures.at(2), StatusPicture::CheckMark);
        rig.window->showPage();
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
    }

    // A key field keeps the focus on Tab (the key TAB), and Alt off the menu bar (no entry for it). Print Screen is
    // taken on release from a string or key field, without duplicate check; from elsewhere (a button) it names nothing.
    void keyFieldTakesTabAltAndPrintScreen()
    {
        KeyRig rig({"1=Q", "2=PRSCN", "29=Q", "44=Q"});
        rig.focus(rig.kbdKey(1));
        QTest::keyClick(rig.kbdKey(1), Qt::Key_Tab);
        QVERIFY(rig.kbdKey(1)->hasFocus());
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);  // the window system's path
        QCOMPARE(rig.window->menuBar()->activeAction(), nullptr);
        QCOMPARE(rig.row(1), QString());
        rig.click("NextPage");
        for (QWidget* target : {static_cast<QWidget*>(rig.find<QPushButton>("Read")),
                                static_cast<QWidget*>(rig.keyString(5)), static_cast<QWidget*>(rig.kbdKey(20))}) {
            rig.focus(target);
            QTest::keyClick(target, Qt::Key_Print);
        }
        QCOMPARE(rig.kbdKey(5)->text(), "PRSCN");
        QStringList named;
        for (int r = RowTable::kLinesPerPage; r < RowTable::kRows; ++r)
            if (!rig.row(r).isEmpty())
                named << QString::number(r) + '=' + rig.row(r);
        QCOMPARE(named, QStringList({"29=PRSCN", "44=PRSCN"}));
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Each recorded change is undone and redone exactly, from the File menu.
    void windowUndoRedo_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("control");  // a menu item or a button; none: the string length list
        for (const auto& [what, control] : {std::pair("Clear All", "ClearAll"), std::pair("Open", "FOpen"),
                                            std::pair("Read", "Read"), std::pair("String Length", "")})
            row(what, what, control);
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
            rig.controls().strConfig->setCurrentIndex(1);  // cuts "abcd"
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

    // Closing the window during a Send stops it at its next wait (here during block 3), and the box that ends it says
    // what the device now holds.
    void closingDuringSendSaysWhatTheDeviceHolds()
    {
        WindowRig rig;
        rig.waiter.setOnEvents([&] {
            if (rig.status().lines().contains("/W{3}{FF}"))
                rig.window->close();
        });
        rig.click("Send");
        QCOMPARE(rig.messages.infos,
                 QStringList{"The device now holds an incomplete table: rows 0 to 2 written, row 3 "
                             "may be written, the rows after 3 not written. Send again."});
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
        rig.status().list()->addItem(QStringLiteral("a status line"));
        const QString path = rig.folder.filePath("table.cfg");
        rig.window->setConfigFileName(path);
        rig.find<QLabel>("CfgLabel")->setText("table.cfg");
        rig.clickCount(2);  // the notes box open on row 50
        rig.run("ClearAll");
        for (int line = 0; line < 24; ++line) {  // label, key, string, count, picture
            const QStringList shown{rig.rowLabel(line)->text(), rig.kbdKey(line)->text(), rig.keyString(line)->text(),
                                    rig.count(line)->text(), rig.image(line)->isHidden() ? "" : "picture"};
            QCOMPARE(shown, QStringList({QString::number(48 + line), "", "", "0", ""}));
        }
        QStringList holding;  // rows holding more than their picture
        for (std::size_t r = 0; r < RowTable::kRows; ++r)
            if (!(rows.keyNames[r] + rows.strings[r] + rows.notes[r] + rows.pictureTips[r]).isEmpty()
                || rows.pictureShown[r] || rows.pictures[r] != StatusPicture::CheckMark)
                holding << QString::number(r);
        QCOMPARE(holding, QStringList{"96"});  // never shown, never cleared
        QCOMPARE(rig.controls().strConfig->currentIndex(), 0);
        QCOMPARE(rig.configLabel(), "table.cfg");
        QCOMPARE(rig.status().list()->count(), 0);
        QVERIFY(!rig.panes().notes->isHidden());
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
