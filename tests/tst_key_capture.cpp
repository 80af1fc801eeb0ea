#include "model/key_table.h"
#include "model/messages.h"
#include "ui/key_capture.h"
#include "ui/key_field.h"
#include "ui/row_lines.h"
#include "ui/string_field.h"
#include "ui/twips.h"

#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QtTest>

namespace {

struct RecordedMessages final : Messages {
    void info(const QString& text) override { texts.append(text); }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override {}
    QStringList texts;
};

// A window with a menu bar, a page of lines (capacity 36) and a button, key
// capture attached; held: "row=name" entries already on rows.
struct Rig final {
    explicit Rig(const QStringList& held = {}, int page = 0)
    {
        window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("Open"));
        auto* central = new QWidget(&window);
        window.setCentralWidget(central);
        lines = new RowLines(central, twips::Placer(96), rows, messages, QZ_SOURCE_DIR "/resources", [] { return 5; });
        button = new QPushButton(QStringLiteral("Read"), central);
        new KeyCapture(*lines, rows, namer, messages, [] { return 5; }, &window);
        for (const QString& entry : held)
            rows.keyNames.at(entry.section('=', 0, 0).toUInt()) = entry.section('=', 1);
        lines->setCurrentPage(page);
        lines->showPage(page);
    }
    void focus(QWidget* widget)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        widget->setFocus();
        QTRY_VERIFY(widget->hasFocus());
    }
    KeyField* key(int line) const { return lines->line(line).key; }
    QString row(int r) const { return rows.keyNames.at(static_cast<std::size_t>(r)); }

    QMainWindow window;
    RowTable rows;
    RecordedMessages messages;
    KeyNamer namer;
    RowLines* lines = nullptr;
    QPushButton* button = nullptr;
};

}  // namespace

class TstKeyCapture : public QObject {
    Q_OBJECT

private slots:
    void assignment_data()
    {
        QTest::addColumn<QStringList>("held");
        QTest::addColumn<int>("row");  // page 1 from row 24 on
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("name");         // the row's key afterwards
        QTest::addColumn<QList<int>>("warnings");  // positions named
        const int no = Qt::NoModifier;
        const int a = Qt::Key_A;
        QTest::newRow("A, page 1 line 3") << QStringList() << 27 << a << no << "A" << QList<int>();
        QTest::newRow("A again, own row") << QStringList{"27=A"} << 27 << a << no << "A" << QList<int>();
        QTest::newRow("A on rows 2, 27")
            << QStringList{"2=A", "27=A", "5=Q"} << 5 << a << no << "Q" << QList<int>{2, 27};
        QTest::newRow("A only on row 36") << QStringList{"36=A"} << 4 << a << no << "A" << QList<int>();
        QTest::newRow("beyond capacity") << QStringList() << 44 << int(Qt::Key_F5) << no << "F5" << QList<int>();
        QTest::newRow("shift A") << QStringList{"8=Q"} << 8 << a << int(Qt::ShiftModifier) << "A" << QList<int>();
        for (int empties : {Qt::Key_Alt, Qt::Key_Control, Qt::Key_CapsLock})
            QTest::addRow("empties %x", empties) << QStringList{"3=Q"} << 3 << empties << no << "" << QList<int>();
        QTest::newRow("tab") << QStringList() << 2 << int(Qt::Key_Tab) << no << "TAB" << QList<int>();
        QTest::newRow("shift tab") << QStringList() << 2 << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << "TAB"
                                   << QList<int>();
        QTest::newRow("tab held") << QStringList{"9=TAB", "2=Z"} << 2 << int(Qt::Key_Tab) << no << "Z" << QList<int>{9};
        QTest::newRow("keypad 7, Home held") << QStringList{"14=Home"} << 1 << int(Qt::Key_7) << int(Qt::KeypadModifier)
                                             << "KPhome" << QList<int>();
        QTest::newRow("print press") << QStringList{"6=Q"} << 6 << int(Qt::Key_Print) << no << "Q" << QList<int>();
    }
    void assignment()
    {
        QFETCH(QStringList, held);
        QFETCH(int, row);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, name);
        QFETCH(QList<int>, warnings);
        Rig rig(held, row / 24);
        QTest::keyClick(rig.key(row % 24), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(rig.key(row % 24)->text(), name);
        QCOMPARE(rig.row(row), name);
        QStringList expected;
        for (int position : warnings)
            expected << QStringLiteral("WARNING .. this same key already overridden (position %1)").arg(position);
        QCOMPARE(rig.messages.texts, expected);
    }

    void homeTwiceAlternates()
    {
        Rig rig;
        QTest::keyClick(rig.key(4), Qt::Key_Home);
        const QString first = rig.row(4);
        QTest::keyClick(rig.key(4), Qt::Key_Home);
        QCOMPARE(QSet<QString>({first, rig.row(4)}), QSet<QString>({"KPhome", "Home"}));
    }

    void questionMarkOnCharacterKeysOnly()
    {
        Rig rig;
        QLabel* image = rig.lines->line(3).image;
        QTest::sendKeyEvent(QTest::Click, rig.key(3), Qt::Key_Delete, QStringLiteral("\x7f"), Qt::NoModifier);
        QTest::keyClick(rig.key(3), Qt::Key_F1);
        QVERIFY(image->pixmap().isNull());
        QTest::keyClick(rig.key(3), Qt::Key_B);
        QVERIFY(!image->pixmap().isNull());
        QVERIFY(!image->isVisible() && rig.rows.pictures.at(3) == StatusPicture::None);
    }

    void focusStaysAndAltKeepsOffTheMenuBar()
    {
        Rig rig({"1=Q"});
        rig.focus(rig.key(1));
        QTest::keyClick(rig.key(1), Qt::Key_Tab);
        QVERIFY(rig.key(1)->hasFocus());
        QTest::keyClick(rig.window.windowHandle(), Qt::Key_Alt);  // the window system's path
        QCOMPARE(rig.window.menuBar()->activeAction(), nullptr);
        QCOMPARE(rig.row(1), QString());
        rig.focus(rig.lines->line(1).string);  // elsewhere Alt does reach the menu bar
        QTest::keyClick(rig.window.windowHandle(), Qt::Key_Alt);
        QVERIFY(rig.window.menuBar()->activeAction() != nullptr);
    }

    void printScreen_data()
    {
        QTest::addColumn<int>("target");  // 0 key field, 1 string field, 2 button
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("name");
        QTest::newRow("string field, line 5") << 1 << 5 << "PRSCN";
        QTest::newRow("key field, page 1") << 0 << 44 << "PRSCN";
        QTest::newRow("button") << 2 << 5 << "Q";
    }
    void printScreen()
    {
        QFETCH(int, target);
        QFETCH(int, row);
        QFETCH(QString, name);
        Rig rig({"2=PRSCN", QStringLiteral("%1=Q").arg(row)}, row / 24);
        QWidget* widgets[] = {rig.key(row % 24), rig.lines->line(row % 24).string, rig.button};
        rig.focus(widgets[target]);
        QTest::keyClick(widgets[target], Qt::Key_Print);
        QCOMPARE(rig.key(row % 24)->text(), name);
        QCOMPARE(rig.row(row), name);
        QVERIFY(rig.messages.texts.isEmpty() && !rig.namer.flag());
    }
};

QTEST_MAIN(TstKeyCapture)
#include "tst_key_capture.moc"
