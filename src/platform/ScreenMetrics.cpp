#include "ScreenMetrics.h"

#include <QGuiApplication>
#include <QScreen>

namespace pantrio {

float QtScreenMetrics::heightTwips() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? float(screen->geometry().height()) * twipsPerPixelY() : 0.0f;
}

} // namespace pantrio
