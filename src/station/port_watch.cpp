#include "station/port_watch.h"

#include "device/event_loop_waiter.h"
#include "device/port_catalogue.h"
#include "device/port_holders.h"
#include "device/protocol.h"
#include "device/qt_serial_link.h"
#include "device/waiter.h"
#include "model/error_text.h"
#include "operations/headless_view.h"
#include "operations/operation_context.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"
#include "station/device_status.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace {

// The presence check's own wait for an answer to one probe.
constexpr int kProbeWaitMs = Protocol::kPresenceSteps * Protocol::kPresenceStepMs;

const QString kWaiting = QStringLiteral("Waiting for a device");
const QString kSending = QStringLiteral("Sending");

// A failure's text and, when the Send got that far, what the device now holds, as one line: a message box's
// lines become sentences.
QString oneLine(const QString& failure, const QString& holds)
{
    QStringList parts = failure.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!holds.isEmpty() && !failure.contains(holds))
        parts.append(holds);
    QString text;
    for (const QString& part : std::as_const(parts)) {
        if (!text.isEmpty())
            text += text.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(". ");
        text += part.trimmed();
    }
    return text;
}

bool endsWithMark(const QByteArray& bytes)
{
    return !bytes.isEmpty() && static_cast<unsigned char>(bytes.back()) == Protocol::kPresenceMark;
}

QString target(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

}  // namespace

PortWatch::PortWatch(ChosenPort port, StationTable table, bool verify, Station station)
    : m_port(std::move(port)), m_path(m_port.devicePath()), m_table(std::move(table)), m_verify(verify),
      m_station(std::move(station))
{ }

void PortWatch::show(PortState::Phase phase, const QString& text)
{
    if (m_state.phase == phase && m_state.text == text)
        return;
    m_state.phase = phase;
    m_state.text = text;
    m_station.changed(m_state);
}

void PortWatch::run()
{
    QtSerialLink link;
    EventLoopWaiter waiter;
    const StopSwitch::Attach stop(m_stop, waiter);
    try {
        m_port.configure(link);
        while (awaitDevice(link, waiter)) {
            const int number = m_station.claim();
            if (number == 0)
                break;
            program(link, waiter, number);
            awaitRemoval(link, waiter);
        }
    } catch (const OperationAborted&) {
        // A device stopped mid-run has said what it now holds.
    } catch (const SerialError& error) {
        show(PortState::Phase::Stopped, QStringLiteral("Stopped: ") + describe(error));  // settings it cannot take
    }
    // A finished device keeps its line; a port without one says it is no longer watched.
    if (m_state.phase == PortState::Phase::Waiting || m_state.phase == PortState::Phase::Skipped)
        show(PortState::Phase::Stopped, QStringLiteral("Stopped"));
    link.close();
}

bool PortWatch::openFree(QtSerialLink& link, const QString& node)
{
    const QString holder = PortHolders::scan().holderOf(node);
    if (!holder.isEmpty()) {
        show(PortState::Phase::Skipped, QStringLiteral("In use by %1; skipped").arg(holder));
        return false;
    }
    try {
        link.close();  // a line lost earlier was said where it was lost: this open starts afresh
        link.open();
    } catch (const SerialError& error) {
        show(PortState::Phase::Skipped, describe(error));
        return false;
    }
    m_openTarget = node;
    return true;
}

PortWatch::Probe PortWatch::probe(QtSerialLink& link, Waiter& waiter)
{
    m_answeredLate = false;
    try {
        // What came late belongs to an earlier probe: not this one's answer, but
        // a device that sent its mark is still there, however busy it was.
        m_answeredLate = endsWithMark(link.readAll());
        link.write(command::presence());
        waiter.delayUntil(kProbeWaitMs, [&link] { return link.bytesAvailable() > 0; });
        m_lastAnswer = link.readAll();
    } catch (const SerialError&) {
        link.close();  // the line is gone; a later open starts afresh
        return Probe::Lost;
    }
    if (m_lastAnswer.isEmpty())
        return Probe::Silent;
    return endsWithMark(m_lastAnswer) ? Probe::Answered : Probe::Foreign;
}

