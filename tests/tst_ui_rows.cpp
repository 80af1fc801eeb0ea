#include "model/capacity.h"
#include "support/ui_rig.h"
#include "ui/row_lines.h"

#include <QApplication>
#include <QtTest>

using ui_test::WindowRig;

class TstUiRows : public QObject {
    Q_OBJECT

private slots:
    // Every string length: NextPage stops at the page holding row capacity - 1,
    // and exactly the rows from the capacity on are grey with a disabled string field.
    void pagingAtEveryLength_data()
    {
        QTest::addColumn<int>("index");
        for (int index = 0; index < capacity::kLengthCount; ++index)
            QTest::newRow(qPrintable(QStringLiteral("length %1").arg(index + 1))) << index;
    }
    void pagingAtEveryLength()
    {
        QFETCH(int, index);
        WindowRig rig;
        rig.window->selectStringLengthIndex(index);
        const int capacity = capacity::maxKeysForIndex(index);
        for (int i = 0; i < 5; ++i)
            rig.click("NextPage");
        const int lastPage = (capacity - 1) / 24;
        QCOMPARE(rig.window->currentPage(), lastPage);
        for (int line = 0; line < 24; ++line) {
            const int row = lastPage * 24 + line;
            QCOMPARE(rig.rowLabel(line)->text(), QString::number(row));
            const QColor base = row < capacity ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xE0, 0xE0, 0xE0);
            QCOMPARE(rig.keyString(line)->isEnabled(), row < capacity);
            QCOMPARE(rig.keyString(line)->palette().color(QPalette::Base), base);
            QCOMPARE(rig.kbdKey(line)->palette().color(QPalette::Base), base);
            QVERIFY(rig.kbdKey(line)->isEnabled());  // keys can still be captured on grey lines
        }
        for (int i = 0; i < 5; ++i)
            rig.click("PreviousPage");
        QCOMPARE(rig.window->currentPage(), 0);
        QVERIFY(rig.messages.infos.isEmpty());
    }

    // A length change keeps the page on screen, even one now beyond the capacity.
    void rowsFollowThePage()
    {
        WindowRig rig;
        rig.click("NextPage");
        QTest::keyClicks(rig.keyString(3), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.window->rows().strings.at(27), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.keyString(3)->accessibleName(), QStringLiteral("Row 27 output string"));
        rig.click("PreviousPage");
        QVERIFY(rig.keyString(3)->text().isEmpty());
        rig.click("NextPage");
        QCOMPARE(rig.keyString(3)->text() + ' ' + rig.count(3)->text(), QStringLiteral("AB{0D} 3"));
        rig.window->selectStringLengthIndex(9);  // 10 characters, 23 keys
        QCOMPARE(rig.window->currentPage(), 1);
        for (int line = 0; line < 24; ++line)
            QVERIFY(!rig.keyString(line)->isEnabled());
        rig.click("PreviousPage");
        QVERIFY(rig.keyString(22)->isEnabled() && !rig.keyString(23)->isEnabled());
    }

    // Typing is checked key by key (hex digits upper-cased inside a field only),
    // and so is the text the page puts into a field; item numbers are line + 1 on every page.
    void liveCheck()
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
        QCOMPARE(rows.strings.at(25) + rows.strings.at(28) + rig.count(1)->text(), QStringLiteral("ABXY2"));
        const QString tooLong = "String entered for item # %1 is too long .. max string length is 2 chars";
        QCOMPARE(rig.messages.infos, QStringList({tooLong.arg(5), tooLong.arg(5), tooLong.arg(2)}));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->showRowOnLine(97));
    }

    void questionMarkOnKeyPressOnlyOnScreen()
    {
        WindowRig rig;
        RowTable& rows = rig.window->rows();
        rows.pictures.at(2) = StatusPicture::CheckMark;
        rows.pictureShown.at(2) = true;
        rig.window->showPage();
        const QImage check = rig.image(2)->pixmap().toImage();
        QVERIFY(!check.isNull() && rig.image(2)->isVisibleTo(rig.window.get()));
        QTest::keyClick(rig.keyString(2), Qt::Key_Left);  // types nothing: no picture change
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
        QTest::keyClicks(rig.keyString(2), QStringLiteral("A"));
        QVERIFY(rig.image(2)->pixmap().toImage() != check);
        QCOMPARE(rows.pictures.at(2), StatusPicture::CheckMark);
        rig.window->showPage();
        QCOMPARE(rig.image(2)->pixmap().toImage(), check);
    }

    // A sound field lets the focus go; a faulty one (row numbers as on screen) takes
    // it back, and the control it is taken from is not checked in turn.
    void structureCheckOnLeavingTheField()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        rig.keyString(3)->setFocus();
        rig.keyString(3)->setText(QStringLiteral("A{0D}"));
        rig.kbdKey(4)->setFocus();
        QVERIFY(rig.messages.infos.isEmpty() && QApplication::focusWidget() == rig.kbdKey(4));
        rig.click("NextPage");
        rig.keyString(5)->setText(QStringLiteral("{"));
        rig.keyString(3)->setText(QStringLiteral("{"));
        rig.keyString(3)->setFocus();
        rig.keyString(5)->setFocus();
        QCOMPARE(rig.messages.infos,
                 QStringList{"Key String # 27 cannot end with an open hexadecimal field { bracket"});
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.keyString(3)));
        QCOMPARE(rig.keyString(3)->text(), QStringLiteral("{"));
    }
};

QTEST_MAIN(TstUiRows)
#include "tst_ui_rows.moc"
