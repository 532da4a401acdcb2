#include "QtLauncher.h"

#include <QProcess>

namespace pantrio {

bool QtLauncher::start(const QString& program)
{
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

} // namespace pantrio
