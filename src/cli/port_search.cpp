#include "cli/port_search.h"

#include "cli/console_status.h"
#include "cli/headless.h"
#include "device/attachment.h"
#include "device/event_loop_waiter.h"
#include "device/protocol.h"
#include "device/qt_serial_link.h"

#include <QBuffer>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QThread>

#include <memory>
#include <vector>

namespace cli {

namespace {

bool answersProbe(const QString& path, const QString& settingsText)
{
    QBuffer discarded;
    discarded.open(QIODevice::WriteOnly);
    ConsoleStatus status(discarded, discarded, false);
    ConsoleMessages messages(status);
    QtSerialLink link({{1, path}});
    EventLoopWaiter waiter;
    try {
        link.configure(1, settingsText);
        link.open();
    } catch (const std::exception&) {
        return false;  // held by another program, or no device behind it
    }
    Protocol protocol(link, waiter, status);
    const bool attached = checkAttached(protocol, messages, 1).attached();
    link.close();
    return attached;
}

QStringList candidatePorts(const QMap<int, QString>& mappedPaths)
{
    QStringList paths;
    QStringList seen;  // one probe per device, however many names lead to it
    const auto add = [&](const QString& path) {
        const QString device = QFileInfo(path).canonicalFilePath();
        if (!device.isEmpty() && !seen.contains(device)) {
            seen.append(device);
            paths.append(path);
        }
    };
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        add(info.systemLocation());
    for (const QString& path : mappedPaths)
        add(path);
    return paths;
}

}  // namespace

QStringList answeringPorts(const QMap<int, QString>& mappedPaths, const QString& settingsText)
{
    const QStringList candidates = candidatePorts(mappedPaths);
    std::vector<char> answered(static_cast<std::size_t>(candidates.size()), 0);
    std::vector<std::unique_ptr<QThread>> threads;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        char& result = answered[static_cast<std::size_t>(i)];
        const QString path = candidates.at(i);
        threads.emplace_back(QThread::create([&result, path, settingsText] { result = answersProbe(path, settingsText); }));
        threads.back()->start();
    }
    QStringList found;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        threads[static_cast<std::size_t>(i)]->wait();
        if (answered[static_cast<std::size_t>(i)])
            found.append(candidates.at(i));
    }
    return found;
}

}  // namespace cli
