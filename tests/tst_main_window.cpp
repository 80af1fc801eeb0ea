// The window: start, menus, help, printing, file commands, settings, and its status panel.
#include "device/event_loop_waiter.h"
#include "files/settings.h"
#include "support/data_row.h"
#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/config_dialog.h"
#include "ui/help_pane.h"
#include "ui/operation_runner.h"
#include "ui/paint_pacer.h"
#include "ui/status_panel.h"
#include "ui/twips.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QtTest>

using test_data::row;
using test_files::writeAll;
using ui_test::WindowRig;

namespace {

// "name=caption" of each item of a menu or of the menu bar.
QString items(const QWidget* owner)
{
    QStringList names;
    for (QAction* action : owner->actions())
        names << action->objectName() + '=' + action->text();
    return names.join(' ');
}

// Whether the help pane shows over the rest and its button above it: they are the two topmost controls not hidden.
bool helpOnTop(const WindowRig& rig)
{
    QList<QObject*> shown;
    for (QObject* child : rig.panes().help->parentWidget()->children())
        if (child->isWidgetType() && !static_cast<QWidget*>(child)->isHidden())
            shown << child;
    return shown.mid(shown.size() - 2) == QList<QObject*>({rig.panes().help, rig.panes().helpClose});
}

const QStringList kGated{"PreviousPage", "NextPage", "StrConfig", "Read", "Send", "VerifyBtn", "GetVersionBtn"};

// A status panel on a plain shown widget, with recorded boxes and scripted dialogs.
struct PanelRig final {
    PanelRig() : panel(&host, twips::Placer(96), messages, dialogs)
    {
        host.resize(1000, 720);
        host.show();
    }
    QString path(const QString& name = QStringLiteral("logs/status.log")) const { return dir.filePath(name); }
    QByteArray log() const { return test_files::readAll(path()); }
    void tick(const std::optional<QString>& answer)
    {
        dialogs.answers << answer;
        panel.logBox()->click();
    }

    QTemporaryDir dir;
    QWidget host;
    fakedev::RecordingMessages messages;
    ui_test::ScriptedFileDialogs dialogs;
    StatusPanel panel;
};

// Counts the paint events a widget receives.
struct PaintCounter final : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};
}  // namespace

