#include "model/table_history.h"

#include <QtTest>

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

}  // namespace

class TstTableHistory : public QObject {
    Q_OBJECT

private slots:
    // Each undo gives back the table before its change, each redo the one after;
    // a new change forgets the redo steps; only the last twenty steps are kept.
    void undoRedoAndTwentySteps()
    {
        TableHistory history;
        QCOMPARE(history.undoText() + history.redoText(), QStringLiteral("UndoRedo"));
        QVERIFY(!history.undo(tableNamed("x")));
        QList<TableState> tables;
        for (int i = 0; i <= 25; ++i) {
            tables << tableNamed(QStringLiteral("t%1").arg(i));
            if (i > 0)
                history.record(QStringLiteral("Step %1").arg(i), tables.at(i - 1));
        }
        QCOMPARE(history.undoText(), QStringLiteral("Undo Step 25"));
        for (int i = 24; i >= 5; --i)
            QVERIFY(same(*history.undo(tables.at(i + 1)), tables.at(i)));
        QVERIFY(!history.canUndo());  // t4 and older are gone
        QCOMPARE(history.redoText(), QStringLiteral("Redo Step 6"));
        QVERIFY(same(*history.redo(tables.at(5)), tables.at(6)));
        QCOMPARE(history.undoText(), QStringLiteral("Undo Step 6"));
        history.record(QStringLiteral("Clear All"), tables.at(6));
        QVERIFY(!history.canRedo());
        QVERIFY(same(*history.undo(TableState{}), tables.at(6)));
        QVERIFY(same(*history.undo(tables.at(6)), tables.at(5)));
    }

    void lengthChangeLoses_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("field");  // key, string or note
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("loses");
        QTest::newRow("empty table") << 0 << "key" << "" << 6 << 1 << false;
        QTest::newRow("shorter length shows more") << 30 << "key" << "F1" << 7 << 1 << false;
        QTest::newRow("string fits") << 0 << "string" << "a{0D}" << 6 << 2 << false;
        QTest::newRow("string cut") << 0 << "string" << "a{0D}b" << 6 << 2 << true;
        QTest::newRow("key hidden") << 35 << "key" << "F1" << 6 << 7 << true;
        QTest::newRow("note hidden") << 32 << "note" << "n" << 6 << 7 << true;
        QTest::newRow("already hidden") << 40 << "key" << "F1" << 6 << 7 << false;
    }
    void lengthChangeLoses()
    {
        QFETCH(int, row);
        QFETCH(QString, field);
        QFETCH(QString, text);
        RowTable rows;
        (field == "key" ? rows.keyNames : field == "string" ? rows.strings : rows.notes).at(row) = text;
        QFETCH(int, from);
        QFETCH(int, to);
        QTEST(::lengthChangeLoses(rows, from, to), "loses");
    }
};

QTEST_GUILESS_MAIN(TstTableHistory)
#include "tst_table_history.moc"
