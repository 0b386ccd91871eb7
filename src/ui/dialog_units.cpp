#include "ui/dialog_units.h"

#include <QFontMetrics>

namespace kestrel {

namespace {

// units * base / divisor, rounded to the nearest pixel (halves away from zero).
int Scale(int units, int base, int divisor) {
    const long long product = static_cast<long long>(units) * base;
    const long long half = divisor / 2;
    return static_cast<int>(product >= 0 ? (product + half) / divisor
                                         : -((-product + half) / divisor));
}

// The average width of the 52 Latin letters, rounded: the character width that
// dialog units are defined by. A font's own "average width" field is often
// far from what its letters take.
int LetterAverageWidth(const QFontMetrics& metrics) {
    const int width = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return (width / 26 + 1) / 2;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font)
    : DialogUnits(LetterAverageWidth(QFontMetrics(font)), QFontMetrics(font).height()) {}

DialogUnits::DialogUnits(int averageCharWidth, int charHeight)
    : averageCharWidth(averageCharWidth), charHeight(charHeight) {}

int DialogUnits::X(int units) const {
    return Scale(units, averageCharWidth, 4);
}

int DialogUnits::Y(int units) const {
    return Scale(units, charHeight, 8);
}

QSize DialogUnits::Size(int width, int height) const {
    return {X(width), Y(height)};
}

QRect DialogUnits::Rect(int x, int y, int w, int h) const {
    // Each edge is converted on its own, so that neighbouring controls that
    // share an edge in units also share it in pixels.
    const int left = X(x);
    const int top = Y(y);
    return {left, top, X(x + w) - left, Y(y + h) - top};
}

}  // namespace kestrel
