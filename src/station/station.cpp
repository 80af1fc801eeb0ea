#include "station/station.h"

#include "files/record_file.h"
#include "model/error_text.h"
#include "station/port_watch.h"

#include <QFileInfo>
#include <QThread>

namespace {

RecordLine recordLine(const StationSetup& setup, const QString& sha256, const QString& port, const DeviceResult& result)
{
    return {result.ended,
            setup.stationName,
            port,
            result.stablePath,
            result.usbSerial,
            result.version,
            setup.table.name,
            sha256,
            setup.table.stringLength(),
            setup.table.rowCount(),
            result.result,
            result.failedBlocks,
            result.failedRows,
            result.seconds,
            result.message};
}

}  // namespace

Station::Station(StationSetup setup, QObject* parent)
    : QObject(parent), m_setup(std::move(setup)), m_sha256(m_setup.table.sha256())
{
    qRegisterMetaType<PortState>();
    qRegisterMetaType<DeviceResult>();
    if (!m_setup.recordPath.isEmpty())
        m_record = std::make_unique<RecordFile>(m_setup.recordPath);
    m_discover.setInterval(kDiscoverMs);
    connect(&m_discover, &QTimer::timeout, this, &Station::discover);
}

Station::~Station()
{
    stop();
    for (const auto& thread : m_threads)
        thread->wait();
}

QString Station::totals(int programmed, int failed)
{
    return QStringLiteral("Programmed %1 \u00b7 Failed %2").arg(programmed).arg(failed);
}

void Station::start()
{
    if (m_started)
        return;
    m_started = true;
    for (const ChosenPort& port : std::as_const(m_setup.ports))
        addPort(port);
    if (m_setup.allPorts) {
        discover();
        m_discover.start();
    }
    if (m_running == 0 && !m_setup.allPorts)
        QMetaObject::invokeMethod(this, &Station::finished, Qt::QueuedConnection);
}

void Station::addPort(const ChosenPort& port)
{
    const QString path = port.devicePath();
    const QString node = QFileInfo(path).canonicalFilePath();
    if (m_watched.contains(path) || (!node.isEmpty() && m_watched.contains(node)))
        return;
    m_watched << path << node;
    const int index = static_cast<int>(m_watches.size());
    m_labels.append(port.label());
    m_paths.append(path);
    // The watch's callbacks run on its thread: what they tell is queued to this one.
    PortWatch::Station station{
            [this] { return m_closing ? 0 : ++m_numbers; }, [this] { return m_closing.load(); },
            [this, index](const PortState& state) {
                QMetaObject::invokeMethod(
                        this, [this, index, state] { emit portChanged(index, state); }, Qt::QueuedConnection);
            },
            [this, index](const DeviceResult& result) {
                QMetaObject::invokeMethod(
                        this, [this, index, result] { onEnded(index, result); }, Qt::QueuedConnection);
            }};
    m_watches.push_back(std::make_unique<PortWatch>(port, m_setup.table, m_setup.verify, std::move(station)));
    PortWatch* watch = m_watches.back().get();
    m_threads.emplace_back(QThread::create([watch] { watch->run(); }));
    connect(m_threads.back().get(), &QThread::finished, this, &Station::onThreadFinished);
    ++m_running;
    emit portAdded(index, m_labels.constLast());
    m_threads.back()->start();
}

void Station::discover()
{
    if (m_closing)
        return;
    // Only the system's lists are read here; a port's own watch looks for
    // other programs holding it before it ever opens it.
    const QList<PortRow> rows = port_catalogue::rows(port_catalogue::systemPorts(), port_catalogue::stableLinks(),
                                                     m_setup.defaults.mapping, {});
    PortResolver resolver(m_setup.defaults);
    for (const PortRow& row : rows) {
        if (row.present)
            addPort(resolver.resolve(row.mappingPath()));
    }
}

void Station::stop()
{
    m_stopRequested = true;
    for (const auto& watch : m_watches)
        watch->requestStop();
    close();
}

void Station::close()
{
    const bool wasClosing = m_closing.exchange(true);
    m_discover.stop();
    // auto-all with no port yet has no thread whose end would say it.
    if (!wasClosing && m_started && m_running == 0 && m_setup.allPorts)
        QMetaObject::invokeMethod(this, &Station::finished, Qt::QueuedConnection);
}

void Station::onEnded(int port, const DeviceResult& result)
{
    if (result.ok())
        ++m_programmed;
    else
        ++m_failed;
    if (m_record) {
        try {
            m_record->append(recordLine(m_setup, m_sha256, m_paths.value(port), result));
        } catch (const std::exception& error) {
            emit recordFailed(describe(error));
            stop();
        }
    }
    emit deviceEnded(port, result);
    if (m_setup.count > 0 && m_programmed >= m_setup.count)
        close();
}

void Station::onThreadFinished()
{
    if (--m_running == 0) {
        m_discover.stop();
        emit finished();
    }
}
