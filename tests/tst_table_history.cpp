#include "files/recovery_store.h"
#include "model/key_table.h"
#include "model/table_history.h"
#include "support/file_helpers.h"
#include "support/ui_rig.h"

#include <QComboBox>
#include <QListWidget>
#include <QtTest>

using ui_test::WindowRig;

namespace {

TableState tableNamed(const QString& name)
{
    TableState state;
    state.rows.keyNames.at(3) = state.rows.strings.at(3) = state.rows.notes.at(90) = name;
    state.stringLength = int(name.size() % 10 + 1);
    state.configFileName = "/tmp/" + name + ".cfg";
    state.configLabel = name + ".cfg";
    return state;
}

bool same(const TableState& a, const TableState& b)
{
    return a.sameTable(b) && a.configFileName == b.configFileName && a.configLabel == b.configLabel;
}

// What the window shows of its table: rows, notes, string length, file name and label.
TableState shown(const WindowRig& rig)
{
    return {rig.window->rows(), rig.window->stringLength(), rig.window->configFileName(),
            rig.find<QLabel>("CfgLabel")->text()};
}

}  // namespace

class TstTableHistory : public QObject {
    Q_OBJECT

private slots:
    // Each undo gives back the table before its change, each redo the one after;
    // a new change forgets the redo steps; only the last twenty steps are kept.
    void undoRedoAndTwentySteps()
    {
        TableHistory history;
        QCOMPARE(history.undoText() + history.redoText(), "UndoRedo");
        QVERIFY(!history.undo(tableNamed("x")));
        QList<TableState> tables;
        for (int i = 0; i <= 25; ++i) {
            tables << tableNamed(QStringLiteral("t%1").arg(i));
            if (i > 0)
                history.record(QStringLiteral("Step %1").arg(i), tables.at(i - 1));
        }
        QCOMPARE(history.undoText(), "Undo Step 25");
        for (int i = 24; i >= 5; --i)
            QVERIFY(same(*history.undo(tables.at(i + 1)), tables.at(i)));
        QVERIFY(!history.canUndo());  // t4 and older are gone
        QCOMPARE(history.redoText(), "Redo Step 6");
        QVERIFY(same(*history.redo(tables.at(5)), tables.at(6)));
        QCOMPARE(history.undoText(), "Undo Step 6");
        history.record(QStringLiteral("Clear All"), tables.at(6));
        QVERIFY(!history.canRedo());
        QVERIFY(same(*history.undo(TableState{}), tables.at(6)));
        QVERIFY(same(*history.undo(tables.at(6)), tables.at(5)));
    }

