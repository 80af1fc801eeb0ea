#pragma once

#include <QMap>
#include <QString>

#include <optional>

class QWidget;

// The window's part behind "Choose device...": shows the chooser for one COM
// entry and hands back the path chosen with OK. It writes nothing: the
// Configuration dialog keeps the choice until SAVE writes it with the rest, or
// CLOSE drops it.
class SerialDeviceChooser final {
public:
    // mapping: the [PORTS] entries as the dialog holds them now; settingsText:
    // the baud rate and parity the search probes at.
    std::optional<QString> choose(int comPort, const QMap<int, QString>& mapping, const QString& settingsText,
                                  QWidget* parent);
};
