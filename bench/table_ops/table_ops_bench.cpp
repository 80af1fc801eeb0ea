// One Read, Verify or Send over the real serial link and event-loop waiter,
// headless, against a device on the given port path. Prints one line of
// numbers: wall time, the sum of the fixed waits the operation asked for, their
// ratio, CPU time and peak resident memory.
#include "../common/bench_table.h"
#include "device/qt_serial_link.h"
#include "device/status_sink.h"
#include "model/capacity.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/row_table.h"
#include "operations/headless_view.h"
#include "operations/operation_context.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <stdexcept>
#include <sys/resource.h>

namespace {

class QuietStatus final : public StatusSink {
public:
    int add(const QString& line) override
    {
        m_last = line;
        return m_count++;
    }
    void setLine(int, const QString&) override { }
    QString line(int) const override { return m_last; }
    void clear() override { m_count = 0; }
    void showCompletion(const QString& text) override { completion = text; }
    void hideCompletion(const QString& text) override { completion = text; }
    void showProgress() override { }
    void hideProgress() override { }
    void setProgressMaximum(int maximum) override { m_max = maximum; }
    int progressMaximum() const override { return m_max; }
    void setProgressValue(int value) override { m_value = value; }
    int progressValue() const override { return m_value; }
    void setPercentText(const QString&) override { }

    QString completion;

private:
    QString m_last;
    int m_count = 0;
    int m_max = 0;
    int m_value = 0;
};

qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int run(const QStringList& args)
{
    if (args.size() != 4)
        throw std::runtime_error("usage: table_ops_bench <port path> read|verify|send <length 1..10>");
    const QString path = args.at(1);
    const QString op = args.at(2);
    bool ok = false;
    const int length = args.at(3).toInt(&ok);
    if (!ok || length < 1 || length > 10)
        throw std::runtime_error("the length must be a number from 1 to 10");

    QtSerialLink link({{1, path}});
    link.configure(1, QStringLiteral("9600,N,8,2"));
    // What the operation asked to wait, so the floor is the one it really ran
    // (the presence check may need more than one poll).
    qint64 requestedMs = 0;
    SeenWaiter waiter([&requestedMs](int askedMs, qint64) { requestedMs += askedMs; });
    QuietStatus status;
    PrintedMessages messages;
    RowTable rows;
    fillTable(rows, length);
    HeadlessView view(length - 1);
    OperationContext context{link, waiter, messages, status, rows, view, 1};

    const qint64 cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    runTableOperation(op, context);
    const qint64 wallMs = wall.elapsed();
    const qint64 cpu = cpuMs() - cpuBefore;

    const double floor = static_cast<double>(requestedMs);
    std::printf("%-6s length %2d rows %2d  wall %6lld ms  floor %6.0f ms  ratio %.4f  cpu %4lld ms  cpu/wall %.2f %%  "
                "peak rss %.1f MB  \"%s\"\n",
                qPrintable(op), length, capacity::maxKeysForIndex(length - 1), wallMs, floor,
                floor > 0 ? wallMs / floor : 0.0, cpu, wallMs > 0 ? 100.0 * cpu / wallMs : 0.0, peakRssKb() / 1024.0,
                qPrintable(status.completion));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(app.arguments());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "table_ops_bench: %s\n", error.what());
        return 2;
    }
}
