#include "cli/run_report.h"

#include "cli/console_status.h"

#include <QJsonDocument>

#include <algorithm>

namespace cli {

QString commandName(Command command)
{
    switch (command) {
    case Command::Version:
        return QStringLiteral("version");
    case Command::Read:
        return QStringLiteral("read");
    case Command::Send:
        return QStringLiteral("send");
    case Command::Verify:
        return QStringLiteral("verify");
    case Command::Ports:
        return QStringLiteral("ports");
    case Command::Station:
        return QStringLiteral("station");
    case Command::Check:
        break;
    }
    return QStringLiteral("check");
}

QString resultText(const DeviceReport& report)
{
    if (report.interrupted)
        return QStringLiteral("interrupted: ")
                + (report.holds.isEmpty() ? QStringLiteral("the device is unchanged") : report.holds);
    const QString completion = report.completion.trimmed();
    // The message box's first line says why; the sentence about the table follows it.
    const QString why = report.message.section(QLatin1Char('\n'), 0, 0);
    QString text;
    if (report.ok || why.isEmpty())
        text = !completion.isEmpty() ? completion : report.ok ? QStringLiteral("succeeded") : QStringLiteral("failed");
    else
        text = completion.isEmpty() ? why : completion + QStringLiteral(" (") + why + QLatin1Char(')');
    return report.holds.isEmpty() ? text : text + QStringLiteral(": ") + report.holds;
}

QByteArray summaryTable(Command command, const QList<DeviceReport>& reports)
{
    const bool counts = command == Command::Send || command == Command::Verify;
    const bool version = command == Command::Version;
    QList<QStringList> rows{{QStringLiteral("Port")}};
    if (version)
        rows[0].append(QStringLiteral("Version"));
    rows[0] << QStringLiteral("Result") << QStringLiteral("Failed") << QStringLiteral("Seconds");
    for (const DeviceReport& report : reports) {
        QStringList row{report.label};
        if (version)
            row.append(report.version);
        row << resultText(report) << (counts ? QString::number(report.failed) : QStringLiteral("-"))
            << QString::number(report.seconds, 'f', 1);
        rows.append(row);
    }
    QList<qsizetype> widths(rows[0].size(), 0);
    for (const QStringList& row : std::as_const(rows)) {
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row.at(c).size());
    }
    QString table;
    for (const QStringList& row : std::as_const(rows)) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            // Counts and times line up on the right, words on the left.
            const bool number = c >= row.size() - 2;
            const QString cell = number ? row.at(c).rightJustified(widths[c]) : row.at(c).leftJustified(widths[c]);
            line += (c == 0 ? QString() : QStringLiteral("  ")) + cell;
        }
        table += terminalSafe(line.trimmed()) + QLatin1Char('\n');
    }
    return table.toUtf8();
}

QJsonObject jsonObject(Command command, const DeviceReport& report)
{
    QJsonObject object{{QStringLiteral("port"), report.port},
                       {QStringLiteral("operation"), commandName(command)},
                       {QStringLiteral("ok"), report.ok},
                       {QStringLiteral("failed"), report.failed},
                       {QStringLiteral("completion"),
                        report.completion.trimmed().isEmpty() ? resultText(report) : report.completion.trimmed()},
                       {QStringLiteral("message"), report.message},
                       {QStringLiteral("seconds"), static_cast<double>(qRound(report.seconds * 1000)) / 1000}};
    if (command == Command::Version || command == Command::Station)
        object.insert(QStringLiteral("version"), report.version);
    return object;
}

QByteArray jsonLines(Command command, const QList<DeviceReport>& reports)
{
    QByteArray lines;
    for (const DeviceReport& report : reports)
        lines += QJsonDocument(jsonObject(command, report)).toJson(QJsonDocument::Compact) + '\n';
    return lines;
}

}  // namespace cli
