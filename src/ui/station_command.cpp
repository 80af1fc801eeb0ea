#include "ui/station_command.h"

#include "device/serial_link.h"
#include "operations/operation_context.h"
#include "ui/operation_runner.h"
#include "ui/station_dialog.h"

#include <QDir>
#include <QStandardPaths>

StationCommand::StationCommand(Window window) : m_window(std::move(window))
{ }

QString StationCommand::defaultRecordPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(QStringLiteral("production-record.csv"));
}

void StationCommand::run()
{
    m_window.runner.run([this](OperationContext& context) {
        context.view.disableControls();
        context.link.close();  // a watched port may be the window's own
        StationDialog dialog(m_window.table(), m_window.ports(), defaultRecordPath(), m_window.messages,
                             m_window.dialogs, m_window.parent);
        dialog.exec();
        context.view.enableControls();
    });
}
