#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <functional>

class KeyField;
class KeyNamer;
class Messages;
class QKeyEvent;
class RowLines;
struct RowTable;

// Key capture: a key pressed in a line's key field becomes that row's key.
// The name comes from the window's one KeyNamer (its pair alternation lives for
// the whole run); a name that another usable row already holds is refused with
// one warning per such row. Print Screen is taken on its release wherever a
// line's key or string field has the focus.
//
// Keys are found by position where the platform reports one (key_positions),
// so every layout gives the key table's entry for the key pressed; what this
// keyboard prints on a key is learnt from the presses and shown in the key
// field's tooltip when it differs from the table's name.
class KeyCapture final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kPrintScreenName = "PRSCN";

    // Hooks itself into the 24 key fields and watches the application's key
    // releases; stringLengthIndex gives the StrConfig list index the capacity
    // follows. rows, namer and messages must outlive this object.
    KeyCapture(RowLines& lines, RowTable& rows, KeyNamer& namer, Messages& messages,
               std::function<int()> stringLengthIndex, QObject* parent = nullptr);
    ~KeyCapture() override;
    KeyCapture(const KeyCapture&) = delete;
    KeyCapture& operator=(const KeyCapture&) = delete;

    // The key-down rule for line 0..23 of the page and a table key code.
    void keyDown(int line, int keyCode);
    // The key-up rule for Print Screen: the line whose key or string field has
    // the focus gets "PRSCN"; false when no such field has it.
    bool printScreenReleased();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool onKeyPress(KeyField& field, QKeyEvent& event);
    int capacity() const;
    // KeyNameForKeyCode, its fault reported as the key table's message; "" then.
    QString nameForKeyCode(int keyCode);
    // The rest of the key-down rule: the duplicate check, then field and row.
    void assign(int line, const QString& name);
    void learnLabel(int inputCode, const QString& label);
    void showPrintedLabel(KeyField& field) const;
    void showQuestionMark(int line);
    int focusedLine() const;
    RowLines& lines() const;  // throws once the lines are gone

    // Guarded: at the window's end the lines may go before this object does.
    QPointer<RowLines> m_lines;
    std::array<QPointer<KeyField>, 24> m_fields{};  // to unhook them at the end
    RowTable& m_rows;
    KeyNamer& m_namer;
    Messages& m_messages;
    std::function<int()> m_stringLengthIndex;
    QHash<QString, QString> m_labels;  // table name -> what this keyboard prints on that key
    // A modifier pressed alone in a key field so far: its name goes into the
    // field when it is released with no other key pressed meanwhile.
    struct Held final {
        int line = -1;
        int key = 0;
        QString name;
    } m_held;
};
