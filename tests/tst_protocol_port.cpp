#include "device/event_loop_waiter.h"
#include "device/port_settings.h"
#include "device/qt_serial_link.h"
#include "support/file_helpers.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <cerrno>

class PortTest final : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("outcome");  // "<baud> <parity> <data> <stop>" or the refusal; the row is the text
        QTest::newRow("9600,N,8,2") << "9600 N 8 2";
        QTest::newRow("2400,o,7,1") << "2400 O 7 1";
        QTest::newRow("x,N,8,2") << "Invalid baud rate \"x\"";
        QTest::newRow("-9600,N,8,2") << "Invalid baud rate \"-9600\"";
        QTest::newRow("99999999999999,N,8,2") << "Invalid baud rate \"99999999999999\"";
        QTest::newRow("9600,M,8,2") << "Invalid parity \"M\"";
        QTest::newRow("9600,N,9,2") << "Invalid data bits \"9\"";
        QTest::newRow("9600,N,8,1.5") << "Invalid stop bits \"1.5\"";
        QTest::newRow("9600,N,8")
                << "Invalid port settings \"9600,N,8\" (expected <baud>,<parity>,<data bits>,<stop bits>)";
    }
    void parse()
    {
        try {
            const PortSettings s = port_settings::parse(QString::fromLatin1(QTest::currentDataTag()));
            QTEST(QString::asprintf("%d %c %d %d", s.baud, s.parity, s.dataBits, s.stopBits), "outcome");
        } catch (const SerialError& error) {
            QTEST(QString::fromUtf8(error.what()), "outcome");
        }
    }

    void openFailureTexts_data()
    {
        QTest::addColumn<int>("accessErrno");  // ENOENT: the node is missing; else the port refused access
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("membership");  // "user", "session": in the node's group since when
        QTest::addColumn<QString>("extra");  // the holder, or the [PORTS] entry
        QTest::addColumn<QString>("text");
        const QString none;
        QTest::newRow("missing") << ENOENT << 0 << none << none << "Cannot open /dev/ttyUSB0: no such serial device";
        QTest::newRow("mapped, unplugged")
                << ENOENT << 0 << none << "COM3"
                << "COM3 is mapped to /dev/ttyUSB0 which is not connected; plug it in or choose another device";
        QTest::newRow("not in the group")
                << EACCES << 0660 << none << none
                << "Permission denied opening /dev/ttyUSB0: add your user to the dialout group "
                   "(sudo usermod -aG dialout $USER), then log out and in again";
        QTest::newRow("joined, old session")
                << EACCES << 0660 << "user" << none
                << "Permission denied opening /dev/ttyUSB0: your user is in the dialout group, "
                   "but this session started before that; log out and in again";
        QTest::newRow("group may not use it")
                << EACCES << 0600 << none << none
                << "Permission denied opening /dev/ttyUSB0 (owner root, group dialout, mode 0600)";
        QTest::newRow("in the group, still refused")
                << EACCES << 0660 << "session" << none
                << "Permission denied opening /dev/ttyUSB0 (owner root, group dialout, mode 0660)";
        QTest::newRow("held") << 0 << 0660 << none << "minicom, pid 42"
                              << "Cannot open /dev/ttyUSB0: in use by another program (minicom, pid 42)";
        QTest::newRow("held, holder unknown")
                << 0 << 0660 << none << none << "Cannot open /dev/ttyUSB0: in use by another program";
    }
    void openFailureTexts()
    {
        QFETCH(int, accessErrno);
        QFETCH(int, mode);
        QFETCH(QString, membership);
        QFETCH(QString, extra);
        serial_errors::NodeFacts facts;
        facts.accessErrno = accessErrno, facts.mode = mode, facts.owner = "root", facts.group = "dialout";
        facts.userInGroup = !membership.isEmpty(), facts.sessionInGroup = membership == "session";
        (extra.startsWith("COM") ? facts.mappedAs : facts.holder) = extra;
        const auto error = accessErrno == ENOENT ? QSerialPort::DeviceNotFoundError : QSerialPort::PermissionError;
        QTEST(serial_errors::describeOpenFailure("/dev/ttyUSB0", error, "x", facts), "text");
    }

    void devicePathAndLinkRefusals()
    {
        const QMap<int, QString> mapping{{2, QStringLiteral("  ")}};
        QCOMPARE(port_settings::devicePath(2, mapping), QStringLiteral("/dev/ttyS1"));  // a blank mapping is none
        QVERIFY_THROWS_EXCEPTION(SerialError, port_settings::devicePath(0, mapping));
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("ttyNothing"));
        QtSerialLink link({{3, missing}});
        QVERIFY_THROWS_EXCEPTION(SerialError, link.open());  // not configured yet
        link.configure(3, QStringLiteral("4800,E,8,2"));
        QVERIFY_THROWS_EXCEPTION(SerialError, link.configure(3, QStringLiteral("9600,Q,8,2")));
        QCOMPARE(link.devicePath(), missing);  // the refused configuration changed nothing
        QCOMPARE(link.settings().baud, 4800);
        QCOMPARE(test_files::errorOf<SerialError>([&] { link.open(); }),
                 "COM3 is mapped to " + missing + " which is not connected; plug it in or choose another device");
        QVERIFY(!link.isOpen());
        QVERIFY_THROWS_EXCEPTION(SerialError, link.write(QByteArrayLiteral("z")));
        QVERIFY_THROWS_EXCEPTION(SerialError, link.bytesAvailable());
        QVERIFY_THROWS_EXCEPTION(SerialError, link.readAll());
    }

    void waiterHandlesEventsAndAborts()
    {
        EventLoopWaiter waiter;
        bool fired = false;
        QTimer::singleShot(0, [&] { fired = true; });
        waiter.processEvents();
        QVERIFY(fired);
        // A wait for a condition ends when it holds.
        bool ready = false;
        QTimer::singleShot(20, [&] { ready = true; });
        const int waited = waiter.delayUntil(2000, [&] { return ready; });
        QVERIFY2(waited >= 20 && waited < 2000, qPrintable(QString::number(waited)));
        QCOMPARE(waiter.delayUntil(50, [] { return true; }), 0);
        // A link that fails while the loop asks (an unplug) fails the wait, not the event loop.
        int asked = 0;
        const auto failing = [&asked] { return ++asked > 1 ? throw std::logic_error("unplugged") : false; };
        QVERIFY_THROWS_EXCEPTION(std::logic_error, waiter.delayUntil(2000, failing));
        // Without the abort this wait would outlast the test's time limit; the abort holds for every later wait.
        QTimer::singleShot(10, [&] { waiter.requestAbort(); });
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(3600 * 1000));
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(1));
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.processEvents());
    }

    // Every wait lasts at least what was asked, however short or busy: the
    // device's timing depends on it. How much later it ends is bench/timing.sh's.
    void waitsNeverEndEarly()
    {
        EventLoopWaiter waiter;
        QTimer busy;  // events to handle during every wait
        QObject::connect(&busy, &QTimer::timeout, [] { QThread::usleep(300); });
        busy.start(1);
        for (const int ms : {0, 1, 2, 3, 5, 10, 25, 100}) {
            for (int run = 0; run < 5; ++run) {
                QElapsedTimer clock;
                clock.start();
                waiter.delay(ms);
                QVERIFY2(clock.nsecsElapsed() >= ms * 1000000LL, qPrintable(QStringLiteral("delay(%1)").arg(ms)));
            }
        }
    }
};

QTEST_GUILESS_MAIN(PortTest)
#include "tst_protocol_port.moc"
