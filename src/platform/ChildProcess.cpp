#include "ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <QFile>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace pantrio {

namespace {

// AddressSanitizer reserves terabytes of address space at start, so a build with it cannot
// cap the address space; it caps the child's resident memory through its own option instead.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool SanitizedBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool SanitizedBuild = true;
#else
constexpr bool SanitizedBuild = false;
#endif
#else
constexpr bool SanitizedBuild = false;
#endif

struct Pipe
{
    int read = -1, write = -1;
    Pipe()
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error(std::strerror(errno));
        read = fds[0];
        write = fds[1];
    }
    ~Pipe()
    {
        for (int fd : {read, write})
            if (fd >= 0)
                close(fd);
    }
};

// Between fork and exec only async-signal-safe calls are allowed: everything is ready before.
[[noreturn]] void becomeChild(const char* program, char* const* argv, char* const* envp, int output,
                              int errors, std::int64_t memoryLimit, pid_t parent)
{
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent)
        _exit(127);
    const int null = open("/dev/null", O_RDWR);
    if (null < 0 || dup2(null, STDIN_FILENO) < 0 || dup2(output, STDOUT_FILENO) < 0 ||
        dup2(null, STDERR_FILENO) < 0)
        _exit(127);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    const rlimit noCore{0, 0}; // a crash in a damaged file is no news worth a core file
    setrlimit(RLIMIT_CORE, &noCore);
    if (!SanitizedBuild) {
        const rlimit limit{rlim_t(memoryLimit), rlim_t(memoryLimit)};
        if (setrlimit(RLIMIT_AS, &limit) != 0)
            _exit(127);
    }
    // Descriptors the parent's other threads opened without O_CLOEXEC stay with the parent.
    const bool below =
        errors == STDERR_FILENO + 1 || syscall(SYS_close_range, STDERR_FILENO + 1, errors - 1, 0) == 0;
    if (!below || syscall(SYS_close_range, errors + 1, ~0U, 0) != 0)
        for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd)
            if (fd != errors)
                close(fd);
    execve(program, argv, envp);
    const int error = errno;
    [[maybe_unused]] const auto written = write(errors, &error, sizeof error);
    _exit(127);
}

} // namespace

ChildProcess::ChildProcess(const QString& program, const QStringList& arguments, std::int64_t memoryLimit)
{
    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> args{path};
    for (const QString& a : arguments)
        args.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<QByteArray> env;
    // Twice the limit: the sanitizer's own bookkeeping takes about as much again.
    const QByteArray rss = "hard_rss_limit_mb=" + QByteArray::number(2 * (memoryLimit >> 20));
    QByteArray asan = "ASAN_OPTIONS=" + rss;
    for (char** e = environ; *e; ++e) {
        if (std::strncmp(*e, "ASAN_OPTIONS=", 13) == 0)
            asan = QByteArray(*e) + ':' + rss;
        else
            env.emplace_back(*e);
    }
    if (SanitizedBuild)
        env.push_back(asan);
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    Pipe output, errors;
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0)
        throw std::runtime_error(std::strerror(errno));
    if (pid_ == 0)
        becomeChild(path.constData(), argv.data(), envp.data(), output.write, errors.write, memoryLimit,
                    parent);

    close(errors.write);
    errors.write = -1;
    int error = 0;
    ssize_t got;
    while ((got = ::read(errors.read, &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (got == sizeof error) { // exec failed
        kill();
        throw std::runtime_error(std::strerror(error));
    }
    output_ = output.read;
    output.read = -1;
}

ChildProcess::~ChildProcess()
{
    kill();
}

std::int64_t ChildProcess::read(char* into, std::int64_t size, std::chrono::milliseconds wait)
{
    if (output_ < 0)
        return 0;
    pollfd p{output_, POLLIN, 0};
    if (poll(&p, 1, int(wait.count())) <= 0)
        return -1; // nothing yet, or a signal to look at
    const ssize_t got = ::read(output_, into, size_t(size));
    if (got < 0)
        return errno == EINTR || errno == EAGAIN ? -1 : 0;
    return got;
}

void ChildProcess::kill()
{
    if (output_ >= 0)
        close(output_);
    output_ = -1;
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
}

} // namespace pantrio
