#pragma once

#include "device/port_resolver.h"
#include "station/station_table.h"

#include <QString>

#include <functional>

class FileDialogs;
class Messages;
class OperationRunner;
class QWidget;

// The window's part behind File > Production Station...: the station dialog
// over the window's table, run as the window's operation, so that the
// window's own operations and table commands are off while it is open.
class StationCommand final {
public:
    struct Window final {
        std::function<StationTable()> table;
        std::function<PortDefaults()> ports;  // the settings' port, mapping and line settings
        OperationRunner& runner;
        Messages& messages;
        FileDialogs& dialogs;
        QWidget* parent = nullptr;
    };

    explicit StationCommand(Window window);

    void run();

    // production-record.csv in the user's documents folder.
    static QString defaultRecordPath();

private:
    Window m_window;
};
