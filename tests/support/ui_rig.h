#pragma once

#include "fake_device.h"
#include "ui/file_dialogs.h"
#include "ui/key_field.h"
#include "ui/main_window.h"
#include "ui/row_lines.h"
#include "ui/screen_print.h"
#include "ui/status_panel.h"
#include "ui/string_field.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace ui_test {

// File dialogs answered from a script, in order; an empty script cancels.
struct ScriptedFileDialogs final : FileDialogs {
    using Name = std::optional<QString>;
    Name saveFileName(QWidget*, const QString&, const QString& s, const QString& f) override { return answer(s, f); }
    Name openFileName(QWidget*, const QString&, const QString& s, const QString& f) override { return answer(s, f); }

    QList<Name> answers;
    QStringList startNames;  // what each dialog started with
    QStringList filters;
    Name answer(const QString& startName, const QString& filter);
};

// Answers the printer dialog as an operator choosing "Print to File (PDF)" with `path` would, then confirms or cancels.
struct PdfAnswer final : PrintDialog {
    bool choosePrinter(QPrinter& printer, QWidget*) override
    {
        ++asked;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return confirm;
    }
    QString path;
    bool confirm = false;
    int asked = 0;
};

// A started main window over a simulated device on a virtual clock, in a program folder of its own (with the two status
// pictures), answering its boxes and dialogs from recorders.
struct WindowRig {
    // ini: the QZ4Vel.ini text to put in the folder; none when null.
    explicit WindowRig(const QByteArray& ini = QByteArray());

    QString iniPath() const { return folder.filePath(QStringLiteral("QZ4Vel.ini")); }

    // Controls by the name automation uses; parts' own widgets through the window's accessors below.
    template <class T>
    T* find(const QString& name) const
    {
        return window->findChild<T*>(name);
    }
    void click(const char* button) const { find<QPushButton>(QLatin1String(button))->click(); }
    void run(const char* menuItem) const { find<QAction>(QLatin1String(menuItem))->trigger(); }
    const window_layout::Controls& controls() const { return window->controls(); }
    const window_layout::HiddenPanes& panes() const { return window->panes(); }
    const MainWindow::Menus& menus() const { return window->menus(); }
    const StatusPanel& status() const { return window->statusPanel(); }
    QString configLabel() const { return window->settingsFrame().configFile->text(); }
    // The controls of a line of the page.
    const RowLines::Line& line(int index) const { return window->rowLines().line(index); }
    QLineEdit* keyString(int index) const { return line(index).string; }
    QLineEdit* kbdKey(int index) const { return line(index).key; }
    QLabel* count(int index) const { return line(index).count; }
    QLabel* rowLabel(int index) const { return line(index).number; }
    QLabel* image(int index) const { return line(index).image; }
    void clickCount(int line) const { QTest::mouseClick(count(line), Qt::LeftButton); }
    // A fresh window over the same folder and device, started as the program starts; `between` runs once the old window
    // is gone.
    void restart(const std::function<void()>& between = {});
    int px(int twips) const { return twips::toPx(twips, window->logicalDpiX()); }
    // Shows the window and makes it active, so that focus changes send events.
    bool activate();

    QTemporaryDir folder;
    DeviceModel device;
    VirtualClock clock;
    FakeSerialLink link{device, clock};
    VirtualWaiter waiter{clock};
    fakedev::RecordingMessages messages;
    ScriptedFileDialogs dialogs;
    PdfAnswer print;
    QString programFolder = folder.path();
    QString stateFolder = folder.filePath(QStringLiteral("state"));  // where the window keeps its table
    MainWindowServices services() { return {link, waiter, messages, dialogs, print, programFolder, stateFolder}; }
    std::unique_ptr<MainWindow> window;
};

}  // namespace ui_test
