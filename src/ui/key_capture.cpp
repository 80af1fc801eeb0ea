#include "ui/key_capture.h"

#include "model/capacity.h"
#include "model/key_mapping.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/row_table.h"
#include "ui/key_field.h"
#include "ui/row_lines.h"
#include "ui/string_field.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>

#include <exception>
#include <stdexcept>

namespace {

QString describe(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}

}  // namespace

KeyCapture::KeyCapture(RowLines& lines, RowTable& rows, KeyNamer& namer, Messages& messages,
                       std::function<int()> stringLengthIndex, QObject* parent)
    : QObject(parent), m_lines(&lines), m_rows(rows), m_namer(namer), m_messages(messages),
      m_stringLengthIndex(std::move(stringLengthIndex))
{
    static_assert(std::tuple_size_v<decltype(m_fields)> == RowLines::kLines);
    for (int i = 0; i < RowLines::kLines; ++i) {
        KeyField* field = lines.line(i).key;
        field->setKeyHandler([this](KeyField& f, QKeyEvent& event) { return onKeyPress(f, event); });
        m_fields[static_cast<std::size_t>(i)] = field;
    }
    // The release of Print Screen goes to whatever has the focus, the string
    // fields included, so it is watched for the whole application.
    qApp->installEventFilter(this);
}

KeyCapture::~KeyCapture()
{
    if (qApp)
        qApp->removeEventFilter(this);
    // Fields that outlive this object must not call into it any more.
    for (const QPointer<KeyField>& field : m_fields) {
        if (field)
            field->setKeyHandler({});
    }
}

RowLines& KeyCapture::lines() const
{
    if (!m_lines)
        throw std::runtime_error("the lines of the page are gone");
    return *m_lines;
}

void KeyCapture::keyDown(int line, int keyCode)
{
    RowLines& lines = this->lines();
    const RowLines::Line& fields = lines.line(line);  // throws for a line outside 0..23
    const int capacity = capacity::maxKeysForIndex(m_stringLengthIndex ? m_stringLengthIndex() : -1);

    QString name;
    try {
        name = m_namer.keyNameForKeyCode(keyCode, m_rows, capacity);
    } catch (const std::exception& e) {
        m_messages.info(QStringLiteral("Error getting VB key name or alternate. ") + describe(e));
        name.clear();
    }

    const int row = lines.rowOfLine(line);
    bool refused = false;
    if (!name.isEmpty()) {
        // One warning per row that holds the name: the operator sees every place.
        for (int j = 0; j < capacity && j < RowTable::kRows; ++j) {
            if (j != row && m_rows.keyNames.at(static_cast<std::size_t>(j)) == name) {
                m_messages.info(QStringLiteral("WARNING .. this same key already overridden (position %1)").arg(j));
                refused = true;
            }
        }
    }
    if (refused)
        return;
    // A key without a table entry (Alt, Ctrl, Shift, Caps Lock) empties both.
    fields.key->setText(name);
    m_rows.keyNames.at(static_cast<std::size_t>(row)) = fields.key->text();
}

bool KeyCapture::onKeyPress(KeyField& field, QKeyEvent& event)
{
    try {
        // Print Screen is taken on its release only, so that holding it does
        // nothing more and the pair alternation does not move.
        if (event.key() == Qt::Key_Print)
            return true;
        const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
        keyDown(field.line(), key_mapping::keyCodeFor(event.key(), keypad, event.nativeVirtualKey()));
        // A key that types a character marks the line as changed since it was
        // last confirmed; Tab's name was set by the key-down rule above, which
        // also refuses it when another row holds "TAB". X11 gives the Delete
        // key the character 0x7F, which it types nowhere else, so it stays unmarked.
        if (!event.text().isEmpty() && event.key() != Qt::Key_Delete)
            showQuestionMark(field.line());
    } catch (const std::exception& e) {
        m_messages.info(describe(e));
    }
    return true;  // nothing of a key press reaches the read-only field itself
}

void KeyCapture::showQuestionMark(int line)
{
    // Only the picture on screen; the row's stored picture and its visibility stay.
    RowLines& lines = this->lines();
    lines.line(line).image->setPixmap(QPixmap(lines.picturePath(StatusPicture::QuestionMark)));
}

int KeyCapture::focusedLine() const
{
    const QWidget* focus = QApplication::focusWidget();
    if (!focus || !m_lines)
        return -1;
    for (int i = 0; i < RowLines::kLines; ++i) {
        const RowLines::Line& fields = m_lines->line(i);
        if (focus == fields.key || focus == fields.string)
            return i;
    }
    return -1;
}

bool KeyCapture::printScreenReleased()
{
    const int line = focusedLine();
    if (line < 0)
        return false;
    // No duplicate or capacity check for this key, and the picture stays.
    const QString name = QLatin1String(kPrintScreenName);
    RowLines& lines = this->lines();
    lines.line(line).key->setText(name);
    m_rows.keyNames.at(static_cast<std::size_t>(lines.rowOfLine(line))) = name;
    return true;
}

bool KeyCapture::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Print && !key->isAutoRepeat()) {
            try {
                // Consumed once handled, so the release does not come round
                // again on its way up to the window.
                if (printScreenReleased())
                    return true;
            } catch (const std::exception& e) {
                m_messages.info(describe(e));
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}
