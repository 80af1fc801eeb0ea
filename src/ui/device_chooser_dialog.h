#pragma once

#include "device/device_search.h"
#include "ui/port_table_model.h"

#include <QDialog>
#include <QMap>
#include <QTimer>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

// "Serial device for COM<n>": the ports the system sees, kept current while the
// dialog is open, a search for the QZ4VELD among them, and a field for any
// other path. It only chooses: writing the choice is its caller's business.
// Behind "Choose device..." of the Configuration dialog; it writes nothing: that
// dialog keeps the choice until SAVE writes it with the rest, or CLOSE drops it.
class DeviceChooserDialog final : public QDialog {
    Q_OBJECT

public:
    // How often the port list is read again while the dialog is open.
    static constexpr int kPollMs = 700;

    // mapping: the [PORTS] entries as the Configuration dialog holds them now;
    // settingsText: the baud rate and parity the search probes at.
    DeviceChooserDialog(int comPort, QMap<int, QString> mapping, QString settingsText, QWidget* parent = nullptr);

    // Shows the dialog until it is closed: the path chosen with OK, none on cancel.
    static std::optional<QString> choose(int comPort, const QMap<int, QString>& mapping, const QString& settingsText,
                                         QWidget* parent);

    // What OK stands for: the path in the field.
    QString chosenPath() const;

    // Reads the port list now (the timer does this on its own).
    void rescan();
    void findDevice();

    PortTableModel& model() { return m_model; }
    QPushButton* findButton() const { return m_find; }
    QLineEdit* pathField() const { return m_path; }
    QTableView* table() const { return m_table; }
    QPushButton* okButton() const { return m_ok; }

private:
    void build(int comPort);
    void selectPath(const QString& path);
    void searchFinished(const QList<ProbeResult>& results);

    QMap<int, QString> m_mapping;
    QString m_settingsText;
    PortTableModel m_model;
    DeviceSearch m_search;
    QTimer m_poll;
    QTableView* m_table = nullptr;
    QPushButton* m_find = nullptr;
    QLabel* m_searchState = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_ok = nullptr;
};
