// qz4veld-sim: a simulated device on a pseudo-terminal. The first line on stdout
// is the path the configuration utility opens as its serial port.
#include "files/ini_file.h"
#include "model/error_text.h"
#include "sim/lib/device_model.h"
#include "sim/lib/pty_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace {

int g_stopPipe[2] = {-1, -1};

extern "C" void onStopSignal(int)
{
    const char byte = 's';
    // Only async-signal-safe calls here; the serve loop sees the pipe become readable.
    [[maybe_unused]] const ssize_t ignored = ::write(g_stopPipe[1], &byte, 1);
}

int intOption(const QCommandLineParser& parser, const QString& name, int minimum, int maximum)
{
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < minimum || value > maximum)
        throw DeviceError(QStringLiteral("--%1 needs a number from %2 to %3, not \"%4\"")
                                  .arg(name)
                                  .arg(minimum)
                                  .arg(maximum)
                                  .arg(parser.value(name))
                                  .toStdString());
    return value;
}

void saveState(const QString& path, const DeviceModel& device)
{
    if (path.isEmpty())
        return;
    // Written beside and renamed over, not synced to disk: a killed simulator leaves the old or the new
    // state whole, while a sync after every block would hold the device's answers up whenever the disk is busy.
    QFile file(path + QStringLiteral(".new"));
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(device.saveState()) >= 0
            && file.flush();
    file.close();
    if (!written
        || std::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        std::fprintf(stderr, "qz4veld-sim: cannot write state file %s: %s\n", qPrintable(path),
                     written ? std::strerror(errno) : qPrintable(file.errorString()));
}

void loadState(const QString& path, DeviceModel& device)
{
    QFile file(path);
    if (!file.exists())
        return;  // a first run starts from a fresh device
    if (!file.open(QIODevice::ReadOnly))
        throw DeviceError(QStringLiteral("cannot read state file %1: %2").arg(path, file.errorString()).toStdString());
    try {
        device.loadState(file.readAll());
    } catch (const DeviceError& error) {
        throw DeviceError(QStringLiteral("state file %1: %2").arg(path, describe(error)).toStdString());
    }
}

int run(QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
            QStringLiteral("Simulated QZ4VELD on a pseudo-terminal; prints the terminal's path first."));
    parser.addHelpOption();
    parser.addOptions({
            {QStringLiteral("latency"), QStringLiteral("Delay every answer by MS milliseconds."), QStringLiteral("MS"),
             QStringLiteral("0")},
            {QStringLiteral("absent"), QStringLiteral("Never answer anything.")},
            {QStringLiteral("presence-byte"), QStringLiteral("Answer the presence probe with this byte (hex)."),
             QStringLiteral("HEX"), QStringLiteral("E8")},
            {QStringLiteral("presence-from"), QStringLiteral("Leave presence probes before the Nth unanswered."),
             QStringLiteral("N"), QStringLiteral("1")},
            {QStringLiteral("garbage"), QStringLiteral("Put stray bytes in front of every answer.")},
            {QStringLiteral("garbage-after"), QStringLiteral("Put stray bytes after every answer.")},
            {QStringLiteral("chunked"), QStringLiteral("Send answers one byte at a time, 1 ms apart.")},
            {QStringLiteral("baud"), QStringLiteral("Pace the line at this bit rate, both ways (0: no pacing)."),
             QStringLiteral("BAUD"), QStringLiteral("0")},
            {QStringLiteral("unplug-after"), QStringLiteral("Drop the line when command N+1 arrives."),
             QStringLiteral("N")},
            {QStringLiteral("silent-row"), QStringLiteral("Never answer the read of row N."), QStringLiteral("N")},
            {QStringLiteral("refuse-row"), QStringLiteral("Answer the read of row N with the error reply."),
             QStringLiteral("N")},
            {QStringLiteral("long-row"), QStringLiteral("Answer the read of row N with more bytes than a slot holds."),
             QStringLiteral("N")},
            {QStringLiteral("stray-fill-row"),
             QStringLiteral("Answer the read of row N with a stray last byte, after the filling of a short string."),
             QStringLiteral("N")},
            {QStringLiteral("report-length"),
             QStringLiteral("Answer the length query with N while the slots keep the real length."),
             QStringLiteral("N")},
            {QStringLiteral("restart-after"),
             QStringLiteral("Restart when command N+1 arrives: drop it, keep the memory, send the presence byte."),
             QStringLiteral("N")},
            {QStringLiteral("length-ack-latency"),
             QStringLiteral("Acknowledge a string length MS milliseconds later than other answers."),
             QStringLiteral("MS"), QStringLiteral("0")},
            {QStringLiteral("burst"),
             QStringLiteral("Hand answer bytes over every MS milliseconds, as a USB adapter's latency timer does."),
             QStringLiteral("MS"), QStringLiteral("0")},
            {QStringLiteral("state"), QStringLiteral("Keep the device memory in FILE between runs."),
             QStringLiteral("FILE")},
            {QStringLiteral("length"), QStringLiteral("Start with string length N (1-10)."), QStringLiteral("N")},
            {QStringLiteral("version"), QStringLiteral("Answer the version query with TEXT."), QStringLiteral("TEXT")},
            {QStringLiteral("ini"), QStringLiteral("Write [PORTS] COM<n>=<terminal path> into this settings file."),
             QStringLiteral("PATH")},
            {QStringLiteral("com"), QStringLiteral("Port number used with --ini."), QStringLiteral("N"),
             QStringLiteral("1")},
            {QStringLiteral("link"),
             QStringLiteral("Make PATH a link to the terminal while the line is up (a port that comes and goes)."),
             QStringLiteral("PATH")},
            {QStringLiteral("arrivals"),
             QStringLiteral("Log each command's arrival time (monotonic microseconds) and bytes to FILE."),
             QStringLiteral("FILE")},
    });
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        throw DeviceError(QStringLiteral("unexpected argument \"%1\"")
                                  .arg(parser.positionalArguments().constFirst())
                                  .toStdString());

    DeviceModel device;
    const QString statePath = parser.value(QStringLiteral("state"));
    if (!statePath.isEmpty())
        loadState(statePath, device);

    DeviceFaults& faults = device.faults();
    faults.latencyMs = intOption(parser, QStringLiteral("latency"), 0, 60000);
    faults.absent = parser.isSet(QStringLiteral("absent"));
    bool ok = false;
    const QString presence = parser.value(QStringLiteral("presence-byte"));
    const uint presenceByte = presence.toUInt(&ok, 16);
    if (!ok || presenceByte > 0xFF)
        throw DeviceError(QStringLiteral("--presence-byte needs a hex byte, not \"%1\"").arg(presence).toStdString());
    faults.presenceByte = static_cast<std::uint8_t>(presenceByte);
    faults.presenceAnswerFrom = intOption(parser, QStringLiteral("presence-from"), 1, 1000000);
    if (parser.isSet(QStringLiteral("garbage")))
        faults.garbageBefore = QByteArrayLiteral("~#");
    if (parser.isSet(QStringLiteral("garbage-after")))
        faults.garbageAfter = QByteArrayLiteral("#~");
    faults.chunked = parser.isSet(QStringLiteral("chunked"));
    if (parser.isSet(QStringLiteral("unplug-after")))
        faults.unplugAfter = intOption(parser, QStringLiteral("unplug-after"), 0, 1000000);
    for (const auto& [name, row] : {std::pair(QStringLiteral("silent-row"), &faults.silentRow),
                                    std::pair(QStringLiteral("refuse-row"), &faults.refusedRow),
                                    std::pair(QStringLiteral("long-row"), &faults.longRow),
                                    std::pair(QStringLiteral("stray-fill-row"), &faults.strayFillRow)}) {
        if (parser.isSet(name))
            *row = intOption(parser, name, 0, DeviceModel::kSlots - 1);
    }
    if (parser.isSet(QStringLiteral("report-length")))
        faults.reportedLength = intOption(parser, QStringLiteral("report-length"), 1, DeviceModel::kMaxLength);
    if (parser.isSet(QStringLiteral("restart-after")))
        faults.restartAfter = intOption(parser, QStringLiteral("restart-after"), 0, 1000000);
    faults.lengthAckLatencyMs = intOption(parser, QStringLiteral("length-ack-latency"), 0, 60000);
    if (parser.isSet(QStringLiteral("length")))
        device.setStringLength(intOption(parser, QStringLiteral("length"), 1, DeviceModel::kMaxLength));
    if (parser.isSet(QStringLiteral("version")))
        device.setVersion(parser.value(QStringLiteral("version")).toLatin1());
    const int comPort = intOption(parser, QStringLiteral("com"), 1, 32767);

    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw DeviceError("cannot create the stop pipe");
    struct sigaction action { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    PtyServer server(device);
    server.setBaud(intOption(parser, QStringLiteral("baud"), 0, 4000000));
    server.setBurstMs(intOption(parser, QStringLiteral("burst"), 0, 1000));
    if (parser.isSet(QStringLiteral("arrivals")))
        server.setArrivalLog(parser.value(QStringLiteral("arrivals")));
    server.setLink(parser.value(QStringLiteral("link")));
    const QString path = server.open();

    const QString iniPath = parser.value(QStringLiteral("ini"));
    if (!iniPath.isEmpty())
        IniFile(iniPath).write(QStringLiteral("PORTS"), QStringLiteral("COM%1").arg(comPort), path);

    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);

    const PtyServer::End end = server.serve(g_stopPipe[0], [&] { saveState(statePath, device); });
    saveState(statePath, device);
    if (end == PtyServer::End::Unplugged)
        std::fprintf(stderr, "qz4veld-sim: line dropped after %d commands\n", device.faults().unplugAfter);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qz4veld-sim"));
    try {
        return run(app);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "qz4veld-sim: %s\n", error.what());
        return 1;
    }
}
