#pragma once

class Messages;
class SerialLink;
class StatusSink;
class Waiter;
struct RowTable;

// What an operation needs from the window that is not a status line: the
// string-length list, the page on screen and the gated controls. The window
// implements it; the command-line tool has a headless one.
class OperationView {
public:
    virtual ~OperationView() = default;
    virtual int stringLengthIndex() const = 0;  // StrConfig list index 0..9
    virtual void selectStringLengthIndex(int index) = 0;  // runs the string-length change handling
    virtual int currentPage() const = 0;
    virtual void showPage() = 0;  // the rows of the current page on its lines
    virtual void refreshPageRows() = 0;
    virtual void showRowOnLine(int row) = 0;  // a current-page row's key and string into its line
    virtual void showRowPicture(int row) = 0;  // a current-page row's picture, made visible
    virtual void disableControls() = 0;
    virtual void enableControls() = 0;
    // Read's rows are about to replace the table; the window keeps the table as it was.
    virtual void aboutToReplaceTable() { }
};

// Everything a device operation works on; the operations are plain classes
// over this context and never touch widgets.
struct OperationContext final {
    SerialLink& link;
    Waiter& waiter;
    Messages& messages;
    StatusSink& status;
    RowTable& rows;
    OperationView& view;
    int comPort = 1;  // for "... not responsing on port COM<n>"
    bool fastExchange = false;  // [GENERAL] FASTEXCHANGE: fixed waits end once the answer is in
};
