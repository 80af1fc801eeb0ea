// A table typed into a window outlives a kill -9 of its process: the next start
// offers it back.
#include "files/recovery_store.h"
#include "support/ui_rig.h"

#include <QProcess>
#include <QtTest>

#include <cstdio>

using ui_test::WindowRig;

namespace {

// The process to be killed: types a table, says "ready" once its snapshot is on
// disk, then waits.
int typeAndWait(const QString& stateFolder)
{
    WindowRig rig;
    rig.stateFolder = stateFolder;
    rig.restart();
    rig.keyString(0)->setText(QStringLiteral("abc"));
    rig.window->rows().notes.at(3) = QStringLiteral("note");
    if (!QTest::qWaitFor([&] { return QFile::exists(RecoveryStore(stateFolder).path()); }, 10000))
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

}  // namespace

class E2eRecoveryTest final : public QObject {
    Q_OBJECT

private slots:
    void restoresAfterKill()
    {
        QTemporaryDir state;
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), state.path()});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("ready"), 20000);
        child.kill();  // SIGKILL: nothing of the program's own clean-up runs
        QVERIFY(child.waitForFinished(5000));

        WindowRig rig;
        rig.stateFolder = state.path();
        rig.restart();
        QCOMPARE(rig.messages.confirms.size(), 1);
        QCOMPARE(rig.keyString(0)->text(), "abc");
        QCOMPARE(rig.window->rows().notes.at(3), "note");
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--child")
        return typeAndWait(QString::fromLocal8Bit(argv[2]));
    E2eRecoveryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_recovery.moc"
