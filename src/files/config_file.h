#pragma once

#include "model/row_table.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Configuration files (*.cfg): the override table with its string length and
// notes as tab-separated text lines. Widget-free; the window and the
// command-line tool drive it.
namespace config_file {

inline constexpr int kRowsWritten = 94;  // rows 0..93 go into every file
inline constexpr int kLastRowRead = RowTable::kDeviceSlots - 1;  // the reader takes rows 0..92 only
// A bigger file is no table of ours; refusing it keeps a wrong pick from
// filling memory and freezing the window line after line.
inline constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

// Line that announces escaped fields (see escapeField). Written only when some
// field needs it, so files without tabs or line breaks in their fields keep
// the plain format that older copies of the program read.
inline constexpr char kEscapeMarker[] =
        "#Fields escaped: \\t tab, \\n line feed, \\r carriage return, \\s trailing blank, \\\\ backslash";

// Message prefixes the window shows before a description.
inline constexpr char kOpenErrorPrefix[] = "Error opening specified config file. ";
inline constexpr char kLineErrorPrefix[] = "Error extracting info from config file. ";

// ---- Writing ---------------------------------------------------------------

// Whether rows 0..93 hold a field that the plain format cannot carry: a tab, a
// CR or LF anywhere in key name, string or note, or a note ending in a blank
// (the reader strips trailing blanks of a line).
bool needsEscaping(const RowTable& rows);

// Backslash doubled, tab/LF/CR as \t \n \r, a final blank as \s.
QString escapeField(const QString& field);
// Inverse of escapeField; an unknown escape or a lone final backslash is kept as written.
QString unescapeField(const QString& field);

// The whole file as UTF-8 with CR LF line ends: two comment lines (plus the
// escape marker when needed), an empty line, "String Length = n", an empty
// line, then "NN\tkey\tstring\tnote" for rows 0..93.
// Throws FileError when stringLength is outside 1..10 (such a file could not
// be read back).
QByteArray render(const RowTable& rows, int stringLength, const QDateTime& written);

// Writes render(...) to `path` through QSaveFile: on any failure the old file
// stays as it was and FileError (a std::runtime_error) is thrown whose
// description names the path and the reason. The window shows
// "Error saving file " + description.
void save(const QString& path, const RowTable& rows, int stringLength,
          const QDateTime& written = QDateTime::currentDateTime());

// ---- Reading ---------------------------------------------------------------

struct ConfigItem final {
    enum class Kind {
        StringLength,  // select string length `stringLength` (1..10) now
        Row,  // apply keyName (and string/note when present) to `row`
        LineError,  // show `message`; reading goes on
        OpenError,  // show `message`; nothing more follows
    };
    Kind kind = Kind::OpenError;
    int lineNumber = 0;  // 1-based line of the file; 0 when the file could not be read at all
    int stringLength = 0;
    int row = 0;  // 0..92
    QString keyName;
    std::optional<QString> string;
    std::optional<QString> note;
    QString description;  // errors: the plain description
    QString message;  // errors: prefix + description (+ " iitemnumber-1 =" + (row - 1) for line errors)
};

// Yields a file's items one line at a time so the caller can act on each
// (select the string length at once, let the window breathe between lines).
// Never throws and never crashes on any content: binary garbage, NUL bytes,
// very long lines and text that is not UTF-8 (read as Latin-1) are all taken
// by the reading rules. Lines are stripped of blanks; empty and "#" lines are
// skipped; "String Length" lines give a StringLength item or an OpenError
// (number missing or outside 1..10); other lines with at least one tab and a
// numeric first field (C-locale decimal, rounded half to even) of at most 92
// give a Row item, or a LineError when the row comes out below 0.
class ConfigReader final {
public:
    explicit ConfigReader(QString path);

    // The next item, or std::nullopt at the end of the file or after an OpenError.
    std::optional<ConfigItem> next();

    // True once the escape marker has been read ahead of the row lines.
    bool escaped() const { return m_escaped; }

private:
    void load();
    std::optional<ConfigItem> lineItem(QStringView line);
    ConfigItem openError(const QString& description);

    QString m_path;
    QString m_text;
    qsizetype m_pos = 0;
    int m_lineNumber = 0;
    bool m_loaded = false;
    bool m_done = false;
    bool m_escaped = false;
    bool m_rowLineSeen = false;
};

// Puts a Row item's fields into the row table; fields the line lacked leave
// the row's values as they are. Other kinds are ignored.
void applyRow(const ConfigItem& item, RowTable& rows);

struct LoadSummary final {
    std::optional<int> stringLength;  // the last string length the file selected
    int rowLines = 0;  // Row items applied
    QMap<int, QList<int>> linesOfRow;  // row -> the file lines that set it, in file order
    QStringList lineErrors;  // messages of LineError items, in file order
    QString openError;  // message of the OpenError, empty when read to the end
    bool complete() const { return openError.isEmpty(); }
};

// Reads the whole file into `rows` (for callers that do not need to act line by
// line, such as the command-line tool). `onStringLength`, when given, is called
// for each string-length line as it is read, before the rows that follow it.
LoadSummary applyTo(RowTable& rows, const QString& path, const std::function<void(int)>& onStringLength = {});

}  // namespace config_file
