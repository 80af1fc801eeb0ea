#pragma once

#include "model/row_table.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class KeyField;
class Messages;
class QLabel;
class QWidget;
class StringField;

namespace twips {
class Placer;
}

// The 24 lines of the page on screen, their events, and the paging over the
// row table (showPage / refreshPageRows).
class RowLines final : public QObject {
    Q_OBJECT

public:
    static constexpr int kLines = RowTable::kLinesPerPage;
    static constexpr int kLastPage = 3;  // rows 0..95; row 96 is never shown
    // In an output string field: what a click on the line's String Length box does.
    static constexpr auto kNotesKey = Qt::SHIFT | Qt::Key_F2;

    struct Line final {
        QLabel* image = nullptr;  // Image1
        QLabel* number = nullptr;  // Label3
        KeyField* key = nullptr;  // KbdKey
        StringField* string = nullptr;  // KeyString
        QLabel* count = nullptr;  // StringCount
    };

    // The lines' widgets are made children of `parent`. stringLengthIndex: the
    // StrConfig list index (0..9) the checks and the capacity follow.
    RowLines(QWidget* parent, const twips::Placer& placer, RowTable& rows, Messages& messages, QString programFolder,
             std::function<int()> stringLengthIndex);

    const Line& line(int index) const;  // throws for an index outside 0..23

    int currentPage() const { return m_page; }
    void setCurrentPage(int page);  // throws for a page outside 0..3
    int rowOfLine(int line) const;  // currentPage * 24 + line

    // Shows the rows of the current page, always that one: the lines' change handling stores
    // into the current page's rows, so they must show those rows.
    void showPage();
    // The same, for callers that name the page: it must be the current one.
    void showPage(int page);
    // Puts the current page's rows into the lines again; string fields of rows
    // beyond the capacity of the chosen string length are greyed and disabled.
    void refreshPageRows();
    void nextPage();
    void previousPage();

    // Put a current-page row's key and string into its line; rows on other
    // pages are left alone.
    void showRowOnLine(int row);
    // A current-page row's stored picture and tip, made visible.
    void showRowPicture(int row);
    // The question mark on line 0..23, on screen only: the line changed since
    // the device last confirmed it. The row keeps its stored picture.
    void showUnconfirmed(int line);

    bool inHexField() const { return m_inHexField; }
    QString picturePath(StatusPicture picture) const;

signals:
    void countClicked(int line);  // the String Length box of a line
    void notesKey(int line);  // kNotesKey in the output string field of a line

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The line showing `row` on the current page, or nullptr when the row is on
    // another page; throws for an index outside the table.
    const Line* lineOfRow(int row) const;
    void build(QWidget* parent, const twips::Placer& placer);
    void onTextChanged(int line, const QString& text);
    void onCharacterTyped(int line);
    void onFocusLost(int line);
    void setPicture(int line, StatusPicture picture) const;  // and the picture's accessible name
    void nameLine(int line);  // accessible names for the row the line shows
    int stringLength() const;

    RowTable& m_rows;
    Messages& m_messages;
    QString m_programFolder;
    std::function<int()> m_stringLengthIndex;
    std::array<Line, kLines> m_lines{};
    // The picture each line shows, and the pictures read so far (by StatusPicture).
    mutable std::array<std::optional<StatusPicture>, kLines> m_shownPictures{};
    mutable std::array<QPixmap, 3> m_pictures{};
    std::array<bool, kLines> m_cutting{};  // the line's own cut is being written back
    int m_page = 0;
    // The last live check ended inside an open {...} field, where typed letters
    // go upper-case; one flag for the window, not per line.
    bool m_inHexField = false;
    bool m_restoringFocus = false;
};
