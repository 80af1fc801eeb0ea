#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

#include <functional>
#include <optional>

class Messages;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct Settings;

// "Configuration": the operator picks the serial port, baud rate and parity and
// switches the per-row string notes. It edits the window's one Settings object
// in place (no copy of its own), so the check box takes effect the moment it is
// clicked, and SAVE writes the settings file and applies the port settings. A
// device chosen for a COM entry is the one thing it holds back: the Device line
// shows it, SAVE writes it with the rest, CLOSE forgets it.
//
// Create one per showing (the lists are filled from the settings as they stand
// at construction) and run it with exec(). Do not give it WA_DeleteOnClose:
// SAVE keeps running after its pause and closes the dialog itself.
class ConfigDialog final : public QDialog {
    Q_OBJECT

public:
    // What SAVE asks of the main window.
    struct WindowActions {
        // Puts the settings into the closed port and the
        // "Settings" frame; reports its own errors, SAVE goes on after it.
        std::function<void()> setupCommPort;
        // Hides the notes box and its pointer line without storing the text.
        std::function<void()> hideNotes;
        // "Choose device...": the chooser for COM<n> over the dialog's
        // mapping, probing at settingsText; the path chosen with OK, if any.
        std::function<std::optional<QString>(int comPort, const QMap<int, QString>& mapping,
                                             const QString& settingsText, QWidget* parent)>
                chooseDevice;
    };

    // Time SAVE gives the port and the window to settle before it closes.
    static constexpr int kSettlePauseMs = 700;

    ConfigDialog(Settings& settings, QString iniPath, Messages& messages, WindowActions actions,
                 QWidget* parent = nullptr);

    // The SAVE sequence; what a click on SAVE runs.
    void save();

    // Runs just before the file is written (its failure is SAVE's error): it
    // readies the file SAVE writes, so merely opening the dialog makes nothing.
    void setPrepareFile(std::function<void()> prepare) { m_prepareFile = std::move(prepare); }

    QComboBox* portList() const { return m_port; }
    QComboBox* baudList() const { return m_baud; }
    QComboBox* parityList() const { return m_parity; }
    QCheckBox* descriptionsBox() const { return m_descriptions; }
    QLineEdit* deviceLine() const { return m_device; }
    QPushButton* chooseButton() const { return m_choose; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* closeButton() const { return m_close; }

private:
    void build();
    void fillFromSettings();
    void takeChoices();
    void settle();
    void showDevice();
    void chooseDevice();

    Settings& m_settings;
    QString m_iniPath;
    Messages& m_messages;
    WindowActions m_actions;
    QMap<int, QString> m_portPaths;  // [PORTS] as SAVE will write it
    std::function<void()> m_prepareFile;
    bool m_saving = false;

    QComboBox* m_port = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_parity = nullptr;
    QCheckBox* m_descriptions = nullptr;
    QPushButton* m_save = nullptr;
    QPushButton* m_close = nullptr;
    QLineEdit* m_device = nullptr;
    QPushButton* m_choose = nullptr;
};
