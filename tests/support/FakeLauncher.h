#pragma once

#include "platform/Launcher.h"

#include <QStringList>

namespace pantrio::test {

// Records what would have been started; `succeed` decides the answer.
class FakeLauncher final : public Launcher
{
public:
    bool start(const QString& program) override
    {
        started.append(program);
        return succeed;
    }

    QStringList started;
    bool succeed = true;
};

} // namespace pantrio::test
