#include "model/capacity.h"
#include "sim/lib/device_model.h"

#include <QtTest>

static QByteArray joined(const QList<QByteArray>& answers)
{
    QByteArray all;
    for (const QByteArray& answer : answers)
        all += answer + '|';
    return all;
}

class SimDeviceTest final : public QObject {
    Q_OBJECT

private slots:
    void commands_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QByteArray>("answers");
        QTest::newRow("presence, version, default length")
                << QByteArray("zV/L?") << QByteArray("\xE8|QZ4VELD V2.10|6|");
        QTest::newRow("set length 10 then query") << QByteArray("/L:/L?") << QByteArray("\x06|:|");
        QTest::newRow("fresh slot") << QByteArray("/R\0", 3) << QByteArray("\xFF\0\0\0\0\0\0|", 8);
        QTest::newRow("write then read row 0") << QByteArray("/L2/W\0\x1C"
                                                             "ab/R\0",
                                                             12)
                                               << QByteArray("\x06|\x06\0|\x1C"
                                                             "ab|",
                                                             9);
        QTest::newRow("bad commands") << QByteArray("/L0/X\r") << QByteArray("CMDERR|CMDERR|CMDERR|");
        QTest::newRow("row beyond capacity") << QByteArray("/L:/R\x17") << QByteArray("\x06|CMDERR|");
        QTest::newRow("refused block is consumed whole") << QByteArray("/L1/W\x5D\x1C"
                                                                       "az")
                                                         << QByteArray("\x06|CMDERR|\xE8|");
    }
    void commands()
    {
        QFETCH(QByteArray, input);
        QTEST(joined(DeviceModel().receive(input)), "answers");
    }

    void commandsSplitAnywhere()
    {
        const QByteArray stream("/L3/W\x05"
                                "A\r\0\0/R\x05V",
                                14);
        DeviceModel whole;
        const QByteArray expected = joined(whole.receive(stream));
        QCOMPARE(whole.commandCount(), 4);
        for (int cut = 1; cut < stream.size(); ++cut) {
            DeviceModel device;
            QList<QByteArray> answers = device.receive(stream.left(cut));
            QCOMPARE(joined(answers + device.receive(stream.mid(cut))), expected);
        }
    }

    void capacityPerLength()
    {
        for (int length = 1; length <= 10; ++length) {  // the last usable row answers, the next is refused
            const int capacity = capacity::maxKeysForIndex(length - 1);
            DeviceModel device;
            device.setStringLength(length);
            QCOMPARE(device.receive(QByteArray("/R") + char(capacity - 1)).constFirst().size(), 1 + length);
            QCOMPARE(device.receive(QByteArray("/R") + char(capacity)).constFirst(), QByteArray("CMDERR"));
        }
    }

    void stateRoundTripAndRefusals()
    {
        DeviceModel device;
        device.receive(QByteArray("/L4/W\x17\x1C"
                                  "ab\r\0",
                                  11));
        QVERIFY(device.takeStateChanged());
        device.receive("V/L?");
        QVERIFY(!device.takeStateChanged());  // queries change nothing
        DeviceModel restored;
        restored.loadState(device.saveState());
        QCOMPARE(restored.stringLength(), 4);
        QCOMPARE(restored.slotAnswer(23),
                 QByteArray("\x1C"
                            "ab\r\0",
                            5));
        QByteArray badLength = device.saveState();
        badLength[5] = 11;
        for (const QByteArray& bad : {QByteArray(), device.saveState().chopped(1), badLength})
            QVERIFY_THROWS_EXCEPTION(DeviceError, restored.loadState(bad));
        QCOMPARE(restored.stringLength(), 4);  // a refused state changes nothing
        QVERIFY_THROWS_EXCEPTION(DeviceError, restored.slot(93));
        QVERIFY_THROWS_EXCEPTION(DeviceError, restored.setStringLength(11));
    }
};

QTEST_GUILESS_MAIN(SimDeviceTest)
#include "tst_sim_device.moc"
