#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <cmath>

namespace pxr9 {

// Converts the layout units of a dialog template into pixels for a font: a horizontal unit
// is a quarter of the average character width, a vertical unit an eighth of the line height.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font) {
        const QFontMetrics metrics(font);
        // The average over the letters, as templates were laid out for.
        baseX_ = metrics.horizontalAdvance(
                     QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                 52.0;
        baseY_ = metrics.height();
    }

    int x(int units) const { return static_cast<int>(std::lround(units * baseX_ / 4)); }
    int y(int units) const { return static_cast<int>(std::lround(units * baseY_ / 8)); }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(x(left), y(top), x(width), y(height));
    }

  private:
    double baseX_ = 0;
    double baseY_ = 0;
};

}  // namespace pxr9
