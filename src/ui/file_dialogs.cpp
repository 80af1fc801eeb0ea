#include "ui/file_dialogs.h"

#include <QFileDialog>

namespace {

std::optional<QString> run(QWidget* parent, const QString& caption, const QString& startName, const QString& filter,
                           QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The callers ask their own question about an existing file (or append to
    // it); the dialog asking as well would put the question twice.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!startName.isEmpty())
        dialog.selectFile(startName);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.constFirst();
}

}  // namespace

std::optional<QString> QtFileDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& startName,
                                                   const QString& filter)
{
    return run(parent, caption, startName, filter, QFileDialog::AcceptSave);
}

std::optional<QString> QtFileDialogs::openFileName(QWidget* parent, const QString& caption, const QString& startName,
                                                   const QString& filter)
{
    return run(parent, caption, startName, filter, QFileDialog::AcceptOpen);
}
