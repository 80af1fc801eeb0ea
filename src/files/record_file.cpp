#include "files/record_file.h"

#include "files/file_error.h"

#include <QDir>

#include <cstdlib>

#include <unistd.h>

namespace {

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// 2024-05-02T14:03:09+02:00: the offset always written, "+00:00" too.
QString isoWithOffset(const QDateTime& time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
            + QStringLiteral("%1:%2")
                      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
                      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// A cell is data, never a formula or a terminal command: text from a device or a file
// name that starts like a formula is kept as text by a leading apostrophe (what
// spreadsheets read as "text"), and control characters other than line ends are written
// as {XX}, as in the table's own notation.
QString inert(const QString& field)
{
    QString text;
    for (const QChar c : field) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != '\n' && u != '\r') || u == 0x7F)
            text += QStringLiteral("{%1}").arg(u, 2, 16, QLatin1Char('0')).toUpper();
        else
            text += c;
    }
    static const QString formulaStarts = QStringLiteral("=+-@");
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        text.prepend(QLatin1Char('\''));
    return text;
}

}  // namespace

const QStringList& RecordFile::columns()
{
    static const QStringList names{
            QStringLiteral("time"),        QStringLiteral("station"),    QStringLiteral("port"),
            QStringLiteral("stable_path"), QStringLiteral("usb_serial"), QStringLiteral("version"),
            QStringLiteral("table"),       QStringLiteral("sha256"),     QStringLiteral("string_length"),
            QStringLiteral("rows"),        QStringLiteral("result"),     QStringLiteral("failed_blocks"),
            QStringLiteral("failed_rows"), QStringLiteral("seconds"),    QStringLiteral("message")};
    return names;
}

QByteArray RecordFile::csvLine(const QStringList& fields)
{
    QStringList cells;
    for (const QString& raw : fields) {
        const QString field = inert(raw);
        const bool quote = field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"'))
                || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'));
        cells.append(quote ? QLatin1Char('"') + QString(field).replace(QStringLiteral("\""), QStringLiteral("\"\""))
                                     + QLatin1Char('"')
                           : field);
    }
    return (cells.join(QLatin1Char(',')) + QStringLiteral("\r\n")).toUtf8();
}

QByteArray RecordFile::lineFor(const RecordLine& line)
{
    return csvLine({isoWithOffset(line.time), line.station, line.port, line.stablePath, line.usbSerial, line.version,
                    line.table, line.sha256, QString::number(line.stringLength), QString::number(line.rows),
                    line.result, QString::number(line.failedBlocks), QString::number(line.failedRows),
                    QString::number(line.seconds, 'f', 1), line.message});
}

RecordFile::RecordFile(const QString& path) : m_path(path), m_file(path)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw FileError(QStringLiteral("cannot open the record file %1: %2").arg(shown(path), m_file.errorString()));
    if (m_file.size() == 0)
        write(csvLine(columns()));
}

void RecordFile::append(const RecordLine& line)
{
    write(lineFor(line));
}

void RecordFile::write(const QByteArray& bytes)
{
    // fsync: a line the station has reported must survive a power cut.
    if (m_file.write(bytes) != bytes.size() || !m_file.flush() || ::fsync(m_file.handle()) != 0)
        throw FileError(QStringLiteral("cannot write the record file %1: %2").arg(shown(m_path), m_file.errorString()));
}
