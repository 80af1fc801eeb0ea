#include "ui/serial_device_chooser.h"

#include "ui/device_chooser_dialog.h"

std::optional<QString> SerialDeviceChooser::choose(int comPort, const QMap<int, QString>& mapping,
                                                   const QString& settingsText, QWidget* parent)
{
    DeviceChooserDialog dialog(comPort, mapping, settingsText, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.chosenPath();
}
