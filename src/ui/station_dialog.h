#pragma once

#include "device/port_resolver.h"
#include "station/port_state.h"
#include "station/station_table.h"

#include <QDialog>

#include <memory>

class FileDialogs;
class Messages;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableWidget;
class Station;

// "Production Station": the window's table programmed into every QZ4VELD that
// answers on the chosen ports, each device once, with a record line per
// device. The ports are those of the serial device chooser, each with a check
// box, and any path typed in; Start runs the Send pre-check first. While it
// runs, one row per port says what it is doing, and the totals stand below in
// large type; a failure beeps. Stop ends every port at its next wait (a device
// mid-Send is left with the rows that went out, and its row says so); closing
// the dialog stops the station first.
class StationDialog final : public QDialog {
    Q_OBJECT

public:
    StationDialog(StationTable table, PortDefaults defaults, const QString& recordPath, Messages& messages,
                  FileDialogs& dialogs, QWidget* parent = nullptr);
    ~StationDialog() override;

    bool running() const;

    void reject() override;

private:
    void build();
    void addPath();
    void chooseRecord();
    void start();
    void stop();
    void showRunning(bool running);
    void onPortAdded(int port, const QString& label);
    void onPortChanged(int port, const PortState& state);
    void onDeviceEnded(int port, const DeviceResult& result);
    void onFinished();

    const StationTable m_table;
    const PortDefaults m_defaults;
    const QString m_defaultRecord;
    Messages& m_messages;
    FileDialogs& m_dialogs;
    std::unique_ptr<Station> m_station;
    bool m_closeWhenStopped = false;

    QLabel* m_summary = nullptr;
    QListWidget* m_ports = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_add = nullptr;
    QCheckBox* m_verify = nullptr;
    QLineEdit* m_record = nullptr;
    QPushButton* m_browse = nullptr;
    QTableWidget* m_rows = nullptr;
    QLabel* m_totals = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_close = nullptr;
};
