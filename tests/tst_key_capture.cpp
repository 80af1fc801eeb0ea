#include "model/key_table.h"
#include "model/messages.h"
#include "model/row_table.h"
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

#include <memory>

namespace {

class RecordedMessages final : public Messages {
public:
    void info(const QString& text) override { texts.append(text); }
    bool confirm(const QString& text, const QString&) override
    {
        texts.append(text);
        return false;
    }
    void beep() override {}
    QStringList texts;
};

QString warning(int row)
{
    return QStringLiteral("WARNING .. this same key already overridden (position %1)").arg(row);
}

// A window with a menu bar, the 24 lines of a page and a button, with key
// capture attached as the main window attaches it.
struct Rig final {
    Rig()
    {
        window.menuBar()->addMenu(QStringLiteral("&File"))->addAction(QStringLiteral("Open"));
        auto* central = new QWidget(&window);
        window.setCentralWidget(central);
        const twips::Placer placer(96);
        lines = new RowLines(central, placer, rows, messages, QStringLiteral(QZ_SOURCE_DIR "/resources"),
                             [this] { return lengthIndex; });
        button = new QPushButton(QStringLiteral("Read"), central);
        placer.place(button, 360, 8640, 2175, 615);
        capture = std::make_unique<KeyCapture>(*lines, rows, namer, messages, [this] { return lengthIndex; });
        window.resize(1000, 760);
    }

    bool activate()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    void showPage(int page)
    {
        lines->setCurrentPage(page);
        lines->showPage(page);
        lines->refreshPageRows();
    }

    KeyField* key(int line) const { return lines->line(line).key; }
    QLineEdit* string(int line) const { return lines->line(line).string; }
    QString rowKey(int row) const { return rows.keyNames.at(static_cast<std::size_t>(row)); }

    QMainWindow window;
    RowTable rows;
    RecordedMessages messages;
    KeyNamer namer;
    int lengthIndex = 5;  // 6 characters, 36 usable rows
    RowLines* lines = nullptr;
    QPushButton* button = nullptr;
    std::unique_ptr<KeyCapture> capture;
};

using Presses = QList<QPair<int, int>>;  // Qt key, modifiers

}  // namespace

Q_DECLARE_METATYPE(Presses)

