#pragma once

#include <QString>

#include <functional>

class Messages;
class QWidget;
struct Settings;

// The window's part behind "Choose device...": shows the chooser for one COM
// entry and, on OK, writes [PORTS] COM<n>=<path> into the settings file and the
// window's settings, then lets the window hand the new mapping to its port.
class SerialDeviceChooser final {
public:
    SerialDeviceChooser(Settings& settings, Messages& messages, std::function<void()> mappingChanged);

    // settingsText: the baud rate and parity the search probes at. True when a
    // device was chosen and written. A failed write is shown as "Error saving
    // configuration - <description>" and changes nothing.
    bool choose(int comPort, const QString& settingsText, const QString& iniPath, QWidget* parent);

private:
    Settings& m_settings;
    Messages& m_messages;
    std::function<void()> m_mappingChanged;
};
