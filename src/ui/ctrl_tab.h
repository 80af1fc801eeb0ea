#pragma once

#include <QKeyEvent>

// Ctrl+Tab and Ctrl+Shift+Tab, Qt's focus keys for controls that take Tab
// themselves: 1 for the next control, -1 for the previous one, 0 for any
// other key.
inline int ctrlTabStep(const QKeyEvent& key)
{
    if (!key.modifiers().testFlag(Qt::ControlModifier))
        return 0;
    if (key.key() == Qt::Key_Backtab || (key.key() == Qt::Key_Tab && key.modifiers().testFlag(Qt::ShiftModifier)))
        return -1;
    return key.key() == Qt::Key_Tab ? 1 : 0;
}
