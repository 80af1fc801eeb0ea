#include "ui/ui_style.h"

#include <QFontMetrics>
#include <QStringList>

namespace ui_style {

QFont sansFont(double points, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont decorativeFont(double points, bool bold)
{
    QFont font = sansFont(points, bold);
    font.setFamilies({QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"), QStringLiteral("URW Gothic"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    return font;
}

QString wrapCaption(const QString& caption, const QFont& font, int widthPx)
{
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(caption) <= widthPx)
        return caption;
    QStringList lines;
    QString current;
    // Splitting on single blanks keeps a double blank inside a line as it was.
    const QStringList words = caption.split(QLatin1Char(' '));
    for (const QString& word : words) {
        const QString candidate = current.isNull() ? word : current + QLatin1Char(' ') + word;
        if (!current.isNull() && metrics.horizontalAdvance(candidate) > widthPx && !current.trimmed().isEmpty()) {
            lines << current.trimmed();
            current = word;
        } else {
            current = candidate;
        }
    }
    if (!current.isNull())
        lines << current.trimmed();
    return lines.join(QLatin1Char('\n'));
}

}  // namespace ui_style
