#include "cli/device_job.h"

#include "cli/console_status.h"
#include "cli/shared_terminal.h"
#include "device/event_loop_waiter.h"
#include "device/qt_serial_link.h"
#include "model/error_text.h"

#include <QElapsedTimer>

namespace cli {

namespace {

const QString kVersionLine = QStringLiteral("Version = ");

}  // namespace

DeviceJob::DeviceJob(QString label, ChosenPort port, Options options, TableFile table)
    : m_label(std::move(label)), m_port(std::move(port)), m_options(std::move(options)), m_table(std::move(table))
{ }

void DeviceJob::requestAbort()
{
    m_stop.request();
}

void DeviceJob::run(std::latch& opened, std::shared_future<bool> go, SharedTerminal& terminal, int board)
{
    PrefixedStream out(terminal, m_label, false);
    PrefixedStream err(terminal, m_label, true);
    Console console{out, err, false};
    QtSerialLink link;
    EventLoopWaiter waiter;
    try {
        openPort(link, m_port);
        m_opened = true;
    } catch (const std::exception& error) {
        err.write(QByteArray(kProgramName) + ": " + error.what() + '\n');
    }
    opened.count_down();
    if (go.get() && m_opened)
        runOperation(waiter, link, console, terminal, board);
    link.close();
}

void DeviceJob::runOperation(Waiter& waiter, SerialLink& link, Console& console, SharedTerminal& terminal, int board)
{
    ConsoleStatus status(m_options.json ? console.err : console.out, console.err, false);
    status.setQuiet(m_options.quiet);
    status.setLogFile(m_options.logPath);
    status.setProgressReport([&terminal, board](const QString& line) { terminal.setProgress(board, line); });

    const StopSwitch::Attach stop(m_stop, waiter);
    QElapsedTimer clock;
    clock.start();
    try {
        m_outcome = runOnOpenPort(m_options, m_port, link, waiter, m_table, status, console);
    } catch (const std::exception& error) {
        // A log file that failed mid-run, for one: this device stops, the others go on.
        status.finish();
        status.printMessage(describe(error));
        m_outcome = {kExitNotSucceeded, m_outcome.failed, {}};
    }
    m_seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    m_completion = status.completion();
    m_message = status.lastMessage();
    for (const QString& line : status.lines()) {
        if (line.startsWith(kVersionLine))
            m_version = line.mid(kVersionLine.size());
    }
    terminal.setProgress(board, QString());
}

}  // namespace cli
