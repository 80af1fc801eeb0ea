#include "ui/row_lines.h"

#include "model/capacity.h"
#include "model/messages.h"
#include "model/notation.h"
#include "model/override_check.h"
#include "ui/key_field.h"
#include "ui/string_field.h"
#include "ui/twips.h"
#include "ui/ui_style.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

#include <stdexcept>

namespace {

const QColor kUsable(0xFF, 0xFF, 0xFF);
const QColor kBeyondCapacity(0xE0, 0xE0, 0xE0);
const QColor kCountGrey(0xC0, 0xC0, 0xC0);

constexpr int kFieldHeight = 315;

// Each change of a name or a text is an event to every screen reader
// listening, and an operation puts the same rows on the page again and again:
// what does not change is left alone.
void setName(QWidget* widget, const QString& name)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

void setText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

void setBase(QWidget* field, const QColor& colour)
{
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, colour);  // every colour group, the disabled one included
    field->setPalette(palette);
}

}  // namespace

RowLines::RowLines(QWidget* parent, const twips::Placer& placer, RowTable& rows, Messages& messages,
                   QString programFolder, std::function<int()> stringLengthIndex)
    : m_rows(rows), m_messages(messages), m_programFolder(std::move(programFolder)),
      m_stringLengthIndex(std::move(stringLengthIndex))
{
    build(parent, placer);
}

void RowLines::build(QWidget* parent, const twips::Placer& placer)
{
    const QFont bold = ui_style::sansFont(ui_style::kBasePoints, true);
    for (int i = 0; i < kLines; ++i) {
        const bool right = i >= 12;
        const int top = 1560 + 480 * (i % 12);
        const QString index = QString::number(i);
        Line& line = m_lines[static_cast<std::size_t>(i)];

        line.image = new QLabel(parent);
        line.image->setObjectName(QStringLiteral("Image1_") + index);
        line.image->setScaledContents(true);
        line.image->setVisible(false);
        placer.place(line.image, right ? 7800 : 240, top, 250, 300);

        line.number = new QLabel(parent);
        line.number->setObjectName(QStringLiteral("Label3_") + index);
        line.number->setAlignment(Qt::AlignCenter);
        line.number->setFont(bold);
        placer.place(line.number, right ? 8040 : 480, top, 420, kFieldHeight);

        // Created key before string, line by line, so that Tab walks each row.
        line.key = new KeyField(i, parent);
        line.key->setObjectName(QStringLiteral("KbdKey_") + index);
        line.key->setFont(bold);
        placer.place(line.key, right ? 8520 : 960, top, 855, kFieldHeight);

        line.string = new StringField(i, parent);
        line.string->setObjectName(QStringLiteral("KeyString_") + index);
        line.string->setToolTip(i == 0 ? QStringLiteral("Enter ASCII characters, or binary/hexadecimal chars in {}")
                                       : QStringLiteral("Enter ASCII characters, or binary chars in {}"));
        line.string->setMaxLength(notation::kMaxFieldText);
        line.string->setFont(bold);
        line.string->setUpperCaseTyping([this] { return m_inHexField; });
        placer.place(line.string, right ? 9480 : 1920, top, 4575, kFieldHeight);

        line.count = new QLabel(QStringLiteral("0"), parent);
        line.count->setObjectName(QStringLiteral("StringCount_") + index);
        line.count->setToolTip(QStringLiteral("Click to enter reason for this string"));
        line.count->setAlignment(Qt::AlignCenter);
        line.count->setFrameShape(QFrame::Panel);
        line.count->setFrameShadow(QFrame::Sunken);
        line.count->setAutoFillBackground(true);
        line.count->setFont(bold);
        QPalette grey = line.count->palette();
        grey.setColor(QPalette::Window, kCountGrey);
        line.count->setPalette(grey);
        line.count->installEventFilter(this);
        placer.place(line.count, right ? 14280 : 6720, top, 375, kFieldHeight);

        connect(line.string, &QLineEdit::textChanged, this, [this, i](const QString& text) { onTextChanged(i, text); });
        connect(line.string, &StringField::characterTyped, this, &RowLines::onCharacterTyped);
        connect(line.string, &StringField::focusLost, this, &RowLines::onFocusLost);

        // The keyboard's way to the notes that a click on the String Length box opens.
        auto* notes = new QAction(QStringLiteral("Open or close the notes of this row"), line.string);
        notes->setShortcut(QKeySequence(kNotesKey));
        notes->setShortcutContext(Qt::WidgetShortcut);
        line.string->addAction(notes);
        connect(notes, &QAction::triggered, this, [this, i] { emit notesKey(i); });
        line.string->setAccessibleDescription(line.string->toolTip() + QLatin1Char('\n') + notes->text()
                                              + QStringLiteral(": ")
                                              + notes->shortcut().toString(QKeySequence::NativeText));
        line.count->setAccessibleDescription(line.count->toolTip()
                                             + QStringLiteral(" (%1 in the output string)")
                                                       .arg(notes->shortcut().toString(QKeySequence::NativeText)));
    }
    // Accessible names follow the rows shown; give the page-0 names now.
    for (int i = 0; i < kLines; ++i)
        nameLine(i);
}

