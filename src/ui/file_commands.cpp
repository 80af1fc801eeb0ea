#include "ui/file_commands.h"

#include "files/config_file.h"
#include "model/error_text.h"
#include "model/messages.h"
#include "operations/operation_context.h"
#include "ui/file_dialogs.h"
#include "ui/row_lines.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>

#include <algorithm>
#include <exception>
#include <optional>

FileCommands::FileCommands(Window window) : m_window(window)
{ }

QString FileCommands::fileNameOf(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

bool FileCommands::overwriteAllowed(const QString& path)
{
    if (!QFileInfo::exists(path))
        return true;
    return m_window.messages.confirm(QLatin1String(kOverwriteQuestion), QLatin1String(kOverwriteTitle));
}

void FileCommands::setLoading(bool loading)
{
    m_loading = loading;
    emit loadingChanged(loading);
}

void FileCommands::save()
{
    Messages& messages = m_window.messages;
    try {
        const QString path = m_fileName;
        if (path.isEmpty()) {
            messages.info(QLatin1String(kNoFileName));
            return;
        }
        if (!overwriteAllowed(path))
            return;
        config_file::save(path, m_window.rows, m_window.view.stringLengthIndex() + 1);
    } catch (const std::exception& e) {
        // The file is replaced in one step, so the old one is still whole here.
        messages.info(QLatin1String(kSaveErrorPrefix) + describe(e));
        return;
    }
    emit tableMatchesFile();
    messages.info(QLatin1String(kSaved));
}

void FileCommands::saveAs()
{
    Messages& messages = m_window.messages;
    try {
        const std::optional<QString> chosen = m_window.dialogs.saveFileName(
                m_window.dialogParent, QStringLiteral("Save As"), m_fileName, QLatin1String(kSaveFilter));
        if (!chosen)
            return;
        if (chosen->isEmpty()) {
            messages.info(QLatin1String(kNoFileName));
            return;
        }
        if (!overwriteAllowed(*chosen))
            return;
        m_fileName = *chosen;
    } catch (const std::exception& e) {
        messages.info(QLatin1String(kSaveErrorPrefix) + describe(e));
        return;
    }
    // Save asks its own question again for a file that exists.
    save();
}

void FileCommands::open()
{
    // A second Open while one is still reading would mix two files' rows.
    if (m_loading)
        return;
    Messages& messages = m_window.messages;
    std::optional<QString> chosen;
    try {
        chosen = m_window.dialogs.openFileName(m_window.dialogParent, QStringLiteral("Open"), m_fileName,
                                               QLatin1String(kOpenFilter));
    } catch (const std::exception& e) {
        messages.info(QLatin1String(config_file::kOpenErrorPrefix) + describe(e));
        return;
    }
    if (!chosen)
        return;

    emit aboutToReplaceTable(QStringLiteral("Open"));
    m_fileName = *chosen;
    m_window.configFileLabel->setText(fileNameOf(*chosen));

    const QPointer<FileCommands> alive(this);
    setLoading(true);
    try {
        config_file::ConfigReader reader(*chosen);
        while (const std::optional<config_file::ConfigItem> item = reader.next()) {
            switch (item->kind) {
            case config_file::ConfigItem::Kind::StringLength:
                // At once, so the lines that follow meet the new length.
                m_window.view.selectStringLengthIndex(item->stringLength - 1);
                break;
            case config_file::ConfigItem::Kind::Row:
                config_file::applyRow(*item, m_window.rows);
                break;
            case config_file::ConfigItem::Kind::LineError:
                messages.info(item->message);
                break;
            case config_file::ConfigItem::Kind::OpenError:
                // Rows read so far stay; the page is not redrawn.
                setLoading(false);
                messages.info(item->message);
                return;
            }
            // The window stays responsive during a long load.
            QCoreApplication::processEvents();
            if (!alive)
                return;
        }
        setLoading(false);
        m_window.lines.setCurrentPage(0);
        m_window.view.showPage();
        m_window.view.refreshPageRows();
        emit tableMatchesFile();
    } catch (const std::exception& e) {
        setLoading(false);
        messages.info(QLatin1String(config_file::kOpenErrorPrefix) + describe(e));
    }
}
