#include "ui/paint_pacer.h"

#include <QElapsedTimer>
#include <QWidget>
#include <QtTest>

namespace {

// A shown window that counts its repaints.
struct CountingWindow final : QWidget {
    void paintEvent(QPaintEvent*) override { ++paints; }
    int paints = 0;
};

}  // namespace

class TstPaintPacer : public QObject {
    Q_OBJECT

private slots:
    // Held, a window asked to repaint on every turn of the event loop repaints at
    // most once per interval; released, what was held back is painted at once.
    void pacesWhileHeldAndCatchesUpOnRelease()
    {
        CountingWindow window;
        window.resize(200, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintPacer pacer(window);
        pacer.setHeld(true);
        QCoreApplication::processEvents();
        window.paints = 0;

        QElapsedTimer elapsed;
        elapsed.start();
        for (int turn = 0; turn < 200; ++turn) {
            window.update();
            QCoreApplication::processEvents();
        }
        QVERIFY(window.paints <= 1 + elapsed.elapsed() / PaintPacer::kIntervalMs);

        window.update();
        const int before = window.paints;
        pacer.setHeld(false);
        QCoreApplication::processEvents();
        QCOMPARE(window.paints, before + 1);
    }
};

QTEST_MAIN(TstPaintPacer)
#include "tst_paint_pacer.moc"
