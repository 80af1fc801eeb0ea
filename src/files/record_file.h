#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

// One device of a production station, as its record line holds it.
struct RecordLine final {
    QDateTime time;  // when the device's run ended, written with its UTC offset
    QString station;  // the host name
    QString port;
    QString stablePath;  // /dev/serial/by-id/... leading to the port, "" when none
    QString usbSerial;
    QString version;  // the device's answer to the version query
    QString table;  // the configuration file's name
    QString sha256;  // of the bytes the table sends, in hex
    int stringLength = 0;
    int rows = 0;  // the rows that string length sends
    QString result;  // "ok", "failed", "removed" or "interrupted"
    int failedBlocks = 0;
    int failedRows = 0;
    double seconds = 0;
    QString message;  // why it did not end ok, or what the device now holds
};

// The production record: CSV (RFC 4180, UTF-8, CR LF), a header line naming the
// columns, then one line per device. Lines are only ever appended.
class RecordFile final {
public:
    // time, station, port, stable_path, usb_serial, version, table, sha256,
    // string_length, rows, result, failed_blocks, failed_rows, seconds, message
    static const QStringList& columns();
    // One CSV line: a field holding a comma, a quote or a line break is quoted,
    // quotes doubled; a field starting like a formula gets a leading apostrophe and
    // control characters other than line ends are written as {XX}.
    static QByteArray csvLine(const QStringList& fields);
    static QByteArray lineFor(const RecordLine& line);

    // Opens the file for appending, creating it, and writes the header when the
    // file is new or empty. Throws FileError naming the path.
    explicit RecordFile(const QString& path);

    // Writes the line and has it on the disk (flushed and synced) before it
    // returns, so a crash or a power cut loses at most the device in progress.
    // Throws FileError.
    void append(const RecordLine& line);

    const QString& path() const { return m_path; }

private:
    void write(const QByteArray& bytes);

    QString m_path;
    QFile m_file;
};
