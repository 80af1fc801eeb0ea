// One Read, Verify, Send or version query in the real main window (any Qt platform: offscreen,
// or xcb with or without the accessibility bridge, as bench/timing.sh chooses), pressed as the operator would press it, against
// a device on the given port. The program folder must hold the QZ4Vel.ini to use
// (COM1, the bit rate, FASTEXCHANGE). Prints one line: the wall and CPU time of
// the click, the CPU share, a checksum of the status list and the completion text.
// With QZ_BENCH_A11Y_EVENTS set, the accessibility events of the click go to
// standard error, counted by type and control (with the bridge on); with QZ_BENCH_STATUS
// set, every status line does as it is added.
#include "../common/bench_table.h"
#include "device/event_loop_waiter.h"
#include "device/qt_serial_link.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"
#include "ui/screen_print.h"

#include <QAccessible>
#include <QApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <stdexcept>
#include <sys/resource.h>

namespace {

class NoPrinter final : public PrintDialog {
public:
    bool choosePrinter(QPrinter&, QWidget*) override { return false; }
};

class NoFileDialogs final : public FileDialogs {
public:
    std::optional<QString> saveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    std::optional<QString> openFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
};

// Accessibility events the window raised during the click, by type, when
// QZ_BENCH_A11Y_EVENTS is set; each goes on to the handler that was there.
QAccessible::UpdateHandler g_nextHandler = nullptr;
QMap<QString, int> g_a11yEvents;  // "type object" -> count
bool g_counting = false;

void countEvent(QAccessibleEvent* event)
{
    if (g_counting) {
        const QObject* object = event->object();
        const QString name = !object             ? QStringLiteral("-")
                : object->objectName().isEmpty() ? QLatin1String(object->metaObject()->className())
                                                 : object->objectName().section(QLatin1Char('_'), 0, 0);
        ++g_a11yEvents[QStringLiteral("0x%1 %2").arg(int(event->type()), 4, 16, QLatin1Char('0')).arg(name)];
    }
    if (g_nextHandler)
        g_nextHandler(event);
}

double cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

template <typename T>
T* part(const QWidget& window, const QString& name)
{
    T* found = window.findChild<T*>(name);
    if (!found)
        throw std::runtime_error("the window has no " + name.toStdString());
    return found;
}

int run(const QStringList& args)
{
    bool lengthOk = false;
    const int length = args.value(4).toInt(&lengthOk);
    const QString op = args.value(3);
    const QString button = op == QLatin1String("read") ? QStringLiteral("Read")
            : op == QLatin1String("send")              ? QStringLiteral("Send")
            : op == QLatin1String("verify")            ? QStringLiteral("VerifyBtn")
            : op == QLatin1String("version")           ? QStringLiteral("GetVersionBtn")
                                                       : QString();
    if (args.size() != 5 || !lengthOk || length < 1 || length > 10 || button.isEmpty())
        throw std::runtime_error(
                "usage: window_timing_bench <port path> <program folder> read|verify|send|version <length 1..10>");

    QtSerialLink link({{1, args.at(1)}});
    EventLoopWaiter waiter;
    PrintedMessages messages;
    NoFileDialogs dialogs;
    NoPrinter printer;
    MainWindow window(MainWindowServices{link, waiter, messages, dialogs, printer, args.at(2), QString()});
    window.startUp();
    window.selectStringLengthIndex(length - 1);
    fillTable(window.rows(), length);
    window.showPage();
    window.show();
    // The window is shown and painted before the click; an idle loop, not a busy one.
    QEventLoop settle;
    QTimer::singleShot(300, &settle, &QEventLoop::quit);
    settle.exec();

    if (qEnvironmentVariableIsSet("QZ_BENCH_A11Y_EVENTS"))
        g_nextHandler = QAccessible::installUpdateHandler(countEvent);
    QElapsedTimer wall;
    auto* list = part<QListWidget>(window, QStringLiteral("StatusBox"));
    if (qEnvironmentVariableIsSet("QZ_BENCH_STATUS")) {
        // Every status line as it is added, with the milliseconds since the click.
        QObject::connect(list->model(), &QAbstractItemModel::rowsInserted, list,
                         [list, &wall](auto&, int first, int last) {
                             for (int i = first; i <= last; ++i)
                                 std::fprintf(stderr, "%9.1f %s\n", static_cast<double>(wall.nsecsElapsed()) / 1e6,
                                              qPrintable(list->item(i)->text()));
                         });
    }
    const double cpuBefore = cpuMs();
    wall.start();
    g_counting = true;
    part<QPushButton>(window, button)->click();  // the operation runs inside the click
    g_counting = false;
    const double wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    const double cpu = cpuMs() - cpuBefore;
    for (auto i = g_a11yEvents.cbegin(); i != g_a11yEvents.cend(); ++i)
        std::fprintf(stderr, "a11y event %s: %d\n", qPrintable(i.key()), i.value());

    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int i = 0; i < list->count(); ++i)
        hash.addData(list->item(i)->text().toUtf8() + '\n');
    std::printf("wall_ms %.1f cpu_ms %.1f cpu_pct %.2f sha %s completion %s\n", wallMs, cpu, 100.0 * cpu / wallMs,
                hash.result().toHex().left(12).constData(),
                qPrintable(part<QLabel>(window, QStringLiteral("CompletionStatus"))->text().simplified()));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        return run(QCoreApplication::arguments());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "window_timing_bench: %s\n", error.what());
        return 2;
    }
}
