#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QFrame;
class QTextEdit;
class RowLines;
struct RowTable;

namespace twips {
class Placer;
}

// The per-row string notes: a click on a line's String Length box opens the
// light-yellow notes box beside that row, joined to it by a pointer line; the
// next click on any String Length box stores the text in the row the box was
// opened for and closes it, or moves it to the clicked row.
//
// The box keeps its row while pages turn: it does not follow the lines, and
// what is typed goes to the row it was opened for.
class NotesBox final : public QObject {
    Q_OBJECT

public:
    // Shown when the row has no note; focus entering the box empties it.
    static const QString& placeholder();

    // box / pointer: the window's StrDes and StrLine. enableStrings: the current
    // EnableStrings setting (1 = notes on), read at every click because the
    // settings dialog changes it while the program runs.
    // placer: the window's twip scale.
    NotesBox(QTextEdit* box, QFrame* pointer, RowLines& lines, RowTable& rows, const twips::Placer& placer,
             std::function<int()> enableStrings, QObject* parent = nullptr);

    // The click on the String Length box of `line` (0..23) of the current page.
    void countClicked(int line);
    // The same from the keyboard, in the line's output string field: the box
    // that opens takes the focus, so that the note can be typed at once.
    void notesKey(int line);

    // Places and shows the box for `line` of the current page and
    // shows that row's note. Throws for a line outside 0..23.
    void showRowNotes(int line);

    // Hides box and pointer without storing the text (descriptions switched off).
    void hide();

    bool isOpen() const;
    // The row the box was last opened for; -1 before the first opening.

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void storeAndClose();
    // The notes key in the box itself: stores, closes, and gives the focus back
    // to the row's output string field when its row is on the page.
    void closeFromKeyboard();

    QTextEdit* m_box;
    QFrame* m_pointer;
    RowLines& m_lines;
    RowTable& m_rows;
    int m_gap;  // between a row's controls and the box, in pixels
    std::function<int()> m_enableStrings;
    int m_notesRow = -1;
    QString m_shownNote;  // the row's note when the box was opened ("" for the hint)
    QString m_shownText;  // the box's text right after opening
};
