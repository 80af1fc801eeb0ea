#include "device/event_loop_waiter.h"
#include "device/qt_serial_link.h"
#include "files/recovery_store.h"
#include "files/settings.h"
#include "ui/file_dialogs.h"
#include "ui/main_window.h"
#include "ui/screen_print.h"
#include "ui/widget_messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTextStream>
#include <QTimer>

namespace {

// Start-up timing for bench/startup: with QZ4VELD_STARTUP_PROBE set, print the
// milliseconds from the start of main to the window's first paint, then quit.
class FirstPaintProbe final : public QObject {
public:
    explicit FirstPaintProbe(const QElapsedTimer& clock) : m_clock(clock) { }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            const qint64 ms = m_clock.elapsed();
            QTimer::singleShot(0, qApp, [ms] {
                QTextStream(stdout) << "first-paint-ms " << ms << Qt::endl;
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    const QElapsedTimer& m_clock;
    bool m_done = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QZ4VELD Config"));
    const QString programFolder = QCoreApplication::applicationDirPath();

    // The port mapping is needed before the link exists; the window's start-up
    // reads the file again and reports any bad value there, once.
    QtSerialLink link(settings_file::load(settings_file::locate(programFolder).readPath).settings.portPaths);
    EventLoopWaiter waiter;
    WidgetMessages messages;
    QtFileDialogs dialogs;
    QtPrintDialog printDialog;

    MainWindow window(MainWindowServices{link, waiter, messages, dialogs, printDialog, programFolder,
                                         RecoveryStore::defaultFolder()});
    messages.setParent(&window);

    FirstPaintProbe probe(clock);
    if (qEnvironmentVariableIsSet("QZ4VELD_STARTUP_PROBE"))
        window.installEventFilter(&probe);

    window.start();
    return app.exec();
}
