#include "FirstPositionReport.h"

#include <cstdio>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <time.h>

namespace pantrio {

bool FirstPositionReport::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Paint || watched->objectName() != QLatin1String("caption"))
        return false;
    const auto* label = qobject_cast<QLabel*>(watched);
    if (!label || !label->text().startsWith(QLatin1String("Recipe Number: ")))
        return false;
    QCoreApplication::instance()->removeEventFilter(this);
    // After this paint has gone to the screen.
    QTimer::singleShot(0, this, [text = label->text()] {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::fprintf(stderr, "first position shown at %lld.%09ld: %s\n", static_cast<long long>(now.tv_sec),
                     now.tv_nsec, text.toUtf8().constData());
    });
    return false;
}

} // namespace pantrio
