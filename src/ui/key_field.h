#pragma once

#include <QLineEdit>

#include <functional>

class QEvent;
class QInputMethodEvent;
class QKeyEvent;

// The key field of one line: the operator never types a key name into it; key
// capture puts the name of the pressed key there. Every key that reaches the
// field is offered to the key handler first, Tab and Alt included: Tab names
// the Tab key instead of moving the focus, and Alt empties the field instead of
// opening the menu bar. Ctrl+Tab and Ctrl+Shift+Tab, which Qt leaves to
// controls that take Tab themselves, move the focus and leave the field alone.
// No input method composes text here: a dead key arrives as the key it is.
class KeyField final : public QLineEdit {
    Q_OBJECT

public:
    static constexpr const char* kToolTip = "Press key to override, or ALT to empty field";
    static constexpr const char* kWayOut =
            "Ctrl+Tab: next control, Ctrl+Shift+Tab: previous control (Tab is the key TAB)";

    // Key capture: sees every key press that reaches the field; returns true when
    // it has dealt with the key, so the field does not process it further.
    using KeyHandler = std::function<bool(KeyField& field, QKeyEvent& event)>;

    KeyField(int line, QWidget* parent);

    int line() const { return m_line; }
    void setKeyHandler(KeyHandler handler) { m_keyHandler = std::move(handler); }

    // What this keyboard prints on the key the field names, when that differs
    // from the name ("Z" for "Y" on a German keyboard); empty for nothing to
    // add. Shown in the tooltip and the accessible description, never in the field.
    void setPrintedLabel(const QString& label);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    int m_line;
    KeyHandler m_keyHandler;
};
