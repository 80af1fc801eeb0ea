#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A private-profile (INI) file of our own: section and key names match without
// regard to case, values are at most 1023 characters, and writing one key keeps
// every other line of the file byte for byte.
class IniFile final {
public:
    static constexpr int kMaxValue = 1023;
    // Four settings and a port list fit in a few hundred bytes; anything near
    // this is not a settings file, and reading it would only fill memory.
    static constexpr qint64 kMaxFileSize = 1024 * 1024;

    explicit IniFile(QString path);

    // Value of key in section, or `fallback` when the file, section or key is
    // missing (or is no regular file of at most kMaxFileSize bytes). Surrounding
    // blanks are trimmed; at most kMaxValue characters.
    QString read(const QString& section, const QString& key, const QString& fallback) const;

    // Every key=value of a section, in file order (for [PORTS]).
    QList<QPair<QString, QString>> section(const QString& section) const;

    // Replaces the value in place, or appends the key at the end of its section,
    // or appends the section with the key at the end of the file. Writes through
    // QSaveFile; throws std::runtime_error with a plain description on failure
    // (the old file then stays as it was).
    void write(const QString& section, const QString& key, const QString& value);

    const QString& path() const { return m_path; }

private:
    QString m_path;
};
