#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paces a window's repaints while it is held: at most one every kIntervalMs.
// During a device operation every wait would otherwise repaint the status list,
// its scroll bar and the progress display, and those repaints are most of what
// the window costs while it waits for the device. Changes made between two
// repaints all reach the screen with the next one.
class PaintPacer final : public QObject {
public:
    static constexpr int kIntervalMs = 200;

    explicit PaintPacer(QWidget& window);

    // Held: repaints are paced. Released: a repaint that was held back happens at once.
    void setHeld(bool held);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void repaintNow();

    QWidget& m_window;
    QElapsedTimer m_sinceRepaint;
    QTimer m_heldRepaint;
    bool m_held = false;
};
