#pragma once

#include "platform/Launcher.h"

namespace pantrio {

// Starts the program detached: it outlives this one and is not waited for.
class QtLauncher final : public Launcher
{
public:
    bool start(const QString& program) override;
};

} // namespace pantrio
