#include "files/ini_file.h"

#include "files/atomic_write.h"
#include "files/file_error.h"
#include "files/regular_file.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

// The file is handled as raw 8-bit text: names and values are Latin-1, so any
// byte read comes back out unchanged when the file is rewritten.
struct Line final {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    qsizetype start = 0;  // first byte of the line
    qsizetype contentEnd = 0;  // first byte of the terminator (or end of file)
    qsizetype end = 0;  // first byte after the terminator
    QByteArray name;  // section or key name, trimmed
    qsizetype valueStart = 0;  // key lines: first byte of the value (after '=' and blanks)
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

Line classify(const QByteArray& raw, qsizetype start, qsizetype contentEnd, qsizetype end)
{
    Line line;
    line.start = start;
    line.contentEnd = contentEnd;
    line.end = end;
    qsizetype first = start;
    while (first < contentEnd && isBlank(raw.at(first))) {
        ++first;
    }
    if (first == contentEnd || raw.at(first) == ';') {
        return line;  // blank or comment
    }
    if (raw.at(first) == '[') {
        const qsizetype close = raw.indexOf(']', first);
        if (close >= 0 && close < contentEnd) {
            line.kind = Line::Kind::Section;
            line.name = raw.mid(first + 1, close - first - 1).trimmed();
        }
        return line;
    }
    const qsizetype equals = raw.indexOf('=', first);
    if (equals < 0 || equals >= contentEnd) {
        return line;
    }
    line.name = raw.mid(first, equals - first).trimmed();
    if (line.name.isEmpty()) {
        return line;
    }
    line.kind = Line::Kind::Key;
    qsizetype value = equals + 1;
    while (value < contentEnd && isBlank(raw.at(value))) {
        ++value;
    }
    line.valueStart = value;
    return line;
}

// What ends a line: a line feed (a CR before it is part of the line end), or
// in a file with no line feed at all a carriage return, as old Mac editors
// wrote. A lone CR in a file that has line feeds stays part of its line.
char lineEnd(const QByteArray& raw)
{
    return !raw.contains('\n') && raw.contains('\r') ? '\r' : '\n';
}

QList<Line> splitLines(const QByteArray& raw)
{
    QList<Line> lines;
    const char terminator = lineEnd(raw);
    // A UTF-8 byte-order mark written by some editors must not hide the first section.
    qsizetype pos = raw.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < raw.size()) {
        const qsizetype newline = raw.indexOf(terminator, pos);
        qsizetype contentEnd = newline < 0 ? raw.size() : newline;
        const qsizetype end = newline < 0 ? raw.size() : newline + 1;
        if (contentEnd > pos && raw.at(contentEnd - 1) == '\r') {
            --contentEnd;
        }
        lines.append(classify(raw, pos, contentEnd, end));
        pos = end;
    }
    return lines;
}

bool sameName(const QByteArray& a, const QString& b)
{
    return QString::fromLatin1(a).compare(b, Qt::CaseInsensitive) == 0;
}

// The first section of that name: the index of its header line (-1 when there
// is none) and the index just past its last line.
struct Span final {
    qsizetype header = -1;
    qsizetype end = -1;
};

Span findSection(const QList<Line>& lines, const QString& section)
{
    Span span;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines.at(i).kind != Line::Kind::Section) {
            continue;
        }
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (sameName(lines.at(i).name, section)) {
            span.header = i;
        }
    }
    span.end = span.header >= 0 ? lines.size() : -1;
    return span;
}

// The key lines of the first section of that name, in file order.
QList<Line> keyLines(const QByteArray& raw, const QString& section)
{
    const QList<Line> lines = splitLines(raw);
    const Span span = findSection(lines, section);
    QList<Line> keys;
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        if (lines.at(i).kind == Line::Kind::Key) {
            keys.append(lines.at(i));
        }
    }
    return keys;
}

QString valueOf(const QByteArray& raw, const Line& line)
{
    QByteArray value = raw.mid(line.valueStart, line.contentEnd - line.valueStart).trimmed();
    // Like the platform's private-profile reader, one pair of matching quotes is dropped.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.mid(1, value.size() - 2);
    }
    return QString::fromLatin1(value.left(IniFile::kMaxValue));
}

const QString kWhat = QStringLiteral("a settings file");

// The file's bytes; std::nullopt when it is missing or cannot be read.
std::optional<QByteArray> readBytes(const QString& path)
{
    try {
        return files::readRegular(path, IniFile::kMaxFileSize, kWhat);
    } catch (const FileError&) {
        return std::nullopt;
    }
}

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

