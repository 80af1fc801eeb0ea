#include "ui/operation_runner.h"

#include "device/serial_link.h"
#include "device/waiter.h"
#include "model/error_text.h"
#include "model/messages.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"

#include <QComboBox>
#include <QPushButton>

#include <exception>

OperationRunner::OperationRunner(const window_layout::Controls& controls, std::function<OperationContext()> context,
                                 QWidget& window)
    : m_controls(controls), m_context(std::move(context)), m_window(window), m_pacer(window)
{
    const std::pair<QPushButton*, Operation> buttons[] = {
            {m_controls.read, [](OperationContext& c) { ReadOperation(c).run(); }},
            {m_controls.send,
             [](OperationContext& c) {
                 SendOperation send(c);
                 try {
                     send.run();
                 } catch (const OperationAborted&) {
                     // Closing the window stopped the Send: the last thing the operator
                     // reads is what the device now holds.
                     if (const QString holds = send.deviceHolds(); !holds.isEmpty())
                         c.messages.info(holds);
                     throw;
                 }
             }},
            {m_controls.verify, [](OperationContext& c) { VerifyOperation(c).run(); }},
            {m_controls.version, [](OperationContext& c) { VersionOperation(c).run(); }},
    };
    for (const auto& [button, operation] : buttons)
        connect(button, &QPushButton::clicked, this, [this, operation = operation] { run(operation); });
}

void OperationRunner::setOperationControlsEnabled(bool enabled)
{
    for (QWidget* control : {static_cast<QWidget*>(m_controls.previousPage), static_cast<QWidget*>(m_controls.nextPage),
                             static_cast<QWidget*>(m_controls.strConfig), static_cast<QWidget*>(m_controls.read),
                             static_cast<QWidget*>(m_controls.send), static_cast<QWidget*>(m_controls.verify),
                             static_cast<QWidget*>(m_controls.version)})
        control->setEnabled(enabled);
}

void OperationRunner::run(const Operation& operation)
{
    if (!operation || m_running)
        return;
    m_running = true;
    m_pacer.setHeld(true);
    emit runningChanged(true);
    OperationContext context = m_context();
    try {
        operation(context);
    } catch (const OperationAborted&) {
        // The window is closing; nothing is left to report to.
    } catch (const std::exception& e) {
        // Operations report their own failures; this only catches what slipped
        // past them, so that no failure ever passes silently.
        if (!m_closePending) {
            context.messages.info(QStringLiteral("Error detected - ") + describe(e));
            setOperationControlsEnabled(true);
        }
    }
    m_running = false;
    m_pacer.setHeld(false);
    emit runningChanged(false);
    if (m_closePending) {
        context.link.close();
        m_window.close();
    }
}

bool OperationRunner::deferClose()
{
    if (!m_running)
        return false;
    // The operation's code is still on the stack below the close event: let it
    // stop at its next wait, then run() closes the port and the window.
    m_closePending = true;
    m_context().waiter.requestAbort();
    return true;
}
