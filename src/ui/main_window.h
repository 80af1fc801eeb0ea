#pragma once

#include "files/settings.h"
#include "model/key_table.h"
#include "model/row_table.h"
#include "operations/operation_context.h"
#include "ui/twips.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <functional>

class FileDialogs;
class Messages;
class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTextBrowser;
class QTextEdit;
class RowLines;
class SerialLink;
class StatusPanel;
class Waiter;

// What the window works with that lives outside it.
struct MainWindowServices final {
    SerialLink& link;
    Waiter& waiter;
    Messages& messages;
    FileDialogs& dialogs;
    QString programFolder;  // QZ4Vel.ini, help pages and pictures
};

// The main window: the page of 24 rows, paging and string length, the four
// device-operation buttons, the settings panel, the status area and the menus.
// Logic lives in the layers below; this class owns the widgets and the
// program-wide state of a run (rows, settings, configuration file name).
class MainWindow final : public QMainWindow, public OperationView {
    Q_OBJECT

public:
    static constexpr const char* kTitle = "QZ4VELD CONFIGURATION";
    static constexpr const char* kVersion = "1.02";

    enum class OperationButton { Read, Send, Verify, Version };
    using Operation = std::function<void(OperationContext&)>;

    explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up sequence: runs once, before the window is first shown; a
    // second call does nothing.
    void startUp();

    // SetupCommPort: applies the port settings to the (closed) port and shows
    // them in the Settings frame; reports a refused value with a message.
    void setupCommPort();

    // What a click on one of the four operation buttons runs.
    void setOperation(OperationButton button, Operation operation);
    // The frame around a device operation: one at a time; the window closing
    // meanwhile asks it to stop at its next wait, then closes the port and the window.
    void runOperation(const Operation& operation);
    bool operationRunning() const { return m_operationRunning; }
    OperationContext operationContext();

    RowTable& rows() { return m_rows; }
    Settings& settings() { return m_settings; }
    const Settings& settings() const { return m_settings; }
    StatusPanel& status() { return *m_status; }
    RowLines& rowLines() { return *m_lines; }
    const twips::Placer& placer() const { return m_placer; }
    Messages& messages() { return m_services.messages; }
    FileDialogs& fileDialogs() { return m_services.dialogs; }
    SerialLink& link() { return m_services.link; }
    const QString& programFolder() const { return m_services.programFolder; }

    int stringLength() const { return stringLengthIndex() + 1; }  // StringLength
    QString configFileName() const { return m_configFileName; }
    void setConfigFileName(const QString& path) { m_configFileName = path; }

    // Controls later features attach to, found by their control names.
    QAction* menuAction(const QString& name) const;  // throws for an unknown name
    QComboBox* strConfig() const { return m_strConfig; }
    QLabel* cfgLabel() const { return m_cfgLabel; }
    QTextEdit* notesBox() const { return m_strDes; }
    QFrame* notesLine() const { return m_strLine; }
    QTextBrowser* helpBrowser() const { return m_browser; }
    QPushButton* helpCloseButton() const { return m_helpClose; }

    // OperationView
    int stringLengthIndex() const override;
    void selectStringLengthIndex(int index) override;  // throws for an index outside 0..9
    int currentPage() const override;
    void showPage() override;
    void refreshPageRows() override;
    void showRowOnLine(int row) override;
    void showRowPicture(int row) override;
    void setRowCounter(int row) override;
    void disableControls() override;
    void enableControls() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildRowHeadings(QWidget* central);
    void buildControls(QWidget* central);
    void buildSettingsFrame(QWidget* central);
    void buildHiddenPanes(QWidget* central);
    void buildMenus();
    void readSettings();
    void onStringLengthChosen(int index);
    void onOperationClicked(OperationButton button);
    void installOperations();  // what the four operation buttons run
    QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QString& tip, int left,
                            int top, int width, int height);
    QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, int left, int top, int width,
                      int height, bool bold = true);

    MainWindowServices m_services;
    twips::Placer m_placer;
    RowTable m_rows;
    Settings m_settings;
    QString m_configFileName;

    RowLines* m_lines = nullptr;
    StatusPanel* m_status = nullptr;
    QComboBox* m_strConfig = nullptr;
    QPushButton* m_previousPage = nullptr;
    QPushButton* m_nextPage = nullptr;
    QPushButton* m_read = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_verify = nullptr;
    QPushButton* m_version = nullptr;
    QGroupBox* m_frame = nullptr;
    QLabel* m_commLabel = nullptr;
    QLabel* m_baudLabel = nullptr;
    QLabel* m_parityLabel = nullptr;
    QLabel* m_cfgLabel = nullptr;
    QLabel* m_rowCounter = nullptr;  // Label13
    QTextEdit* m_strDes = nullptr;
    QFrame* m_strLine = nullptr;
    QTextBrowser* m_browser = nullptr;
    QPushButton* m_helpClose = nullptr;

    std::array<Operation, 4> m_operations{};
    bool m_operationRunning = false;
    bool m_closePending = false;
    bool m_settingsFallbackNoted = false;  // once per run: SAVE went to the user's folder
    bool m_startedUp = false;
    KeyNamer m_keyNamer;  // its pair alternation lasts the whole run
};
