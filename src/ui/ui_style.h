#pragma once

#include <QFont>
#include <QString>

// Fonts and caption fitting shared by the window's controls.
namespace ui_style {

// Size of the window's ordinary captions and fields.
inline constexpr double kBasePoints = 9.0;

// The window's sans font at `points`; the first installed family of a list of
// common metric-compatible sans fonts, so captions fit their boxes on most systems.
QFont sansFont(double points, bool bold);

// The maker's name above the title uses a casual hand-lettered face when present.
QFont decorativeFont(double points, bool bold);

// Breaks `caption` at blanks into lines no wider than `widthPx` in `font`, for
// push buttons, which do not wrap their text themselves. A word longer than the
// width stays whole on its own line.
QString wrapCaption(const QString& caption, const QFont& font, int widthPx);

}  // namespace ui_style
