#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/status_panel.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QDir>
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
    QString path(const QString& name = QStringLiteral("logs/status.log")) const { return dir.filePath(name); }
    QByteArray log() const { return test_files::readAll(path()); }
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

// Counts the paint events a widget receives.
struct PaintCounter final : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};

}  // namespace

class TstStatusPanel : public QObject {
    Q_OBJECT

private slots:
    // The list keeps the newest 250 lines. Each new line puts line count - 5 first in view, as far as
    // the list scrolls, even after the operator scrolled away.
    void scrollRule_data()
    {
        QTest::addColumn<int>("lines");
        for (int lines : {3, 6, 40, 300})
            QTest::addRow("%d lines", lines) << lines;
    }
    void scrollRule()
    {
        QFETCH(int, lines);
        PanelRig rig;
        for (int i = 0; i < lines - 1; ++i)
            rig.panel.add(QString::number(i));
        rig.panel.list()->scrollToTop();
        const int count = std::min(lines, int(StatusPanel::kMaxLines));
        QCOMPARE(rig.panel.add(QStringLiteral("last")), count - 1);
        QCOMPARE(rig.panel.count(), count);
        QCOMPARE(rig.panel.line(0), QString::number(lines - count));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel.setLine(count, QStringLiteral("x")));
        const int maximum = rig.panel.list()->verticalScrollBar()->maximum();
        QCOMPARE(rig.panel.firstVisibleLine(), count > 5 ? std::min(count - 5, maximum) : 0);
        QCOMPARE(rig.panel.firstVisibleLine() > 0, lines >= 40);
    }

    // The lines and progress steps of one wait reach the screen together: the list and the bar
    // are painted once each when the event loop next runs, not once per change. The bar, with its
    // labels, is shown and hidden as a whole, and is never a busy indicator.
    void oneRepaintPerWait()
    {
        PanelRig rig;
        rig.panel.showProgress();
        QVERIFY(rig.panel.percentLabel()->isVisible());
        QVERIFY(rig.panel.progressLabel()->isVisible());
        rig.panel.setProgressMaximum(0);
        QVERIFY(rig.panel.progressBar()->maximum() > 0);
        rig.panel.setProgressMaximum(10);
        QCoreApplication::processEvents();
        PaintCounter bar(rig.panel.progressBar());
        PaintCounter list(rig.panel.list()->viewport());
        for (int i = 1; i <= 9; ++i) {
            rig.panel.add(QString::number(i));
            rig.panel.setProgressValue(i);
        }
        QCOMPARE(bar.paints, 0);
        QCoreApplication::processEvents();
        QCOMPARE(bar.paints, 1);
        QCOMPARE(list.paints, 1);
        rig.panel.hideProgress();
        QVERIFY(!rig.panel.progressBar()->isVisible());
        QVERIFY(!rig.panel.percentLabel()->isVisible());
    }

    // A tick copies the list, later lines are appended (8-bit); an untick stops that; a cancelled dialog
    // keeps the name chosen before. A failed append passes to the caller, after the line is listed.
    void tickUntickAndTickAgain()
    {
        PanelRig rig;
        QDir(rig.dir.path()).mkdir(QStringLiteral("logs"));
        rig.panel.add("A");
        rig.panel.add("B");
        rig.tick(rig.path());
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\n"));
        rig.panel.logBox()->click();  // untick: no dialog
        rig.panel.add("not logged");
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\n"));
        rig.tick(std::nullopt);
        QCOMPARE(rig.dialogs.startNames, (QStringList{QString(), rig.path()}));
        rig.panel.add(QStringLiteral("\u00e9"));
        QVERIFY(rig.panel.logBox()->isChecked());
        QCOMPARE(rig.log(), QByteArray("A\r\nB\r\nA\r\nB\r\nnot logged\r\n\xe9\r\n"));
        QDir(rig.path(QStringLiteral("logs"))).removeRecursively();
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, rig.panel.add(QStringLiteral("B")));
        QCOMPARE(rig.panel.line(rig.panel.count() - 1), "B");
    }

    // The answer to the dialog ("-" cancels): whether the box stays ticked, and whether one message
    // refuses the file. Nothing is written before the next line.
    void tickOutcomes_data()
    {
        QTest::addColumn<bool>("withLines");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<bool>("refused");  // "Cannot log to file - " and the name
        QTest::newRow("empty list: file made by the next line") << false << "logs/status.log" << true << false;
        QTest::newRow("cancelled") << true << "-" << false << false;
        QTest::newRow("empty name") << true << "" << false << false;
        QTest::newRow("missing folder, lines") << true << "missing/status.log" << false << true;
        QTest::newRow("missing folder, empty list") << false << "missing/status.log" << false << true;
        QTest::newRow("a folder, empty list") << false << "logs/folder" << false << true;
    }
    void tickOutcomes()
    {
        QFETCH(bool, withLines);
        QFETCH(QString, answer);
        QFETCH(bool, ticked);
        QFETCH(bool, refused);
        PanelRig rig;
        QDir(rig.dir.path()).mkpath(QStringLiteral("logs/folder"));
        if (withLines)
            rig.panel.add("A");
        rig.tick(answer == "-" ? std::nullopt : std::optional<QString>(answer.isEmpty() ? answer : rig.path(answer)));
        QCOMPARE(rig.panel.logBox()->isChecked(), ticked);
        QCOMPARE(rig.messages.infos.size(), refused ? 1 : 0);
        for (const QString& info : rig.messages.infos)
            QVERIFY2(info.startsWith("Cannot log to file - ") && info.contains(answer), qPrintable(info));
        QVERIFY(!QFile::exists(rig.path()));
        rig.panel.add("goes on");
        QCOMPARE(rig.log(), ticked ? QByteArray("goes on\r\n") : QByteArray());
    }
};

QTEST_MAIN(TstStatusPanel)
#include "tst_status_panel.moc"
