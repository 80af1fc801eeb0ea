#include "model/notation.h"

#include <QtTest>

class TstNotation : public QObject {
    Q_OBJECT

private slots:
    // A null expected value: the text has no device form. tooLong: more than `length` slots by checkLen.
    void deviceBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("padded") << "AB{C7}" << 6 << QByteArray("AB\xC7\0\0\0", 6) << false;
        QTest::newRow("one digit") << "a{D}" << 4 << QByteArray("a\x0D\0\0", 4) << false;
        QTest::newRow("empty") << "" << 1 << QByteArray(1, '\0') << false;
        QTest::newRow("lower-case field") << "{0d}" << 1 << QByteArray("\x0D", 1) << false;
        QTest::newRow("open field adds nothing") << "A{4" << 2 << QByteArray("A\0", 2) << false;
        QTest::newRow("open field counts") << "AB{" << 2 << QByteArray("AB") << true;
        QTest::newRow("A B open") << "A{42}{" << 2 << QByteArray("AB") << true;
        QTest::newRow("A B") << "A{42}" << 2 << QByteArray("AB") << false;
        QTest::newRow("brace outside is literal") << "}" << 1 << QByteArray("}") << false;
        QTest::newRow("longer is not cut") << "ABC" << 2 << QByteArray("ABC") << true;
        QTest::newRow("two fields max 1") << "{41}{42}" << 1 << QByteArray("AB") << true;
        QTest::newRow("three digits within a byte") << "{0FF}" << 1 << QByteArray("\xFF", 1) << false;
        QTest::newRow("above a byte") << "{100}" << 10 << QByteArray() << false;
        QTest::newRow("huge") << "{FFFFFFFFFFFFFFFFFFFF}" << 10 << QByteArray() << false;
        QTest::newRow("empty field") << "A{}" << 10 << QByteArray() << false;
        QTest::newRow("null field") << "{00}" << 10 << QByteArray() << false;
        QTest::newRow("not hex") << "{G1}" << 10 << QByteArray() << false;
        QTest::newRow("literal NUL") << QString("a") + QChar(0) + "b" << 10 << QByteArray() << false;
        QTest::newRow("wide character") << QString::fromUtf8("\u20AC") << 10 << QByteArray() << false;
    }
    void deviceBytes()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QByteArray, bytes);
        QCOMPARE(notation::toDeviceBytes(text, length).value_or(QByteArray()), bytes);
        QCOMPARE(notation::toDeviceBytes(text, length).has_value(), !bytes.isNull());
        QTEST(notation::checkLen(text, length), "tooLong");
    }

    void otherForms()
    {
        QCOMPARE(notation::textToHexFields("A{7}{0d}b{}"), QStringLiteral("{41}{7}{0d}{62}{}"));
        QCOMPARE(notation::comparisonForm("A{7}{0d}b{}"), QStringLiteral("{41}{07}{0D}{62}{}"));
        bool ok = false;
        QCOMPARE(notation::hexFieldsToText("{41}{7E}{0D}", &ok), QStringLiteral("A{7E}{0D}"));
        QVERIFY(ok);
        QCOMPARE(notation::hexFieldsToText("{7B}{7D}{20}"), QStringLiteral("{} "));
        for (const QString bad : {"x{}y", "{ZZ}"}) {
            QCOMPARE(notation::hexFieldsToText(bad, &ok), bad);
            QVERIFY(!ok);
        }
        QCOMPARE(notation::fromDeviceBytes(QByteArray("ab\x0D\0B", 5)),
                 QStringLiteral("ab{0D}"));  // a null ends the text
        QCOMPARE(notation::fromDeviceBytes("\x20\x7F{}"), QStringLiteral("{20}{7F}{7B}}"));
        QCOMPARE(notation::fromDeviceBytes(QByteArray()), QString());
    }

    // Every byte a slot can hold survives notation -> device -> notation, and the
    // comparison form of a device byte equals that of the notation read back.
    void everyByteRoundTrips()
    {
        for (int b = 1; b <= 0xFF; ++b) {
            const QByteArray device(1, static_cast<char>(b));
            const QString text = notation::fromDeviceBytes(device);
            const auto bytes = notation::toDeviceBytes(text, 1);
            QVERIFY2(bytes.has_value(), qPrintable(text));
            QCOMPARE(*bytes, device);
            if (b != '{')
                QCOMPARE(notation::comparisonForm(text), notation::comparisonForm(QString(QChar(b))));
            QCOMPARE(notation::comparisonForm(QStringLiteral("{%1}").arg(b, 0, 16)), notation::comparisonForm(text));
        }
    }
};

QTEST_APPLESS_MAIN(TstNotation)
#include "tst_notation.moc"
