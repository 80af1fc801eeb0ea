#include "ui/operation_runner.h"

#include "device/serial_link.h"
#include "device/waiter.h"
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
    setOperation(Button::Read, [](OperationContext& c) { ReadOperation(c).run(); });
    setOperation(Button::Send, [](OperationContext& c) {
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
    });
    setOperation(Button::Verify, [](OperationContext& c) { VerifyOperation(c).run(); });
    setOperation(Button::Version, [](OperationContext& c) { VersionOperation(c).run(); });

    const std::pair<QPushButton*, Button> buttons[] = {{m_controls.read, Button::Read},
                                                       {m_controls.send, Button::Send},
                                                       {m_controls.verify, Button::Verify},
                                                       {m_controls.version, Button::Version}};
    for (const auto& [button, which] : buttons) {
        connect(button, &QPushButton::clicked, this, [this, which = which] {
            // A copy: the operation may replace its own slot while it runs.
            const Operation operation = m_operations.at(static_cast<std::size_t>(which));
            run(operation);
        });
    }
}

void OperationRunner::setOperation(Button button, Operation operation)
{
    m_operations.at(static_cast<std::size_t>(button)) = std::move(operation);
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
            context.messages.info(QStringLiteral("Error detected - ") + QString::fromStdString(e.what()));
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