bool hasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

bool isEightBit(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            return false;
        }
    }
    return true;
}

void checkWritable(const QString& path, const QString& section, const QString& key, const QString& value)
{
    const QString where = QStringLiteral(" for \"%1\"").arg(shown(path));
    if (section.trimmed().isEmpty() || hasLineBreak(section) || section.contains(QLatin1Char(']'))) {
        throw FileError(QStringLiteral("Section name \"%1\" cannot be written").arg(section) + where);
    }
    if (key.trimmed().isEmpty() || hasLineBreak(key) || key.contains(QLatin1Char('='))
        || key.trimmed().startsWith(QLatin1Char('[')) || key.trimmed().startsWith(QLatin1Char(';'))) {
        throw FileError(QStringLiteral("Key name \"%1\" cannot be written").arg(key) + where);
    }
    if (hasLineBreak(value)) {
        throw FileError(QStringLiteral("Value of %1 holds a line break and cannot be written").arg(key) + where);
    }
    if (!isEightBit(section) || !isEightBit(key) || !isEightBit(value)) {
        throw FileError(QStringLiteral("Value of %1 holds characters that 8-bit text cannot carry").arg(key) + where);
    }
}

}  // namespace

IniFile::IniFile(QString path) : m_path(std::move(path))
{ }

QString IniFile::read(const QString& section, const QString& key, const QString& fallback) const
{
    const std::optional<QByteArray> raw = readBytes(m_path);
    if (!raw) {
        return fallback;
    }
    for (const Line& line : keyLines(*raw, section)) {
        if (sameName(line.name, key)) {
            return valueOf(*raw, line);
        }
    }
    return fallback;
}

QList<QPair<QString, QString>> IniFile::section(const QString& section) const
{
    QList<QPair<QString, QString>> entries;
    const std::optional<QByteArray> raw = readBytes(m_path);
    if (!raw) {
        return entries;
    }
    for (const Line& line : keyLines(*raw, section)) {
        entries.append({QString::fromLatin1(line.name), valueOf(*raw, line)});
    }
    return entries;
}

void IniFile::write(const QString& section, const QString& key, const QString& value)
{
    checkWritable(m_path, section, key, value);

    QByteArray raw;
    if (QFileInfo::exists(m_path)) {
        // Never rewrite a file whose current lines we could not read: they would be lost.
        raw = files::readRegular(m_path, kMaxFileSize, kWhat);
    }

    // New lines follow the file's own line ends; a file started from nothing uses CR LF.
    const char terminator = lineEnd(raw);
    QByteArray eol = "\r\n";
    const qsizetype firstEnd = raw.indexOf(terminator);
    if (terminator == '\r' && firstEnd >= 0) {
        eol = "\r";
    } else if (firstEnd >= 0 && (firstEnd == 0 || raw.at(firstEnd - 1) != '\r')) {
        eol = "\n";
    }

    const QByteArray keyLine = key.trimmed().toLatin1() + '=' + value.toLatin1();
    const QList<Line> lines = splitLines(raw);
    const Span span = findSection(lines, section);
    if (span.header < 0) {
        if (!raw.isEmpty() && !raw.endsWith(terminator)) {
            raw += eol;
        }
        raw += '[' + section.trimmed().toLatin1() + ']' + eol + keyLine + eol;
    } else {
        qsizetype lastFilled = span.header;
        bool replaced = false;
        for (qsizetype i = span.header + 1; i < span.end; ++i) {
            const Line& line = lines.at(i);
            if (line.kind == Line::Kind::Key && sameName(line.name, key)) {
                raw.replace(line.valueStart, line.contentEnd - line.valueStart, value.toLatin1());
                replaced = true;
                break;
            }
            if (line.contentEnd > line.start
                && !raw.mid(line.start, line.contentEnd - line.start).trimmed().isEmpty()) {
                lastFilled = i;
            }
        }
        if (!replaced) {
            // After the section's last filled line, so blank lines that separate
            // sections stay between them.
            const Line& after = lines.at(lastFilled);
            // Only the file's own line end ends a line for the reader: a last line
            // ending in a lone CR in a file of line feeds still needs one, or the
            // new key would join that line.
            const bool terminated = after.end > after.start && raw.at(after.end - 1) == terminator;
            raw.insert(after.end, (terminated ? QByteArray() : eol) + keyLine + eol);
        }
    }

    files::writeAtomically(m_path, raw);
}
