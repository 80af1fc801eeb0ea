#include "model/capacity.h"
#include "model/override_check.h"
#include "support/ui_rig.h"
#include "ui/config_dialog.h"

#include <QApplication>
#include <QCheckBox>
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

void clickCount(const WindowRig& rig, int line)
{
    QTest::mouseClick(rig.count(line), Qt::LeftButton);
}

// Box left, pointer ends and height in twips, the box centred on the pointer, within the pixel that
// converting twips may round; both shown, the pointer over the box.
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

}  // namespace

class TstUiRows : public QObject {
    Q_OBJECT

private slots:
    // Every string length: a length change keeps the page on screen, even one now beyond the capacity;
    // NextPage stops at the page holding row capacity - 1, and exactly the rows from the capacity on
    // are greyed, with a disabled string field.
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
        const int capacity = capacity::maxKeysForIndex(index);
        QCOMPARE(rig.window->currentPage(), 1);
        QCOMPARE(rig.keyString(0)->isEnabled(), capacity > 24);
        rig.click("PreviousPage");
        for (int i = 0; i < 5; ++i)
            rig.click("NextPage");
        const int lastPage = (capacity - 1) / 24;
        QCOMPARE(rig.window->currentPage(), lastPage);
        const QColor usable = rig.keyString(0)->palette().color(QPalette::Base);  // line 0 always is
        for (int line = 0; line < 24; ++line) {
            const int row = lastPage * 24 + line;
            QCOMPARE(rig.rowLabel(line)->text() + '|' + rig.kbdKey(line)->accessibleName() + '|'
                             + rig.keyString(line)->accessibleName(),
                     QStringLiteral("%1|Row %1 key|Row %1 output string").arg(row));
            QCOMPARE(rig.keyString(line)->isEnabled(), row < capacity);
            QCOMPARE(rig.keyString(line)->palette().color(QPalette::Base) == usable, row < capacity);
            QCOMPARE(rig.kbdKey(line)->palette().color(QPalette::Base) == usable, row < capacity);
            QVERIFY(rig.kbdKey(line)->isEnabled());  // keys can still be captured on grey lines
        }
        for (int i = 0; i < 5; ++i)
            rig.click("PreviousPage");
        QCOMPARE(rig.window->currentPage(), 0);
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // Typing is checked key by key (hex digits upper-cased inside a field only),
    // and so is the text the page puts into a field; item numbers are line + 1 on every page.
    void liveCheckInTheWindow()
    {
        WindowRig rig;
        rig.window->selectStringLengthIndex(1);  // 2 characters
        rig.click("NextPage");
        QTest::keyClicks(rig.keyString(4), QStringLiteral("XYZW"));
        QTest::keyClicks(rig.keyString(0), QStringLiteral("{c7}a{d"));
        RowTable& rows = rig.window->rows();
        rows.strings.at(25) = QStringLiteral("ABCDEFGH");
        rig.window->showPage();
        const QStringList texts{rig.keyString(4)->text(), rig.keyString(0)->text(), rig.keyString(1)->text()};
        QCOMPARE(texts, QStringList({"XY", "{C7}a{D", "AB"}));
        QCOMPARE(rows.strings.at(25) + rows.strings.at(28) + rig.count(1)->text(), "ABXY2");
        const QString tooLong = "String entered for item # %1 is too long .. max string length is 2 chars";
        QCOMPARE(rig.messages.infos, QStringList({tooLong.arg(5), tooLong.arg(5), tooLong.arg(2)}));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->showRowOnLine(97));
    }

    // Text, string length, line; what is kept, its count, whether it ends inside a hexadecimal field,
    // and the messages.
    void live_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("inField");
        QTest::addColumn<QStringList>("messages");
        const QStringList none, tooLong{"String entered for item # 1 is too long .. max string length is 2 chars"};
        const QString null1 = "String entered for item # 1 is invalid - cannot not use null {00} character";
        const auto hex = [](const char* start) {
            return QStringList{start + QStringLiteral(" only 2 HEX chars allowed within brackets (like {C7})")};
        };
        QTest::newRow("fits") << "AB{C7}" << 6 << 0 << "AB{C7}" << 3 << false << none;
        QTest::newRow("too long") << "ABC" << 2 << 0 << "AB" << 2 << false << tooLong;
        QTest::newRow("too long keeps whole field") << "A{41}{42}" << 2 << 0 << "A{41}" << 2 << false << tooLong;
        QTest::newRow("third digit") << "X{C7D" << 6 << 0 << "X{" << 1 << true << hex("{C7D");
        QTest::newRow("comma in field") << "{," << 6 << 0 << "{" << 0 << true << hex("{,");
        QTest::newRow("lower case in field") << "{c" << 6 << 0 << "{" << 0 << true << hex("{c");
        QTest::newRow("null field") << "{00" << 6 << 0 << "{" << 0 << true << QStringList{null1};
        QTest::newRow("null one digit") << "{0}" << 6 << 0 << "{" << 0 << true << QStringList{null1};
        // Two characters go at a time, so a partial field can stay.
        QTest::newRow("null twice") << "{0}{0}" << 6 << 0 << "{0" << 0 << true << QStringList{null1, null1};
        QTest::newRow("brace outside counts") << "}}" << 2 << 0 << "}}" << 2 << false << none;
        QTest::newRow("open field not counted") << "A{4" << 1 << 0 << "A{4" << 1 << true << none;
    }
    void live()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(int, line);
        const auto result = liveCheck(text, length, line);
        QTEST(result.inHexField, "inField");
        QTEST(result.text, "kept");
        QTEST(result.count, "count");
        QTEST(result.messages, "messages");
        // What is kept must pass the check again without a message.
        QCOMPARE(liveCheck(result.text, length, line).messages, QStringList());
    }

    // A sound field lets the focus go; a faulty one (row numbers as on screen) takes
    // it back, and the control it is taken from is not checked in turn. Then the other faults named.
    void structureCheckOnLeavingTheField()
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
        QCOMPARE(rig.messages.infos,
                 QStringList{"Key String # 27 cannot end with an open hexadecimal field { bracket"});
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.keyString(3)));
        QCOMPARE(rig.keyString(3)->text(), "{");
        QCOMPARE(structureCheck("ab{0D}}", 3), QString());
        QCOMPARE(structureCheck("{}", 3), "Hexadecimal brackets in string do not contain any hex characters");
        QCOMPARE(structureCheck("{4,}", 5), "Key String # 5contains invalid hex character at position 3");
        QCOMPARE(structureCheck("A\tB", 0), "Key String # 0 contains an invalid character at position 2");
        QCOMPARE(structureCheck("\x7F", 1), "Key String # 1 contains an invalid character at position 1");
    }

    void notesOpenStoreReopenMove()
    {
        WindowRig rig(kNotesOn);
        QVERIFY(rig.activate());
        QTextEdit* box = rig.find<QTextEdit>("StrDes");
        const RowTable& rows = rig.window->rows();
        clickCount(rig, 0);
        checkNotesPlace(rig, 7295, 6495, 7295, 1725);
        // The pointer line lies over the String Length box it points from; a click there reaches the box.
        const QWidget* pointer = rig.find<QFrame>("StrLine");
        QCOMPARE(rig.window->childAt(pointer->mapTo(rig.window.get(), pointer->rect().center())), rig.count(0));
        QCOMPARE(box->toPlainText(),
                 QStringLiteral("Optional string notes can be entered here\n"
                                "Click on String Length box to close this description"));
        clickCount(rig, 3);  // moves to line 3 without a note for row 0
        checkNotesPlace(rig, 7295, 6495, 7295, 1725 + 3 * 480);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("why"));  // into a box the focus emptied
        clickCount(rig, 3);
        QVERIFY(box->isHidden());
        clickCount(rig, 3);
        QCOMPARE(box->toPlainText(), "why");
        clickCount(rig, 15);
        checkNotesPlace(rig, 4280, 9280, 9480, 1725 + 3 * 480);
        rig.click("NextPage");  // the box stays with row 15
        clickCount(rig, 0);  // closes row 15 on its untouched hint (no note), opens row 24
        box->setPlainText(QStringLiteral("page 1"));
        clickCount(rig, 0);
        QCOMPARE(QStringList({rows.notes.at(0), rows.notes.at(3), rows.notes.at(15), rows.notes.at(24)}),
                 QStringList({"", "why", "", "page 1"}));
    }

    // Descriptions off: a click never shows the box; switching them off while
    // it is open hides it and loses the typed text.
    void notesSwitchedOff_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("never on") << false;
        QTest::newRow("off by the dialog's SAVE") << true;
    }
    void notesSwitchedOff()
    {
        QFETCH(bool, on);
        WindowRig rig(on ? kNotesOn : QByteArray());
        clickCount(rig, 3);
        rig.find<QTextEdit>("StrDes")->setPlainText(QStringLiteral("unsaved"));
        if (on) {
            QTimer::singleShot(0, [] {
                auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);  // the COM settings dialog
                dialog->descriptionsBox()->click();
                dialog->saveButton()->click();
            });
            rig.run("Config");
            QVERIFY(rig.find<QTextEdit>("StrDes")->isHidden());
        }
        clickCount(rig, 3);
        QVERIFY(rig.find<QTextEdit>("StrDes")->isHidden());
        QVERIFY(rig.find<QFrame>("StrLine")->isHidden());
        QCOMPARE(rig.window->rows().notes.at(3), QString());
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
        QTest::newRow("A, page 1 line 3") << QStringList() << 27 << a << "A" << none;
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
        QTest::newRow("keypad 7, Home held")
                << QStringList{"14=Home"} << 1 << (Qt::KeypadModifier | Qt::Key_7) << "KPhome" << none;
        QTest::newRow("print press") << QStringList{"6=Q"} << 6 << QKeyCombination(Qt::Key_Print) << "Q" << none;
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

    // A pair key pressed twice gives both names. Only a key press that types a character (Delete
    // excepted) puts up the question mark, on screen only, in a key or a string field.
    void homeTwiceAndQuestionMarks()
    {
        KeyRig rig;
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
        QVERIFY(!image->isVisible());
        QCOMPARE(rig.window->rows().pictures.at(3), StatusPicture::None);
        RowTable& rows = rig.window->rows();
        rows.pictures.at(2) = StatusPicture::CheckMark;
        rows.pictureShown.at(2) = true;
        rig.window->showPage();
        const QImage check = rig.image(2)->pixmap().toImage();
        QVERIFY(rig.image(2)->isVisibleTo(rig.window.get()));
        QTest::keyClick(rig.keyString(2), Qt::Key_Left);  // types nothing: no picture change
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
        QTest::keyClicks(rig.keyString(2), QStringLiteral("A"));
        QVERIFY(rig.image(2)->pixmap().toImage() != check);
        QCOMPARE(rows.pictures.at(2), StatusPicture::CheckMark);
        rig.window->showPage();
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
    }

    void focusStaysAndAltKeepsOffTheMenuBar()
    {
        KeyRig rig({"1=Q"});
        rig.focus(rig.kbdKey(1));
        QTest::keyClick(rig.kbdKey(1), Qt::Key_Tab);
        QVERIFY(rig.kbdKey(1)->hasFocus());
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);  // the window system's path
        QCOMPARE(rig.window->menuBar()->activeAction(), nullptr);
        QCOMPARE(rig.row(1), QString());
        rig.focus(rig.keyString(1));  // elsewhere Alt does reach the menu bar
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);
        QVERIFY(rig.window->menuBar()->activeAction() != nullptr);
    }

    // Print Screen is taken on release from a string or key field, without duplicate check; from
    // elsewhere (a button) it names nothing.
    void printScreenKey()
    {
        KeyRig rig({"2=PRSCN", "29=Q", "44=Q"}, 1);
        QWidget* targets[] = {rig.find<QWidget>("Read"), rig.keyString(5), rig.kbdKey(20)};
        for (QWidget* target : targets) {
            rig.focus(target);
            QTest::keyClick(target, Qt::Key_Print);
        }
        QCOMPARE(rig.kbdKey(5)->text() + ' ' + rig.kbdKey(20)->text(), "PRSCN PRSCN");
        QStringList named;
        for (std::size_t r = 0; r < RowTable::kRows; ++r)
            if (!rig.window->rows().keyNames[r].isEmpty())
                named << QString::number(r) + '=' + rig.window->rows().keyNames[r];
        QCOMPARE(named, QStringList({"2=PRSCN", "29=PRSCN", "44=PRSCN"}));
        QCOMPARE(rig.messages.infos, QStringList());
    }
};

QTEST_MAIN(TstUiRows)
#include "tst_ui_rows.moc"
