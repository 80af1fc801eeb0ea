#pragma once

#include <QRect>
#include <QWidget>

// The window's layout is given in twips (1/1440 inch); widgets are placed in
// pixels of the screen's logical resolution.
namespace twips {

inline constexpr int kPerInch = 1440;

inline int toPx(int twips, int dpi)
{
    // Rounded to the nearest pixel so that neighbouring controls keep their gaps.
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>((scaled + (scaled >= 0 ? kPerInch / 2 : -kPerInch / 2)) / kPerInch);
}

inline QRect toRect(int left, int top, int width, int height, int dpi)
{
    return QRect(toPx(left, dpi), toPx(top, dpi), toPx(width, dpi), toPx(height, dpi));
}

// Places widgets by twips at one fixed resolution, taken once when the window
// is built so that every control uses the same scale.
class Placer final {
public:
    explicit Placer(int dpi) : m_dpi(dpi > 0 ? dpi : 96) { }

    int dpi() const { return m_dpi; }
    int px(int twips) const { return toPx(twips, m_dpi); }

    void place(QWidget* widget, int left, int top, int width, int height) const
    {
        widget->setGeometry(toRect(left, top, width, height, m_dpi));
    }

private:
    int m_dpi;
};

}  // namespace twips
