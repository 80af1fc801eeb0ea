#include "support/file_helpers.h"
#include "support/ui_rig.h"

#include <QComboBox>
#include <QtTest>

using ui_test::WindowRig;

class TstFileMenu : public QObject {
    Q_OBJECT

private slots:
    // Save As, then Open in a fresh window: string length 10 (the last entry)
    // and rows 0..92 come back, notes with line breaks, tabs and a final blank included.
    void roundTrip()
    {
        WindowRig writer;
        RowTable& out = writer.window->rows();
        writer.window->selectStringLengthIndex(9);
        std::tie(out.keyNames.at(0), out.strings.at(0), out.notes.at(0)) = std::tuple("F1", "ABCDEFGHIJ", "two\nlines");
        out.notes.at(92) = QStringLiteral("tab\there ");
        const QString path = writer.folder.filePath(QStringLiteral("round.cfg"));
        writer.dialogs.answers = {path};
        writer.run("SaveAs");
        QCOMPARE(writer.messages.infos, QStringList{QStringLiteral("Save Successful")});
        QVERIFY(writer.dialogs.filters == QStringList{"QZ4VELDT (*.cfg)"} && writer.messages.confirms.isEmpty());
        QCOMPARE(writer.find<QLabel>("CfgLabel")->text(), QStringLiteral("None"));  // Save As leaves the label

        WindowRig reader;
        reader.click("NextPage");
        reader.dialogs.answers = {path};
        reader.run("FOpen");
        QVERIFY(reader.dialogs.filters == QStringList{"QZ4VEL (*.cfg);;All Files (*)"}
                && reader.messages.infos.isEmpty());
        QVERIFY(reader.find<QLabel>("CfgLabel")->text() == "round.cfg" && reader.window->configFileName() == path);
        QVERIFY(reader.window->currentPage() == 0 && reader.keyString(0)->text() == "ABCDEFGHIJ");
        QCOMPARE(reader.find<QComboBox>("StrConfig")->currentIndex(), 9);
        const RowTable& in = reader.window->rows();
        QVERIFY(in.keyNames == out.keyNames && in.strings == out.strings && in.notes == out.notes);
    }

    // No name, overwrite refused, dialog cancelled or empty, a failed write
    // (the old file stays whole), then Save As over the file.
    void saveQuestionsAndRefusals()
    {
        WindowRig rig;
        rig.run("FSave");
        QCOMPARE(rig.messages.infos, QStringList{"No filename entered"});
        const QString path = rig.folder.filePath(QStringLiteral("old.cfg"));
        QVERIFY(test_files::writeAll(path, "old"));
        rig.window->setConfigFileName(path);
        rig.messages.confirmAnswer = false;
        rig.dialogs.answers = {std::nullopt, QString(), path};  // cancel, empty name, existing file
        for (const char* action : {"FSave", "SaveAs", "SaveAs", "SaveAs"})
            rig.run(action);
        QCOMPARE(rig.messages.infos, QStringList({"No filename entered", "No filename entered"}));
        QCOMPARE(rig.messages.confirms, QStringList(2, "Confirm: File exists -- want to overwrite? Y/N"));
        QCOMPARE(test_files::readAll(path), QByteArray("old"));
        rig.messages.confirmAnswer = true;
        {
            test_files::FileSizeLimit full(100);  // a full disk fails for any user, root included
            rig.run("FSave");
        }
        QVERIFY2(rig.messages.infos.size() == 3 && rig.messages.infos.at(2).startsWith("Error saving file "),
                 qPrintable(rig.messages.infos.join('|')));
        QCOMPARE(test_files::readAll(path), QByteArray("old"));
        rig.dialogs.answers = {path};
        rig.run("SaveAs");
        QCOMPARE(rig.messages.confirms.size(), 5);  // Save As asks, then Save asks again
        QVERIFY(test_files::readAll(path).startsWith("#Quorvane QZ4VELDT configuration file\r\n"));
    }

    // A bad string-length line stops the load: rows read before it stay and
    // the page is not redrawn; a bad row line is reported and reading goes on.
    void openErrors()
    {
        WindowRig rig;
        rig.click("NextPage");
        const QString path = rig.folder.filePath(QStringLiteral("dir\\bad.cfg"));
        QVERIFY(test_files::writeAll(
                path, "String Length = 3\r\n00\tF1\r\n-3\tF2\r\n01\tF3\r\nString Length = 11\r\n02\tF4\r\n"));
        rig.dialogs.answers = {std::nullopt, path, rig.folder.filePath(QStringLiteral("gone.cfg"))};
        rig.run("FOpen");  // cancelled: silent, nothing changed
        QVERIFY(rig.messages.infos.isEmpty() && rig.window->configFileName().isEmpty());
        QCOMPARE(rig.find<QLabel>("CfgLabel")->text(), QStringLiteral("None"));
        rig.run("FOpen");
        QCOMPARE(rig.messages.infos.size(), 2);
        QVERIFY(rig.messages.infos.at(0).startsWith("Error extracting info from config file. "));
        QVERIFY(rig.messages.infos.at(0).endsWith(" iitemnumber-1 =-4"));
        QVERIFY(rig.messages.infos.at(1).startsWith("Error opening specified config file. "));
        const RowTable& rows = rig.window->rows();
        QVERIFY(rows.keyNames.at(0) == "F1" && rows.keyNames.at(1) == "F3" && rows.keyNames.at(2).isEmpty());
        QVERIFY(rig.window->stringLength() == 3 && rig.window->currentPage() == 1);
        QCOMPARE(rig.find<QLabel>("CfgLabel")->text(), QStringLiteral("bad.cfg"));
        rig.run("FOpen");  // a missing file: reported, and the label names it
        QVERIFY(rig.messages.infos.size() == 3 && rig.messages.infos.at(2).startsWith("Error opening specified"));
        QCOMPARE(rig.find<QLabel>("CfgLabel")->text(), QStringLiteral("gone.cfg"));
    }
};

QTEST_MAIN(TstFileMenu)
#include "tst_file_menu.moc"
