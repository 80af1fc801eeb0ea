#include "support/ui_rig.h"

#include <QMenuBar>
#include <QtTest>

namespace {

// The window (capacity 36) on a page, "row=name" entries already held by rows.
struct Rig final : ui_test::WindowRig {
    explicit Rig(const QStringList& held = {}, int page = 0)
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
    QLineEdit* key(int line) const { return kbdKey(line); }
    QString row(int r) const { return window->rows().keyNames.at(static_cast<std::size_t>(r)); }
};

}  // namespace

class TstKeyCapture : public QObject {
    Q_OBJECT

private slots:
    void assignment_data()
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
    void assignment()
    {
        QFETCH(QStringList, held);
        QFETCH(int, row);
        QFETCH(QKeyCombination, key);
        QFETCH(QString, name);
        QFETCH(QList<int>, warnings);
        Rig rig(held, row / 24);
        QTest::keyClick(rig.key(row % 24), key.key(), key.keyboardModifiers());
        QCOMPARE(rig.key(row % 24)->text(), name);
        QCOMPARE(rig.row(row), name);
        QStringList expected;
        for (int position : warnings)
            expected << QStringLiteral("WARNING .. this same key already overridden (position %1)").arg(position);
        QCOMPARE(rig.messages.infos, expected);
    }

    // A pair key pressed twice gives both names; only keys that type a
    // character (Delete excepted) put the question mark on screen.
    void homeTwiceAndQuestionMark()
    {
        Rig rig;
        QTest::keyClick(rig.key(4), Qt::Key_Home);
        const QString first = rig.row(4);
        QTest::keyClick(rig.key(4), Qt::Key_Home);
        QCOMPARE(QSet<QString>({first, rig.row(4)}), QSet<QString>({"KPhome", "Home"}));
        QLabel* image = rig.image(3);
        QTest::sendKeyEvent(QTest::Click, rig.key(3), Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
        QTest::keyClick(rig.key(3), Qt::Key_F1);
        QVERIFY(image->pixmap().isNull());
        QTest::keyClick(rig.key(3), Qt::Key_B);
        QVERIFY(!image->pixmap().isNull());
        QVERIFY(!image->isVisible() && rig.window->rows().pictures.at(3) == StatusPicture::None);
    }

    void focusStaysAndAltKeepsOffTheMenuBar()
    {
        Rig rig({"1=Q"});
        rig.focus(rig.key(1));
        QTest::keyClick(rig.key(1), Qt::Key_Tab);
        QVERIFY(rig.key(1)->hasFocus());
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);  // the window system's path
        QCOMPARE(rig.window->menuBar()->activeAction(), nullptr);
        QCOMPARE(rig.row(1), QString());
        rig.focus(rig.keyString(1));  // elsewhere Alt does reach the menu bar
        QTest::keyClick(rig.window->windowHandle(), Qt::Key_Alt);
        QVERIFY(rig.window->menuBar()->activeAction() != nullptr);
    }

    // Taken on release from a string or key field, without duplicate check; from
    // elsewhere (a button) it names nothing.
    void printScreen()
    {
        Rig rig({"2=PRSCN", "29=Q", "44=Q"}, 1);
        QWidget* targets[] = {rig.find<QWidget>("Read"), rig.keyString(5), rig.key(20)};
        for (QWidget* target : targets) {
            rig.focus(target);
            QTest::keyClick(target, Qt::Key_Print);
        }
        QCOMPARE(rig.key(5)->text() + ' ' + rig.key(20)->text(), QStringLiteral("PRSCN PRSCN"));
        QCOMPARE(QStringList({rig.row(2), rig.row(29), rig.row(44)}), QStringList({"PRSCN", "PRSCN", "PRSCN"}));
        const RowTable& rows = rig.window->rows();
        QCOMPARE(rows.keyNames.size() - std::count(rows.keyNames.cbegin(), rows.keyNames.cend(), QString()), 3);
        QVERIFY(rig.messages.infos.isEmpty());
    }
};

QTEST_MAIN(TstKeyCapture)
#include "tst_key_capture.moc"