    void lengthChangeLoses_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("field");  // key, string or note
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("loses");
        QTest::newRow("empty table") << 0 << "key" << 6 << 1 << "" << false;
        QTest::newRow("shorter length shows more") << 30 << "key" << 7 << 1 << "F1" << false;
        QTest::newRow("string fits") << 0 << "string" << 6 << 2 << "a{0D}" << false;
        QTest::newRow("string cut") << 0 << "string" << 6 << 2 << "a{0D}b" << true;
        QTest::newRow("key hidden") << 35 << "key" << 6 << 7 << "F1" << true;
        QTest::newRow("note hidden") << 32 << "note" << 6 << 7 << "n" << true;
        QTest::newRow("already hidden") << 40 << "key" << 6 << 7 << "F1" << false;
    }
    void lengthChangeLoses()
    {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, text);
        RowTable rows;
        (field == "key" ? rows.keyNames : field == "string" ? rows.strings : rows.notes).at(row) = text;
        QTEST(::lengthChangeLoses(rows, from, to), "loses");
    }

    // Each recorded change is undone and redone exactly, from the File menu.
    void windowUndoRedo_data()
    {
        QTest::addColumn<QString>("what");
        for (const char* what : {"Clear All", "Open", "Read", "String Length"})
            QTest::newRow(what) << what;
    }
    void windowUndoRedo()
    {
        QFETCH(QString, what);
        WindowRig rig;
        const QString first = rig.folder.filePath("first.cfg"), second = rig.folder.filePath("second.cfg");
        QVERIFY(test_files::writeAll(first,
                                     "String Length = 4\r\n00\tF1\tabcd\tnote 0\r\n40\tF2\t\tnote 40\r\n60\tF4\r\n"));
        QVERIFY(test_files::writeAll(second, "String Length = 9\r\n01\tF3\tx\r\n"));
        rig.dialogs.answers = {first, second};
        rig.run("FOpen");
        rig.keyString(1)->setText("typ");  // differs from the file
        rig.device.setStringLength(2);
        rig.device.setSlot(0, std::uint8_t(key_table::scancodeForKeyName("F5")), "yz");
        const TableState before = shown(rig);
        if (what == "Clear All")
            rig.run("ClearAll");
        else if (what == "Open")
            rig.run("FOpen");
        else if (what == "Read")
            rig.click("Read");
        else
            rig.find<QComboBox>("StrConfig")->setCurrentIndex(1);  // cuts "abcd"
        const TableState after = shown(rig);
        QVERIFY(!same(after, before));
        QCOMPARE(rig.find<QAction>("Undo")->text(), "Undo " + what);
        rig.run("Undo");
        QVERIFY(same(shown(rig), before));
        QCOMPARE(rig.keyString(0)->text(), "abcd");
        rig.run("Redo");
        QVERIFY(same(shown(rig), after));
        QVERIFY(!rig.find<QAction>("Redo")->isEnabled());
    }

    // Ctrl+Z in a row field undoes the typing there; with no typing to undo, the table.
    void fieldKeepsItsOwnUndo()
    {
        WindowRig rig;
        QVERIFY(rig.activate());
        rig.window->rows().keyNames.at(2) = "F2";
        rig.run("ClearAll");
        rig.keyString(0)->setFocus();
        QTest::keyClicks(rig.keyString(0), "ab");
        QTest::keyClick(rig.keyString(0), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(rig.keyString(0)->text() != "ab");
        QCOMPARE(rig.window->rows().keyNames.at(2), QString());
        rig.keyString(1)->setFocus();
        QTest::keyClick(rig.keyString(1), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(rig.window->rows().keyNames.at(2), "F2");
    }

    // Start-up offers a snapshot (No removes it); one that cannot be read is set aside and told once.
    void recoveryAtStart()
    {
        WindowRig rig;
        TableState kept;
        std::tie(kept.rows.notes.at(7), kept.stringLength, kept.configFileName, kept.configLabel) =
                std::tuple("kept", 8, "/x/k.cfg", "k.cfg");
        const QString snapshot = RecoveryStore(rig.stateFolder).path();
        const auto keep = [&] { RecoveryStore(rig.stateFolder).write(kept); };
        rig.restart(keep);
        QCOMPARE(rig.messages.confirms.size(), 1);
        QVERIFY2(rig.messages.confirms.at(0).contains(": Restore the table from "),
                 qPrintable(rig.messages.confirms.at(0)));
        QVERIFY(same(shown(rig), kept));
        rig.messages.confirmAnswer = false;
        rig.restart();  // a clean exit removed it
        QCOMPARE(rig.messages.confirms.size(), 1);
        rig.restart(keep);
        QCOMPARE(rig.messages.confirms.size(), 2);
        QVERIFY(!QFile::exists(snapshot));
        rig.restart([&] { QVERIFY(test_files::writeAll(snapshot, "junk")); });
        QCOMPARE(rig.messages.infos.size(), 1);
        QVERIFY2(rig.messages.infos.at(0).contains("set aside"), qPrintable(rig.messages.infos.at(0)));
    }

    // Clear All empties every shown row and the page, keeps the page, the string length and the
    // file name.
    void clearAllKeepsPageLengthAndFile()
    {
        WindowRig rig(QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        RowTable& rows = rig.window->rows();
        rig.window->selectStringLengthIndex(0);  // 93 keys: page 2 reachable
        for (std::size_t r = 0; r < RowTable::kRows; ++r) {
            rows.keyNames.at(r) = rows.strings.at(r) = rows.notes.at(r) = rows.pictureTips.at(r) = "A";
            rows.pictures.at(r) = StatusPicture::CheckMark;
            rows.pictureShown.at(r) = true;
        }
        rig.click("NextPage");
        rig.click("NextPage");
        rig.find<QListWidget>("StatusBox")->addItem(QStringLiteral("a status line"));
        const QString path = rig.folder.filePath("table.cfg");
        rig.window->setConfigFileName(path);
        rig.find<QLabel>("CfgLabel")->setText("table.cfg");
        QTest::mouseClick(rig.count(2), Qt::LeftButton);  // the notes box open on row 50
        rig.run("ClearAll");
        QStringList lines, emptied;
        for (int line = 0; line < 24; ++line) {
            lines << QStringList{rig.rowLabel(line)->text(), rig.kbdKey(line)->text(), rig.keyString(line)->text(),
                                 rig.count(line)->text(), rig.image(line)->isHidden() ? "" : "picture"}
                             .join('|');
            emptied << QStringLiteral("%1|||0|").arg(48 + line);
        }
        QCOMPARE(lines, emptied);
        QStringList holding;  // rows holding more than their picture
        for (std::size_t r = 0; r < RowTable::kRows; ++r)
            if (!(rows.keyNames[r] + rows.strings[r] + rows.notes[r] + rows.pictureTips[r]).isEmpty()
                || rows.pictureShown[r] || rows.pictures[r] != StatusPicture::CheckMark)
                holding << QString::number(r);
        QCOMPARE(holding, QStringList{"96"});  // never shown, never cleared
        QCOMPARE(rig.find<QComboBox>("StrConfig")->currentIndex(), 0);
        QCOMPARE(rig.find<QLabel>("CfgLabel")->text(), "table.cfg");
        QCOMPARE(rig.statusLines(), QStringList());
        QVERIFY(!rig.find<QWidget>("StrDes")->isHidden());
        QTest::mouseClick(rig.count(2), Qt::LeftButton);  // closing stores the emptied text
        QCOMPARE(rows.notes.at(50), QString());
        QCOMPARE(rig.window->configFileName(), path);
        QCOMPARE(rig.messages.infos, QStringList());
    }
};

QTEST_MAIN(TstTableHistory)
#include "tst_table_history.moc"