class TstKeyCapture : public QObject {
    Q_OBJECT

private slots:
    void assignment_data()
    {
        QTest::addColumn<QStringList>("held");  // "row=name" already on rows
        QTest::addColumn<int>("lengthIndex");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("line");
        QTest::addColumn<Presses>("presses");
        QTest::addColumn<QString>("fieldText");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("rowKey");
        QTest::addColumn<QStringList>("warnings");

        const Presses a{{Qt::Key_A, Qt::NoModifier}};
        QTest::newRow("A on line 3 of page 1") << QStringList() << 5 << 1 << 3 << a << "A" << 27 << "A" << QStringList();
        QTest::newRow("same key again on its own row")
            << QStringList{"27=A"} << 5 << 1 << 3 << a << "A" << 27 << "A" << QStringList();
        QTest::newRow("key held by row 27")
            << QStringList{"27=A", "5=Q"} << 5 << 0 << 5 << a << "Q" << 5 << "Q" << QStringList{warning(27)};
        QTest::newRow("one warning per row holding it")
            << QStringList{"2=A", "30=A"} << 5 << 0 << 0 << a << "" << 0 << "" << QStringList{warning(2), warning(30)};
        QTest::newRow("held only beyond capacity") << QStringList{"36=A", "40=A"} << 5 << 0 << 4 << a << "A" << 4 << "A"
                                                   << QStringList();
        QTest::newRow("shift A is A") << QStringList{"8=Q"} << 5 << 0 << 8 << Presses{{Qt::Key_A, Qt::ShiftModifier}}
                                      << "A" << 8 << "A" << QStringList();
        QTest::newRow("shift 1 is 1") << QStringList() << 5 << 0 << 1 << Presses{{Qt::Key_Exclam, Qt::ShiftModifier}}
                                      << "1" << 1 << "1" << QStringList();
        for (const auto& [name, key] : {std::pair{"Alt", Qt::Key_Alt}, std::pair{"Ctrl", Qt::Key_Control},
                                        std::pair{"Caps Lock", Qt::Key_CapsLock}, std::pair{"Shift", Qt::Key_Shift}}) {
            QTest::newRow(qPrintable(QStringLiteral("%1 empties").arg(name)))
                << QStringList{"3=Q"} << 5 << 0 << 3 << Presses{{key, Qt::NoModifier}} << "" << 3 << ""
                << QStringList();
        }
        QTest::newRow("line beyond capacity still captures")
            << QStringList() << 9 << 0 << 23 << Presses{{Qt::Key_F5, Qt::NoModifier}} << "F5" << 23 << "F5"
            << QStringList();
        QTest::newRow("tab names itself") << QStringList() << 5 << 0 << 2 << Presses{{Qt::Key_Tab, Qt::NoModifier}}
                                          << "TAB" << 2 << "TAB" << QStringList();
        QTest::newRow("shift tab too") << QStringList() << 5 << 0 << 2
                                       << Presses{{Qt::Key_Backtab, Qt::ShiftModifier}} << "TAB" << 2 << "TAB"
                                       << QStringList();
        QTest::newRow("tab held elsewhere is refused")
            << QStringList{"9=TAB", "2=Z"} << 5 << 0 << 2 << Presses{{Qt::Key_Tab, Qt::NoModifier}} << "Z" << 2 << "Z"
            << QStringList{warning(9)};
        QTest::newRow("keypad 7 with num lock")
            << QStringList{"14=Home"} << 5 << 0 << 1 << Presses{{Qt::Key_7, Qt::KeypadModifier}} << "KPhome" << 1
            << "KPhome" << QStringList();
        QTest::newRow("home when the keypad one is held")
            << QStringList{"14=KPhome"} << 5 << 0 << 1 << Presses{{Qt::Key_Home, Qt::NoModifier}} << "Home" << 1
            << "Home" << QStringList();
        QTest::newRow("both names of the pair held") << QStringList{"14=KPhome", "15=Home"} << 5 << 0 << 1
                                                     << Presses{{Qt::Key_Home, Qt::NoModifier}} << "" << 1 << ""
                                                     << QStringList{warning(15)};
        QTest::newRow("print screen press alone does nothing")
            << QStringList{"6=Q"} << 5 << 0 << 6 << Presses() << "Q" << 6 << "Q" << QStringList();
    }
    void assignment()
    {
        QFETCH(QStringList, held);
        QFETCH(int, lengthIndex);
        QFETCH(int, page);
        QFETCH(int, line);
        QFETCH(Presses, presses);
        QFETCH(int, row);

        Rig rig;
        for (const QString& entry : held) {
            const QStringList parts = entry.split(QLatin1Char('='));
            rig.rows.keyNames.at(parts.at(0).toUInt()) = parts.at(1);
        }
        rig.lengthIndex = lengthIndex;
        rig.showPage(page);
        if (presses.isEmpty())
            QTest::keyPress(rig.key(line), Qt::Key_Print);
        for (const auto& [key, modifiers] : presses)
            QTest::keyClick(rig.key(line), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

        QTEST(rig.key(line)->text(), "fieldText");
        QTEST(rig.rowKey(row), "rowKey");
        QTEST(rig.messages.texts, "warnings");
        // The rows that held a key before keep it, whatever happened.
        for (const QString& entry : held) {
            const QStringList parts = entry.split(QLatin1Char('='));
            if (parts.at(0).toInt() != row)
                QCOMPARE(rig.rowKey(parts.at(0).toInt()), parts.at(1));
        }
    }

    void pairAlternatesOnAnEmptyLine()
    {
        Rig rig;
        rig.showPage(0);
        QTest::keyClick(rig.key(4), Qt::Key_Home);
        const QString first = rig.key(4)->text();
        QTest::keyClick(rig.key(4), Qt::Key_Home);
        const QString second = rig.key(4)->text();
        QCOMPARE(QSet<QString>({first, second}), QSet<QString>({"KPhome", "Home"}));
        QCOMPARE(rig.rowKey(4), second);
        QVERIFY(rig.messages.texts.isEmpty());
    }

    void tabKeepsTheFocus()
    {
        Rig rig;
        rig.showPage(0);
        QVERIFY(rig.activate());
        rig.key(2)->setFocus();
        QTRY_VERIFY(rig.key(2)->hasFocus());
        QTest::keyClick(rig.key(2), Qt::Key_Tab);
        QVERIFY(rig.key(2)->hasFocus());
        QTest::keyClick(rig.key(2), Qt::Key_Backtab, Qt::ShiftModifier);
        QVERIFY(rig.key(2)->hasFocus());
        QCOMPARE(rig.key(2)->text(), QStringLiteral("TAB"));
    }

    void altDoesNotOpenTheMenuBar_data()
    {
        QTest::addColumn<bool>("inKeyField");
        QTest::newRow("key field") << true;
        QTest::newRow("string field") << false;
    }
    void altDoesNotOpenTheMenuBar()
    {
        QFETCH(bool, inKeyField);
        Rig rig;
        rig.rows.keyNames.at(1) = QStringLiteral("Q");
        rig.showPage(0);
        QVERIFY(rig.activate());
        QWidget* target = inKeyField ? static_cast<QWidget*>(rig.key(1)) : rig.string(1);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        // Through the window system's path, where the menu bar watches for Alt.
        QTest::keyClick(rig.window.windowHandle(), Qt::Key_Alt);
        QApplication::processEvents();
        if (inKeyField) {
            QCOMPARE(rig.window.menuBar()->activeAction(), nullptr);
            QCOMPARE(rig.key(1)->text(), QString());
            QCOMPARE(rig.rowKey(1), QString());
        } else {
            // Elsewhere Alt still reaches the menu bar, so the check above means something.
            QVERIFY(rig.window.menuBar()->activeAction() != nullptr);
            QCOMPARE(rig.rowKey(1), QStringLiteral("Q"));
        }
    }

    void questionMarkOnCharacterKeys_data()
    {
        // The characters the desktop sends with each key.
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("marked");
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << true;
        QTest::newRow("refused letter") << int(Qt::Key_B) << "b" << true;
        QTest::newRow("escape") << int(Qt::Key_Escape) << "\x1b" << true;
        QTest::newRow("tab") << int(Qt::Key_Tab) << "\t" << true;
        QTest::newRow("delete") << int(Qt::Key_Delete) << "\x7f" << false;
        QTest::newRow("function key") << int(Qt::Key_F1) << "" << false;
        QTest::newRow("arrow") << int(Qt::Key_Up) << "" << false;
        QTest::newRow("alt") << int(Qt::Key_Alt) << "" << false;
    }
    void questionMarkOnCharacterKeys()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(bool, marked);
        Rig rig;
        rig.rows.keyNames.at(20) = QStringLiteral("B");
        rig.rows.pictures.at(3) = StatusPicture::CheckMark;
        rig.rows.pictureShown.at(3) = true;
        rig.showPage(0);
        QLabel* image = rig.lines->line(3).image;
        const QImage before = image->pixmap().toImage();
        QTest::sendKeyEvent(QTest::Click, rig.key(3), Qt::Key(key), text, Qt::NoModifier);
        const QImage question(QStringLiteral(QZ_SOURCE_DIR "/resources/question-mark.gif"));
        QVERIFY(!question.isNull());
        QCOMPARE(image->pixmap().toImage() == question.convertToFormat(image->pixmap().toImage().format()), marked);
        if (!marked)
            QCOMPARE(image->pixmap().toImage(), before);
        // The row's own picture is not touched.
        QCOMPARE(rig.rows.pictures.at(3), StatusPicture::CheckMark);
        QVERIFY(rig.rows.pictureShown.at(3));
    }

