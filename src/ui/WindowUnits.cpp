#include "WindowUnits.h"

namespace pantrio {

static_assert(TwipsPerInch / TwipsPerPixel == 96);
static_assert(twipsToPixels(5654) == 377 && twipsToPixels(5640) == 376 && twipsToPixels(7) == 0);

QFont windowFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPointSizeF(8.25);
    return font;
}

QFont serifTextFont()
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPointSizeF(9.75);
    return font;
}

QFont printPageFont()
{
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(15);
    return font;
}

} // namespace pantrio
