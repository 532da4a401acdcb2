#pragma once

#include <QString>

namespace pantrio {

// Starts another program, which then runs on its own.
class Launcher
{
public:
    virtual ~Launcher() = default;
    // False when the program could not be started.
    virtual bool start(const QString& program) = 0;
};

} // namespace pantrio
