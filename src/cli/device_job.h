#pragma once

#include "cli/cli_options.h"
#include "cli/runner.h"
#include "device/stop_switch.h"

#include <QString>

#include <future>
#include <latch>

class Waiter;

namespace cli {

class SharedTerminal;

// One device of a run over several, on a thread of its own: it opens its port,
// waits until every other device has opened its own, then runs the same code a
// single run does, with its own port, waiter, status lines, log and copy of the
// table. Everything it needs is copied in before its thread starts; the results
// are read after the thread has ended.
class DeviceJob final {
public:
    DeviceJob(QString label, ChosenPort port, Options options, TableFile table);

    // The thread's whole work. opened: counted down once the port is open or
    // has failed; go: false when any port failed or a stop came meanwhile.
    void run(std::latch& opened, std::shared_future<bool> go, SharedTerminal& terminal, int board);

    // From any thread: stop at the next wait (or before the first).
    void requestAbort();

    const QString& label() const { return m_label; }
    bool opened() const { return m_opened; }
    const DeviceOutcome& outcome() const { return m_outcome; }
    const QString& completion() const { return m_completion; }
    const QString& version() const { return m_version; }
    const QString& message() const { return m_message; }
    double seconds() const { return m_seconds; }

private:
    void runOperation(Waiter& waiter, SerialLink& link, Console& console, SharedTerminal& terminal, int board);

    const QString m_label;
    const ChosenPort m_port;
    const Options m_options;
    TableFile m_table;

    StopSwitch m_stop;

    bool m_opened = false;
    DeviceOutcome m_outcome;
    QString m_completion;
    QString m_version;
    QString m_message;
    double m_seconds = 0;
};

}  // namespace cli