void RowLines::nameLine(int i)
{
    const Line& line = m_lines[static_cast<std::size_t>(i)];
    const QString row = QString::number(rowOfLine(i));
    setName(line.key, QStringLiteral("Row %1 key").arg(row));
    setName(line.string, QStringLiteral("Row %1 output string").arg(row));
    setName(line.count, QStringLiteral("Row %1 string length").arg(row));
}

const RowLines::Line& RowLines::line(int index) const
{
    if (index < 0 || index >= kLines)
        throw std::runtime_error(QStringLiteral("line %1 is not a line of the page (0..23)").arg(index).toStdString());
    return m_lines[static_cast<std::size_t>(index)];
}

void RowLines::setCurrentPage(int page)
{
    if (page < 0 || page > kLastPage)
        throw std::runtime_error(QStringLiteral("page %1 is not a page of the table (0..3)").arg(page).toStdString());
    m_page = page;
}

int RowLines::rowOfLine(int line) const
{
    return m_page * kLines + line;
}

int RowLines::stringLength() const
{
    const int index = m_stringLengthIndex ? m_stringLengthIndex() : -1;
    return (index >= 0 && index < capacity::kLengthCount ? index : capacity::kDefaultListIndex) + 1;
}

QString RowLines::picturePath(StatusPicture picture) const
{
    switch (picture) {
    case StatusPicture::CheckMark:
        return m_programFolder + QLatin1Char('/') + QLatin1String(kCheckMarkFile);
    case StatusPicture::QuestionMark:
        return m_programFolder + QLatin1Char('/') + QLatin1String(kQuestionMarkFile);
    case StatusPicture::None:
        break;
    }
    return {};
}

void RowLines::setPicture(int i, StatusPicture picture) const
{
    QLabel* image = m_lines[static_cast<std::size_t>(i)].image;
    auto& shown = m_shownPictures[static_cast<std::size_t>(i)];
    if (shown != picture) {
        // Each picture is read from its file once: Verify shows one on every row.
        QPixmap& pixmap = m_pictures[static_cast<std::size_t>(picture)];
        const QString path = picturePath(picture);
        if (pixmap.isNull() && !path.isEmpty())
            pixmap.load(path);
        // A missing or unreadable picture leaves the line without one.
        image->setPixmap(pixmap);
        shown = picture;
    }
    // Named by what it says; its tooltip is the description.
    const QString row = QString::number(rowOfLine(i));
    switch (picture) {
    case StatusPicture::CheckMark:
        setName(image, QStringLiteral("Row %1: matches the device").arg(row));
        break;
    case StatusPicture::QuestionMark:
        setName(image, QStringLiteral("Row %1: differs or not confirmed").arg(row));
        break;
    case StatusPicture::None:
        setName(image, QStringLiteral("Row %1: no status").arg(row));
        break;
    }
}

void RowLines::showUnconfirmed(int line)
{
    // Only the picture on screen changes; the row keeps its stored picture.
    (void)this->line(line);  // throws for a line outside 0..23
    setPicture(line, StatusPicture::QuestionMark);
}

void RowLines::showPage(int page)
{
    if (page != m_page)
        throw std::runtime_error(
                QStringLiteral("page %1 is not the page on screen (%2)").arg(page).arg(m_page).toStdString());
    showPage();
}

