// One Read, Verify or Send over the real serial link and event-loop waiter
// against a device on the given port path, with the fixed waits or with fast
// exchange. Prints one line: wall time, the closing pause, the exchange time
// (wall without the pause), the bytes both ways and their time on the wire at
// the given bit rate, the ratio of exchange time to wire time, and a checksum of
// the status lines so that two runs can be shown to have said the same.
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
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>
#include <stdexcept>

namespace {

constexpr int kBitsPerCharacter = 11;  // start, 8 data, 2 stop
constexpr int kPauseFromMs = 1000;  // the closing pauses; every exchange wait is shorter

// Counts the bytes each way.
class CountingLink final : public SerialLink {
public:
    explicit CountingLink(SerialLink& inner) : m_inner(inner) { }
    void configure(int port, const QString& settings) override { m_inner.configure(port, settings); }
    void open() override { m_inner.open(); }
    void close() override { m_inner.close(); }
    bool isOpen() const override { return m_inner.isOpen(); }
    void write(const QByteArray& bytes) override
    {
        m_inner.write(bytes);
        sent += bytes.size();
    }
    int bytesAvailable() override { return m_inner.bytesAvailable(); }
    QByteArray readAll() override
    {
        const QByteArray bytes = m_inner.readAll();
        received += bytes.size();
        return bytes;
    }
    qint64 sent = 0;
    qint64 received = 0;

private:
    SerialLink& m_inner;
};

class HashingStatus final : public StatusSink {
public:
    int add(const QString& line) override
    {
        m_hash.addData(line.toUtf8() + '\n');
        return m_count++;
    }
    void setLine(int, const QString& line) override { m_hash.addData("=" + line.toUtf8() + '\n'); }
    QString line(int) const override { return {}; }
    void clear() override { m_hash.addData("clear\n"); }
    void showCompletion(const QString& text) override { completion = text; }
    void hideCompletion(const QString&) override { }
    void showProgress() override { }
    void hideProgress() override { }
    void setProgressMaximum(int maximum) override { m_max = maximum; }
    int progressMaximum() const override { return m_max; }
    void setProgressValue(int value) override { m_value = value; }
    int progressValue() const override { return m_value; }
    void setPercentText(const QString&) override { }
    QByteArray digest() const { return m_hash.result().toHex().left(12); }
    int lines() const { return m_count; }

    QString completion;

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha1};
    int m_count = 0;
    int m_max = 0;
    int m_value = 0;
};

int run(const QStringList& args)
{
    bool lengthOk = false;
    bool baudOk = false;
    const int length = args.value(3).toInt(&lengthOk);
    const int baud = args.value(5).toInt(&baudOk);
    const QString op = args.value(2);
    const QString mode = args.value(4);
    if (args.size() != 6 || !lengthOk || length < 1 || length > 10 || !baudOk || baud <= 0
        || (mode != QLatin1String("fixed") && mode != QLatin1String("fast")))
        throw std::runtime_error(
                "usage: fast_exchange_bench <port path> read|verify|send <length 1..10> fixed|fast <baud>");

    QtSerialLink port({{1, args.at(1)}});
    port.configure(1, QStringLiteral("%1,N,8,2").arg(baud));
    CountingLink link(port);
    // Wall time spent in the closing pause, which fast exchange leaves as it is.
    qint64 pauseMs = 0;
    SeenWaiter waiter([&pauseMs](int askedMs, qint64 tookMs) {
        if (askedMs >= kPauseFromMs)
            pauseMs += tookMs;
    });
    HashingStatus status;
    PrintedMessages messages;
    RowTable rows;
    fillTable(rows, length);
    HeadlessView view(length - 1);
    OperationContext context{link, waiter, messages, status, rows, view, 1, mode == QLatin1String("fast")};

    QElapsedTimer wall;
    wall.start();
    runTableOperation(op, context);
    const qint64 wallMs = wall.elapsed();

    const qint64 exchangeMs = wallMs - pauseMs;
    const double wireMs = static_cast<double>(link.sent + link.received) * kBitsPerCharacter * 1000.0 / baud;
    std::printf("%-6s L=%-2d %-5s wall %6lld ms  pause %5lld ms  exchange %6lld ms  bytes %4lld+%-4lld wire %6.0f ms"
                "  exchange/wire %5.2f  lines %d sha %s  %s\n",
                qPrintable(op), length, qPrintable(mode), wallMs, pauseMs, exchangeMs, link.sent, link.received, wireMs,
                exchangeMs / wireMs, status.lines(), status.digest().constData(), qPrintable(status.completion));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    try {
        return run(QCoreApplication::arguments());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "fast_exchange_bench: %s\n", error.what());
        return 2;
    }
}
