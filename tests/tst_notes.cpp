#include "support/ui_rig.h"
#include "ui/config_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QTextEdit>
#include <QtTest>

using ui_test::WindowRig;

namespace {
const QByteArray kOn("[GENERAL]\r\nENABLESTRINGS=1\r\n");
void click(const WindowRig& rig, int line)
{
    QTest::mouseClick(rig.count(line), Qt::LeftButton);
}

// Box left, pointer ends and height in twips; the box centred on the pointer.
// Within the pixel that converting twips may round.
void checkPlace(const WindowRig& rig, int boxLeft, int x1, int x2, int y)
{
    const QWidget* box = rig.find<QTextEdit>("StrDes");
    const QWidget* pointer = rig.find<QFrame>("StrLine");
    const QList<int> got{box->x(), pointer->x(), pointer->x() + pointer->width(), pointer->y(), box->y()};
    const QList<int> want{boxLeft, x1, x2, y, y - 545};
    for (int i = 0; i < got.size(); ++i)
        QVERIFY2(qAbs(got[i] - rig.px(want[i])) <= 1, qPrintable(QString::number(want[i])));
    QVERIFY(!box->isHidden() && !pointer->isHidden() && box->parentWidget()->children().last() == pointer);
}
}  // namespace

class TstNotes : public QObject {
    Q_OBJECT

private slots:
    void openStoreReopenMove()
    {
        WindowRig rig(kOn);
        QVERIFY(rig.activate());
        QTextEdit* box = rig.find<QTextEdit>("StrDes");
        const RowTable& rows = rig.window->rows();
        click(rig, 0);
        checkPlace(rig, 7295, 6495, 7295, 1725);
        // The pointer line lies over the String Length box it points from; a click there reaches the box.
        const QWidget* pointer = rig.find<QFrame>("StrLine");
        QCOMPARE(rig.window->childAt(pointer->mapTo(rig.window.get(), pointer->rect().center())), rig.count(0));
        QCOMPARE(box->palette().color(QPalette::Base), QColor(255, 255, 192));
        QCOMPARE(box->toPlainText(),
                 QStringLiteral("Optional string notes can be entered here\n"
                                "Click on String Length box to close this description"));
        click(rig, 3);  // moves to line 3 without a note for row 0
        checkPlace(rig, 7295, 6495, 7295, 1725 + 3 * 480);
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("why"));  // into a box the focus emptied
        click(rig, 3);
        QVERIFY(box->isHidden() && rows.notes.at(0).isEmpty() && rows.notes.at(3) == QStringLiteral("why"));
        click(rig, 3);
        QCOMPARE(box->toPlainText(), QStringLiteral("why"));
        click(rig, 15);
        checkPlace(rig, 4280, 9280, 9480, 1725 + 3 * 480);
        rig.click("NextPage");  // the box stays with row 15
        click(rig, 0);  // closes row 15 on its untouched hint (no note), opens row 24
        box->setPlainText(QStringLiteral("page 1"));
        click(rig, 0);
        QVERIFY(rows.notes.at(3) == QStringLiteral("why") && rows.notes.at(15).isEmpty());
        QCOMPARE(rows.notes.at(24), QStringLiteral("page 1"));
    }

    // Descriptions off: a click never shows the box; switching them off while
    // it is open hides it and loses the typed text.
    void switchedOff_data()
    {
        QTest::addColumn<bool>("on");
        QTest::newRow("never on") << false;
        QTest::newRow("off by the dialog's SAVE") << true;
    }
    void switchedOff()
    {
        QFETCH(bool, on);
        WindowRig rig(on ? kOn : QByteArray());
        click(rig, 3);
        rig.find<QTextEdit>("StrDes")->setPlainText(QStringLiteral("unsaved"));
        if (on) {
            QTimer::singleShot(0, [] {
                auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget());
                if (!dialog)
                    qFatal("the COM settings dialog did not open");
                dialog->descriptionsBox()->click();
                dialog->saveButton()->click();
            });
            rig.run("Config");
            QVERIFY(rig.find<QTextEdit>("StrDes")->isHidden());
        }
        click(rig, 3);
        QVERIFY(rig.find<QTextEdit>("StrDes")->isHidden() && rig.find<QFrame>("StrLine")->isHidden());
        QVERIFY(rig.window->rows().notes.at(3).isEmpty());
    }
};

QTEST_MAIN(TstNotes)
#include "tst_notes.moc"
