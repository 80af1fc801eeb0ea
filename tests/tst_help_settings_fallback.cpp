// Where QZ4Vel.ini goes when the program folder cannot be written (an
// installed copy): choice of files, the first SAVE there, and its status line.
#include "files/settings.h"
#include "support/file_helpers.h"
#include "support/ui_rig.h"
#include "ui/config_dialog.h"
#include "ui/status_panel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using test_files::readAll;
using test_files::writeAll;

namespace {

const QByteArray kProgramIni = "[COMSETTINGS]\r\nPORT=2\r\n[PORTS]\r\nCOM4=/dev/ttyUSB0\r\n";
const QByteArray kUserIni = "[COMSETTINGS]\r\nPORT=5\r\n";

// A folder that cannot take a new file: a read-only temporary folder, or, for
// root (who writes past permission bits), /proc.
struct ReadOnlyFolder final {
    ReadOnlyFolder()
    {
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        path = settings_file::folderWritable(dir.path()) ? QStringLiteral("/proc") : dir.path();
    }
    ~ReadOnlyFolder() { QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner); }
    QTemporaryDir dir;
    QString path;
};

}  // namespace

class TstHelpSettingsFallback : public QObject {
    Q_OBJECT

    QString userFolder() const { return settings_file::userFolder(); }

private slots:
    void initTestCase()
    {
        // The user's folder moves under ~/.qttest, away from real settings.
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(userFolder().contains(QStringLiteral(".qttest")));
    }
    void init() { QDir(userFolder()).removeRecursively(); }
    void cleanupTestCase() { QDir(userFolder()).removeRecursively(); }

    // Which file start-up reads and SAVE writes.
    void choice_data()
    {
        QTest::addColumn<bool>("programWritable");
        QTest::addColumn<bool>("programFile");
        QTest::addColumn<bool>("userFile");
        QTest::addColumn<QString>("reads");
        QTest::addColumn<QString>("saves");
        QTest::newRow("writable, no files") << true << false << false << "program" << "program";
        QTest::newRow("writable, both files") << true << true << true << "program" << "program";
        QTest::newRow("writable, only a user file") << true << false << true << "program" << "program";
        QTest::newRow("read-only, no files") << false << false << false << "program" << "user";
        QTest::newRow("read-only, shipped file") << false << true << false << "program" << "user";
        QTest::newRow("read-only, saved before") << false << true << true << "user" << "user";
        QTest::newRow("read-only, only a user file") << false << false << true << "user" << "user";
    }
    void choice()
    {
        QFETCH(bool, programWritable);
        QFETCH(bool, programFile);
        QFETCH(bool, userFile);
        QFETCH(QString, reads);
        QFETCH(QString, saves);
        QTemporaryDir program;
        QTemporaryDir user;
        if (programFile)
            QVERIFY(writeAll(settings_file::pathIn(program.path()), kProgramIni));
        if (userFile)
            QVERIFY(writeAll(settings_file::pathIn(user.path()), kUserIni));

        const auto where = settings_file::locate(program.path(), user.path(), programWritable);
        const auto pick = [&](const QString& which) {
            return settings_file::pathIn(which == QLatin1String("user") ? user.path() : program.path());
        };
        QCOMPARE(where.readPath, pick(reads));
        QCOMPARE(where.savePath, pick(saves));
        QCOMPARE(where.savesToUser, !programWritable);
    }

