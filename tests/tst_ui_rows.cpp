#include "model/capacity.h"
#include "support/ui_rig.h"
#include "ui/row_lines.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using ui_test::WindowRig;

namespace {

const QColor kGrey(0xE0, 0xE0, 0xE0);
const QColor kWhite(0xFF, 0xFF, 0xFF);

QImage pictureOf(const QLabel* image)
{
    return image->pixmap().toImage();
}

}  // namespace

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
        const int lastPage = (capacity - 1) / 24;
        auto* next = rig.find<QPushButton>("NextPage");
        for (int i = 0; i < 6; ++i)
            next->click();
        QCOMPARE(rig.window->currentPage(), lastPage);
        QVERIFY(rig.messages.infos.isEmpty());
        for (int line = 0; line < 24; ++line) {
            const int row = lastPage * 24 + line;
            QCOMPARE(rig.rowLabel(line)->text(), QString::number(row));
            const bool usable = row < capacity;
            QCOMPARE(rig.keyString(line)->isEnabled(), usable);
            QCOMPARE(rig.keyString(line)->palette().color(QPalette::Base), usable ? kWhite : kGrey);
            QCOMPARE(rig.kbdKey(line)->palette().color(QPalette::Base), usable ? kWhite : kGrey);
            QVERIFY(rig.kbdKey(line)->isEnabled());  // keys can still be captured on grey lines
        }
        auto* previous = rig.find<QPushButton>("PreviousPage");
        for (int i = 0; i < 6; ++i)
            previous->click();
        QCOMPARE(rig.window->currentPage(), 0);
        QCOMPARE(rig.rowLabel(0)->text(), QStringLiteral("0"));
    }

    void lengthChangeKeepsThePage()
    {
        WindowRig rig;
        rig.find<QPushButton>("NextPage")->click();
        QCOMPARE(rig.window->currentPage(), 1);
        rig.window->strConfig()->setCurrentIndex(9);  // 10 characters, 23 keys
        QCOMPARE(rig.window->currentPage(), 1);
        QCOMPARE(rig.window->stringLength(), 10);
        for (int line = 0; line < 24; ++line)
            QVERIFY(!rig.keyString(line)->isEnabled());
        rig.find<QPushButton>("NextPage")->click();
        QCOMPARE(rig.window->currentPage(), 1);
        rig.find<QPushButton>("PreviousPage")->click();
        QCOMPARE(rig.window->currentPage(), 0);
        QVERIFY(rig.keyString(22)->isEnabled());
        QVERIFY(!rig.keyString(23)->isEnabled());
    }

    void rowsFollowThePage()
    {
        WindowRig rig;
        rig.find<QPushButton>("NextPage")->click();
        QTest::keyClicks(rig.keyString(3), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.window->rows().strings.at(27), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.count(3)->text(), QStringLiteral("3"));
        QCOMPARE(rig.keyString(3)->accessibleName(), QStringLiteral("Row 27 output string"));
        rig.find<QPushButton>("PreviousPage")->click();
        QVERIFY(rig.keyString(3)->text().isEmpty());
        QCOMPARE(rig.keyString(3)->accessibleName(), QStringLiteral("Row 3 output string"));
        rig.find<QPushButton>("NextPage")->click();
        QCOMPARE(rig.keyString(3)->text(), QStringLiteral("AB{0D}"));
        QCOMPARE(rig.window->rows().strings.at(3), QString());
    }

    void typingIsCheckedLive_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QStringList>("messages");
        const QString tooLong2 = "String entered for item # 1 is too long .. max string length is 2 chars";
        const QString null1 = "String entered for item # 1 is invalid - cannot not use null {00} character";
        QTest::newRow("fits") << 5 << 0 << "AB{C7}" << "AB{C7}" << "3" << QStringList();
        QTest::newRow("too long") << 1 << 0 << "ABC" << "AB" << "2" << QStringList{tooLong2};
        QTest::newRow("fields too long") << 1 << 0 << "A{41}{42}" << "A{41}" << "2" << QStringList{tooLong2};
        QTest::newRow("item number is line + 1")
                << 0 << 4 << "XY" << "X" << "1"
                << QStringList{"String entered for item # 5 is too long .. max string length is 1 chars"};
        QTest::newRow("third hex digit") << 5 << 0 << "X{C7D" << "X{" << "1"
                                         << QStringList{"{C7D only 2 HEX chars allowed within brackets (like {C7})"};
        QTest::newRow("comma in field") << 5 << 0 << "{," << "{" << "0"
                                        << QStringList{"{, only 2 HEX chars allowed within brackets (like {C7})"};
        QTest::newRow("null {00") << 5 << 0 << "{00" << "{" << "0" << QStringList{null1};
        QTest::newRow("null {0}") << 5 << 0 << "{0}" << "{" << "0" << QStringList{null1};
        QTest::newRow("upper-cased inside a field") << 5 << 0 << "{c7}ab{d" << "{C7}ab{D" << "3" << QStringList();
        QTest::newRow("typing goes on after a cut") << 1 << 0 << "ABCD" << "AB" << "2" << QStringList{tooLong2, tooLong2};
    }
    void typingIsCheckedLive()
    {
        QFETCH(int, index);
        QFETCH(int, line);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, count);
        QFETCH(QStringList, messages);
        WindowRig rig;
        rig.window->selectStringLengthIndex(index);
        QTest::keyClicks(rig.keyString(line), typed);
        QCOMPARE(rig.keyString(line)->text(), kept);
        QCOMPARE(rig.window->rows().strings.at(static_cast<std::size_t>(line)), kept);
        QCOMPARE(rig.count(line)->text(), count);
        QCOMPARE(rig.messages.infos, messages);
    }

    void hexFieldFlagCarriesToAnotherLine()
    {
        WindowRig rig;
        QTest::keyClicks(rig.keyString(0), QStringLiteral("{"));
        // The flag belongs to the window: the next line's first letter is upper-cased too.
        QTest::keyClicks(rig.keyString(1), QStringLiteral("a"));
        QCOMPARE(rig.keyString(1)->text(), QStringLiteral("A"));
        QTest::keyClicks(rig.keyString(1), QStringLiteral("b"));
        QCOMPARE(rig.keyString(1)->text(), QStringLiteral("Ab"));
    }

    void fieldTakesAtMost46Characters()
    {
        WindowRig rig;
        QCOMPARE(rig.keyString(0)->maxLength(), 46);
        QCOMPARE(rig.keyString(23)->maxLength(), 46);
    }

    void textSetByThePageIsCheckedToo()
    {
        WindowRig rig;
        rig.window->rows().strings.at(1) = QStringLiteral("ABCDEFGH");
        rig.window->showPage();
        QCOMPARE(rig.keyString(1)->text(), QStringLiteral("ABCDEF"));
        QCOMPARE(rig.window->rows().strings.at(1), QStringLiteral("ABCDEF"));
        QCOMPARE(rig.messages.infos,
                 QStringList{"String entered for item # 2 is too long .. max string length is 6 chars"});
    }

    void showRowOnLineOnlyForThePage()
    {
        WindowRig rig;
        RowTable& rows = rig.window->rows();
        rows.keyNames.at(5) = QStringLiteral("F1");
        rows.strings.at(5) = QStringLiteral("{1B}x");
        rows.keyNames.at(30) = QStringLiteral("F2");
        rig.window->showRowOnLine(5);
        rig.window->showRowOnLine(30);
        QCOMPARE(rig.kbdKey(5)->text(), QStringLiteral("F1"));
        QCOMPARE(rig.keyString(5)->text(), QStringLiteral("{1B}x"));
        QCOMPARE(rig.count(5)->text(), QStringLiteral("2"));
        QCOMPARE(rig.kbdKey(6)->text(), QString());
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->showRowOnLine(97));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->showRowPicture(-1));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.window->selectStringLengthIndex(10));
        rig.window->setRowCounter(42);
        QCOMPARE(rig.find<QLabel>("Label13")->text(), QStringLiteral("42"));
    }

    void questionMarkOnKeyPressOnlyOnScreen()
    {
        WindowRig rig;
        RowTable& rows = rig.window->rows();
        rows.pictures.at(2) = StatusPicture::CheckMark;
        rows.pictureShown.at(2) = true;
        rows.pictureTips.at(2) = QStringLiteral("matches");
        rig.window->showPage();
        const QLabel* image = rig.image(2);
        QVERIFY(image->isVisibleTo(rig.window.get()));
        QCOMPARE(image->toolTip(), QStringLiteral("matches"));
        const QImage check = pictureOf(image);
        QVERIFY(!check.isNull());
        QTest::keyClicks(rig.keyString(2), QStringLiteral("A"));
        const QImage question = pictureOf(image);
        QVERIFY(!question.isNull());
        QVERIFY(question != check);
        QCOMPARE(rows.pictures.at(2), StatusPicture::CheckMark);
        QVERIFY(rows.pictureShown.at(2));
        // A cursor key types nothing and leaves the picture alone.
        rig.window->showPage();
        QTest::keyClick(rig.keyString(2), Qt::Key_Left);
        QCOMPARE(pictureOf(image), check);
        rig.window->showRowPicture(2);
        QCOMPARE(pictureOf(image), check);
    }

    void missingPictureLeavesTheLineEmpty()
    {
        WindowRig rig;
        QFile::remove(rig.folder.filePath(QLatin1String(kCheckMarkFile)));
        rig.window->rows().pictures.at(0) = StatusPicture::CheckMark;
        rig.window->rows().pictureShown.at(0) = true;
        rig.window->showPage();
        QVERIFY(rig.image(0)->pixmap().isNull());
        QVERIFY(rig.messages.infos.isEmpty());
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
        QTest::newRow("invalid character") << 0 << QStringLiteral("A\u00e9") << "Key String # 3 contains an invalid character at position 2";
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
        QCOMPARE(rig.messages.infos, QStringList());  // the live check lets these through
        rig.kbdKey(4)->setFocus();
        QCOMPARE(rig.messages.infos, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(QApplication::focusWidget(), message.isEmpty() ? static_cast<QWidget*>(rig.kbdKey(4))
                                                                : static_cast<QWidget*>(rig.keyString(3)));
        QCOMPARE(rig.keyString(3)->text(), text);  // the text is not changed
    }

    void focusReturnDoesNotCheckTheOtherField()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        rig.keyString(5)->setText(QStringLiteral("{"));
        rig.keyString(3)->setText(QStringLiteral("{"));
        rig.keyString(3)->setFocus();
        rig.keyString(5)->setFocus();
        // Line 3's message only; taking the focus back from line 5 asks nothing of it.
        QCOMPARE(rig.messages.infos,
                 QStringList{"Key String # 3 cannot end with an open hexadecimal field { bracket"});
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.keyString(3)));
        rig.keyString(5)->setFocus();
        QCOMPARE(rig.messages.infos.size(), 2);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(rig.keyString(3)));
    }

    void countLabelClicksAreReported()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        QSignalSpy clicks(&rig.window->rowLines(), &RowLines::countClicked);
        QTest::mouseClick(rig.count(15), Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks.first().first().toInt(), 15);
    }
};

QTEST_MAIN(TstUiRows)
#include "tst_ui_rows.moc"
