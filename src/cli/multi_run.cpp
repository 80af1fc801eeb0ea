#include "cli/multi_run.h"

#include "cli/device_job.h"
#include "cli/interrupt_watch.h"
#include "cli/run_report.h"
#include "cli/shared_terminal.h"
#include "device/port_resolver.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QIODevice>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace cli {

namespace {

const QString kPortField = QStringLiteral("{port}");
constexpr int kBoardRedrawMs = 200;

// Several devices writing one file would overwrite each other's.
void checkPatterns(const Options& options, bool several)
{
    if (options.command == Command::Read && options.file.isEmpty())
        throw UsageError("read on several ports needs -o FILE with {port} in its name");
    if (several && options.command == Command::Read && !options.file.contains(kPortField))
        throw UsageError("read on several ports needs {port} in the -o file name");
    if (several && !options.logPath.isEmpty() && !options.logPath.contains(kPortField))
        throw UsageError("--log on several ports needs {port} in the file name");
}

std::vector<std::unique_ptr<DeviceJob>> makeJobs(const Options& options, const TableFile& table,
                                                 const Settings& settings, QStringList& given)
{
    checkPatterns(options, options.ports.size() > 1 || options.ports.contains(QLatin1String(kAllPorts)));
    const QList<ChosenPort> chosen = PortResolver(portDefaults(options, settings)).resolveAll(options.ports);
    std::vector<std::unique_ptr<DeviceJob>> jobs;
    QStringList devices;
    for (const ChosenPort& choice : chosen) {
        given.append(choice.given);
        Options own = options;
        own.port = choice.given;
        own.ports = QStringList{choice.given};
        const QString path = choice.devicePath();
        const QString device = QFileInfo(path).canonicalFilePath();
        if (devices.contains(device.isEmpty() ? path : device))
            throw UsageError(QStringLiteral("--port %1 is the same device as an earlier --port")
                                     .arg(choice.given)
                                     .toStdString());
        devices.append(device.isEmpty() ? path : device);
        const QString label = choice.label();
        own.file = withPort(options.file, label);
        own.logPath = withPort(options.logPath, label);
        if (own.command == Command::Read)
            checkOutputFile(own.file);
        if (!own.logPath.isEmpty())
            checkLogFile(own.logPath);
        jobs.push_back(std::make_unique<DeviceJob>(label, choice, own, table));
    }
    return jobs;
}

}  // namespace

void checkDistinct(const QList<ChosenPort>& ports)
{
    QStringList devices;
    for (const ChosenPort& port : ports) {
        const QString path = port.devicePath();
        const QString device = QFileInfo(path).canonicalFilePath();
        if (devices.contains(device.isEmpty() ? path : device))
            throw UsageError(
                    QStringLiteral("--port %1 is the same device as an earlier --port").arg(port.given).toStdString());
        devices.append(device.isEmpty() ? path : device);
    }
}

QString withPort(const QString& pattern, const QString& label)
{
    QString name = label;
    return QString(pattern).replace(kPortField, name.replace(QLatin1Char('/'), QLatin1Char('_')));
}

int runMany(const Options& options, const TableFile& table, const Settings& settings, Console& console)
{
    QStringList given;
    const std::vector<std::unique_ptr<DeviceJob>> jobs = makeJobs(options, table, settings, given);
    SharedTerminal terminal(console, console.errIsTerminal && !options.quiet);
    InterruptWatch interrupts([&jobs] {
        for (const auto& job : jobs)
            job->requestAbort();
    });

    const auto count = static_cast<std::ptrdiff_t>(jobs.size());
    std::latch opened(count);
    std::promise<bool> go;
    const std::shared_future<bool> goFuture = go.get_future().share();
    QEventLoop loop;
    std::ptrdiff_t running = count;
    std::vector<std::unique_ptr<QThread>> threads;
    for (const auto& job : jobs) {
        const int board = terminal.addDevice(job->label());
        DeviceJob* raw = job.get();
        threads.emplace_back(QThread::create(
                [raw, &opened, goFuture, &terminal, board] { raw->run(opened, goFuture, terminal, board); }));
        QObject::connect(threads.back().get(), &QThread::finished, &loop, [&loop, &running] {
            if (--running == 0)
                loop.quit();
        });
        threads.back()->start();
    }
    // Nothing is sent anywhere until every port is open.
    opened.wait();
    const bool allOpened = std::all_of(jobs.begin(), jobs.end(), [](const auto& job) { return job->opened(); });
    const bool stoppedEarly = interrupts.interrupted();
    go.set_value(allOpened && !stoppedEarly);

    QTimer board;
    QObject::connect(&board, &QTimer::timeout, &loop, [&terminal] { terminal.redraw(); });
    board.start(kBoardRedrawMs);
    loop.exec();
    for (const auto& thread : threads)
        thread->wait();
    board.stop();
    terminal.finish();

    if (stoppedEarly) {
        console.err.write(QByteArray(kProgramName) + ": interrupted before anything was sent\n");
        return kExitInterrupted;
    }
    if (!allOpened)
        throw UsageError("nothing was sent: every port must open before any device is written");

    QList<DeviceReport> reports;
    bool interrupted = false;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const DeviceJob& job = *jobs[i];
        const DeviceOutcome& outcome = job.outcome();
        reports.append(
                {given.at(static_cast<qsizetype>(i)).isEmpty() ? job.label() : given.at(static_cast<qsizetype>(i)),
                 job.label(), outcome.exitStatus == kExitSucceeded, outcome.exitStatus == kExitInterrupted,
                 outcome.failed, job.completion(), job.version(), job.message(), job.seconds(), outcome.deviceHolds});
        interrupted = interrupted || reports.last().interrupted;
    }
    (options.json ? console.err : console.out).write(summaryTable(options.command, reports));
    if (options.json)
        console.out.write(jsonLines(options.command, reports));
    if (interrupted)
        return kExitInterrupted;
    const bool allOk = std::all_of(reports.begin(), reports.end(), [](const DeviceReport& r) { return r.ok; });
    return allOk ? kExitSucceeded : kExitNotSucceeded;
}

}  // namespace cli
