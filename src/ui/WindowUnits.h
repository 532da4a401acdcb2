#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace pantrio {

// Window layouts are kept in twips, as they were drawn: 1440 to the inch, and at 96 logical
// pixels to the inch 15 to a pixel.
constexpr int TwipsPerInch = 1440;
constexpr int TwipsPerPixel = 15;

// Rounded to the nearest pixel. Nearly every measure is a whole number of pixels; the few
// that are not (the About window's separator) were drawn rounded.
constexpr int twipsToPixels(int twips)
{
    return (twips >= 0 ? twips + TwipsPerPixel / 2 : twips - TwipsPerPixel / 2) / TwipsPerPixel;
}

// A place in twips, from the client area's top-left corner.
struct Twips
{
    int left, top, width, height;

    constexpr QRect toPixels() const
    {
        return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
    }
};

constexpr QSize twipsToPixels(QSize twips)
{
    return {twipsToPixels(twips.width()), twipsToPixels(twips.height())};
}

// The face of every window and its controls: Liberation Sans, metric-compatible with the
// MS Sans Serif the layouts were drawn for, at its 8.25 pt.
QFont windowFont();

// Body text of the About window: Liberation Serif (Times New Roman's metrics) at 9.75 pt.
QFont serifTextFont();

// The printed page's text: Liberation Serif at 15 pixels (11.25 pt). A pixel size keeps the
// text in proportion to the boxes whatever the screen's dpi.
QFont printPageFont();

} // namespace pantrio
