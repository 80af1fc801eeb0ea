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
    void parseAccepted_data();
    void parseAccepted();
    void parseRefused_data();
    void parseRefused();
    void devicePath_data();
    void devicePath();
    void openFailureText_data();
    void openFailureText();
    void refusedConfigurationKeepsPrevious();
    void openNamesTheDevicePath();
    void closedPortRefusesIo();
    void delayHandlesEvents();
    void abortEndsRunningDelayAndLaterWaits();
};

void PortTest::parseAccepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<char>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("defaults") << "9600,N,8,2" << 9600 << 'N' << 8 << 2;
    QTest::newRow("even") << "57600,E,8,2" << 57600 << 'E' << 8 << 2;
    QTest::newRow("lower-case odd") << "2400,o,8,2" << 2400 << 'O' << 8 << 2;
    QTest::newRow("seven data, one stop") << "19200,N,7,1" << 19200 << 'N' << 7 << 1;
}

void PortTest::parseAccepted()
{
    QFETCH(QString, text);
    QFETCH(int, baud);
    QFETCH(char, parity);
    QFETCH(int, dataBits);
    QFETCH(int, stopBits);
    const PortSettings settings = port_settings::parse(text);
    QCOMPARE(settings.baud, baud);
    QCOMPARE(settings.parity, parity);
    QCOMPARE(settings.dataBits, dataBits);
    QCOMPARE(settings.stopBits, stopBits);
}

void PortTest::parseRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("description");
    QTest::newRow("baud text") << "x,N,8,2" << "Invalid baud rate \"x\"";
    QTest::newRow("empty baud") << ",N,8,2" << "Invalid baud rate \"\"";
    QTest::newRow("negative baud") << "-9600,N,8,2" << "Invalid baud rate \"-9600\"";
    QTest::newRow("zero baud") << "0,N,8,2" << "Invalid baud rate \"0\"";
    QTest::newRow("huge baud") << "99999999999999,N,8,2" << "Invalid baud rate \"99999999999999\"";
    QTest::newRow("mark parity") << "9600,M,8,2" << "Invalid parity \"M\"";
    QTest::newRow("two-letter parity") << "9600,NO,8,2" << "Invalid parity \"NO\"";
    QTest::newRow("nine data bits") << "9600,N,9,2" << "Invalid data bits \"9\"";
    QTest::newRow("one and a half stop bits") << "9600,N,8,1.5" << "Invalid stop bits \"1.5\"";
    QTest::newRow("too few fields") << "9600,N,8"
                                    << "Invalid port settings \"9600,N,8\" (expected <baud>,<parity>,<data bits>,<stop bits>)";
}

void PortTest::parseRefused()
{
    QFETCH(QString, text);
    QFETCH(QString, description);
    try {
        port_settings::parse(text);
        QFAIL("accepted");
    } catch (const SerialError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), description);
    }
}

void PortTest::devicePath_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("mapped");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM1") << 1 << "" << "/dev/ttyS0";
    QTest::newRow("COM12") << 12 << "" << "/dev/ttyS11";
    QTest::newRow("mapped") << 1 << "/dev/ttyUSB0" << "/dev/ttyUSB0";
    QTest::newRow("blank mapping falls back") << 2 << "  " << "/dev/ttyS1";
}

void PortTest::devicePath()
{
    QFETCH(int, port);
    QFETCH(QString, mapped);
    QFETCH(QString, path);
    QMap<int, QString> mapping;
    mapping.insert(port, mapped);
    mapping.insert(port + 1, QStringLiteral("/dev/other"));
    QCOMPARE(port_settings::devicePath(port, mapping), path);
    QCOMPARE(port_settings::settingsText(QStringLiteral("4800"), QStringLiteral("E")), QStringLiteral("4800,E,8,2"));
}

void PortTest::openFailureText_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("accessErrno");
    QTest::addColumn<QString>("text");
    QTest::newRow("missing") << int(QSerialPort::DeviceNotFoundError) << ENOENT
                             << "Cannot open /dev/ttyUSB0: no such serial device";
    QTest::newRow("no permission") << int(QSerialPort::PermissionError) << EACCES
                                   << "Permission denied opening /dev/ttyUSB0: add your user to the dialout group "
                                      "(uucp on some distributions)";
    QTest::newRow("held elsewhere") << int(QSerialPort::PermissionError) << 0
                                    << "Cannot open /dev/ttyUSB0: another program is using it";
    QTest::newRow("other") << int(QSerialPort::OpenError) << 0 << "Cannot open /dev/ttyUSB0: boom";
}

void PortTest::openFailureText()
{
    QFETCH(int, error);
    QFETCH(int, accessErrno);
    QFETCH(QString, text);
    QCOMPARE(serial_errors::describeOpenFailure(QStringLiteral("/dev/ttyUSB0"), QSerialPort::SerialPortError(error),
                                                QStringLiteral("boom"), accessErrno),
             text);
}

void PortTest::refusedConfigurationKeepsPrevious()
{
    QtSerialLink link({{3, QStringLiteral("/dev/mapped3")}});
    link.configure(3, QStringLiteral("4800,E,8,2"));
    QCOMPARE(link.devicePath(), QStringLiteral("/dev/mapped3"));
    QVERIFY_THROWS_EXCEPTION(SerialError, link.configure(1, QStringLiteral("9600,Q,8,2")));
    QVERIFY_THROWS_EXCEPTION(SerialError, link.configure(0, QStringLiteral("9600,N,8,2")));
    QCOMPARE(link.devicePath(), QStringLiteral("/dev/mapped3"));
    QCOMPARE(link.settings().baud, 4800);
    QVERIFY(!link.isOpen());
}

void PortTest::openNamesTheDevicePath()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ttyNothing"));
    QtSerialLink link({{1, path}});
    link.configure(1, QStringLiteral("9600,N,8,2"));
    try {
        link.open();
        QFAIL("opened a missing device");
    } catch (const SerialError& error) {
        QVERIFY2(QString::fromUtf8(error.what()).contains(path), error.what());
    }
    QVERIFY(!link.isOpen());

    QtSerialLink unconfigured;
    QVERIFY_THROWS_EXCEPTION(SerialError, unconfigured.open());
}

void PortTest::closedPortRefusesIo()
{
    QtSerialLink link;
    link.configure(1, QStringLiteral("9600,N,8,2"));
    QVERIFY_THROWS_EXCEPTION(SerialError, link.write(QByteArrayLiteral("z")));
    QVERIFY_THROWS_EXCEPTION(SerialError, link.bytesAvailable());
    QVERIFY_THROWS_EXCEPTION(SerialError, link.readAll());
    link.close();  // closing a closed port is harmless
}

void PortTest::delayHandlesEvents()
{
    EventLoopWaiter waiter;
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    waiter.delay(20);
    QVERIFY(fired);

    fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    waiter.processEvents();
    QVERIFY(fired);
    QVERIFY(!waiter.abortRequested());
}

void PortTest::abortEndsRunningDelayAndLaterWaits()
{
    EventLoopWaiter waiter;
    // Without the abort this wait would outlast the test's time limit.
    QTimer::singleShot(10, [&] { waiter.requestAbort(); });
    QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(3600 * 1000));
    QVERIFY(waiter.abortRequested());
    QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.delay(1));
    QVERIFY_THROWS_EXCEPTION(OperationAborted, waiter.processEvents());
}

QTEST_GUILESS_MAIN(PortTest)
#include "tst_protocol_port.moc"
