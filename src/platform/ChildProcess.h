#pragma once

#include <chrono>
#include <cstdint>
#include <QString>
#include <QStringList>
#include <sys/types.h>

namespace pantrio {

// A program run as a child process for its standard output, which comes through a pipe. Its
// standard input and error are /dev/null, it gets at most `memoryLimit` bytes, and it dies
// with the thread that started it. Destroying the object ends it at once.
class ChildProcess
{
public:
    // Throws std::runtime_error with the reason when the program cannot be started.
    ChildProcess(const QString& program, const QStringList& arguments, std::int64_t memoryLimit);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits at most `wait` for output, less when a signal arrives. Returns the number of bytes
    // put in `into`, 0 at the end of the output, -1 when nothing came.
    std::int64_t read(char* into, std::int64_t size, std::chrono::milliseconds wait);
    // Ends it with SIGKILL, which it cannot ignore, and waits for it to be gone.
    void kill();

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

} // namespace pantrio
