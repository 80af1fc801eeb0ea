#include "ui/serial_device_chooser.h"

#include "files/settings.h"
#include "model/messages.h"
#include "ui/device_chooser_dialog.h"

#include <exception>

SerialDeviceChooser::SerialDeviceChooser(Settings& settings, Messages& messages, std::function<void()> mappingChanged)
    : m_settings(settings), m_messages(messages), m_mappingChanged(std::move(mappingChanged))
{ }

bool SerialDeviceChooser::choose(int comPort, const QString& settingsText, const QString& iniPath, QWidget* parent)
{
    DeviceChooserDialog dialog(comPort, m_settings.portPaths, settingsText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    try {
        settings_file::savePortPath(iniPath, comPort, dialog.chosenPath());
    } catch (const std::exception& e) {
        m_messages.info(QStringLiteral("Error saving configuration - ") + QString::fromUtf8(e.what()));
        return false;
    }
    m_settings.portPaths.insert(comPort, dialog.chosenPath());
    if (m_mappingChanged)
        m_mappingChanged();
    return true;
}