bool PortWatch::awaitDevice(QtSerialLink& link, Waiter& waiter)
{
    show(PortState::Phase::Waiting, kWaiting);
    QElapsedTimer tick;
    while (!m_station.closing()) {
        tick.start();
        const QString node = target(m_path);
        // Unplugged, or the path leads to another device now.
        if (link.isOpen() && node != m_openTarget)
            link.close();
        if (node.isEmpty())
            show(PortState::Phase::Waiting, kWaiting);
        else if (link.isOpen() || openFree(link, node)) {
            const Probe found = probe(link, waiter);
            if (found == Probe::Answered)
                return true;
            if (found == Probe::Foreign)
                show(PortState::Phase::Skipped,
                     QStringLiteral("Not a QZ4VELDT that is connected (received 0x%1)")
                             .arg(trace::hex(static_cast<unsigned char>(m_lastAnswer.back()))));
            else
                show(PortState::Phase::Waiting, kWaiting);
        }
        waiter.delay(std::max(0, kTickMs - static_cast<int>(tick.elapsed())));
    }
    return false;
}

void PortWatch::identify(DeviceResult& result) const
{
    result.stablePath = port_catalogue::stableLinks().value(m_openTarget);
    for (const PortInfo& info : port_catalogue::systemPorts()) {
        if (target(info.devicePath) == m_openTarget)
            result.usbSerial = info.serialNumber;
    }
}

void PortWatch::program(QtSerialLink& link, Waiter& waiter, int number)
{
    QElapsedTimer clock;
    clock.start();
    DeviceResult result;
    result.number = number;
    m_state.number = number;
    m_state.version.clear();
    identify(result);

    QString stage = QStringLiteral("Checking the version");
    show(PortState::Phase::Programming, stage);
    DeviceStatus status([this, &stage](int percent) {
        show(PortState::Phase::Programming, QStringLiteral("%1 %2 %").arg(stage).arg(percent));
    });
    RowTable rows = m_table.rows;
    HeadlessView view(m_table.lengthIndex);
    OperationContext context{link, waiter, status, status, rows, view, m_port.comPort, m_port.fastExchange};
    SendOperation send(context);
    VerifyOperation verify(context);
    bool ok = false;
    try {
        const VersionOperation::Outcome version = VersionOperation(context).run();
        result.version = m_state.version = status.version();
        if (version == VersionOperation::Outcome::Succeeded) {
            stage = kSending;
            ok = send.run() == SendOperation::Outcome::Succeeded;
            result.failedBlocks = send.failedBlocks();
        }
        if (ok && m_verify) {
            stage = QStringLiteral("Verifying");
            ok = verify.run() == VerifyOperation::Outcome::Succeeded;
            result.failedRows = verify.failedRows();
        }
        result.completion = status.completion().trimmed();
        if (ok) {
            result.result = QLatin1String(DeviceResult::kOk);
        } else {
            result.message = oneLine(status.failure(), stage == kSending ? send.deviceHolds() : QString());
            // A port that went away took the device with it; a fixed adapter's device just fails.
            if (target(m_path) != m_openTarget)
                result.result = QLatin1String(DeviceResult::kRemoved);
        }
    } catch (const OperationAborted&) {
        link.close();
        result.result = QLatin1String(DeviceResult::kInterrupted);
        const QString holds = stage == kSending ? send.deviceHolds() : QString();
        result.message = !holds.isEmpty() ? holds
                : stage == QLatin1String("Verifying")
                ? QStringLiteral("The table was sent; its verification was stopped.")
                : QStringLiteral("The device is unchanged.");
        result.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        result.ended = QDateTime::currentDateTime();
        show(PortState::Phase::Stopped, QStringLiteral("Stopped: ") + result.message);
        m_station.ended(result);
        throw;
    }
    result.seconds = static_cast<double>(clock.elapsed()) / 1000.0;
    result.ended = QDateTime::currentDateTime();
    if (result.ok())
        show(PortState::Phase::Ok, QStringLiteral("OK: remove the device"));
    else if (result.result == QLatin1String(DeviceResult::kRemoved))
        show(PortState::Phase::Removed, QStringLiteral("Removed"));
    else
        show(PortState::Phase::Failed, QStringLiteral("FAILED: ") + result.message);
    m_station.ended(result);
}

void PortWatch::awaitRemoval(QtSerialLink& link, Waiter& waiter)
{
    // The run closed the port. Open again, a line that drops from now on took
    // its device with it, even when another one is on the same node a moment later.
    const QString node = target(m_path);
    if (node.isEmpty() || node != m_openTarget || !openFree(link, node))
        return;
    int misses = 0;
    QElapsedTimer tick;
    while (!m_station.closing()) {
        tick.start();
        const Probe found = probe(link, waiter);
        misses = found == Probe::Answered || m_answeredLate ? 0 : misses + 1;
        if (found == Probe::Lost || misses >= kMissesForRemoval)
            return;
        waiter.delay(std::max(0, kTickMs - static_cast<int>(tick.elapsed())));
        if (!link.isOpen() || target(m_path) != m_openTarget)
            return;  // the port is gone, or leads elsewhere now
    }
}