void RowLines::showPage()
{
    for (int i = 0; i < kLines; ++i) {
        const std::size_t r = static_cast<std::size_t>(rowOfLine(i));
        const Line& line = m_lines[static_cast<std::size_t>(i)];
        line.number->setText(QString::number(r));
        nameLine(i);
        setPicture(i, m_rows.pictures.at(r));
        line.image->setVisible(m_rows.pictureShown.at(r));
        setText(line.string, m_rows.strings.at(r));  // a new text runs the live check as typing would
        setText(line.key, m_rows.keyNames.at(r));
        line.image->setToolTip(m_rows.pictureTips.at(r));
    }
}

void RowLines::refreshPageRows()
{
    const int capacity = capacity::maxKeysForIndex(m_stringLengthIndex ? m_stringLengthIndex() : -1);
    for (int i = 0; i < kLines; ++i) {
        const int r = rowOfLine(i);
        const Line& line = m_lines[static_cast<std::size_t>(i)];
        const bool usable = r < capacity;
        line.string->setEnabled(usable);
        setBase(line.string, usable ? kUsable : kBeyondCapacity);
        // The key field stays enabled: a key can be given to any row.
        setBase(line.key, usable ? kUsable : kBeyondCapacity);
        setText(line.string, m_rows.strings.at(static_cast<std::size_t>(r)));
        setText(line.key, m_rows.keyNames.at(static_cast<std::size_t>(r)));
    }
}

void RowLines::nextPage()
{
    const int capacity = capacity::maxKeysForIndex(m_stringLengthIndex ? m_stringLengthIndex() : -1);
    if (!capacity::canGoToNextPage(m_page, capacity) || m_page >= kLastPage)
        return;
    ++m_page;
    showPage();
    refreshPageRows();
}

void RowLines::previousPage()
{
    if (m_page <= 0)
        return;
    --m_page;
    showPage();
    refreshPageRows();
}

const RowLines::Line* RowLines::lineOfRow(int row) const
{
    if (row < 0 || row >= RowTable::kRows)
        throw std::runtime_error(QStringLiteral("row %1 is not a row of the table").arg(row).toStdString());
    const int i = row - m_page * kLines;
    if (i < 0 || i >= kLines)
        return nullptr;
    return &m_lines[static_cast<std::size_t>(i)];
}

void RowLines::showRowOnLine(int row)
{
    const Line* line = lineOfRow(row);
    if (!line)
        return;
    setText(line->key, m_rows.keyNames.at(static_cast<std::size_t>(row)));
    setText(line->string, m_rows.strings.at(static_cast<std::size_t>(row)));
}

void RowLines::showRowPicture(int row)
{
    const Line* line = lineOfRow(row);
    if (!line)
        return;
    setPicture(row - m_page * kLines, m_rows.pictures.at(static_cast<std::size_t>(row)));
    line->image->setToolTip(m_rows.pictureTips.at(static_cast<std::size_t>(row)));
    line->image->setVisible(true);
}

void RowLines::onTextChanged(int i, const QString& text)
{
    // The cut below sets the text once more; the check has already run on it.
    if (m_cutting[static_cast<std::size_t>(i)])
        return;
    const Line& line = m_lines[static_cast<std::size_t>(i)];
    const std::size_t row = static_cast<std::size_t>(rowOfLine(i));
    const override_check::LiveResult result = override_check::liveCheck(text, stringLength(), i);
    m_inHexField = result.inHexField;
    line.count->setText(QString::number(result.count));
    // Cut and store before the first message box: its event loop must find the
    // field and the row already consistent.
    if (result.text != text) {
        m_cutting[static_cast<std::size_t>(i)] = true;
        line.string->setText(result.text);
        m_cutting[static_cast<std::size_t>(i)] = false;
    }
    m_rows.strings.at(row) = result.text;
    for (const QString& message : result.messages)
        m_messages.info(message);
}

void RowLines::onCharacterTyped(int i)
{
    showUnconfirmed(i);
}

void RowLines::onFocusLost(int i)
{
    // Putting the focus back below takes it from the control the operator went
    // to; that control's own check must not answer with a box of its own.
    if (m_restoringFocus)
        return;
    const Line& line = m_lines[static_cast<std::size_t>(i)];
    const QString message = override_check::structureCheck(line.string->text(), rowOfLine(i));
    if (message.isEmpty())
        return;
    m_messages.info(message);
    m_restoringFocus = true;
    line.string->setFocus(Qt::OtherFocusReason);
    m_restoringFocus = false;
}

bool RowLines::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            for (int i = 0; i < kLines; ++i) {
                if (m_lines[static_cast<std::size_t>(i)].count == watched) {
                    emit countClicked(i);
                    return true;
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