    void printScreen_data()
    {
        QTest::addColumn<QString>("focus");  // "key", "string" or "button"
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("taken");
        QTest::newRow("string field of line 5") << "string" << 0 << 5 << 5 << true;
        QTest::newRow("key field on page 1") << "key" << 1 << 7 << 31 << true;
        QTest::newRow("key field beyond capacity") << "key" << 1 << 20 << 44 << true;
        QTest::newRow("button") << "button" << 0 << 5 << 5 << false;
    }
    void printScreen()
    {
        QFETCH(QString, focus);
        QFETCH(int, page);
        QFETCH(int, line);
        QFETCH(int, row);
        QFETCH(bool, taken);
        Rig rig;
        rig.rows.keyNames.at(static_cast<std::size_t>(row)) = QStringLiteral("Q");
        rig.rows.keyNames.at(2) = QStringLiteral("PRSCN");  // no duplicate check for this key
        rig.showPage(page);
        QVERIFY(rig.activate());
        QWidget* target = focus == QLatin1String("key")      ? static_cast<QWidget*>(rig.key(line))
                          : focus == QLatin1String("string") ? static_cast<QWidget*>(rig.string(line))
                                                             : static_cast<QWidget*>(rig.button);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        QTest::keyClick(target, Qt::Key_Print);

        const QString expected = taken ? QStringLiteral("PRSCN") : QStringLiteral("Q");
        QCOMPARE(rig.key(line)->text(), expected);
        QCOMPARE(rig.rowKey(row), expected);
        QCOMPARE(rig.rowKey(2), QStringLiteral("PRSCN"));
        QVERIFY(rig.messages.texts.isEmpty());
        QVERIFY(!rig.namer.flag());  // the press moved no alternation
    }

    void endsCleanlyWhateverGoesFirst()
    {
        // The window may take its lines down before key capture, or the other way.
        auto rig = std::make_unique<Rig>();
        delete rig->lines;
        rig->lines = nullptr;
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Print, Qt::NoModifier);
        QApplication::sendEvent(rig->button, &release);
        rig->capture.reset();
        rig.reset();

        Rig second;
        second.capture.reset();
        QTest::keyClick(second.key(0), Qt::Key_A);  // a plain read-only field now
        QCOMPARE(second.rowKey(0), QString());
    }
};

QTEST_MAIN(TstKeyCapture)
#include "tst_key_capture.moc"
