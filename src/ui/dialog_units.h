#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace kestrel {

// Converts the dialog units of a dialog template into pixels of a given font:
// a horizontal unit is a quarter of the font's average character width, a
// vertical unit an eighth of its character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int averageCharWidth, int charHeight);

    int AverageCharWidth() const { return averageCharWidth; }
    int CharHeight() const { return charHeight; }

    int X(int units) const;
    int Y(int units) const;
    QSize Size(int width, int height) const;
    // A rectangle at (x, y) of width w and height h, all in dialog units.
    QRect Rect(int x, int y, int w, int h) const;

private:
    int averageCharWidth;
    int charHeight;
};

}  // namespace kestrel