    void writableCheck_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("writable");
        QTest::newRow("temporary folder") << "temp" << true;
        QTest::newRow("read-only folder") << "read-only" << false;
        QTest::newRow("missing folder") << "missing" << false;
        QTest::newRow("a file, not a folder") << "file" << false;
        QTest::newRow("empty name") << "empty" << false;
    }
    void writableCheck()
    {
        QFETCH(QString, kind);
        QFETCH(bool, writable);
        QTemporaryDir temp;
        ReadOnlyFolder readOnly;
        QString folder = temp.path();
        if (kind == QLatin1String("read-only"))
            folder = readOnly.path;
        if (kind == QLatin1String("missing"))
            folder = temp.filePath(QStringLiteral("gone"));
        if (kind == QLatin1String("file")) {
            folder = temp.filePath(QStringLiteral("plain"));
            QVERIFY(writeAll(folder, "x"));
        }
        if (kind == QLatin1String("empty"))
            folder.clear();
        QCOMPARE(settings_file::folderWritable(folder), writable);
        QCOMPARE(QDir(temp.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("write-check")),
                 QStringList());  // the check leaves nothing behind
    }

    // The first SAVE into the user's folder starts from the program folder's
    // file, so its [PORTS] lines survive; the next start reads what was saved.
    void firstSaveKeepsShippedLines()
    {
        QTemporaryDir program;
        QVERIFY(writeAll(settings_file::pathIn(program.path()), kProgramIni));
        const QString nested = QDir(userFolder()).filePath(QStringLiteral("deeper"));
        auto where = settings_file::locate(program.path(), nested, false);

        settings_file::prepareSave(where);
        QCOMPARE(readAll(where.savePath), kProgramIni);
        Settings chosen;
        chosen.comPort = 3;
        chosen.baud = QStringLiteral("19200");
        settings_file::save(where.savePath, chosen);

        where = settings_file::locate(program.path(), nested, false);
        QCOMPARE(where.readPath, where.userPath);
        const auto loaded = settings_file::load(where.readPath);
        QCOMPARE(loaded.settings.comPort, 3);
        QCOMPARE(loaded.settings.baud, QStringLiteral("19200"));
        QCOMPARE(loaded.settings.portPaths.value(4), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(readAll(settings_file::pathIn(program.path())), kProgramIni);  // the shipped file is untouched

        // A user file that exists is never replaced by the copy again.
        settings_file::prepareSave(where);
        QCOMPARE(settings_file::load(where.userPath).settings.comPort, 3);
    }

    void prepareLeavesProgramFolderAlone()
    {
        QTemporaryDir program;
        settings_file::prepareSave(settings_file::locate(program.path(), userFolder(), true));
        QVERIFY(!QFileInfo::exists(userFolder()));
        QVERIFY(!QFileInfo::exists(settings_file::pathIn(program.path())));
    }

    void prepareReportsUncreatableFolder()
    {
        QTemporaryDir temp;
        QVERIFY(writeAll(temp.filePath(QStringLiteral("plain")), "x"));
        const auto where = settings_file::locate(temp.path(), temp.filePath(QStringLiteral("plain/sub")), false);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, settings_file::prepareSave(where));
    }

    // Through the window: SAVE in the Configuration dialog of an installed copy
    // writes the user's file and says so in the status list, once per run.
    void windowSaveNotesFallbackOnce()
    {
        ReadOnlyFolder installed;
        ui_test::WindowRig rig;
        MainWindow window(MainWindowServices{rig.link, rig.waiter, rig.messages, rig.dialogs, installed.path});
        window.startUp();

        int saves = 0;
        for (int round = 0; round < 2; ++round) {
            QTimer::singleShot(0, this, [&saves] {
                if (auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget())) {
                    dialog->parityList()->setCurrentIndex(1);  // EVEN
                    dialog->save();
                    ++saves;
                }
            });
            window.menuAction(QStringLiteral("Config"))->trigger();
        }
        QCOMPARE(saves, 2);

        const QString userIni = settings_file::pathIn(userFolder());
        QCOMPARE(settings_file::load(userIni).settings.parity, QStringLiteral("E"));
        QVERIFY(!QFileInfo::exists(settings_file::pathIn(installed.path)));
        const QStringList notes = window.status().lines().filter(QStringLiteral("cannot be written"));
        QCOMPARE(notes.size(), 1);
        QVERIFY(notes.first().contains(QDir::toNativeSeparators(userIni)));
        QVERIFY(rig.messages.infos.isEmpty());
    }

    // A writable program folder keeps its file where it always was, silently.
    void windowSaveInProgramFolder()
    {
        ui_test::WindowRig rig;
        QTimer::singleShot(0, this, [] {
            if (auto* dialog = qobject_cast<ConfigDialog*>(QApplication::activeModalWidget()))
                dialog->save();
        });
        rig.window->menuAction(QStringLiteral("Config"))->trigger();
        QVERIFY(QFileInfo::exists(rig.iniPath()));
        QVERIFY(!QFileInfo::exists(userFolder()));
        QVERIFY(rig.window->status().lines().filter(QStringLiteral("cannot be written")).isEmpty());
    }
};

QTEST_MAIN(TstHelpSettingsFallback)
#include "tst_help_settings_fallback.moc"
