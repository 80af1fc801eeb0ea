#include "model/notation.h"

#include <QtTest>

class TstNotation : public QObject {
    Q_OBJECT

private slots:
    void deviceBytes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("padded") << "AB{C7}" << 6 << QByteArray("AB\xC7\0\0\0", 6);
        QTest::newRow("one digit") << "a{D}" << 4 << QByteArray("a\x0D\0\0", 4);
        QTest::newRow("empty") << "" << 4 << QByteArray(4, '\0');
        QTest::newRow("lower-case field") << "{0d}" << 1 << QByteArray("\x0D", 1);
        QTest::newRow("open field adds nothing") << "A{4" << 2 << QByteArray("A\0", 2);
        QTest::newRow("brace outside is literal") << "}" << 1 << QByteArray("}");
        QTest::newRow("longer is not cut") << "ABC" << 2 << QByteArray("ABC");
        QTest::newRow("three digits within a byte") << "{0FF}" << 1 << QByteArray("\xFF", 1);
    }
    void deviceBytes()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QByteArray, bytes);
        const auto got = notation::toDeviceBytes(text, length);
        QVERIFY(got.has_value());
        QCOMPARE(*got, bytes);
    }

    void noDeviceForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("above a byte") << "{100}";
        QTest::newRow("huge") << "{FFFFFFFFFFFFFFFFFFFF}";
        QTest::newRow("empty field") << "A{}";
        QTest::newRow("null field") << "{00}";
        QTest::newRow("not hex") << "{G1}";
        QTest::newRow("wide character") << QString::fromUtf8("\u20AC");
    }
    void noDeviceForm()
    {
        QFETCH(QString, text);
        QVERIFY(!notation::toDeviceBytes(text, 10).has_value());
    }

    void checkLen_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<bool>("tooLong");
        QTest::newRow("open field counts") << "AB{" << 2 << true;
        QTest::newRow("A B open") << "A{42}{" << 2 << true;
        QTest::newRow("A B") << "A{42}" << 2 << false;
        QTest::newRow("two literals") << "AB" << 2 << false;
        QTest::newRow("three literals") << "ABC" << 2 << true;
        QTest::newRow("two fields max 1") << "{41}{42}" << 1 << true;
        QTest::newRow("one field max 1") << "{41}" << 1 << false;
        QTest::newRow("empty") << "" << 1 << false;
    }
    void checkLen()
    {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(bool, tooLong);
        QCOMPARE(notation::checkLen(text, max), tooLong);
    }

    void comparisonForms_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hexFields");
        QTest::addColumn<QString>("comparison");
        QTest::newRow("one digit kept") << "A{7}" << "{41}{7}" << "{41}{07}";
        QTest::newRow("lower case") << "{0d}" << "{0d}" << "{0D}";
        QTest::newRow("literals") << "ab" << "{61}{62}" << "{61}{62}";
        QTest::newRow("empty field kept") << "{}" << "{}" << "{}";
    }
    void comparisonForms()
    {
        QFETCH(QString, text);
        QFETCH(QString, hexFields);
        QFETCH(QString, comparison);
        QCOMPARE(notation::textToHexFields(text), hexFields);
        QCOMPARE(notation::comparisonForm(text), comparison);
    }

    void hexFieldsToText()
    {
        bool ok = false;
        QCOMPARE(notation::hexFieldsToText("{41}{7E}{0D}", &ok), QStringLiteral("A{7E}{0D}"));
        QVERIFY(ok);
        QCOMPARE(notation::hexFieldsToText("{7B}{7D}{20}"), QStringLiteral("{} "));
        QCOMPARE(notation::hexFieldsToText("x{}y", &ok), QStringLiteral("x{}y"));
        QVERIFY(!ok);
        QCOMPARE(notation::hexFieldsToText("{ZZ}", &ok), QStringLiteral("{ZZ}"));
        QVERIFY(!ok);
    }

    void fromDevice_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("example") << QByteArray("ab\x0D\0\0", 5) << "ab{0D}";
        QTest::newRow("space and DEL") << QByteArray("\x20\x7F") << "{20}{7F}";
        QTest::newRow("stops at null") << QByteArray("A\0B", 3) << "A";
        QTest::newRow("opening brace as a field") << QByteArray("{}") << "{7B}}";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void fromDevice()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(notation::fromDeviceBytes(bytes), text);
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
            QCOMPARE(notation::comparisonForm(QStringLiteral("{%1}").arg(b, 0, 16)),
                     notation::comparisonForm(text));
        }
    }
};

QTEST_APPLESS_MAIN(TstNotation)
#include "tst_notation.moc"
