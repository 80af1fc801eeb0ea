#pragma once

#include "operations/operation_context.h"
#include "ui/paint_pacer.h"
#include "ui/window_layout.h"

#include <QObject>

#include <functional>

class QWidget;

// The four device-operation buttons: what each runs, one operation at a time,
// and the seven operation controls that are off while one runs. A close of the
// window during a run asks the operation to stop at its next wait; once it has
// stopped, the port is closed and the window closed again.
class OperationRunner final : public QObject {
    Q_OBJECT

public:
    using Operation = std::function<void(OperationContext&)>;

    // controls: the window's, of which the runner drives the seven operation
    // controls and wires the four buttons. context: what an operation works on,
    // made afresh for every run (the port number and the fast exchange follow
    // the settings). window: closed once a stopped operation has ended.
    OperationRunner(const window_layout::Controls& controls, std::function<OperationContext()> context,
                    QWidget& window);

    // Runs one operation unless one is already running (a menu or a test may
    // call while the gated buttons are off).
    void run(const Operation& operation);
    bool running() const { return m_running; }

    void setOperationControlsEnabled(bool enabled);

    // The window is asked to close. False when nothing runs; true when an
    // operation runs: it is asked to stop, and the close happens after it has.
    bool deferClose();

signals:
    // An operation starts (true) or has ended, whichever way (false).
    void runningChanged(bool running);

private:
    window_layout::Controls m_controls;
    std::function<OperationContext()> m_context;
    QWidget& m_window;
    PaintPacer m_pacer;  // the window repaints at a steady pace while an operation runs
    bool m_running = false;
    bool m_closePending = false;
};
