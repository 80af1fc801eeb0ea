#pragma once

#include "ui/config_dialog.h"

#include <QObject>
#include <QString>

class Messages;
class StatusSink;
class QWidget;
struct Settings;

// Configuration, in the menu bar: the COM settings dialog over the window's
// settings. When SAVE has to write the user's copy of the settings because the
// program folder cannot be written, the status list says where, once per run.
class ConfigCommand final : public QObject {
    Q_OBJECT

public:
    ConfigCommand(Settings& settings, QString programFolder, Messages& messages, StatusSink& status,
                  ConfigDialog::WindowActions actions, QWidget& dialogParent);

    // Shows the dialog and waits until it is closed.
    void run();

private:
    Settings& m_settings;
    QString m_programFolder;
    Messages& m_messages;
    StatusSink& m_status;
    ConfigDialog::WindowActions m_actions;
    QWidget& m_dialogParent;
    bool m_fallbackNoted = false;
};
