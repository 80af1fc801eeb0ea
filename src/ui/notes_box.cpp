#include "ui/notes_box.h"

#include "model/row_table.h"
#include "ui/row_lines.h"
#include "ui/string_field.h"
#include "ui/twips.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QTextEdit>

#include <stdexcept>

namespace {

// Gap between a row's controls and the notes box.
constexpr int kGapTwips = 200;
constexpr int kFirstRightLine = 12;

}  // namespace

const QString& NotesBox::placeholder()
{
    static const QString text = QStringLiteral(
            "Optional string notes can be entered here\r\nClick on String Length box to close this description");
    return text;
}

NotesBox::NotesBox(QTextEdit* box, QFrame* pointer, RowLines& lines, RowTable& rows, const twips::Placer& placer,
                   std::function<int()> enableStrings, QObject* parent)
    : QObject(parent), m_box(box), m_pointer(pointer), m_lines(lines), m_rows(rows), m_gap(placer.px(kGapTwips)),
      m_enableStrings(std::move(enableStrings))
{
    if (!m_box || !m_pointer)
        throw std::runtime_error("the notes box needs its text box and its pointer line");
    m_box->installEventFilter(this);
    // The line only points: it lies over a String Length box, whose clicks must reach it.
    m_pointer->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_lines, &RowLines::countClicked, this, &NotesBox::countClicked);
    connect(&m_lines, &RowLines::notesKey, this, &NotesBox::notesKey);

    auto* close = new QAction(QStringLiteral("Store the note and close"), m_box);
    close->setShortcut(QKeySequence(RowLines::kNotesKey));
    close->setShortcutContext(Qt::WidgetShortcut);
    m_box->addAction(close);
    connect(close, &QAction::triggered, this, &NotesBox::closeFromKeyboard);
    m_box->setAccessibleDescription(close->text() + QStringLiteral(": ")
                                    + close->shortcut().toString(QKeySequence::NativeText));
}

void NotesBox::notesKey(int line)
{
    countClicked(line);
    if (isOpen())
        m_box->setFocus(Qt::ShortcutFocusReason);
}

void NotesBox::closeFromKeyboard()
{
    if (!isOpen())
        return;
    const int row = m_notesRow;
    storeAndClose();
    const int line = row - m_lines.rowOfLine(0);
    if (line >= 0 && line < RowLines::kLines)
        m_lines.line(line).string->setFocus(Qt::ShortcutFocusReason);
}

bool NotesBox::isOpen() const
{
    // isHidden, not isVisible: the box counts as open on a window not yet shown.
    return !m_box->isHidden();
}

void NotesBox::hide()
{
    m_box->hide();
    m_pointer->hide();
}

void NotesBox::countClicked(int line)
{
    if (line < 0 || line >= RowLines::kLines)
        return;  // a signal handler: nothing may escape it
    if (!m_enableStrings || m_enableStrings() != 1) {
        hide();
        return;
    }
    if (!isOpen()) {
        showRowNotes(line);
        return;
    }
    storeAndClose();
    if (m_lines.rowOfLine(line) != m_notesRow)
        showRowNotes(line);
}

void NotesBox::storeAndClose()
{
    hide();
    if (m_notesRow < 0 || m_notesRow >= RowTable::kRows)
        return;
    const QString text = m_box->toPlainText();
    // Untouched since it was opened: store what was shown as it was given, so
    // that a hint the operator never replaced does not become the row's note
    // and a note's CR LF breaks survive the box's own line-break form.
    m_rows.notes.at(static_cast<std::size_t>(m_notesRow)) = text == m_shownText ? m_shownNote : text;
}

void NotesBox::showRowNotes(int line)
{
    const RowLines::Line& controls = m_lines.line(line);
    const QRect count = controls.count->geometry();
    const QRect string = controls.string->geometry();
    const int boxWidth = m_box->width();

    int boxLeft = 0;
    int x1 = 0;
    int x2 = 0;
    if (line < kFirstRightLine) {
        // Left column: the box opens to the right of the String Length box.
        boxLeft = count.x() + count.width() + m_gap;
        x1 = string.x() + string.width();
        x2 = boxLeft;
    } else {
        // Right column: the box opens to the left of the string box.
        boxLeft = string.x() - boxWidth - m_gap;
        x1 = boxLeft + boxWidth;
        x2 = string.x();
    }

    m_box->raise();
    m_pointer->raise();

    const int y = count.y() + count.height() / 2;
    m_pointer->setGeometry(x1, y, x2 - x1, 1);
    m_pointer->show();

    m_box->move(boxLeft, y - m_box->height() / 2);
    m_box->show();

    m_notesRow = m_lines.rowOfLine(line);
    const QString& note = m_rows.notes.at(static_cast<std::size_t>(m_notesRow));
    m_box->setPlainText(note.isEmpty() ? placeholder() : note);
    m_shownNote = note;
    m_shownText = m_box->toPlainText();
}

bool NotesBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::FocusIn
        && m_box->toPlainText().contains(QStringLiteral("Optional string notes")))
        m_box->clear();
    return QObject::eventFilter(watched, event);
}