class TstMainWindow : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private slots:
    // Keeps ~/.config out of it, and the user's folder is this run's own: another run of the suite at the
    // same time (CI beside a developer's run) would otherwise empty it under this one.
    void initTestCase()
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        QStandardPaths::setTestModeEnabled(true);
    }
    void init() { QDir(settings_file::userFolder()).removeRecursively(); }

    // The Settings frame's port, baud and parity labels and the text given to the port; a value the port refuses is
    // named in one box, and the frame shows the default in use. The port is never opened, no file is made.
    void startUpReadsTheSettings_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QString>("settingsText");
        QTest::addColumn<bool>("refused");
        row("no file", QByteArray(), QStringList{"COM1", "9600", "NONE"}, "9600,N,8,2", false);
        row("PORT=x", QByteArray("[COMSETTINGS]\r\nPORT=x\r\nBAUD=4800\r\n"), QStringList{"COM1", "4800", "NONE"},
            "4800,N,8,2", true);
        // A lower-case parity letter goes to the port unchanged; the label keeps its caption.
        row("lower-case parity", QByteArray("[COMSETTINGS]\r\nPORT=4\r\nPARITY=e\r\n"), QStringList{"COM4", "9600", ""},
            "9600,e,8,2", false);
        row("refused baud", QByteArray("[COMSETTINGS]\r\nBAUD=zz\r\nPARITY=E\r\n"), QStringList{"COM1", "9600", "EVEN"},
            "9600,E,8,2", true);
        row("refused parity", QByteArray("[COMSETTINGS]\r\nBAUD=4800\r\nPARITY=Q\r\n"),
            QStringList{"COM1", "4800", "NONE"}, "4800,N,8,2", true);
    }
    void startUpReadsTheSettings()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, refused);
        WindowRig rig(ini);
        const window_layout::SettingsFrame& frame = rig.window->settingsFrame();
        QTEST((QStringList{frame.port->text(), frame.baud->text(), frame.parity->text()}), "labels");
        QTEST(rig.link.settingsText(), "settingsText");
        QCOMPARE(rig.messages.infos.size(), refused ? 1 : 0);
        for (const QString& info : rig.messages.infos)
            QVERIFY2(info.contains(QRegularExpression("^Error detected - .")), qPrintable(info));
        QCOMPARE(rig.link.openCount(), 0);
        QCOMPARE(QFile::exists(rig.iniPath()), !ini.isNull());
    }

    // What an operator reads at start: captions (a wrapped one keeps its words) and menus; the panes start hidden.
    void startUpCaptionsAndMenus()
    {
        WindowRig rig;
        QCOMPARE(rig.window->windowTitle(), "QZ4VELD CONFIGURATION v1.02");
        QCOMPARE(rig.find<QPushButton>("Read")->text().replace('\n', ' '), "Read Key Outputs From QZ4VELD");
        QCOMPARE(qobject_cast<QGroupBox*>(rig.window->settingsFrame().port->parentWidget())->title(), "Settings");
        const window_layout::HiddenPanes& panes = rig.panes();
        for (const QWidget* hidden : std::initializer_list<const QWidget*>{
                     panes.notes, panes.notesPointer, panes.help, panes.helpClose, rig.status().completionLabel(),
                     rig.status().progressBar(), rig.status().progressLabel(), rig.status().percentLabel()})
            QVERIFY2(!hidden->isVisibleTo(rig.window.get()), qPrintable(hidden->objectName()));
        QCOMPARE(items(rig.window->menuBar()),
                 "FileMenu=File Config=Configuration ClearAll=Clear All prscr=Print Screen HelpMenu=Help");
        QCOMPARE(
                items(rig.find<QMenu>("File")),
                "FOpen=Open FSave=Save SaveAs=Save As = Undo=Undo Redo=Redo = ProductionStation=Production Station...");
        QCOMPARE(items(rig.find<QMenu>("Help")),
                 "OverView=OverView EnterKey=Entering Keyboard Keys CreateString=Creating Output Strings "
                 "VerifyOp=Verifying Operation Misc=Miscellaneous CloseHelp=Close");
    }

    // One run at a time, and nothing replaces the table or the port under it: while an operation runs, the seven
    // controls and the commands that would replace the table or the port are off and do nothing when triggered
    // (Configuration's SAVE would close the port under a Send, Open would load a file into the rows a Read fills); the
    // menu bar, Help, Print Screen, the lines and the log switch stay on. Afterwards all come back, both page buttons
    // even on the first page. A run's lines reach the list only once it ends, never from one wait to the next (this
    // waiter runs no event loop).
    void oneRunAtATime_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("completion");
        row("Clear All during the version query", "GetVersionBtn", "ClearAll", "Operation Successful");
        row("SAVE during Send", "Send", "Config", "Successful Operation");
        row("Open during Read", "Read", "FOpen", "Successful Read");
    }
    void oneRunAtATime()
    {
        QFETCH(QString, button);
        QFETCH(QString, command);
        WindowRig rig;
        const QString other = rig.folder.filePath("other.cfg");
        QVERIFY(writeAll(other, "String Length = 2\r\n00\tF1\tzz\r\n"));
        rig.dialogs.answers = {other};
        rig.run("ClearAll");  // a step to undo
        rig.device.setSlot(0, 0x1C, QByteArray("x\ry"));  // key A
        const QStringList commands{"FOpen", "FSave", "SaveAs", "Undo", "Config", "ClearAll", "ProductionStation"};
        const auto offNow = [&] {
            QStringList off;
            for (const QString& name : kGated + QStringList{"MenuBar", "KeyString_0", "LogCheckbox"})
                off << (rig.find<QWidget>(name)->isEnabled() ? "" : name);
            for (const QString& name : commands + QStringList{"Misc"})
                off << (rig.find<QAction>(name)->isEnabled() ? "" : name);
            off << (rig.menus().print->isEnabled() ? "" : "Print Screen");
            return off.filter(QRegularExpression("."));
        };
        QStringList off;
        auto* list = rig.find<QListWidget>("StatusBox");
        int before = list->count(), changed = 0;
        rig.waiter.setOnEvents([&] {
            changed += list->count() != before;
            if (!off.isEmpty())
                return;
            off = offNow();
            QTimer::singleShot(0, [] {
                if (auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget()))
                    dialog->save();
            });
            rig.run(qPrintable(command));
        });
        rig.click(qPrintable(button));
        QTEST(rig.status().completionLabel()->text(), "completion");
        QCOMPARE(rig.configLabel(), "None");
        QCOMPARE(rig.keyString(0)->text(), button == "Read" ? "x{0D}y" : "");
        QCOMPARE(rig.messages.infos, QStringList());
        QCOMPARE(off, kGated + commands);
        QCOMPARE(offNow(), QStringList());
        QCOMPARE(changed, 0);
        QVERIFY(list->count() > 1);
        if (button == "GetVersionBtn")
            QCOMPARE(list->item(list->count() - 1)->text().left(10), "Version = ");
    }

    // A leftover error is reported, and the controls come back; a close arriving from the nested event loop of a delay
    // ends the operation, then the window.
    void leftoverErrorAndClose()
    {
        WindowRig rig;
        rig.window->operations().run([&](OperationContext& context) {
            context.view.disableControls();
            throw std::runtime_error("port vanished");
        });
        QCOMPARE(rig.messages.infos, QStringList{"Error detected - port vanished"});
        for (const QString& name : kGated)
            QVERIFY2(rig.find<QWidget>(name)->isEnabled(), qPrintable(name));
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!rig.window->operations().running());
        EventLoopWaiter waiter;  // the program's own
        MainWindow window(
                MainWindowServices{rig.link, waiter, rig.messages, rig.dialogs, rig.print, rig.folder.path(), {}});
        window.start();
        QTimer::singleShot(30, &window, &QWidget::close);
        int delays = 0, nested = 0;
        window.operations().run([&](OperationContext& context) {
            window.operations().run([&](OperationContext&) { ++nested; });  // one operation at a time
            context.link.open();
            for (; delays < 100000; ++delays)
                context.waiter.delay(5);
        });
        QVERIFY(delays < 100000);
        QCOMPARE(nested, 0);
        QVERIFY(!rig.link.isOpen());
        QVERIFY(!window.isVisible());
        QCOMPARE(rig.messages.infos.size(), 1);
    }

    // Each item loads its own file, also over another open page ("Verifying Operation" is Verify.htm); the button and
    // Help > Close leave the same state. The pane lies at left 200, top 2000 twips, 600 twips narrower and 2700 lower
    // than the window's outer size at the moment of the choice.
    void helpPages()
    {
        WindowRig rig("[GENERAL]\r\nENABLESTRINGS=1\r\n");
        rig.clickCount(3);  // the notes box, shown after the pane was made: the pane still goes over it
        for (const HelpPane::Page& page : HelpPane::kPages)
            QFile::copy(QStringLiteral(QZ_SOURCE_DIR "/resources/") + QLatin1String(page.file),
                        rig.folder.filePath(QLatin1String(page.file)));
        QTextBrowser* browser = rig.panes().help;
        const QStringList files{"OverView.htm", "EnterKey.htm", "CreateString.htm", "Verify.htm", "Misc.htm"};
        const QStringList items{"OverView", "EnterKey", "CreateString", "VerifyOp", "Misc"};
        for (int i = 0; i < items.size(); ++i) {
            rig.run(qPrintable(items.at(i)));
            QCOMPARE(browser->source(), QUrl::fromLocalFile(rig.folder.filePath(files.at(i))));
            QVERIFY(browser->toPlainText().size() > 100);
        }
        for (const bool byButton : {true, false}) {
            byButton ? rig.panes().helpClose->click() : rig.menus().closeHelp->trigger();
            QVERIFY(browser->isHidden());
            QVERIFY(rig.panes().helpClose->isHidden());
            rig.window->resize(QSize(1200, 1200) / (byButton ? 1 : 2));
            rig.run("Misc");
            const QSize outer = rig.window->frameGeometry().size();
            QCOMPARE(browser->geometry(),
                     QRect(rig.px(200), rig.px(2000), outer.width() - rig.px(600), outer.height() - rig.px(2700)));
            QVERIFY(helpOnTop(rig));
        }
        // A missing page gives a notice naming it, no message box; once back, the item shows the page again.
        const QString path = rig.folder.filePath("Verify.htm");
        QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
        rig.run("VerifyOp");
        QVERIFY(helpOnTop(rig));
        QCOMPARE(rig.messages.infos, QStringList());
        QCOMPARE(browser->toPlainText(), HelpPane::missingNotice(path));
        QVERIFY(QFile::rename(path + QStringLiteral(".away"), path));
        rig.run("VerifyOp");
        QVERIFY(!browser->toPlainText().contains(QStringLiteral("was not found")));
    }

    // The menu command asks the dialog once; a cancel or an unwritable file leaves no file and no message; a confirmed
    // PDF holds the window's picture.
    void print()
    {
        WindowRig rig;
        ui_test::PdfAnswer& dialog = rig.print;
        for (const auto& [name, confirm] :
             {std::pair("screen.pdf", false), std::pair("no/such/screen.pdf", true), std::pair("screen.pdf", true)}) {
            const bool printed = confirm && !QString(name).contains('/');
            std::tie(dialog.path, dialog.confirm) = std::tuple(rig.folder.filePath(name), confirm);
            if (confirm && !printed)
                QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
            const int asked = dialog.asked;
            rig.menus().print->trigger();
            QCOMPARE(dialog.asked, asked + 1);
            const QByteArray pdf = test_files::readAll(dialog.path);
            QCOMPARE(pdf.startsWith("%PDF"), printed);
            QCOMPARE(pdf.contains("/Subtype /Image"), printed);
        }
        QCOMPARE(rig.messages.infos, QStringList());
        // Without a printer the dialog starts on a landscape PDF in the home folder. The picture is as large as the
        // area allows with the proportions kept, at the top, centred across.
        QPrinter printer;
        ScreenPrint::prepare(printer, false);
        QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
        QCOMPARE(printer.outputFileName(), QDir::home().filePath(QStringLiteral("qz4veld-screen.pdf")));
        QCOMPARE(printer.pageLayout().orientation(), QPageLayout::Landscape);
        QCOMPARE(ScreenPrint::placement(QSize(1000, 700), QRect(0, 0, 500, 800)), QRect(0, 0, 500, 350));
        QCOMPARE(ScreenPrint::placement(QSize(100, 200), QRect(0, 0, 800, 400)), QRect(300, 0, 200, 400));
        QCOMPARE(ScreenPrint::placement(QSize(20, 10), QRect(50, 20, 400, 400)), QRect(50, 20, 400, 200));
        QCOMPARE(ScreenPrint::placement(QSize(0, 0), QRect(10, 10, 400, 400)), QRect(10, 10, 0, 0));
    }

    // Save with no name, an overwrite refused, the dialog cancelled or given no name, and a failed write: the old file
    // stays whole.
    void saveRefusals()
    {
        WindowRig writer;
        writer.run("FSave");
        QCOMPARE(writer.messages.infos, QStringList{"No filename entered"});
        const QString path = writer.folder.filePath(QStringLiteral("old.cfg"));
        QVERIFY(writeAll(path, "old"));
        writer.window->setConfigFileName(path);
        writer.messages.confirmAnswer = false;
        writer.dialogs.answers = {std::nullopt, QString(), path};  // cancel, empty name, existing file
        for (const char* action : {"FSave", "SaveAs", "SaveAs", "SaveAs"})
            writer.run(action);
        QCOMPARE(writer.messages.infos, QStringList(2, "No filename entered"));
        QCOMPARE(writer.messages.confirms, QStringList(2, "Confirm: File exists -- want to overwrite? Y/N"));
        QCOMPARE(writer.dialogs.filters, QStringList(3, "QZ4VELDT (*.cfg)"));
        QCOMPARE(test_files::readAll(path), QByteArray("old"));
        writer.messages.confirmAnswer = true;
        {
            test_files::FileSizeLimit full(100);  // a full disk fails for any user, root included
            writer.run("FSave");
        }
        QCOMPARE(writer.messages.infos.size(), 3);
        QVERIFY2(writer.messages.infos.at(2).startsWith("Error saving file "), qPrintable(writer.messages.infos.at(2)));
        QCOMPARE(test_files::readAll(path), QByteArray("old"));
    }

    // Save As over a file asks, then Save asks again; a new file is written without a question and the label stays.
    // Open in a fresh window: string length 10 (the last entry) and the rows come back, on the first page; a Read
    // clicked while the file loads does nothing.
    void saveAsThenOpen()
    {
        WindowRig writer;
        RowTable& out = writer.window->rows();
        writer.window->selectStringLengthIndex(9);
        std::tie(out.keyNames.at(0), out.strings.at(0), out.notes.at(0)) = std::tuple("F1", "ABCDEFGHIJ", "two\nlines");
        const QString path = writer.folder.filePath(QStringLiteral("old.cfg"));
        const QString round = writer.folder.filePath(QStringLiteral("round.cfg"));
        QVERIFY(writeAll(path, "old"));
        writer.dialogs.answers = {path, round};
        writer.run("SaveAs");
        QCOMPARE(writer.messages.confirms.size(), 2);
        writer.run("SaveAs");
        QCOMPARE(writer.messages.confirms.size(), 2);
        QCOMPARE(writer.messages.infos, QStringList(2, "Save Successful"));
        QCOMPARE(writer.configLabel(), QStringLiteral("None"));

        WindowRig reader;
        reader.click("NextPage");
        reader.dialogs.answers = {round};
        QTimer::singleShot(0, [&] { reader.click("Read"); });
        reader.run("FOpen");
        QCOMPARE(reader.link.openCount(), 0);
        QCOMPARE(reader.dialogs.filters, QStringList{"QZ4VEL (*.cfg);;All Files (*)"});
        QCOMPARE(reader.messages.infos, QStringList());
        QCOMPARE(reader.configLabel(), "round.cfg");
        QCOMPARE(reader.window->configFileName(), round);
        QCOMPARE(reader.window->currentPage(), 0);
        QCOMPARE(reader.keyString(0)->text(), "ABCDEFGHIJ");
        QCOMPARE(reader.controls().strConfig->currentIndex(), 9);
        QVERIFY(reader.window->rows().keyNames == out.keyNames);
        QVERIFY(reader.window->rows().strings == out.strings);
        QVERIFY(reader.window->rows().notes == out.notes);
    }

    // A cancelled Open changes nothing. A bad string-length line stops the load: rows read before it stay and the page
    // is not redrawn; a bad row line is reported and reading goes on. A missing file is reported, and the label names
    // it.
    void openReportsBadLines()
    {
        WindowRig reader;
        reader.window->selectStringLengthIndex(0);  // room for a second page
        reader.click("NextPage");
        const QString bad = reader.folder.filePath(QStringLiteral("dir\\bad.cfg"));
        QVERIFY(writeAll(bad, "String Length = 3\r\n00\tF7\r\n-3\tF2\r\n01\tF8\r\nString Length = 11\r\n02\tF4\r\n"));
        reader.dialogs.answers = {std::nullopt, bad, reader.folder.filePath(QStringLiteral("gone.cfg"))};
        reader.run("FOpen");
        QCOMPARE(reader.configLabel(), "None");
        reader.run("FOpen");
        QCOMPARE(reader.messages.infos.size(), 2);
        QVERIFY(reader.messages.infos.at(0).startsWith("Error extracting info from config file. Row number \"-3\""));
        QVERIFY(reader.messages.infos.at(1).startsWith("Error opening specified config file. String length \"11\""));
        const RowTable& rows = reader.window->rows();
        QCOMPARE(QStringList(rows.keyNames.begin(), rows.keyNames.begin() + 3), QStringList({"F7", "F8", ""}));
        QCOMPARE(reader.window->stringLength(), 3);
        QCOMPARE(reader.window->currentPage(), 1);
        QCOMPARE(reader.configLabel(), QStringLiteral("bad.cfg"));
        reader.run("FOpen");
        QCOMPARE(reader.messages.infos.size(), 3);
        QVERIFY(reader.messages.infos.at(2).startsWith("Error opening specified"));
        QCOMPARE(reader.configLabel(), QStringLiteral("gone.cfg"));
    }

    // SAVE in a window whose program folder cannot be written writes the user's file and says so once per run; a
    // dialog opened and closed makes no file. Root writes past permission bits, so for root the folder is /proc, where
    // no one can create a file.
    void saveGoesToTheUsersCopy()
    {
        QTemporaryDir installed;
        QFile::setPermissions(installed.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString folder = settings_file::folderWritable(installed.path()) ? "/proc" : installed.path();
        QVERIFY(settings_file::locate(folder).savesToUser);
        WindowRig rig;
        rig.programFolder = folder;
        rig.restart();
        const QString userIni = settings_file::pathIn(settings_file::userFolder());
        for (int round = 0; round < 3; ++round) {
            QTimer::singleShot(0, this, [round] {
                auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                if (round == 0)
                    return dialog->reject();  // opened and closed: no file is made
                dialog->parityList()->setCurrentIndex(1);  // EVEN
                dialog->save();
                if (dialog->isVisible())  // a save that failed keeps it open: the checks below say so
                    dialog->reject();
            });
            rig.run("Config");
            QCOMPARE(QFile::exists(userIni), round > 0);
        }
        QCOMPARE(settings_file::load(userIni).settings.parity, QStringLiteral("E"));
        const auto said = rig.status().list()->findItems("cannot be written", Qt::MatchContains);
        QCOMPARE(said.size(), 1);
        QVERIFY(said.at(0)->text().contains(userIni));
        QCOMPARE(rig.messages.infos, QStringList());
    }

    // The list keeps the newest 250 lines. Each new line puts line count - 5 first in view, as far as the list scrolls,
    // even after the operator scrolled away.
    void scrollRule_data()
    {
        QTest::addColumn<int>("lines");
        for (int lines : {3, 6, 40, 300})
            QTest::addRow("%d lines", lines) << lines;
    }
    void scrollRule()
    {
        QFETCH(int, lines);
        PanelRig rig;
        for (int i = 0; i < lines - 1; ++i)
            rig.panel.add(QString::number(i));
        rig.panel.list()->scrollToTop();
        const int count = std::min(lines, int(StatusPanel::kMaxLines));
        QCOMPARE(rig.panel.add(QStringLiteral("last")), count - 1);
        QCOMPARE(rig.panel.count(), count);
        QCOMPARE(rig.panel.line(0), QString::number(lines - count));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel.setLine(count, QStringLiteral("x")));
        const int maximum = rig.panel.list()->verticalScrollBar()->maximum();
        QCOMPARE(rig.panel.firstVisibleLine(), count > 5 ? std::min(count - 5, maximum) : 0);
        QCOMPARE(rig.panel.firstVisibleLine() > 0, lines >= 40);
    }

    // A line wider than the list wraps within its item, never cut nor scrolled sideways, also in a word longer than a
    // row (a device path); the newest line stays in view even when the last five are wrapped.
    void longLinesWrap()
    {
        PanelRig rig;
        QListWidget* list = rig.panel.list();
        rig.panel.add("short");
        const int oneRow = list->visualItemRect(list->item(0)).height();
        for (int i = 0; i < 4; ++i)
            rig.panel.add(
                    QStringLiteral("The device now holds an incomplete table: rows 0 to 19 written. ").repeated(2));
        rig.panel.add("Cannot open /dev/serial/by-id/usb-" + QString("x").repeated(120));
        const QRect newest = list->visualItemRect(list->item(5));
        QVERIFY(newest.height() >= 2 * oneRow);
        QVERIFY(list->viewport()->rect().contains(newest));
    }

    // The lines and progress steps of one wait reach the screen together: the list and the bar are painted once each
    // when the event loop next runs, not once per change. The bar, with its labels, is shown and hidden as a whole, and
    // is never a busy indicator. While an operation runs, lines, progress and percentage reach the widgets from the
    // event loop, in one batch and in order, never from the code that writes the next command; reads through the panel
    // see every line at once, and the end of the run shows what is held.
    void repaintsAndBatches()
    {
        PanelRig rig;
        rig.panel.showProgress();
        QVERIFY(rig.panel.percentLabel()->isVisible());
        QVERIFY(rig.panel.progressLabel()->isVisible());
        rig.panel.setProgressMaximum(0);
        QVERIFY(rig.panel.progressBar()->maximum() > 0);
        rig.panel.setProgressMaximum(10);
        QListWidget* lines = rig.panel.list();
        rig.panel.setBatched(true);
        for (int i = 1; i <= 3; ++i) {
            rig.panel.add(QString::number(i));
            rig.panel.setProgressValue(i);
            rig.panel.setPercentText(QString::number(i * 10) + '%');
        }
        QCOMPARE(lines->count(), 0);
        QCOMPARE(rig.panel.progressBar()->value(), 0);
        QCOMPARE(rig.panel.count(), 3);
        QTRY_COMPARE(lines->count(), 3);
        QCOMPARE(rig.panel.progressBar()->value(), 3);
        QCOMPARE(rig.panel.percentLabel()->text(), "30%");
        rig.panel.add("4");
        QCOMPARE(rig.panel.line(3), "4");
        rig.panel.add("5");
        rig.panel.setBatched(false);
        QCOMPARE(lines->count(), 5);
        QCOMPARE(lines->item(4)->text(), "5");
        QCoreApplication::processEvents();
        PaintCounter bar(rig.panel.progressBar());
        PaintCounter list(rig.panel.list()->viewport());
        for (int i = 1; i <= 9; ++i) {
            rig.panel.add(QString::number(i));
            rig.panel.setProgressValue(i);
        }
        QCOMPARE(bar.paints, 0);
        QCoreApplication::processEvents();
        QCOMPARE(bar.paints, 1);
        QCOMPARE(list.paints, 1);
        rig.panel.hideProgress();
        QVERIFY(!rig.panel.progressBar()->isVisible());
        QVERIFY(!rig.panel.percentLabel()->isVisible());
        // Held, a window asked to repaint on every turn of the event loop repaints at most once per interval; released,
        // what was held back is painted at once.
        PaintPacer pacer(rig.host);
        pacer.setHeld(true);
        QCoreApplication::processEvents();
        PaintCounter window(&rig.host);
        QElapsedTimer elapsed;
        elapsed.start();
        for (int turn = 0; turn < 200; ++turn) {
            rig.host.update();
            QCoreApplication::processEvents();
        }
        QVERIFY(window.paints <= 1 + elapsed.elapsed() / PaintPacer::kIntervalMs);
        rig.host.update();
        const int before = window.paints;
        pacer.setHeld(false);
        QCoreApplication::processEvents();
        QCOMPARE(window.paints, before + 1);
    }

    // A tick copies the list, later lines are appended (8-bit); an untick stops that; a cancelled dialog keeps the name
    // chosen before. A failed append passes to the caller, after the line is listed.
    void tickUntickAndTickAgain()
    {
        PanelRig rig;
        QDir(rig.dir.path()).mkdir(QStringLiteral("logs"));
        rig.panel.add("A");
        rig.panel.add("B");
        rig.tick(rig.path());
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\n"));
        rig.panel.logBox()->click();  // untick: no dialog
        rig.panel.add("not logged");
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\n"));
        rig.tick(std::nullopt);
        QCOMPARE(rig.dialogs.startNames, (QStringList{QString(), rig.path()}));
        rig.panel.add(QStringLiteral("\u00e9"));
        QVERIFY(rig.panel.logBox()->isChecked());
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\nA\r\nB\r\nnot logged\r\n\xe9\r\n"));
        QDir(rig.path(QStringLiteral("logs"))).removeRecursively();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel.add(QStringLiteral("B")));
        QCOMPARE(rig.panel.line(rig.panel.count() - 1), "B");
    }

    // The answer to the dialog ("-" cancels): whether the box stays ticked, and whether one message refuses the file.
    // Nothing is written before the next line.
    void tickOutcomes_data()
    {
        QTest::addColumn<bool>("withLines");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("boxes");  // each "Cannot log to file - " and the name
        row("empty list: file made by the next line", false, "logs/status.log", true, 0);
        row("cancelled", true, "-", false, 0);
        row("empty name", true, "", false, 0);
        row("missing folder, lines", true, "missing/status.log", false, 1);
        row("missing folder, empty list", false, "missing/status.log", false, 1);
        row("a folder, empty list", false, "logs/folder", false, 1);
    }
    void tickOutcomes()
    {
        QFETCH(bool, withLines);
        QFETCH(QString, answer);
        PanelRig rig;
        QDir(rig.dir.path()).mkpath(QStringLiteral("logs/folder"));
        if (withLines)
            rig.panel.add("A");
        rig.tick(answer == "-" ? std::nullopt : std::optional<QString>(answer.isEmpty() ? answer : rig.path(answer)));
        QTEST(rig.panel.logBox()->isChecked(), "ticked");
        QTEST(int(rig.messages.infos.size()), "boxes");
        for (const QString& info : rig.messages.infos) {
            QVERIFY2(info.startsWith("Cannot log to file - "), qPrintable(info));
            QVERIFY2(info.contains(answer), qPrintable(info));
        }
        QVERIFY(!QFile::exists(rig.path()));
        rig.panel.add("goes on");
        QCOMPARE(rig.log(), rig.panel.logBox()->isChecked() ? QByteArray("goes on\r\n") : QByteArray());
    }
};

QTEST_MAIN(TstMainWindow)
#include "tst_main_window.moc"
