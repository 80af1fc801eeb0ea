#include "ui/key_capture.h"

#include "model/capacity.h"
#include "model/error_text.h"
#include "model/key_mapping.h"
#include "model/key_positions.h"
#include "model/key_table.h"
#include "model/messages.h"
#include "model/row_table.h"
#include "ui/key_field.h"
#include "ui/row_lines.h"
#include "ui/string_field.h"

#include <QApplication>
#include <QKeyEvent>

#include <exception>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

// The key's position where the platform reports one: on Linux the native scan
// code of X11 and Wayland is the Linux input code plus 8. Events made up by a
// program, and platforms without key codes (offscreen), give none.
std::optional<int> inputCode(const QKeyEvent& event)
{
#ifdef Q_OS_LINUX
    const auto native = static_cast<int>(event.nativeScanCode());
    if (native > key_positions::kNativeOffset)
        return native - key_positions::kNativeOffset;
#else
    Q_UNUSED(event);
#endif
    return std::nullopt;
}

// Keys held for other keys. Alone they empty the field as any key without a
// table entry does, but on their release, so that a Ctrl+Tab or Ctrl+A passes
// through the field without emptying it on the way.
bool isHeldModifier(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}

bool isPrintScreen(const QKeyEvent& event)
{
    return event.key() == Qt::Key_Print || inputCode(event) == key_positions::kPrintScreen;
}

int keyCode(const QKeyEvent& event)
{
    if (const std::optional<int> position = inputCode(event))
        return key_mapping::keyCodeForInputCode(*position);
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    return key_mapping::keyCodeFor(event.key(), keypad, event.nativeVirtualKey());
}

// What the layout prints on a one-character key, as its unshifted character
// (or the accent of a dead key) in upper case; empty when the press does not
// tell (shifted, a keypad key, a key that types nothing printable).
QString printedLabel(const QKeyEvent& event)
{
    if (event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::KeypadModifier))
        return {};
    switch (event.key()) {
    case Qt::Key_Dead_Grave:
        return QStringLiteral("`");
    case Qt::Key_Dead_Acute:
        return QStringLiteral("\u00B4");
    case Qt::Key_Dead_Circumflex:
        return QStringLiteral("^");
    case Qt::Key_Dead_Tilde:
        return QStringLiteral("~");
    case Qt::Key_Dead_Diaeresis:
        return QStringLiteral("\u00A8");
    default:
        break;
    }
    const QString text = event.text();
    if (text.size() != 1 || !text.at(0).isPrint() || text.at(0).isSpace())
        return {};
    return text.toUpper();
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
        // Whatever puts a name into the field (a key, a page, Read, Open), the
        // tooltip tells what this keyboard prints on that key.
        connect(field, &QLineEdit::textChanged, this, [this, field] { showPrintedLabel(*field); });
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

int KeyCapture::capacity() const
{
    return capacity::maxKeysForIndex(m_stringLengthIndex ? m_stringLengthIndex() : -1);
}

QString KeyCapture::nameForKeyCode(int keyCode)
{
    return m_namer.keyNameForKeyCode(keyCode, m_rows, capacity());
}

void KeyCapture::keyDown(int line, int keyCode)
{
    (void)lines().line(line);  // throws for a line outside 0..23
    assign(line, nameForKeyCode(keyCode));
}

void KeyCapture::assign(int line, const QString& name)
{
    RowLines& lines = this->lines();
    const RowLines::Line& fields = lines.line(line);  // throws for a line outside 0..23
    const int row = lines.rowOfLine(line);
    bool refused = false;
    if (!name.isEmpty()) {
        // One warning per row that holds the name: the operator sees every place.
        for (int j = 0; j < capacity() && j < RowTable::kRows; ++j) {
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
        if (isPrintScreen(event))
            return true;
        if (isHeldModifier(event)) {
            // Named now, so that the pair alternation moves with every key
            // down; the field follows on the release (see m_held).
            m_held = Held{field.line(), event.key(), nameForKeyCode(keyCode(event))};
            return true;
        }
        m_held = Held{};
        const std::optional<int> position = inputCode(event);
        keyDown(field.line(), keyCode(event));
        if (position)
            learnLabel(*position, printedLabel(event));
        showPrintedLabel(field);
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

void KeyCapture::learnLabel(int inputCode, const QString& label)
{
    // Only the keys with one-character names have a legend to compare with.
    const QString name = key_table::keyNameForScancode(key_positions::scancodeForInputCode(inputCode));
    if (name.size() != 1 || label.isEmpty())
        return;
    if (label == name)
        m_labels.remove(name);
    else
        m_labels.insert(name, label);
}

void KeyCapture::showPrintedLabel(KeyField& field) const
{
    field.setPrintedLabel(m_labels.value(field.text()));
}

void KeyCapture::showQuestionMark(int line)
{
    // Only the picture on screen; the row's stored picture and its visibility stay.
    lines().showUnconfirmed(line);
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
    // Any other key while a modifier is held (Ctrl+Tab included, which moves
    // the focus before key capture sees it) keeps the field as it is.
    if (event->type() == QEvent::KeyPress && !isHeldModifier(*static_cast<QKeyEvent*>(event)))
        m_held = Held{};
    if (event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (m_held.line >= 0 && key->key() == m_held.key && !key->isAutoRepeat()
            && watched == m_fields[static_cast<std::size_t>(m_held.line)]) {
            const Held held = std::exchange(m_held, Held{});
            try {
                assign(held.line, held.name);
            } catch (const std::exception& e) {
                m_messages.info(describe(e));
            }
            return true;
        }
        if (isPrintScreen(*key) && !key->isAutoRepeat()) {
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
