#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace twips {
class Placer;
}

// The window's labels and push buttons, placed by twips in its own fonts.
namespace controls {

// A label in the window's base font, bold unless asked otherwise.
QLabel* makeLabel(QWidget* parent, const twips::Placer& placer, const char* name, const QString& caption, int left,
                  int top, int width, int height, bool bold = true);

// A push button in the window's bold base font; `tip` may be empty.
QPushButton* makeButton(QWidget* parent, const twips::Placer& placer, const char* name, const QString& caption,
                        const QString& tip, int left, int top, int width, int height);

}  // namespace controls
