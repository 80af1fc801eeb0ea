#include "ui/controls.h"

#include "ui/twips.h"
#include "ui/ui_style.h"

#include <QLabel>
#include <QPushButton>

namespace controls {

QLabel* makeLabel(QWidget* parent, const twips::Placer& placer, const char* name, const QString& caption, int left,
                  int top, int width, int height, bool bold)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(ui_style::sansFont(ui_style::kBasePoints, bold));
    placer.place(label, left, top, width, height);
    return label;
}

QPushButton* makeButton(QWidget* parent, const twips::Placer& placer, const char* name, const QString& caption,
                        const QString& tip, int left, int top, int width, int height)
{
    const QFont font = ui_style::sansFont(ui_style::kBasePoints, true);
    // Push buttons do not wrap: long captions get their line breaks here, and
    // the accessible name keeps the caption as written.
    const int room = placer.px(width) - 10;
    auto* button = new QPushButton(ui_style::wrapCaption(caption, font, room), parent);
    button->setObjectName(QLatin1String(name));
    button->setAccessibleName(caption);
    button->setFont(font);
    if (!tip.isEmpty())
        button->setToolTip(tip);
    placer.place(button, left, top, width, height);
    return button;
}

}  // namespace controls
