#pragma once

#include <QLineEdit>

#include <functional>

class QContextMenuEvent;
class QFocusEvent;
class QKeyEvent;

// The output-string field of one line. It reports typed characters before they
// enter the text and losing the focus to another control; the row lines do the
// checking.
class StringField final : public QLineEdit {
    Q_OBJECT

public:
    StringField(int line, QWidget* parent);

    int line() const { return m_line; }
    // Asked on every typed character: true puts it in upper case (inside a hex field).
    void setUpperCaseTyping(std::function<bool()> inHexField) { m_inHexField = std::move(inHexField); }

signals:
    void characterTyped(int line);  // before the character enters the text
    void focusLost(int line);  // to another control of the window

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The field's own actions (the notes of its row) below the standard items.
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_line;
    std::function<bool()> m_inHexField;
};
