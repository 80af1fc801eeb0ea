#include "files/recovery_store.h"

#include "files/atomic_write.h"
#include "files/config_file.h"
#include "files/file_error.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstring>

namespace {

const QString kTakenTag = QStringLiteral("#Table snapshot taken ");
const QString kFileNameTag = QStringLiteral("#Config file name: ");
const QString kLabelTag = QStringLiteral("#Config file label: ");
const QString kEol = QStringLiteral("\r\n");

// The value of the comment line `tag` among the comment lines at the top.
std::optional<QString> headerValue(const QStringList& lines, const QString& tag)
{
    for (const QString& line : lines) {
        if (line.startsWith(tag))
            return config_file::unescapeField(line.mid(tag.size()));
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            break;
    }
    return std::nullopt;
}

}  // namespace

RecoveryStore::RecoveryStore(QString folder) : m_folder(std::move(folder))
{ }

QString RecoveryStore::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

QString RecoveryStore::path() const
{
    return QDir(m_folder).filePath(QLatin1String(kFileName));
}

bool RecoveryStore::claim()
{
    if (m_lock)
        return true;
    if (!QDir().mkpath(m_folder))
        return false;
    auto lock = std::make_unique<QLockFile>(QDir(m_folder).filePath(QStringLiteral("table-snapshot.lock")));
    if (!lock->tryLock(0))
        return false;
    m_lock = std::move(lock);
    return true;
}

void RecoveryStore::write(const TableState& state, const QDateTime& taken) const
{
    if (!QDir().mkpath(m_folder))
        throw FileError(QStringLiteral("Cannot create the folder \"%1\"").arg(QDir::toNativeSeparators(m_folder)));
    QString text = QString::fromUtf8(config_file::render(state.rows, state.stringLength, taken));
    // After the header and date lines, where the reader takes them as comments.
    const qsizetype afterDate = text.indexOf(kEol, text.indexOf(kEol) + kEol.size()) + kEol.size();
    text.insert(afterDate,
                kTakenTag + taken.toUTC().toString(Qt::ISODateWithMs) + kEol + kFileNameTag
                        + config_file::escapeField(state.configFileName) + kEol + kLabelTag
                        + config_file::escapeField(state.configLabel) + kEol);
    files::writeAtomically(path(), text.toUtf8());
}

void RecoveryStore::remove() const
{
    QFile::remove(path());
}

QString RecoveryStore::setAside(const QString& reason) const
{
    const QString aside = QDir(m_folder).filePath(
            QStringLiteral("table-snapshot-unreadable-%1.cfg")
                    .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss-zzz"))));
    const QString shown = QDir::toNativeSeparators(path());
    if (QFile::rename(path(), aside))
        return QStringLiteral("The table kept from the last run could not be read (%1). It was set aside as \"%2\".")
                .arg(reason, QDir::toNativeSeparators(aside));
    if (QFile::remove(path()))
        return QStringLiteral("The table kept from the last run could not be read (%1) and was removed.").arg(reason);
    return QStringLiteral("The table kept from the last run could not be read (%1), nor moved away: \"%2\".")
            .arg(reason, shown);
}

std::optional<RecoveryStore::Snapshot> RecoveryStore::read() const
{
    if (!QFile::exists(path()))
        return std::nullopt;
    Snapshot snapshot;
    const auto unreadable = [&](const QString& reason) {
        snapshot.problem = setAside(reason);
        return snapshot;
    };

    TableState state;
    const config_file::LoadSummary summary = config_file::applyTo(state.rows, path());
    if (!summary.complete())
        return unreadable(summary.openError.mid(qsizetype(std::strlen(config_file::kOpenErrorPrefix))));
    constexpr int kRowsRead = config_file::kLastRowRead + 1;
    if (!summary.stringLength || summary.rowLines != kRowsRead || !summary.lineErrors.isEmpty())
        return unreadable(QStringLiteral("%1 of %2 rows and %3 string length")
                                  .arg(summary.rowLines)
                                  .arg(kRowsRead)
                                  .arg(summary.stringLength ? QStringLiteral("a") : QStringLiteral("no")));
    state.stringLength = *summary.stringLength;

    // The reader has already checked that the file is small.
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QStringList header = QString::fromUtf8(file.readAll()).split(kEol);
    const std::optional<QString> taken = headerValue(header, kTakenTag);
    const std::optional<QString> fileName = headerValue(header, kFileNameTag);
    const std::optional<QString> label = headerValue(header, kLabelTag);
    snapshot.taken = taken ? QDateTime::fromString(*taken, Qt::ISODateWithMs) : QDateTime();
    if (!snapshot.taken.isValid() || !fileName || !label)
        return unreadable(QStringLiteral("its time or file name is missing"));
    snapshot.taken = snapshot.taken.toLocalTime();
    state.configFileName = *fileName;
    state.configLabel = *label;
    snapshot.state = std::move(state);
    return snapshot;
}
