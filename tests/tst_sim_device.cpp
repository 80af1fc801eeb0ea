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
                << QByteArray("zV/L?") << QByteArray("\350|QZ4VELD V2.10|6|");
        QTest::newRow("set length 10 then query") << QByteArray("/L:/L?") << QByteArray("\006|:|");
        QTest::newRow("fresh slot") << QByteArray("/R\0", 3) << QByteArray("\377\0\0\0\0\0\0|", 8);
        QTest::newRow("write then read row 0")
                << QByteArray("/L2/W\0\034ab/R\0", 12) << QByteArray("\006|\006\0|\034ab|", 9);
        QTest::newRow("bad commands") << QByteArray("/L0/X\r") << QByteArray("CMDERR|CMDERR|CMDERR|");
        QTest::newRow("row beyond capacity") << QByteArray("/L:/R\x17") << QByteArray("\006|CMDERR|");
        QTest::newRow("refused block is consumed whole")
                << QByteArray("/L1/W\x5D\034az") << QByteArray("\006|CMDERR|\350|");
    }
    void commands()
    {
        QFETCH(QByteArray, input);
        QTEST(joined(DeviceModel().receive(input)), "answers");
    }

    void commandsSplitAnywhere()
    {
        const QByteArray stream("/L3/W\005A\r\0\0/R\005V", 14);
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
        device.receive(QByteArray("/L4/W\027\034ab\r\0", 11));
        QVERIFY(device.takeStateChanged());
        device.receive("V/L?");
        QVERIFY(!device.takeStateChanged());  // queries change nothing
        DeviceModel restored;
        restored.loadState(device.saveState());
        QCOMPARE(restored.stringLength(), 4);
        QCOMPARE(restored.slotAnswer(23), QByteArray("\034ab\r\0", 5));
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
