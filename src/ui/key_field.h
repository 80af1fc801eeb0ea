#pragma once

#include <QLineEdit>

#include <functional>

class QEvent;
class QKeyEvent;

// The key field of one line: the operator never types a key name into it; key
// capture puts the name of the pressed key there. Every key that reaches the
// field is offered to the key handler first, Tab and Alt included: Tab names
// the Tab key instead of moving the focus, and Alt empties the field instead of
// opening the menu bar.
class KeyField final : public QLineEdit {
    Q_OBJECT

public:
    // Key capture: sees every key press that reaches the field; returns true when
    // it has dealt with the key, so the field does not process it further.
    using KeyHandler = std::function<bool(KeyField& field, QKeyEvent& event)>;

    KeyField(int line, QWidget* parent);

    int line() const { return m_line; }
    void setKeyHandler(KeyHandler handler) { m_keyHandler = std::move(handler); }
    bool hasKeyHandler() const { return static_cast<bool>(m_keyHandler); }

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_line;
    KeyHandler m_keyHandler;
};
