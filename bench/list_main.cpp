// Measures the recipe list on one collection file, one line per figure: `name value unit`.
//
//   pantrio-bench-list [--help] [--] <file>
//
// The list reads through the session's connection while the file is held alone, as the full
// recipe window holds it. Memory is what the list adds to the open session, in resident pages.

#include "app/RecipeList.h"
#include "app/RecipeSession.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"
#include "platform/printer/Printer.h"
#include "platform/ProgramInfo.h"
#include "platform/ScreenMetrics.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/sysinfo/MemoryRegistry.h"
#include "platform/sysinfo/QtLauncher.h"
#include "RecipeGenerator.h"
#include "ToolArguments.h"
#include "windows/list/RecipeListWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <unistd.h>
#include <vector>

namespace {

using namespace pantrio;
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double residentMb()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "pantrio-bench-list: check failed: %s\n", what);
    std::exit(1);
}

// Runs the event loop until `done` holds; false after `limitMs`.
template <typename Done> bool waitFor(Done done, double limitMs = 600000)
{
    const auto start = Clock::now();
    while (!done()) {
        if (msSince(start) > limitMs)
            return false;
        QCoreApplication::processEvents();
        // Not a busy loop: the workers measured need the processor.
        QThread::usleep(200);
    }
    return true;
}

void figure(const char* name, double value, const char* unit = "ms")
{
    std::printf("list_%s %.1f %s\n", name, value, unit);
    std::fflush(stdout);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    const char* const usage = "[--help] [--] <file>";
    const QStringList args =
        tools::toolArguments(argc, argv, usage, "Measures the recipe list on a recipe file.");
    if (args.size() != 1) {
        std::fprintf(stderr, "Usage: pantrio-bench-list %s\n", usage);
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const ProgramInfo program = ProgramInfo::forThisBuild(dir.path());
    IniSettingsStore settings(dir.filePath(QStringLiteral("settings")));
    QtMessageBoxes messages;
    QtScreenMetrics screen;
    QtBusyPointer pointer;
    QtPrinter printer(messages);
    MemoryRegistry registry;
    QtLauncher launcher;
    Services services{settings, messages, screen, pointer, program, printer, registry, launcher, [] {}};

    RecipeSession session(OpenMode::Exclusive);
    if (!session.open(args.at(0))) {
        std::fprintf(stderr, "pantrio-bench-list: %s\n", qPrintable(session.openError()));
        return 1;
    }
    // As the recipe window does once it shows the first recipe; its index is then ready.
    session.startBackgroundWork();
    session.find(QStringLiteral("x"), false, {});
    const double before = residentMb();
    const int count = session.count();

    // Ctrl+L: the window, until its first screen of rows is drawn.
    auto start = Clock::now();
    RecipeListWindow window(session, services);
    window.show();
    auto* view = window.findChild<QTableView*>(QStringLiteral("lstRecipes"));
    RecipeList* list = session.recipeList();
    if (!waitFor([&] { return view->model()->rowCount() > 0 || list->isLoaded(); }))
        fail("the list showed nothing");
    view->repaint();
    figure("first_screen", msSince(start));
    if (!waitFor([&] { return list->isLoaded(); }))
        fail("the list was not read");
    figure("whole", msSince(start));
    if (list->total() != count || view->model()->rowCount() != count)
        fail("the list does not show every recipe");
    figure("memory", residentMb() - before, "MB");

    // Jumps to points all over the list, each until its rows are drawn.
    std::vector<double> jumps;
    QScrollBar* bar = view->verticalScrollBar();
    for (int i = 1; i <= 21; ++i) {
        start = Clock::now();
        bar->setValue(int(std::int64_t(bar->maximum()) * ((i * 37) % 100) / 100));
        view->repaint();
        jumps.push_back(msSince(start));
    }
    figure("jump", median(jumps));

    auto* box = window.findChild<QLineEdit*>(QStringLiteral("txtFilter"));
    // A word of the collection: until the first screen of matches, and until they are all counted.
    const auto filter = [&](const QString& text, const char* first, const char* all) {
        box->clear();
        waitFor([&] { return !list->isFiltering(); });
        start = Clock::now();
        box->setText(text);
        if (!waitFor([&] { return list->shownCount() > 0 || !list->isFiltering(); }))
            fail("no filter result");
        view->repaint();
        if (first)
            figure(first, msSince(start));
        if (!waitFor([&] { return !list->isFiltering(); }))
            fail("the filter did not end");
        figure(all, msSince(start));
    };
    filter(QStringLiteral("salt"), "filter_word_first_screen", "filter_word_count");
    filter(QLatin1String(bench::NearEndText), "filter_rare_first_screen", "filter_rare_count");
    if (list->shownCount() != 1)
        fail("the rare word is not found once");
    filter(QLatin1String(bench::CommonWordsText), nullptr, "filter_common_words_nomatch_count");
    if (list->shownCount() != 0)
        fail("the common words matched");

    // Typing while a filter streams: the longest wait for one keystroke.
    box->clear();
    double longest = 0;
    const QString typed = QLatin1String(bench::CommonWordsText);
    for (qsizetype n = 1; n <= typed.size(); ++n) {
        start = Clock::now();
        box->setText(typed.left(n));
        QCoreApplication::processEvents();
        longest = std::max(longest, msSince(start));
        waitFor([] { return false; }, 30); // a fast typist
    }
    figure("keystroke_longest", longest);
    waitFor([&] { return !list->isFiltering(); });
    figure("peak_rss", residentMb(), "MB");
    return 0;
}
