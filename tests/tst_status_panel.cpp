#include "support/fake_device.h"
#include "support/ui_rig.h"
#include "ui/status_panel.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A status panel on a plain shown widget, with recorded boxes and scripted dialogs.
struct PanelRig final {
    PanelRig()
    {
        host.resize(1000, 720);
        panel = std::make_unique<StatusPanel>(&host, twips::Placer(96), messages, dialogs);
        host.show();
    }
    void addLines(int n, const QString& prefix = QStringLiteral("line "))
    {
        for (int i = 0; i < n; ++i)
            panel->add(prefix + QString::number(i));
    }
    QString logPath(const QString& name = QStringLiteral("status.log")) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QWidget host;
    fakedev::RecordingMessages messages;
    ui_test::ScriptedFileDialogs dialogs;
    std::unique_ptr<StatusPanel> panel;
};

}  // namespace

class TstStatusPanel : public QObject {
    Q_OBJECT

private slots:
    void startsEmptyAndHidden()
    {
        PanelRig rig;
        QCOMPARE(rig.panel->count(), 0);
        QVERIFY(!rig.panel->logBox()->isChecked());
        QCOMPARE(rig.panel->logBox()->text(), QStringLiteral("Log to file"));
        QCOMPARE(rig.panel->progressLabel()->text(), QStringLiteral("Progress"));
        for (QWidget* hidden : {static_cast<QWidget*>(rig.panel->completionLabel()),
                                static_cast<QWidget*>(rig.panel->progressBar()),
                                static_cast<QWidget*>(rig.panel->progressLabel()),
                                static_cast<QWidget*>(rig.panel->percentLabel())})
            QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
        QVERIFY(rig.panel->completionLabel()->font().bold());
        QCOMPARE(rig.panel->completionLabel()->font().pointSizeF(), 13.5);
    }

    void listKeepsTheNewest250()
    {
        PanelRig rig;
        rig.addLines(250);
        QCOMPARE(rig.panel->count(), 250);
        QCOMPARE(rig.panel->line(0), QStringLiteral("line 0"));
        QCOMPARE(rig.panel->add(QStringLiteral("newest")), 249);
        QCOMPARE(rig.panel->count(), 250);
        QCOMPARE(rig.panel->line(0), QStringLiteral("line 1"));
        QCOMPARE(rig.panel->line(249), QStringLiteral("newest"));
        rig.addLines(600);
        QCOMPARE(rig.panel->count(), StatusPanel::kMaxLines);
    }

    void scrollRule_data()
    {
        QTest::addColumn<int>("lines");
        QTest::newRow("3 lines") << 3;
        QTest::newRow("5 lines") << 5;
        QTest::newRow("6 lines") << 6;
        QTest::newRow("40 lines") << 40;
        QTest::newRow("past the limit") << 300;
    }
    void scrollRule()
    {
        QFETCH(int, lines);
        PanelRig rig;
        // The operator scrolled to the top; the next line brings the view back.
        rig.addLines(lines - 1);
        rig.panel->list()->scrollToTop();
        rig.panel->add(QStringLiteral("last"));
        QCoreApplication::processEvents();
        const int count = rig.panel->count();
        const int maximum = rig.panel->list()->verticalScrollBar()->maximum();
        // Line count - 5 first in view, as far as the list can scroll.
        const int expected = count > StatusPanel::kLinesInView ? std::min(count - StatusPanel::kLinesInView, maximum) : 0;
        QCOMPARE(rig.panel->firstVisibleLine(), expected);
        const QRect last = rig.panel->list()->visualItemRect(rig.panel->list()->item(count - 1));
        QVERIFY(rig.panel->list()->viewport()->rect().contains(last));
        if (lines >= 40)
            QVERIFY(rig.panel->firstVisibleLine() > 0);
    }

