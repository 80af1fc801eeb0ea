#include "ui/config_command.h"

#include "device/status_sink.h"
#include "files/settings.h"

#include <QDir>

#include <exception>

ConfigCommand::ConfigCommand(Settings& settings, QString programFolder, Messages& messages, StatusSink& status,
                             ConfigDialog::WindowActions actions, QWidget& dialogParent)
    : m_settings(settings), m_programFolder(std::move(programFolder)), m_messages(messages), m_status(status),
      m_actions(std::move(actions)), m_dialogParent(dialogParent)
{ }

void ConfigCommand::run()
{
    const settings_file::Location where = settings_file::locate(m_programFolder);
    // The user's copy is made by SAVE alone: start-up reads it in preference
    // from then on, so an opened and closed dialog must leave no file behind.
    ConfigDialog dialog(m_settings, where.savePath, m_messages, m_actions, &m_dialogParent);
    dialog.setPrepareFile([where] { settings_file::prepareSave(where); });
    if (dialog.exec() != QDialog::Accepted || !where.savesToUser || m_fallbackNoted)
        return;
    m_fallbackNoted = true;
    try {
        m_status.add(QStringLiteral("Settings saved in %1 (the program folder cannot be written)")
                             .arg(QDir::toNativeSeparators(where.savePath)));
    } catch (const std::exception&) {
        // The line is in the list; only the log file missed it.
    }
}
