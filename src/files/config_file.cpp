#include "files/config_file.h"

#include "files/atomic_write.h"
#include "files/file_error.h"
#include "files/leading_number.h"
#include "files/regular_file.h"
#include "model/capacity.h"
#include "model/error_text.h"
#include "model/row_table.h"

#include <QLocale>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>

namespace config_file {

namespace {

const QString kHeader = QStringLiteral("#Quorvane QZ4VELDT configuration file");
const QString kStringLengthTag = QStringLiteral("String Length");
// The number of a string-length line starts at its 16th character, just after "String Length =".
constexpr qsizetype kStringLengthNumberAt = 15;

bool needsEscape(const QString& field)
{
    return field.contains(QLatin1Char('\t')) || field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'));
}

// Text quoted in a message, cut so a line of garbage does not flood the message box.
QString excerpt(QStringView text)
{
    constexpr qsizetype kShown = 40;
    QString shown = text.left(kShown).toString();
    for (QChar& c : shown) {
        if (c.unicode() < 0x20) {
            c = QLatin1Char('?');
        }
    }
    return QLatin1Char('"') + shown + (text.size() > kShown ? QStringLiteral("...\"") : QStringLiteral("\""));
}

// Blanks only: tabs at either end are field separators of empty fields.
QStringView stripBlanks(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin) == QLatin1Char(' ')) {
        ++begin;
    }
    while (end > begin && line.at(end - 1) == QLatin1Char(' ')) {
        --end;
    }
    return line.mid(begin, end - begin);
}

// Files from before UTF-8 were written in a single-byte code page; Latin-1 maps
// every such byte to a character so nothing is dropped.
QString decode(const QByteArray& bytes)
{
    QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        view = view.sliced(3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(view);
    if (utf8.hasError()) {
        return QString::fromLatin1(view);
    }
    return text;
}

}  // namespace

// ---- Writing ---------------------------------------------------------------

bool needsEscaping(const RowTable& rows)
{
    for (int r = 0; r < kRowsWritten; ++r) {
        const QString& note = rows.notes.at(r);
        if (needsEscape(rows.keyNames.at(r)) || needsEscape(rows.strings.at(r)) || needsEscape(note)
            || note.endsWith(QLatin1Char(' '))) {
            return true;
        }
    }
    return false;
}

QString escapeField(const QString& field)
{
    QString out;
    out.reserve(field.size() + 8);
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
            break;
        }
    }
    if (out.endsWith(QLatin1Char(' '))) {
        out.chop(1);
        out += QStringLiteral("\\s");
    }
    return out;
}

QString unescapeField(const QString& field)
{
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= field.size()) {
            out += c;
            continue;
        }
        const QChar code = field.at(i + 1);
        switch (code.unicode()) {
        case '\\':
            out += QLatin1Char('\\');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case 's':
            out += QLatin1Char(' ');
            break;
        default:
            out += c;
            out += code;
            break;  // not ours: keep as written
        }
        ++i;
    }
    return out;
}

QByteArray render(const RowTable& rows, int stringLength, const QDateTime& written)
{
    if (!capacity::isLength(stringLength)) {
        throw FileError(QStringLiteral("String length %1 is outside %2..%3")
                                .arg(stringLength)
                                .arg(capacity::kMinLength)
                                .arg(capacity::kMaxLength));
    }
    const QLocale locale = QLocale::system();
    const bool escaped = needsEscaping(rows);
    const QString eol = QStringLiteral("\r\n");

    QString text;
    text += kHeader + eol;
    text += QStringLiteral("#File written ") + locale.toString(written.date(), QLocale::ShortFormat) + QLatin1Char(' ')
            + locale.toString(written.time(), QLocale::LongFormat) + eol;
    if (escaped) {
        text += QLatin1String(kEscapeMarker) + eol;
    }
    text += eol;
    text += QStringLiteral("String Length = ") + QString::number(stringLength) + eol;
    text += eol;
    for (int r = 0; r < kRowsWritten; ++r) {
        const auto field = [escaped](const QString& value) { return escaped ? escapeField(value) : value; };
        text += QStringLiteral("%1").arg(r, 2, 10, QLatin1Char('0')) + QLatin1Char('\t') + field(rows.keyNames.at(r))
                + QLatin1Char('\t') + field(rows.strings.at(r)) + QLatin1Char('\t') + field(rows.notes.at(r)) + eol;
    }
    return text.toUtf8();
}

void save(const QString& path, const RowTable& rows, int stringLength, const QDateTime& written)
{
    const QByteArray bytes = render(rows, stringLength, written);
    files::writeAtomically(path, bytes);
}

// ---- Reading ---------------------------------------------------------------

ConfigReader::ConfigReader(QString path) : m_path(std::move(path))
{ }

ConfigItem ConfigReader::openError(const QString& description)
{
    m_done = true;
    ConfigItem item;
    item.kind = ConfigItem::Kind::OpenError;
    item.lineNumber = m_lineNumber;
    item.description = description;
    item.message = QLatin1String(kOpenErrorPrefix) + description;
    return item;
}

void ConfigReader::load()
{
    m_loaded = true;
    m_text = decode(files::readRegular(m_path, kMaxFileSize, QStringLiteral("a configuration file")));
}

