#include "model/capacity.h"
#include "support/ui_rig.h"
#include "ui/row_lines.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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
            rig.find<QPushButton>("NextPage")->click();
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
            rig.find<QPushButton>("PreviousPage")->click();
        QCOMPARE(rig.window->currentPage(), 0);
        QVERIFY(rig.messages.infos.isEmpty());
    }

    void lengthChangeKeepsThePage()
    {
        WindowRig rig;
        rig.find<QPushButton>("NextPage")->click();
        rig.window->selectStringLengthIndex(9);  // 10 characters, 23 keys
        QCOMPARE(rig.window->currentPage(), 1);
        for (int line = 0; line < 24; ++line)
            QVERIFY(!rig.keyString(line)->isEnabled());
        rig.find<QPushButton>("PreviousPage")->click();
        QVERIFY(rig.keyString(22)->isEnabled() && !rig.keyString(23)->isEnabled());
    }

    void rowsFollowThePage()
    {
        WindowRig rig;
        rig.find<QPushButton>("NextPage")->click();
        QTest::keyClicks(rig.keyString(3), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.window->rows().strings.at(27), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.keyString(3)->accessibleName(), QStringLiteral("Row 27 output string"));
        rig.find<QPushButton>("PreviousPage")->click();
        QVERIFY(rig.keyString(3)->text().isEmpty());
        rig.find<QPushButton>("NextPage")->click();
        QCOMPARE(rig.keyString(3)->text(), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.count(3)->text(), QStringLiteral("3"));
    }

    void typingIsCheckedLive_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QStringList>("messages");
        const QString tooLong2 = "String entered for item # 1 is too long .. max string length is 2 chars";
        const QString null1 = "String entered for item # 1 is invalid - cannot not use null {00} character";
        QTest::newRow("too long") << 1 << 0 << "ABCD" << "AB" << QStringList{tooLong2, tooLong2};
        QTest::newRow("fields too long") << 1 << 0 << "A{41}{42}" << "A{41}" << QStringList{tooLong2};
        QTest::newRow("item number is line + 1")
                << 0 << 4 << "XY" << "X"
                << QStringList{"String entered for item # 5 is too long .. max string length is 1 chars"};
        QTest::newRow("third hex digit") << 5 << 0 << "X{C7D" << "X{"
                                         << QStringList{"{C7D only 2 HEX chars allowed within brackets (like {C7})"};
        QTest::newRow("null {00") << 5 << 0 << "{00" << "{" << QStringList{null1};
        QTest::newRow("null {0}") << 5 << 0 << "{0}" << "{" << QStringList{null1};
        QTest::newRow("upper-cased in a field only") << 5 << 0 << "{c7}ab{d" << "{C7}ab{D" << QStringList();
    }
    void typingIsCheckedLive()
    {
        QFETCH(int, index);
        QFETCH(int, line);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QStringList, messages);
        WindowRig rig;
        rig.window->selectStringLengthIndex(index);
        QTest::keyClicks(rig.keyString(line), typed);
        QCOMPARE(rig.keyString(line)->text(), kept);
        QCOMPARE(rig.window->rows().strings.at(static_cast<std::size_t>(line)), kept);
        QCOMPARE(rig.messages.infos, messages);
    }

    void textSetByThePageIsCheckedToo()
    {
        WindowRig rig;
        QCOMPARE(rig.keyString(0)->maxLength(), 46);
        rig.window->rows().strings.at(1) = QStringLiteral("ABCDEFGH");
        rig.window->showPage();
        QCOMPARE(rig.keyString(1)->text(), QStringLiteral("ABCDEF"));
        QCOMPARE(rig.window->rows().strings.at(1), QStringLiteral("ABCDEF"));
        QCOMPARE(rig.count(1)->text(), QStringLiteral("6"));
        QCOMPARE(rig.messages.infos.size(), 1);
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

    void structureCheckOnLeavingTheField_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("sound") << 0 << "A{0D}" << "";
        QTest::newRow("empty field") << 0 << "A{}" << "Hexadecimal brackets in string do not contain any hex characters";
        QTest::newRow("open at the end") << 0 << "AB{4" << "Key String # 3 cannot end with an open hexadecimal field { bracket";
        QTest::newRow("row of page 1") << 1 << "{" << "Key String # 27 cannot end with an open hexadecimal field { bracket";
    }
    void structureCheckOnLeavingTheField()
    {
        QFETCH(int, page);
        QFETCH(QString, text);
        QFETCH(QString, message);
        WindowRig rig;
        QVERIFY(rig.activate());
        if (page == 1)
            rig.find<QPushButton>("NextPage")->click();
        rig.keyString(3)->setFocus();
        rig.keyString(3)->setText(text);
        rig.kbdKey(4)->setFocus();
        QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
        QWidget* expected = message.isEmpty() ? static_cast<QWidget*>(rig.kbdKey(4)) : rig.keyString(3);
        QCOMPARE(QApplication::focusWidget(), expected);
        QCOMPARE(rig.keyString(3)->text(), text);
    }

    void focusReturnDoesNotCheckTheOtherField()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        rig.keyString(5)->setText(QStringLiteral("{"));
        rig.keyString(3)->setText(QStringLiteral("{"));
        rig.keyString(3)->setFocus();
        rig.keyString(5)->setFocus();
        // Line 3's message only: taking the focus back from line 5 asks nothing of it.
        QCOMPARE(rig.messages.infos, QStringList{"Key String # 3 cannot end with an open hexadecimal field { bracket"});
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.keyString(3)));
    }
};

QTEST_MAIN(TstUiRows)
#include "tst_ui_rows.moc"
