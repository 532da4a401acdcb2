// Measures the recipe window on recipes with one very big value, one line per figure:
// `name value unit`.
//
//   pantrio-bench-window [--help] [--] line|lines
//
// line:  a 1 MB value without line breaks in a one-line box (the recipe description);
// lines: a 50 MB value of many lines in a multi-line box (the instructions).
// The big recipe sits between two small ones. Peak memory is the whole run's, so each case
// runs in a process of its own.

#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/printer/Printer.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenMetrics.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/sysinfo/MemoryRegistry.h"
#include "platform/sysinfo/QtLauncher.h"
#include "store/RecipeTable.h"
#include "ToolArguments.h"
#include "windows/recipe/RecipeLayout.h"
#include "windows/recipe/RecipeWindow.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace pantrio;

double peakMemoryMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Timing
{
    double wallMs = 0;
    double cpuMs = 0; // the figure to trust on a busy machine
};

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000.0 + double(t.tv_nsec) / 1e6;
}

// `action` and the repaint that follows it.
template<typename Action>
Timing timed(QWidget& window, Action action)
{
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuMs();
    action();
    window.repaint();
    QCoreApplication::processEvents();
    return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
            cpuMs() - cpuStart};
}

void figure(const char* prefix, const char* name, const Timing& t)
{
    std::printf("%s_%s %.0f ms\n", prefix, name, t.wallMs);
    std::printf("%s_%s_cpu %.0f ms\n", prefix, name, t.cpuMs);
}

const QString Line = QStringLiteral("Stir the pot gently and taste it again before the next step.\n");

qsizetype bigLength(bool lines)
{
    if (!lines)
        return 1 << 20;
    return (((50 << 20) + Line.size() - 1) / Line.size()) * Line.size();
}

QString bigValue(bool lines)
{
    if (!lines)
        return QString(bigLength(lines), QLatin1Char('x'));
    QString text;
    text.reserve(bigLength(lines));
    while (text.size() < bigLength(lines))
        text += Line;
    return text;
}

qsizetype shownLength(QWidget* box)
{
    if (auto* line = qobject_cast<QLineEdit*>(box))
        return line->text().size();
    return static_cast<QPlainTextEdit*>(box)->document()->characterCount() - 1;
}

} // namespace

int main(int argc, char* argv[])
{
    const char* const usage = "[--help] [--] line|lines";
    const QStringList args = tools::toolArguments(
        argc, argv, usage, "Measures moving onto, off and saving a recipe with one very big value.");
    if (args.size() != 1 || (args.at(0) != QLatin1String("line") && args.at(0) != QLatin1String("lines"))) {
        std::fprintf(stderr, "Usage: pantrio-bench-window %s\n", usage);
        return 1;
    }
    const bool lines = args.at(0) == QLatin1String("lines");
    qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir dir;
    const ProgramInfo program = ProgramInfo::forThisBuild(dir.path());
    const Field field = lines ? Field::Instructions : Field::RecipeDescription;
    // Written by a child process, so that the peak memory is the window's alone.
    const pid_t writer = fork();
    if (writer == 0) {
        int n = 0;
        const QString big = bigValue(lines);
        RecipeTable::createFile(program.pathOf(QStringLiteral("Savorix.mdb")), [&](RecipeValues& row) {
            if (n == 3)
                return false;
            for (Field f : allFields)
                row[f] = QStringLiteral("small");
            if (n++ == 1)
                row[field] = big;
            return true;
        });
        _exit(0);
    }
    int status = 0;
    if (writer < 0 || waitpid(writer, &status, 0) != writer || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "pantrio-bench-window: the collection could not be written\n");
        return 1;
    }

    QApplication app(argc, argv);
    IniSettingsStore settings(dir.filePath(QStringLiteral("settings")));
    QtMessageBoxes messages;
    QtScreenMetrics screen;
    QtBusyPointer pointer;
    QtPrinter printer(messages);
    MemoryRegistry registry;
    QtLauncher launcher;
    Services services{settings, messages, screen, pointer, program, printer, registry, launcher, [] {}};

    RecipeWindow window(RecipeLayout::full(), services);
    window.show();
    window.open();
    QCoreApplication::processEvents();
    auto arrow = [&window](const char* name) {
        window.findChild<QWidget*>(QStringLiteral("Data1"))
            ->findChild<QToolButton*>(QLatin1String(name))
            ->click();
    };
    auto* update = window.findChild<QPushButton*>(QStringLiteral("cmdUpdate"));

    const Timing onto = timed(window, [&] { arrow("next"); });
    QWidget* box = window.findChild<QWidget*>(QLatin1String(lines ? "Text6" : "Text3"));
    if (!box || shownLength(box) != bigLength(lines)) {
        std::fprintf(stderr, "pantrio-bench-window: check failed: the big value is not shown whole\n");
        return 1;
    }
    const Timing save = timed(window, [&] { update->click(); });
    const Timing off = timed(window, [&] { arrow("next"); });
    const Timing back = timed(window, [&] { arrow("previous"); });

    const char* name = lines ? "lines50mb" : "line1mb";
    figure(name, "move_onto", onto);
    figure(name, "update", save);
    figure(name, "move_off", off);
    figure(name, "move_back", back);
    std::printf("%s_peak_memory %.0f MB\n", name, peakMemoryMb());
    return 0;
}