std::optional<ConfigItem> ConfigReader::next()
{
    if (m_done) {
        return std::nullopt;
    }
    if (!m_loaded) {
        try {
            load();
        } catch (const FileError& e) {
            return openError(describe(e));
        }
    }
    while (m_pos < m_text.size()) {
        // CR LF, LF and a lone CR all end a line.
        qsizetype end = m_pos;
        while (end < m_text.size() && m_text.at(end) != QLatin1Char('\n') && m_text.at(end) != QLatin1Char('\r')) {
            ++end;
        }
        const QStringView line = QStringView(m_text).mid(m_pos, end - m_pos);
        if (end < m_text.size() && m_text.at(end) == QLatin1Char('\r') && end + 1 < m_text.size()
            && m_text.at(end + 1) == QLatin1Char('\n')) {
            ++end;
        }
        m_pos = end + 1;
        ++m_lineNumber;
        if (std::optional<ConfigItem> item = lineItem(stripBlanks(line))) {
            return item;
        }
    }
    m_done = true;
    return std::nullopt;
}

std::optional<ConfigItem> ConfigReader::lineItem(QStringView line)
{
    if (line.isEmpty()) {
        return std::nullopt;
    }
    if (line.startsWith(QLatin1Char('#'))) {
        if (!m_rowLineSeen && line == QLatin1String(kEscapeMarker)) {
            m_escaped = true;
        }
        return std::nullopt;
    }
    if (line.startsWith(kStringLengthTag)) {
        const QStringView number = line.mid(std::min(kStringLengthNumberAt, line.size())).trimmed();
        if (number.isEmpty()) {
            return openError(QStringLiteral("The string length is missing in line %1").arg(m_lineNumber));
        }
        // The whole number the text starts with: "3 chars" is 3, "6.0" is 6.
        const std::optional<qint64> length = files::leadingNumber(number);
        if (!length || *length < capacity::kMinLength || *length > capacity::kMaxLength) {
            return openError(QStringLiteral("String length %1 in line %2 is not a number from %3 to %4")
                                     .arg(excerpt(number))
                                     .arg(m_lineNumber)
                                     .arg(capacity::kMinLength)
                                     .arg(capacity::kMaxLength));
        }
        ConfigItem item;
        item.kind = ConfigItem::Kind::StringLength;
        item.lineNumber = m_lineNumber;
        item.stringLength = static_cast<int>(*length);
        return item;
    }

    // Only the first four fields matter; later ones are never split out, so a
    // line of a million tabs costs no more than scanning it.
    std::array<QStringView, 4> fields;
    qsizetype count = 0;
    qsizetype start = 0;
    while (count < 4) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'), start);
        fields.at(count++) = line.mid(start, (tab < 0 ? line.size() : tab) - start);
        if (tab < 0) {
            break;
        }
        start = tab + 1;
    }
    if (count < 2) {
        return std::nullopt;
    }
    m_rowLineSeen = true;

    bool numeric = false;
    const double value = fields.at(0).toDouble(&numeric);
    if (!numeric || !std::isfinite(value) || value > kLastRowRead) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(value);  // halves to even: 5.5 -> 6, 4.5 -> 4
    if (rounded < 0) {
        ConfigItem item;
        item.kind = ConfigItem::Kind::LineError;
        item.lineNumber = m_lineNumber;
        item.description =
                QStringLiteral("Row number %1 in line %2 is below 0").arg(excerpt(fields.at(0))).arg(m_lineNumber);
        item.message = QLatin1String(kLineErrorPrefix) + item.description + QStringLiteral(" iitemnumber-1 =")
                + QString::number(rounded - 1, 'g', 12);  // "-1e+300", not 300 digits
        return item;
    }

    const auto field = [this](QStringView text) {
        return m_escaped ? unescapeField(text.toString()) : text.toString();
    };
    ConfigItem item;
    item.kind = ConfigItem::Kind::Row;
    item.lineNumber = m_lineNumber;
    item.row = static_cast<int>(rounded);
    item.keyName = field(fields.at(1));
    if (count >= 3) {
        item.string = field(fields.at(2));
    }
    if (count >= 4) {
        item.note = field(fields.at(3));
    }
    return item;
}

void applyRow(const ConfigItem& item, RowTable& rows)
{
    if (item.kind != ConfigItem::Kind::Row) {
        return;
    }
    // at() keeps a row number from anywhere but this reader from touching memory.
    rows.keyNames.at(item.row) = item.keyName;
    if (item.string) {
        rows.strings.at(item.row) = *item.string;
    }
    if (item.note) {
        rows.notes.at(item.row) = *item.note;
    }
}

LoadSummary applyTo(RowTable& rows, const QString& path, const std::function<void(int)>& onStringLength)
{
    LoadSummary summary;
    ConfigReader reader(path);
    while (const std::optional<ConfigItem> item = reader.next()) {
        switch (item->kind) {
        case ConfigItem::Kind::StringLength:
            summary.stringLength = item->stringLength;
            if (onStringLength) {
                onStringLength(item->stringLength);
            }
            break;
        case ConfigItem::Kind::Row:
            applyRow(*item, rows);
            ++summary.rowLines;
            summary.linesOfRow[item->row].append(item->lineNumber);
            break;
        case ConfigItem::Kind::LineError:
            summary.lineErrors.append(item->message);
            break;
        case ConfigItem::Kind::OpenError:
            summary.openError = item->message;
            break;
        }
    }
    return summary;
}

}  // namespace config_file
