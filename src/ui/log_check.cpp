#include "ui/log_check.h"

#include <QDir>
#include <QFileInfo>

#include <stdexcept>

namespace log_check {

void checkAppendable(const QString& path)
{
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    auto refuse = [&shown](const QString& why) {
        throw std::runtime_error(QStringLiteral("Cannot open log file \"%1\": %2").arg(shown, why).toStdString());
    };
    if (info.exists()) {
        if (!info.isFile())
            refuse(QStringLiteral("it is not a file"));
        if (!info.isWritable())
            refuse(QStringLiteral("the file is read-only"));
        return;
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir())
        refuse(QStringLiteral("the folder does not exist"));
    if (!folder.isWritable())
        refuse(QStringLiteral("the folder is read-only"));
}

}  // namespace log_check
