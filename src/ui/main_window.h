#pragma once

#include "files/settings.h"
#include "model/key_table.h"
#include "model/row_table.h"
#include "model/table_history.h"
#include "operations/operation_context.h"
#include "ui/twips.h"
#include "ui/window_layout.h"

#include <QMainWindow>
#include <QString>

#include <memory>

class ConfigCommand;
class FileCommands;
class FileDialogs;
class HelpPane;
class KeyCapture;
class Messages;
class NotesBox;
class OperationRunner;
class PrintDialog;
class QAction;
class QMenu;
class RowLines;
class ScreenPrint;
class StationCommand;
class SerialLink;
class StatusPanel;
class UndoAndRecovery;
class Waiter;

// What the window works with that lives outside it.
struct MainWindowServices final {
    SerialLink& link;
    Waiter& waiter;
    Messages& messages;
    FileDialogs& dialogs;
    PrintDialog& printDialog;
    QString programFolder;  // QZ4Vel.ini, help pages and pictures
    QString recoveryFolder;  // where the table is kept against a crash; empty keeps nothing
};

// The main window: the page of 24 rows, paging and string length, the four
// device-operation buttons, the settings panel, the status area and the menus.
// It owns the program-wide state of a run (rows, settings) and its parts, each
// handed only what it works on: the row lines and key capture, the status
// panel, the operation runner, the notes box, the File commands, the
// Configuration command, the help pane and the screen print.
class MainWindow final : public QMainWindow, public OperationView {
    Q_OBJECT

public:
    static constexpr const char* kTitle = "QZ4VELD CONFIGURATION";

    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence: runs once, before the window is first shown; a
    // second call does nothing.
    void startUp();
    // How the program opens the window: the start-up sequence, the window
    // shown, then the offer of a table kept from a run that did not end
    // normally, over it.
    void start();

    // Applies the port settings to the (closed) port and shows them in the
    // Settings frame; reports a refused value with a message.
    void setupCommPort();

    // The menu items the window's parts drive.
    struct Menus final {
        QMenu* file = nullptr;
        QAction* open = nullptr;
        QAction* save = nullptr;
        QAction* saveAs = nullptr;
        QAction* undo = nullptr;
        QAction* redo = nullptr;
        QAction* config = nullptr;
        QAction* clearAll = nullptr;
        QAction* print = nullptr;
        QAction* closeHelp = nullptr;
        QAction* station = nullptr;
    };

    // The controls by what they are, for tests and automation.
    const window_layout::Controls& controls() const { return m_controls; }
    const window_layout::SettingsFrame& settingsFrame() const { return m_frame; }
    const window_layout::HiddenPanes& panes() const { return m_panes; }
    const Menus& menus() const { return m_menus; }
    const RowLines& rowLines() const { return *m_lines; }
    const StatusPanel& statusPanel() const { return *m_status; }

    OperationRunner& operations() { return *m_runner; }
    RowTable& rows() { return m_rows; }
    Settings& settings() { return m_settings; }
    int stringLength() const { return stringLengthIndex() + 1; }
    // The configuration file Save writes to.
    QString configFileName() const;
    void setConfigFileName(const QString& path);

    // OperationView
    int stringLengthIndex() const override;
    void selectStringLengthIndex(int index) override;  // throws for an index outside 0..9
    int currentPage() const override;
    void showPage() override;
    void refreshPageRows() override;
    void showRowOnLine(int row) override;
    void showRowPicture(int row) override;
    void disableControls() override;
    void enableControls() override;
    void aboutToReplaceTable() override;

signals:
    // Before Read's rows, an Open, Clear All or the operator's own choice of a
    // string length change the table ("Read", "Open", "Clear All", "String
    // Length"). The table, its string length and the CONFIG FILE label are
    // still as they were.
    void tableAboutToChange(const QString& what);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildMenus();
    void readSettings();
    void onStringLengthChosen(int index);
    void makeUndoAndRecovery();
    // Open, Save, Save As, Undo, Redo, Configuration and Clear All off (true) or on again.
    void holdTableCommands(bool held);
    void restoreTable(const TableState& state);
    OperationContext operationContext();

    MainWindowServices m_services;
    twips::Placer m_placer;
    RowTable m_rows;
    Settings m_settings;
    KeyNamer m_keyNamer;  // its pair alternation lasts the whole run
    // The length the rows were last shown for; the list may already show the next.
    int m_lengthIndex;
    bool m_startedUp = false;

    window_layout::Controls m_controls;
    window_layout::SettingsFrame m_frame;
    window_layout::HiddenPanes m_panes;
    Menus m_menus;

    std::unique_ptr<RowLines> m_lines;
    std::unique_ptr<KeyCapture> m_keyCapture;
    std::unique_ptr<StatusPanel> m_status;
    std::unique_ptr<OperationRunner> m_runner;
    std::unique_ptr<NotesBox> m_notes;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<ConfigCommand> m_config;
    std::unique_ptr<HelpPane> m_help;
    std::unique_ptr<ScreenPrint> m_print;
    std::unique_ptr<StationCommand> m_station;
    std::unique_ptr<UndoAndRecovery> m_undoAndRecovery;
};
