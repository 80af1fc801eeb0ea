#include "cli/station_run.h"

#include "cli/console_status.h"
#include "cli/interrupt_watch.h"
#include "cli/multi_run.h"
#include "cli/run_report.h"
#include "cli/shared_terminal.h"
#include "files/file_error.h"
#include "station/station.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QSysInfo>
#include <QTimer>

namespace cli {

namespace {

constexpr int kBoardRedrawMs = 200;

StationSetup setupFor(const Options& options, const TableFile& table, const Settings& settings)
{
    StationSetup setup;
    setup.table = {table.rows, table.lengthIndex, QFileInfo(options.file).fileName()};
    setup.defaults = portDefaults(options, settings);
    setup.allPorts = options.ports.contains(QLatin1String(kAllPorts));
    if (!setup.allPorts) {
        PortResolver resolver(setup.defaults);
        for (const QString& port : options.ports)
            setup.ports.append(resolver.resolve(port));
        checkDistinct(setup.ports);
    }
    setup.verify = options.verify;
    setup.count = options.count;
    setup.recordPath = options.recordPath;
    setup.stationName = QSysInfo::machineHostName();
    return setup;
}

QString resultLine(const QString& label, const DeviceResult& result)
{
    const QString head = QStringLiteral("[%1] #%2 ").arg(label).arg(result.number);
    if (result.ok())
        return head + QStringLiteral("OK  %1  %2 s").arg(result.version).arg(result.seconds, 0, 'f', 1);
    const QString word = result.result == QLatin1String(DeviceResult::kInterrupted) ? QStringLiteral("INTERRUPTED")
                                                                                    : QStringLiteral("FAILED");
    return head + word + QStringLiteral("  ") + result.message;
}

QByteArray jsonFor(const QString& path, const QString& sha256, const DeviceResult& result)
{
    const DeviceReport report{path,
                              QString(),
                              result.ok(),
                              result.result == QLatin1String(DeviceResult::kInterrupted),
                              result.failedBlocks + result.failedRows,
                              result.completion,
                              result.version,
                              result.message,
                              result.seconds,
                              QString()};
    QJsonObject object = jsonObject(Command::Station, report);
    object.insert(QStringLiteral("number"), result.number);
    object.insert(QStringLiteral("serial"), result.usbSerial);
    object.insert(QStringLiteral("sha256"), sha256);
    object.insert(QStringLiteral("result"), result.result);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace

int runStation(const Options& options, const TableFile& table, const Settings& settings, Console& console)
{
    std::unique_ptr<Station> station;
    try {
        station = std::make_unique<Station>(setupFor(options, table, settings));
    } catch (const FileError& error) {
        throw UsageError(error.what());
    }
    QIODevice& lines = options.json ? console.err : console.out;
    const StationTable& programmed = station->setup().table;
    lines.write(QStringLiteral("Table %1: string length %2, %3 rows, sha256 %4\n")
                        .arg(terminalSafe(QDir::toNativeSeparators(options.file)))
                        .arg(programmed.stringLength())
                        .arg(programmed.rowCount())
                        .arg(station->sha256())
                        .toUtf8());

    SharedTerminal terminal(console, console.errIsTerminal && !options.quiet);
    const auto print = [&terminal, &options](const QString& line) {
        terminal.print(options.json, (terminalSafe(line) + QLatin1Char('\n')).toUtf8());
    };
    bool recordBroken = false;
    QObject::connect(station.get(), &Station::portAdded, station.get(),
                     [&terminal](int, const QString& label) { terminal.addDevice(label); });
    QObject::connect(station.get(), &Station::portChanged, station.get(), [&](int port, const PortState& state) {
        terminal.setProgress(port, terminalSafe(state.text));
        // What needs the operator is said in a line of its own, too.
        if (state.phase == PortState::Phase::Skipped)
            print(QStringLiteral("[%1] %2").arg(station->label(port), state.text));
    });
    QObject::connect(station.get(), &Station::deviceEnded, station.get(), [&](int port, const DeviceResult& result) {
        print(resultLine(station->label(port), result));
        if (options.json)
            terminal.print(false, jsonFor(station->path(port), station->sha256(), result));
        terminal.setFooter(Station::totals(station->programmed(), station->failed()));
    });
    QObject::connect(station.get(), &Station::recordFailed, station.get(), [&](const QString& message) {
        recordBroken = true;
        print(QLatin1String(kProgramName) + QStringLiteral(": ") + message + QStringLiteral("; the station stops"));
    });

    QEventLoop loop;
    QObject::connect(station.get(), &Station::finished, &loop, &QEventLoop::quit);
    InterruptWatch interrupts([&station] { station->stop(); });
    QTimer board;
    QObject::connect(&board, &QTimer::timeout, &loop, [&terminal] { terminal.redraw(); });
    board.start(kBoardRedrawMs);
    terminal.setFooter(Station::totals(0, 0));
    station->start();
    loop.exec();
    board.stop();
    terminal.finish();
    lines.write((Station::totals(station->programmed(), station->failed()) + QLatin1Char('\n')).toUtf8());
    if (interrupts.interrupted() && !recordBroken)
        return kExitInterrupted;
    return station->failed() == 0 && !recordBroken ? kExitSucceeded : kExitNotSucceeded;
}

}  // namespace cli
