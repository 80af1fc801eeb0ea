#include "device/device_search.h"

#include "device/attachment.h"
#include "device/event_loop_waiter.h"
#include "device/protocol.h"
#include "device/qt_serial_link.h"
#include "device/status_sink.h"
#include "model/error_text.h"
#include "model/messages.h"

#include <QEventLoop>
#include <QThread>

namespace {

// The search shows no status list and no message boxes: what the check says
// ends up in the result instead.
class SilentStatus final : public StatusSink {
public:
    int add(const QString&) override { return 0; }
    void setLine(int, const QString&) override { }
    QString line(int) const override { return {}; }
    void clear() override { }
    void showCompletion(const QString&) override { }
    void hideCompletion(const QString&) override { }
    void showProgress() override { }
    void hideProgress() override { }
    void setProgressMaximum(int) override { }
    int progressMaximum() const override { return 0; }
    void setProgressValue(int) override { }
    int progressValue() const override { return 0; }
    void setPercentText(const QString&) override { }
};

class KeptMessages final : public Messages {
public:
    void info(const QString& text) override { last = text; }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override { }
    QString last;
};

// The event-loop wait of a probe thread, ended early when the search is called off.
class StoppableWaiter final : public Waiter {
public:
    explicit StoppableWaiter(const std::atomic<bool>& stop) : m_stop(stop) { }
    void delay(int ms) override
    {
        check();
        m_inner.delay(ms);
        check();
    }
    std::int64_t markUs() const override { return m_inner.markUs(); }
    void delayFrom(std::int64_t fromUs, int ms) override
    {
        check();
        m_inner.delayFrom(fromUs, ms);
        check();
    }
    int delayUntil(int ms, const std::function<bool()>& ready) override
    {
        check();
        const int waited = m_inner.delayUntil(ms, ready);
        check();
        return waited;
    }
    void processEvents() override
    {
        check();
        m_inner.processEvents();
    }
    void requestAbort() override { m_inner.requestAbort(); }

private:
    void check() const
    {
        if (m_stop)
            throw OperationAborted();
    }
    const std::atomic<bool>& m_stop;
    EventLoopWaiter m_inner;
};

}  // namespace

namespace device_search {

QStringList candidates(const QList<PortRow>& table)
{
    QStringList paths;
    for (const PortRow& row : table) {
        if (row.present && !row.inUse && !paths.contains(row.mappingPath()))
            paths.append(row.mappingPath());
    }
    return paths;
}

ProbeResult probe(SerialLink& link, Waiter& waiter, const QString& path, const QString& settingsText)
{
    ProbeResult result{path, false, {}};
    try {
        link.configure(1, settingsText);
        link.open();
    } catch (const SerialError& error) {
        result.detail = describe(error);
        return result;
    }
    SilentStatus status;
    KeptMessages messages;
    Protocol protocol(link, waiter, status);
    const AttachCheck check = checkAttached(protocol, messages, 1);
    link.close();
    result.answered = check.attached();
    if (check.linkFailed)
        result.detail = messages.last;
    else if (!check.attached())
        result.detail = check.result.startsWith(QLatin1String("Not a")) ? check.result : QStringLiteral("no answer");
    return result;
}

QList<ProbeResult> probeAll(const QStringList& paths, const QString& settingsText)
{
    QList<ProbeResult> results;
    DeviceSearch search;
    QEventLoop loop;
    QObject::connect(&search, &DeviceSearch::finished, &loop, [&](const QList<ProbeResult>& found) {
        results = found;
        loop.quit();
    });
    search.start(paths, settingsText);
    if (search.running())
        loop.exec();
    return results;
}

QStringList answering(const QList<ProbeResult>& results)
{
    QStringList paths;
    for (const ProbeResult& result : results) {
        if (result.answered)
            paths.append(result.path);
    }
    return paths;
}

}  // namespace device_search

struct DeviceSearch::Shared {
    std::atomic<bool> stop{false};
    std::vector<ProbeResult> results;  // each thread writes only its own entry
};

DeviceSearch::DeviceSearch(QObject* parent) : QObject(parent)
{ }

DeviceSearch::~DeviceSearch()
{
    stopAll();
}

void DeviceSearch::stopAll()
{
    if (m_shared)
        m_shared->stop = true;
    for (QThread* thread : m_threads) {
        thread->wait();
        delete thread;
    }
    m_threads.clear();
}

void DeviceSearch::start(const QStringList& paths, const QString& settingsText)
{
    if (running())
        return;
    stopAll();
    m_shared = std::make_shared<Shared>();
    for (const QString& path : paths)
        m_shared->results.push_back(ProbeResult{path, false, QStringLiteral("not probed")});
    if (paths.isEmpty()) {
        // Said after start() returns, as with any search.
        QMetaObject::invokeMethod(
                this, [this] { emit finished({}); }, Qt::QueuedConnection);
        return;
    }
    for (int i = 0; i < paths.size(); ++i) {
        std::shared_ptr<Shared> shared = m_shared;
        QThread* thread = QThread::create([shared, i, path = paths.at(i), settingsText] {
            QtSerialLink link({{1, path}});
            StoppableWaiter waiter(shared->stop);
            try {
                shared->results[static_cast<std::size_t>(i)] = device_search::probe(link, waiter, path, settingsText);
            } catch (const OperationAborted&) {
                link.close();
            }
        });
        connect(thread, &QThread::finished, this, [this, shared] {
            if (--m_running == 0 && !shared->stop)
                emit finished(QList<ProbeResult>(shared->results.begin(), shared->results.end()));
        });
        m_threads.push_back(thread);
        ++m_running;
        thread->start();
    }
}
