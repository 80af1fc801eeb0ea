// QZ4Vel.ini of an installed copy whose program folder cannot be written.
#include "files/settings.h"
#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/config_dialog.h"
#include "ui/status_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QStandardPaths>
#include <QtTest>

using test_files::writeAll;

class TstHelpSettingsFallback : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }  // keeps ~/.config out of it
    void init() { QDir(settings_file::userFolder()).removeRecursively(); }
    void cleanupTestCase() { QDir(settings_file::userFolder()).removeRecursively(); }

    void choice_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("programFile");
        QTest::addColumn<bool>("userFile");
        QTest::addColumn<bool>("readsUser");
        QTest::newRow("writable, both files: the user's is never read") << false << true << true << false;
        QTest::newRow("read-only, no files") << true << false << false << false;
        QTest::newRow("read-only, shipped file") << true << true << false << false;
        QTest::newRow("read-only, saved before") << true << true << true << true;
    }
    void choice()
    {
        QFETCH(bool, readOnly);
        QFETCH(bool, programFile);
        QFETCH(bool, userFile);
        QFETCH(bool, readsUser);
        QTemporaryDir program, user;
        if (programFile)
            QVERIFY(writeAll(settings_file::pathIn(program.path()), "[COMSETTINGS]\r\nPORT=2\r\n"));
        if (userFile)
            QVERIFY(writeAll(settings_file::pathIn(user.path()), "[COMSETTINGS]\r\nPORT=5\r\n"));
        const auto where = settings_file::locate(program.path(), user.path(), !readOnly);
        QCOMPARE(where.savesToUser, readOnly);
        QCOMPARE(where.savePath, readOnly ? where.userPath : where.programPath);
        QCOMPARE(where.readPath, readsUser ? where.userPath : where.programPath);
    }

    // The first SAVE there starts from the shipped file, so its [PORTS] survive; a user file once there is never replaced.
    void firstSaveKeepsShippedLines()
    {
        QTemporaryDir program;
        const QByteArray shipped = "[COMSETTINGS]\r\nPORT=2\r\n[PORTS]\r\nCOM4=/dev/ttyUSB0\r\n";
        QVERIFY(writeAll(settings_file::pathIn(program.path()), shipped));
        const auto where = settings_file::locate(program.path(), settings_file::userFolder() + "/sub", false);
        settings_file::prepareSave(where);
        settings_file::save(where.savePath, Settings{.comPort = 3, .portPaths = {}});
        settings_file::prepareSave(where);
        const auto loaded = settings_file::load(where.savePath).settings;
        QCOMPARE(loaded.comPort, 3);
        QCOMPARE(loaded.portPaths.value(4), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(test_files::readAll(settings_file::pathIn(program.path())), shipped);
    }

    // SAVE in the window writes the user's file and says so once per run. Root writes past
    // permission bits, so for root the folder is /proc, where no one can create a file.
    void windowNotesFallbackOnce()
    {
        QTemporaryDir installed;
        QFile::setPermissions(installed.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QString folder = settings_file::folderWritable(installed.path()) ? "/proc" : installed.path();
        QVERIFY(settings_file::locate(folder).savesToUser);
        ui_test::WindowRig rig;
        rig.window = std::make_unique<MainWindow>(
                MainWindowServices{rig.link, rig.waiter, rig.messages, rig.dialogs, rig.print, folder, {}});
        rig.window->startUp();
        const QString userIni = settings_file::pathIn(settings_file::userFolder());
        for (int round = 0; round < 3; ++round) {
            QTimer::singleShot(0, this, [round] {
                auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                if (round == 0)
                    return dialog->reject();  // opened and closed: no file is made
                dialog->parityList()->setCurrentIndex(1);  // EVEN
                dialog->save();
                if (dialog->isVisible())  // a save that failed keeps it open: the checks below say so
                    dialog->reject();
            });
            rig.run("Config");
            QCOMPARE(QFile::exists(userIni), round > 0);
        }
        QCOMPARE(settings_file::load(userIni).settings.parity, QStringLiteral("E"));
        QCOMPARE(rig.statusLines().filter(QStringLiteral("cannot be written")).size(), 1);
        QVERIFY(rig.statusLines().join(' ').contains(userIni) && rig.messages.infos.isEmpty());
    }
};

QTEST_MAIN(TstHelpSettingsFallback)
#include "tst_help_settings_fallback.moc"
