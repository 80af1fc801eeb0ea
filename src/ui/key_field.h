#pragma once

#include <QLineEdit>

#include <functional>

class QKeyEvent;

// The key field of one line: the operator never types a key name into it; key
// capture puts the name of the pressed key there.
class KeyField final : public QLineEdit {
    Q_OBJECT

public:
    // Key capture: sees every key press that reaches the field; returns true when
    // it has dealt with the key, so the field does not process it further.
    using KeyHandler = std::function<bool(KeyField& field, QKeyEvent& event)>;

    KeyField(int line, QWidget* parent);

    int line() const { return m_line; }
    void setKeyHandler(KeyHandler handler) { m_keyHandler = std::move(handler); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int m_line;
    KeyHandler m_keyHandler;
};
