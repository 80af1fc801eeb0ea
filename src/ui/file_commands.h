#pragma once

#include <QObject>
#include <QString>

class MainWindow;

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

    explicit FileCommands(MainWindow& window);

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

private:
    bool overwriteAllowed(const QString& path);

    MainWindow& m_window;
    bool m_loading = false;
};
