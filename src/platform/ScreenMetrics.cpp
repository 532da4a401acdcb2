#include "ScreenMetrics.h"

#include <QGuiApplication>
#include <QScreen>

namespace pantrio {

float QtScreenMetrics::heightTwips() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? float(screen->geometry().height()) * 15.0f : 0.0f;
}

} // namespace pantrio