    void linesByIndex()
    {
        PanelRig rig;
        const int index = rig.panel->add(QStringLiteral("Check for QZ4VELDT attached"));
        rig.panel->setLine(index, rig.panel->line(index) + QStringLiteral(" *"));
        QCOMPARE(rig.panel->line(0), QStringLiteral("Check for QZ4VELDT attached *"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel->setLine(1, QStringLiteral("x")));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel->line(-1));
        rig.panel->clear();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel->line(0));
    }

    void completionLabel()
    {
        PanelRig rig;
        rig.panel->showCompletion(QStringLiteral("Operation Successful"));
        QVERIFY(rig.panel->completionLabel()->isVisible());
        QCOMPARE(rig.panel->completionLabel()->text(), QStringLiteral("Operation Successful"));
        rig.panel->hideCompletion(QStringLiteral("Successful Read"));
        QVERIFY(!rig.panel->completionLabel()->isVisible());
        QCOMPARE(rig.panel->completionLabel()->text(), QStringLiteral("Successful Read"));
    }

    void progressDisplay()
    {
        PanelRig rig;
        rig.panel->showProgress();
        rig.panel->setProgressMaximum(0);
        rig.panel->setProgressValue(0);
        // A zero maximum must not turn the bar into a busy indicator.
        QVERIFY(rig.panel->progressBar()->maximum() > rig.panel->progressBar()->minimum());
        rig.panel->setProgressMaximum(36);
        rig.panel->setProgressValue(12);
        rig.panel->setPercentText(StatusPanel::percentText(12, 36));
        QCOMPARE(rig.panel->progressValue(), 12);
        QCOMPARE(rig.panel->progressMaximum(), 36);
        QCOMPARE(rig.panel->progressBar()->value(), 12);
        QCOMPARE(rig.panel->percentLabel()->text(), QStringLiteral("33%"));
        QVERIFY(rig.panel->progressBar()->isVisible() && rig.panel->percentLabel()->isVisible());
        rig.panel->hideProgress();
        QVERIFY(!rig.panel->progressBar()->isVisible() && !rig.panel->progressLabel()->isVisible()
                && !rig.panel->percentLabel()->isVisible());
    }

    void percentText_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QString>("text");
        QTest::newRow("start") << 0 << 93 << "0%";
        QTest::newRow("cut down") << 2 << 3 << "66%";
        QTest::newRow("one of 93") << 1 << 93 << "1%";
        QTest::newRow("done") << 36 << 36 << "100%";
        QTest::newRow("no maximum") << 5 << 0 << "0%";
    }
    void percentText()
    {
        QFETCH(int, value);
        QFETCH(int, maximum);
        QFETCH(QString, text);
        QCOMPARE(StatusPanel::percentText(value, maximum), text);
    }

    void leftPadding_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("pad");
        QTest::addColumn<QString>("padded");
        QTest::newRow("one digit") << "7" << 2 << "0" << "07";
        QTest::newRow("two digits unchanged") << "C7" << 2 << "0" << "C7";
        QTest::newRow("longer unchanged") << "ABC" << 2 << "0" << "ABC";
        QTest::newRow("empty") << "" << 2 << "0" << "00";
        QTest::newRow("pad of two overshoots") << "1" << 4 << "ab" << "abab1";
    }
    void leftPadding()
    {
        QFETCH(QString, text);
        QFETCH(int, length);
        QFETCH(QString, pad);
        QFETCH(QString, padded);
        QCOMPARE(leftPad(text, length, pad), padded);
    }
    void leftPadRefusesEmptyPad() { QVERIFY_THROWS_EXCEPTION(std::runtime_error, leftPad("1", 2, QString())); }

    void tickWithLinesCopiesThemThenAppends()
    {
        PanelRig rig;
        rig.panel->add(QStringLiteral("first"));
        rig.panel->add(QStringLiteral("second"));
        rig.dialogs.answers << rig.logPath();
        rig.panel->logBox()->click();
        QVERIFY(rig.panel->logBox()->isChecked());
        QCOMPARE(rig.dialogs.asked, 1);
        QCOMPARE(rig.dialogs.startNames.first(), QString());
        QCOMPARE(rig.dialogs.filters.first(), StatusPanel::logFilter());
        QCOMPARE(readFile(rig.logPath()), QByteArray("first\r\nsecond\r\n"));
        rig.panel->add(QStringLiteral("third \u00e9"));
        QCOMPARE(readFile(rig.logPath()), QByteArray("first\r\nsecond\r\nthird \xe9\r\n"));
        QVERIFY(rig.messages.infos.isEmpty());
    }

    void tickWithEmptyListCreatesNothingYet()
    {
        PanelRig rig;
        rig.dialogs.answers << rig.logPath();
        rig.panel->logBox()->click();
        QVERIFY(rig.panel->logBox()->isChecked());
        QVERIFY(!QFile::exists(rig.logPath()));
        rig.panel->add(QStringLiteral("Requesting Version"));
        QCOMPARE(readFile(rig.logPath()), QByteArray("Requesting Version\r\n"));
    }

    void lineDroppedFromListStillLogged()
    {
        PanelRig rig;
        rig.dialogs.answers << rig.logPath();
        rig.panel->logBox()->click();
        rig.addLines(260);
        QCOMPARE(readFile(rig.logPath()).count("\r\n"), 260);
        QVERIFY(readFile(rig.logPath()).startsWith("line 0\r\n"));
    }

    void untickStopsLoggingAndKeepsTheName()
    {
        PanelRig rig;
        rig.dialogs.answers << rig.logPath();
        rig.panel->logBox()->click();
        rig.panel->add(QStringLiteral("logged"));
        rig.panel->logBox()->click();
        QVERIFY(!rig.panel->logBox()->isChecked());
        rig.panel->add(QStringLiteral("not logged"));
        QCOMPARE(readFile(rig.logPath()), QByteArray("logged\r\n"));
        QCOMPARE(rig.panel->logFileName(), rig.logPath());
        QCOMPARE(rig.dialogs.asked, 1);
    }

    void tickAgainAppendsTheWholeListAgain()
    {
        PanelRig rig;
        rig.panel->add(QStringLiteral("A"));
        rig.panel->add(QStringLiteral("B"));
        rig.dialogs.answers << rig.logPath();
        rig.panel->logBox()->click();
        rig.panel->logBox()->click();
        // The second dialog starts with the name chosen before; a cancel keeps it.
        rig.panel->logBox()->click();
        QCOMPARE(rig.dialogs.asked, 2);
        QCOMPARE(rig.dialogs.startNames.at(1), rig.logPath());
        QVERIFY(rig.panel->logBox()->isChecked());
        QCOMPARE(readFile(rig.logPath()), QByteArray("A\r\nB\r\nA\r\nB\r\n"));
    }

    void noNameUnticks_data()
    {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("cancelled") << true;
        QTest::newRow("empty name") << false;
    }
    void noNameUnticks()
    {
        QFETCH(bool, cancel);
        PanelRig rig;
        rig.panel->add(QStringLiteral("A"));
        if (!cancel)
            rig.dialogs.answers << QString();
        rig.panel->logBox()->click();
        QVERIFY(!rig.panel->logBox()->isChecked());
        QVERIFY(!rig.panel->loggingOn());
        QVERIFY(QDir(rig.dir.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(rig.messages.infos.isEmpty());
        rig.panel->add(QStringLiteral("B"));  // nothing to log to, nothing thrown
    }

    void unopenableLogFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("withLines");
        QTest::newRow("missing folder, lines") << "missing/status.log" << true;
        QTest::newRow("missing folder, empty list") << "missing/status.log" << false;
        QTest::newRow("a folder, lines") << "folder" << true;
        QTest::newRow("a folder, empty list") << "folder" << false;
    }
    void unopenableLogFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, withLines);
        PanelRig rig;
        QDir(rig.dir.path()).mkdir(QStringLiteral("folder"));
        if (withLines)
            rig.panel->add(QStringLiteral("A"));
        rig.dialogs.answers << rig.logPath(name);
        rig.panel->logBox()->click();
        QVERIFY(!rig.panel->logBox()->isChecked());
        QCOMPARE(rig.messages.infos.size(), 1);
        QVERIFY(rig.messages.infos.first().startsWith(QStringLiteral("Cannot log to file - ")));
        QVERIFY(rig.messages.infos.first().contains(name));
        QCOMPARE(rig.panel->add(QStringLiteral("goes on")), withLines ? 1 : 0);
    }

    void logFailureDuringAddPassesToTheCaller()
    {
        PanelRig rig;
        const QString folder = rig.dir.filePath(QStringLiteral("logs"));
        QDir().mkpath(folder);
        rig.dialogs.answers << folder + QStringLiteral("/status.log");
        rig.panel->logBox()->click();
        rig.panel->add(QStringLiteral("A"));
        QDir(folder).removeRecursively();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel->add(QStringLiteral("B")));
        // The line is in the list before the log is written.
        QCOMPARE(rig.panel->lines(), (QStringList{"A", "B"}));
    }
};

QTEST_MAIN(TstStatusPanel)
#include "tst_status_panel.moc"
