#pragma once

#include <QObject>
#include <QString>

class FileDialogs;
class Messages;
class OperationView;
class QLabel;
class QWidget;
class RowLines;
struct RowTable;

// The File menu of the main window: Open, Save and Save As of configuration
// files (*.cfg), with the product's questions and messages.
class FileCommands final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kSaveFilter = "QZ4VELDT (*.cfg)";
    static constexpr const char* kOpenFilter = "QZ4VEL (*.cfg);;All Files (*)";
    static constexpr const char* kOverwriteQuestion = "File exists -- want to overwrite? Y/N";
    static constexpr const char* kOverwriteTitle = "Confirm";
    static constexpr const char* kNoFileName = "No filename entered";
    static constexpr const char* kSaved = "Save Successful";
    static constexpr const char* kSaveErrorPrefix = "Error saving file ";

    // What the commands work on: the table and its page, the CONFIG FILE label,
    // and the boxes and dialogs they ask (over dialogParent).
    struct Window final {
        RowTable& rows;
        OperationView& view;
        RowLines& lines;
        Messages& messages;
        FileDialogs& dialogs;
        QLabel* configFileLabel;
        QWidget* dialogParent;
    };

    explicit FileCommands(Window window);

    // The configuration file Save writes to; empty until one is opened or named.
    QString fileName() const { return m_fileName; }
    void setFileName(const QString& path) { m_fileName = path; }

    // FSave: writes the table to the current configuration file, after asking
    // before it replaces an existing one.
    void save();
    // SaveAs: asks for a file name, then saves under it. The CONFIG FILE label
    // keeps naming the file last opened.
    void saveAs();
    // FOpen: asks for a file and loads it line by line into the rows, letting
    // the window breathe between lines, then shows page 0.
    void open();

    bool loading() const { return m_loading; }

    // The part of a path after its last '/' or '\' (the whole path without one).
    static QString fileNameOf(const QString& path);

signals:
    // A file was chosen in Open; its rows replace the table's next.
    void aboutToReplaceTable(const QString& what);
    // The table now matches a file: it was saved, or opened to the end.
    void tableMatchesFile();
    // Open starts (true) or stops (false) putting a file's lines into the rows;
    // the window handles its events in between.
    void loadingChanged(bool loading);

private:
    bool overwriteAllowed(const QString& path);
    void setLoading(bool loading);

    Window m_window;
    QString m_fileName;
    bool m_loading = false;
};
