#include "device/event_loop_waiter.h"
#include "device/port_settings.h"
#include "device/qt_serial_link.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cerrno>

class PortTest final : public QObject {
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("outcome");  // "<baud> <parity> <data> <stop>" or the refusal
        QTest::newRow("defaults") << "9600,N,8,2" << "9600 N 8 2";
        QTest::newRow("lower-case odd") << "2400,o,7,1" << "2400 O 7 1";
        QTest::newRow("baud text") << "x,N,8,2" << "Invalid baud rate \"x\"";
        QTest::newRow("negative baud") << "-9600,N,8,2" << "Invalid baud rate \"-9600\"";
        QTest::newRow("huge baud") << "99999999999999,N,8,2" << "Invalid baud rate \"99999999999999\"";
        QTest::newRow("mark parity") << "9600,M,8,2" << "Invalid parity \"M\"";
        QTest::newRow("nine data bits") << "9600,N,9,2" << "Invalid data bits \"9\"";
        QTest::newRow("1.5 stop bits") << "9600,N,8,1.5" << "Invalid stop bits \"1.5\"";
        QTest::newRow("too few fields") << "9600,N,8"
                                        << "Invalid port settings \"9600,N,8\" (expected <baud>,<parity>,<data bits>,<stop bits>)";
    }
    void parse()
    {
        QFETCH(QString, text);
        try {
            const PortSettings s = port_settings::parse(text);
            QTEST(QStringLiteral("%1 %2 %3 %4").arg(s.baud).arg(QChar::fromLatin1(s.parity)).arg(s.dataBits).arg(s.stopBits), "outcome");
        } catch (const SerialError& error) {
            QTEST(QString::fromUtf8(error.what()), "outcome");
        }
    }

    void devicePathAndOpenFailureTexts()
    {
        const QMap<int, QString> mapping{{2, QStringLiteral("  ")}};
        QCOMPARE(port_settings::devicePath(2, mapping), QStringLiteral("/dev/ttyS1"));  // a blank mapping is none
        QVERIFY_THROWS_EXCEPTION(SerialError, port_settings::devicePath(0, mapping));
        const auto open = [](QSerialPort::SerialPortError error, int errnoValue) {
            return serial_errors::describeOpenFailure(QStringLiteral("/dev/ttyUSB0"), error, "x", errnoValue);
        };
        QCOMPARE(open(QSerialPort::DeviceNotFoundError, ENOENT), QStringLiteral("Cannot open /dev/ttyUSB0: no such serial device"));
        QCOMPARE(open(QSerialPort::PermissionError, EACCES),
                 QStringLiteral("Permission denied opening /dev/ttyUSB0: add your user to the dialout group (uucp on some distributions)"));
        // Access is granted, so the refusal is a lock or exclusive open held elsewhere.
        QCOMPARE(open(QSerialPort::PermissionError, 0), QStringLiteral("Cannot open /dev/ttyUSB0: another program is using it"));
    }

    void linkRefusals()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("ttyNothing"));
        QtSerialLink link({{1, missing}});
        QVERIFY_THROWS_EXCEPTION(SerialError, link.open());  // not configured yet
        link.configure(1, QStringLiteral("4800,E,8,2"));
        QVERIFY_THROWS_EXCEPTION(SerialError, link.configure(1, QStringLiteral("9600,Q,8,2")));
        QCOMPARE(link.devicePath(), missing);  // the refused configuration changed nothing
        QCOMPARE(link.settings().baud, 4800);
        QVERIFY_THROWS_EXCEPTION(SerialError, link.open());  // the missing device's text is checked end to end
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
        // Without the abort this wait would outlast the test's time limit; the abort holds for every later wait.
        QTimer::singleShot(10, [&] { waiter.requestAbort(); });
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(3600 * 1000));
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(1));
        QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.processEvents());
    }
};

QTEST_GUILESS_MAIN(PortTest)
#include "tst_protocol_port.moc"
