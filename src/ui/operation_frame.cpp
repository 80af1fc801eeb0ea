// The main window as the device operations see it: the view they drive, the
// gating of the seven operation controls, and the frame that runs one operation
// from a button click.
#include "ui/main_window.h"

#include "device/serial_link.h"
#include "device/waiter.h"
#include "model/capacity.h"
#include "model/messages.h"
#include "operations/read_operation.h"
#include "operations/send_operation.h"
#include "operations/verify_operation.h"
#include "operations/version_operation.h"
#include "ui/row_lines.h"
#include "ui/status_panel.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <stdexcept>

int MainWindow::stringLengthIndex() const
{
    const int index = m_strConfig->currentIndex();
    // Before start-up has filled the list the string length is the start-up one.
    return index >= 0 && index < capacity::kLengthCount ? index : capacity::kDefaultListIndex;
}

void MainWindow::selectStringLengthIndex(int index)
{
    if (index < 0 || index >= m_strConfig->count())
        throw std::runtime_error(
                QStringLiteral("string length entry %1 does not exist (0..%2)").arg(index).arg(m_strConfig->count() - 1)
                        .toStdString());
    if (m_strConfig->currentIndex() == index)
        onStringLengthChosen(index);  // choosing the same entry again still refreshes the lines
    else
        m_strConfig->setCurrentIndex(index);
}

int MainWindow::currentPage() const
{
    return m_lines->currentPage();
}

void MainWindow::showPage()
{
    m_lines->showPage();
}

void MainWindow::refreshPageRows()
{
    m_lines->refreshPageRows();
}

void MainWindow::showRowOnLine(int row)
{
    m_lines->showRowOnLine(row);
}

void MainWindow::showRowPicture(int row)
{
    m_lines->showRowPicture(row);
}

void MainWindow::setRowCounter(int row)
{
    m_rowCounter->setText(QString::number(row));
}

void MainWindow::disableControls()
{
    for (QWidget* control : {static_cast<QWidget*>(m_previousPage), static_cast<QWidget*>(m_nextPage),
                             static_cast<QWidget*>(m_strConfig), static_cast<QWidget*>(m_read),
                             static_cast<QWidget*>(m_send), static_cast<QWidget*>(m_verify),
                             static_cast<QWidget*>(m_version)})
        control->setEnabled(false);
}

void MainWindow::enableControls()
{
    for (QWidget* control : {static_cast<QWidget*>(m_previousPage), static_cast<QWidget*>(m_nextPage),
                             static_cast<QWidget*>(m_strConfig), static_cast<QWidget*>(m_read),
                             static_cast<QWidget*>(m_send), static_cast<QWidget*>(m_verify),
                             static_cast<QWidget*>(m_version)})
        control->setEnabled(true);
}

void MainWindow::setOperation(OperationButton button, Operation operation)
{
    m_operations.at(static_cast<std::size_t>(button)) = std::move(operation);
}

OperationContext MainWindow::operationContext()
{
    return OperationContext{m_services.link, m_services.waiter, m_services.messages, *m_status,
                            m_rows,          *this,            m_settings.comPort, m_settings.fastExchange == 1};
}

void MainWindow::onOperationClicked(OperationButton button)
{
    // A copy: the operation may replace its own slot while it runs.
    const Operation operation = m_operations.at(static_cast<std::size_t>(button));
    runOperation(operation);
}

void MainWindow::installOperations()
{
    setOperation(OperationButton::Read, [](OperationContext& context) { ReadOperation(context).run(); });
    setOperation(OperationButton::Send, [](OperationContext& context) { SendOperation(context).run(); });
    setOperation(OperationButton::Verify, [](OperationContext& context) { VerifyOperation(context).run(); });
    setOperation(OperationButton::Version, [](OperationContext& context) { VersionOperation(context).run(); });
}

void MainWindow::runOperation(const Operation& operation)
{
    // The gated controls keep a second operation from starting; this also
    // covers a call from a menu or a test while one is running.
    if (!operation || m_operationRunning)
        return;
    m_operationRunning = true;
    OperationContext context = operationContext();
    try {
        operation(context);
    } catch (const OperationAborted&) {
        // The window is closing; nothing is left to report to.
    } catch (const std::exception& e) {
        // Operations report their own failures; this only catches what slipped
        // past them, so that no failure ever passes silently.
        if (!m_closePending) {
            m_services.messages.info(QStringLiteral("Error detected - ") + QString::fromStdString(e.what()));
            enableControls();
        }
    }
    m_operationRunning = false;
    if (m_closePending) {
        m_services.link.close();
        close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_operationRunning) {
        // The operation's code is still on the stack below this event: let it
        // stop at its next wait, then the frame closes the port and the window.
        m_closePending = true;
        m_services.waiter.requestAbort();
        event->ignore();
        return;
    }
    m_services.link.close();
    event->accept();
}
