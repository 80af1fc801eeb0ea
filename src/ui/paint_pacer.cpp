#include "ui/paint_pacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintPacer::PaintPacer(QWidget& window) : m_window(window)
{
    m_heldRepaint.setSingleShot(true);
    connect(&m_heldRepaint, &QTimer::timeout, this, &PaintPacer::repaintNow);
    // Qt asks a window to repaint with one UpdateRequest for all that changed
    // since its last repaint, and asks again only after that repaint.
    m_window.installEventFilter(this);
}

void PaintPacer::setHeld(bool held)
{
    m_held = held;
    if (!held && m_heldRepaint.isActive()) {
        m_heldRepaint.stop();
        repaintNow();
    }
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != &m_window || event->type() != QEvent::UpdateRequest)
        return false;
    if (m_held && m_sinceRepaint.isValid() && m_sinceRepaint.elapsed() < kIntervalMs) {
        if (!m_heldRepaint.isActive())
            m_heldRepaint.start(static_cast<int>(kIntervalMs - m_sinceRepaint.elapsed()));
        return true;  // held back: the timer asks again
    }
    m_sinceRepaint.start();
    return false;
}

void PaintPacer::repaintNow()
{
    QCoreApplication::postEvent(&m_window, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
}
