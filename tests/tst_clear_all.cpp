#include "support/file_helpers.h"
#include "support/ui_rig.h"

#include <QComboBox>
#include <QTextEdit>
#include <QtTest>

class TstClearAll : public QObject {
    Q_OBJECT

private slots:
    // Empties every shown row and the page, keeps the page, the string length
    // and the file name (Save then writes the empty table without asking).
    void emptiesTableKeepsPageAndFile()
    {
        ui_test::WindowRig rig(QByteArray("[GENERAL]\r\nENABLESTRINGS=1\r\n"));
        MainWindow& w = *rig.window;
        RowTable& rows = w.rows();
        w.selectStringLengthIndex(0);  // 93 keys: page 2 reachable
        for (std::size_t r = 0; r < RowTable::kRows; ++r) {
            rows.keyNames.at(r) = rows.strings.at(r) = rows.notes.at(r) = rows.pictureTips.at(r) = QStringLiteral("A");
            rows.pictures.at(r) = StatusPicture::CheckMark;
            rows.pictureShown.at(r) = true;
        }
        rig.click("NextPage");
        rig.click("NextPage");
        rig.find<QListWidget>("StatusBox")->addItem(QStringLiteral("a status line"));
        const QString path = rig.folder.filePath(QStringLiteral("table.cfg"));
        w.setConfigFileName(path);
        rig.find<QLabel>("CfgLabel")->setText(QStringLiteral("table.cfg"));
        QTest::mouseClick(rig.count(2), Qt::LeftButton);  // the notes box open on row 50
        rig.run("ClearAll");
        QCOMPARE(w.currentPage(), 2);
        for (int line = 0; line < 24; ++line) {
            QCOMPARE(rig.rowLabel(line)->text(), QString::number(48 + line));
            QVERIFY(rig.kbdKey(line)->text().isEmpty() && rig.keyString(line)->text().isEmpty());
            QVERIFY(rig.count(line)->text() == QStringLiteral("0") && rig.image(line)->isHidden());
        }
        for (std::size_t r = 0; r < 96; ++r) {
            QVERIFY(rows.keyNames.at(r).isEmpty() && rows.strings.at(r).isEmpty() && !rows.pictureShown.at(r));
            QVERIFY(rows.notes.at(r).isEmpty() && rows.pictureTips.at(r).isEmpty());
            QCOMPARE(rows.pictures.at(r), StatusPicture::CheckMark);
        }
        QCOMPARE(rows.keyNames.at(96), QStringLiteral("A"));  // never shown, never cleared
        QVERIFY(rig.find<QComboBox>("StrConfig")->currentIndex() == 0
                && rig.find<QLabel>("CfgLabel")->text() == QStringLiteral("table.cfg"));
        QVERIFY(rig.statusLines().size() == 0 && rig.messages.infos.isEmpty());
        QVERIFY(!rig.find<QTextEdit>("StrDes")->isHidden() && rig.find<QTextEdit>("StrDes")->toPlainText().isEmpty());
        QTest::mouseClick(rig.count(2), Qt::LeftButton);  // closing stores the emptied text
        QVERIFY(rows.notes.at(50).isEmpty());
        rig.run("FSave");
        const QList<QByteArray> lines = test_files::readAll(path).split('\n');
        QCOMPARE(lines.size(), 5 + 94 + 1);
        for (int row = 0; row < 94; ++row)
            QCOMPARE(lines.at(5 + row), QStringLiteral("%1\t\t\t\r").arg(row, 2, 10, QLatin1Char('0')).toLatin1());
    }
};

QTEST_MAIN(TstClearAll)
#include "tst_clear_all.moc"
