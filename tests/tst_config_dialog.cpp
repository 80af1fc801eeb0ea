#include "files/settings.h"
#include "model/messages.h"
#include "ui/config_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct RecordedMessages final : Messages {
    void info(const QString& text) override { texts.append(text); }
    bool confirm(const QString&, const QString&) override { return false; }
    void beep() override {}
    QStringList texts;
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

Q_DECLARE_METATYPE(Settings)

class TstConfigDialog : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(QStringLiteral("QZ4Vel.ini")); }

private slots:
    void cleanup() { QFile::remove(ini()); }

    void openAndSave_data()
    {
        QTest::addColumn<Settings>("before");
        QTest::addColumn<QStringList>("shown");   // port, baud and parity entries chosen on opening
        QTest::addColumn<QList<int>>("choices");  // then chosen; -1 keeps the opening choice
        QTest::addColumn<QStringList>("written");
        QTest::newRow("19200 E, choose ODD")
            << Settings{3, "19200", "E", 0, {}} << QStringList{"COM3   /dev/ttyS2", "19.2k", "EVEN"}
            << QList<int>{-1, -1, 2} << QStringList{"PORT=3", "BAUD=19200", "PARITY=O", "ENABLESTRINGS=0"};
        QTest::newRow("57600, mapped COM2")
            << Settings{2, "57600", "N", 1, {{2, "/dev/ttyUSB0"}}}
            << QStringList{"COM2   /dev/ttyUSB0", "57.6k", "NONE"}
            << QList<int>{7, 3, -1} << QStringList{"PORT=8", "BAUD=19200", "PARITY=N", "ENABLESTRINGS=1"};
        QTest::newRow("no entry matches")
            << Settings{12, "115200", "e", 0, {}} << QStringList{"", "", ""} << QList<int>{-1, -1, -1}
            << QStringList{"PORT=12", "BAUD=115200", "PARITY=e", "ENABLESTRINGS=0"};
    }
    void openAndSave()
    {
        QFETCH(Settings, before);
        QFETCH(QStringList, shown);
        QFETCH(QList<int>, choices);
        QFETCH(QStringList, written);
        QFile file(ini());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("; kept\r\n[PORTS]\r\nCOM2=/dev/ttyUSB0\r\n[comsettings]\r\nPORT=1\r\nEXTRA=x\r\n");
        file.close();
        RecordedMessages messages;
        ConfigDialog dialog(before, ini(), messages, {});
        dialog.show();
        QComboBox* lists[] = {dialog.portList(), dialog.baudList(), dialog.parityList()};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lists[i]->currentText(), shown.at(i));
            if (choices.at(i) >= 0)
                lists[i]->setCurrentIndex(choices.at(i));
        }
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        const QStringList expected{"; kept", "[PORTS]", "COM2=/dev/ttyUSB0", "[comsettings]", written.at(0), "EXTRA=x",
                                   written.at(1), written.at(2), "[GENERAL]", written.at(3)};
        QCOMPARE(QString::fromLatin1(readAll(ini())), expected.join("\r\n") + "\r\n");
        QVERIFY(messages.texts.isEmpty() && !dialog.isVisible());
    }

    void closeKeepsTheTickButNotTheFile()
    {
        Settings settings;
        RecordedMessages messages;
        int calls = 0;
        ConfigDialog dialog(settings, ini(), messages, {[&] { ++calls; }, [&] { ++calls; }});
        dialog.show();
        dialog.baudList()->setCurrentIndex(0);
        QTest::mouseClick(dialog.descriptionsBox(), Qt::LeftButton);
        QTest::mouseClick(dialog.closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible() && !QFile::exists(ini()));
        QCOMPARE(settings.enableStrings, 1);
        QCOMPARE(settings.baud, QStringLiteral("9600"));
        QCOMPARE(calls, 0);
    }

    void saveSequence_data()
    {
        QTest::addColumn<int>("enableBefore");  // the box is clicked once
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("switched off") << 1 << QStringList{"setup", "event", "hide"};
        QTest::newRow("switched on") << 0 << QStringList{"setup", "event"};
    }
    void saveSequence()
    {
        QFETCH(int, enableBefore);
        Settings settings;
        settings.enableStrings = enableBefore;
        RecordedMessages messages;
        QStringList steps;
        ConfigDialog* self = nullptr;
        auto setup = [&] {
            // File written first, dialog still up, events handled in the pause.
            steps << (readAll(ini()).contains("PORT=") && self->isVisible() ? "setup" : "setup too early");
            QTimer::singleShot(0, [&] { steps << "event"; });
            QTimer::singleShot(0, [&] { self->save(); });  // a second SAVE meanwhile is ignored
        };
        ConfigDialog dialog(settings, ini(), messages, {setup, [&] { steps << "hide"; }});
        self = &dialog;
        dialog.show();
        QTest::mouseClick(dialog.descriptionsBox(), Qt::LeftButton);
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QTEST(steps, "steps");
        QVERIFY(!dialog.isVisible());
    }

    void failedWriteKeepsTheDialogOpen()
    {
        Settings settings;
        RecordedMessages messages;
        int calls = 0;
        const QString unwritable = m_dir.filePath("missing/QZ4Vel.ini");
        ConfigDialog dialog(settings, unwritable, messages, {[&] { ++calls; }, [&] { ++calls; }});
        dialog.show();
        QTest::mouseClick(dialog.saveButton(), Qt::LeftButton);
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(messages.texts.at(0).startsWith(QStringLiteral("Error saving configuration - ")));
        QVERIFY(messages.texts.at(0).size() > 30 && dialog.isVisible());
        QCOMPARE(calls, 0);
    }
};

QTEST_MAIN(TstConfigDialog)
#include "tst_config_dialog.moc"
