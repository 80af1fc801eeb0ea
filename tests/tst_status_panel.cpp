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
#include <QtTest>

namespace {

// A status panel on a plain shown widget, with recorded boxes and scripted dialogs.
struct PanelRig final {
    PanelRig() : panel(&host, twips::Placer(96), messages, dialogs)
    {
        host.resize(1000, 720);
        host.show();
    }
    void add(const QStringList& lines)
    {
        for (const QString& line : lines)
            panel.add(line);
    }
    QString path(const QString& name = QStringLiteral("status.log")) const { return dir.filePath(name); }
    QByteArray log(const QString& name = QStringLiteral("status.log")) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void tick(const std::optional<QString>& answer)
    {
        dialogs.answers << answer;
        panel.logBox()->click();
    }

    QTemporaryDir dir;
    QWidget host;
    fakedev::RecordingMessages messages;
    ui_test::ScriptedFileDialogs dialogs;
    StatusPanel panel;
};

}  // namespace

class TstStatusPanel : public QObject {
    Q_OBJECT

private slots:
    void listKeepsTheNewest250()
    {
        PanelRig rig;
        for (int i = 0; i < 250; ++i)
            rig.panel.add(QString::number(i));
        QCOMPARE(rig.panel.add(QStringLiteral("newest")), 249);
        QCOMPARE(rig.panel.count(), StatusPanel::kMaxLines);
        QCOMPARE(rig.panel.line(0), QStringLiteral("1"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel.setLine(250, QStringLiteral("x")));
    }

    // Each new line puts line count - 5 first in view, as far as the list scrolls,
    // even after the operator scrolled away.
    void scrollRule_data()
    {
        QTest::addColumn<int>("lines");
        QTest::newRow("3 lines") << 3;
        QTest::newRow("6 lines") << 6;
        QTest::newRow("40 lines") << 40;
        QTest::newRow("past the limit") << 300;
    }
    void scrollRule()
    {
        QFETCH(int, lines);
        PanelRig rig;
        for (int i = 0; i < lines - 1; ++i)
            rig.panel.add(QString::number(i));
        rig.panel.list()->scrollToTop();
        rig.panel.add(QStringLiteral("last"));
        const int count = rig.panel.count();
        const int maximum = rig.panel.list()->verticalScrollBar()->maximum();
        QCOMPARE(rig.panel.firstVisibleLine(), count > 5 ? std::min(count - 5, maximum) : 0);
        QVERIFY(rig.panel.list()->viewport()->rect().contains(
                rig.panel.list()->visualItemRect(rig.panel.list()->item(count - 1))));
        QCOMPARE(rig.panel.firstVisibleLine() > 0, lines >= 40);
    }

    void completionAndProgress()
    {
        PanelRig rig;
        QVERIFY(!rig.panel.completionLabel()->isVisible() && !rig.panel.progressBar()->isVisible());
        rig.panel.showCompletion(QStringLiteral("Operation Successful"));
        QVERIFY(rig.panel.completionLabel()->isVisible());
        rig.panel.hideCompletion(QStringLiteral("Successful Read"));
        QVERIFY(!rig.panel.completionLabel()->isVisible());
        QCOMPARE(rig.panel.completionLabel()->text(), QStringLiteral("Successful Read"));
        rig.panel.showProgress();
        rig.panel.setProgressMaximum(0);
        // A zero maximum must not turn the bar into a busy indicator.
        QVERIFY(rig.panel.progressBar()->maximum() > 0);
        rig.panel.setProgressMaximum(36);
        rig.panel.setProgressValue(12);
        QCOMPARE(rig.panel.progressBar()->value(), 12);
        QVERIFY(rig.panel.percentLabel()->isVisible() && rig.panel.progressLabel()->isVisible());
        rig.panel.hideProgress();
        QVERIFY(!rig.panel.progressBar()->isVisible() && !rig.panel.percentLabel()->isVisible());
    }

    void percentAndPad()
    {
        QCOMPARE(StatusPanel::percentText(0, 93), QStringLiteral("0%"));
        QCOMPARE(StatusPanel::percentText(2, 3), QStringLiteral("66%"));
        QCOMPARE(StatusPanel::percentText(36, 36), QStringLiteral("100%"));
        QCOMPARE(StatusPanel::percentText(5, 0), QStringLiteral("0%"));
        QCOMPARE(leftPad(QStringLiteral("7"), 2), QStringLiteral("07"));
        QCOMPARE(leftPad(QStringLiteral("C7"), 2), QStringLiteral("C7"));
        QCOMPARE(leftPad(QStringLiteral("1"), 4, QStringLiteral("ab")), QStringLiteral("abab1"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, leftPad(QStringLiteral("1"), 2, QString()));
    }

    void tickWithLinesCopiesThemThenAppends()
    {
        PanelRig rig;
        rig.add({"first", "second"});
        rig.tick(rig.path());
        QCOMPARE(rig.dialogs.startNames, QStringList{QString()});
        QCOMPARE(rig.dialogs.filters.first(), StatusPanel::logFilter());
        QCOMPARE(rig.log(), QByteArray("first\r\nsecond\r\n"));
        rig.add({QStringLiteral("third \u00e9")});
        QCOMPARE(rig.log(), QByteArray("first\r\nsecond\r\nthird \xe9\r\n"));
    }

    void tickWithEmptyListCreatesNothingYet()
    {
        PanelRig rig;
        rig.tick(rig.path());
        QVERIFY(rig.panel.logBox()->isChecked() && !QFile::exists(rig.path()));
        rig.add({"Requesting Version"});
        QCOMPARE(rig.log(), QByteArray("Requesting Version\r\n"));
    }

    void untickThenTickAgain()
    {
        PanelRig rig;
        rig.add({"A", "B"});
        rig.tick(rig.path());
        rig.panel.logBox()->click();  // untick: no dialog, nothing written while off
        rig.add({"not logged"});
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\n"));
        rig.tick(std::nullopt);  // cancelled: the name chosen before stays
        QCOMPARE(rig.dialogs.startNames, (QStringList{QString(), rig.path()}));
        QVERIFY(rig.panel.logBox()->isChecked());
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\nA\r\nB\r\nnot logged\r\n"));
    }

    void noNameUnticks()
    {
        PanelRig rig;
        rig.add({"A"});
        rig.tick(std::nullopt);
        QVERIFY(!rig.panel.logBox()->isChecked());
        rig.tick(QString());
        QVERIFY(!rig.panel.logBox()->isChecked());
        QVERIFY(QDir(rig.dir.path()).entryList(QDir::Files).isEmpty());
        QVERIFY(rig.messages.infos.isEmpty());
    }

    void unopenableLogFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("withLines");
        QTest::newRow("missing folder, lines") << "missing/status.log" << true;
        QTest::newRow("missing folder, empty list") << "missing/status.log" << false;
        QTest::newRow("a folder, empty list") << "folder" << false;
    }
    void unopenableLogFile()
    {
        QFETCH(QString, name);
        QFETCH(bool, withLines);
        PanelRig rig;
        QDir(rig.dir.path()).mkdir(QStringLiteral("folder"));
        if (withLines)
            rig.add({"A"});
        rig.tick(rig.path(name));
        QVERIFY(!rig.panel.logBox()->isChecked());
        QCOMPARE(rig.messages.infos.size(), 1);
        QVERIFY(rig.messages.infos.first().startsWith(QStringLiteral("Cannot log to file - ")));
        QVERIFY(rig.messages.infos.first().contains(name));
        rig.add({"goes on"});
    }

    void logFailureDuringAddPassesToTheCaller()
    {
        PanelRig rig;
        QDir().mkpath(rig.path(QStringLiteral("logs")));
        rig.tick(rig.path(QStringLiteral("logs/status.log")));
        rig.add({"A"});
        QDir(rig.path(QStringLiteral("logs"))).removeRecursively();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel.add(QStringLiteral("B")));
        QCOMPARE(rig.panel.lines(), (QStringList{"A", "B"}));  // listed before the log is written
    }
};

QTEST_MAIN(TstStatusPanel)
#include "tst_status_panel.moc"
