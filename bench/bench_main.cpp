// Measures the recipe store on one collection, one line per figure: `name value unit`.
//
//   pantrio-bench [--help] [--] <file>|<server address>
//
// The collection is changed (recipes are added and deleted); run it on a copy. On a database
// server each figure's name starts with pg_, and the figures of the file alone are left out.
// Each figure is the median of repeated runs. Every run checks its result, so a wrong
// answer fails the benchmark instead of producing a fast figure.

#include "RecipeGenerator.h"
#include "store/CollectionAddress.h"
#include "store/Postgres.h"
#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "store/StoreError.h"
#include "ToolArguments.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <sqlite3.h>
#include <string>
#include <thread>
#include <time.h>
#include <vector>

namespace {

using namespace pantrio;
using Clock = std::chrono::steady_clock;

constexpr int Runs = 21;
constexpr int MoveRuns = 101;

struct Failure
{
    std::string what;
};

void check(bool ok, const char* what)
{
    if (!ok)
        throw Failure{what};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of this thread: with other programs busy on the machine, the gap between this and
// the elapsed time shows how much of a figure was waiting for the processor or the disk.
double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Runs `prepare` (not timed) and `op` (timed) `runs` times; returns the median of `op` in ms.
// With a time budget, stops early once `minRuns` are done and the budget is spent.
double measure(const char* name, int runs, const std::function<void()>& prepare,
               const std::function<void()>& op, int minRuns = 0, double budgetMs = 0)
{
    std::vector<double> times;
    std::vector<double> cpu;
    const auto begin = Clock::now();
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        const double cpuStart = cpuMs();
        const auto start = Clock::now();
        op();
        times.push_back(msSince(start));
        cpu.push_back(cpuMs() - cpuStart);
        if (budgetMs > 0 && int(times.size()) >= minRuns && msSince(begin) > budgetMs)
            break;
    }
    const auto [lo, hi] = std::minmax_element(times.begin(), times.end());
    std::fprintf(stderr, "# %s: %zu runs, min %.4f ms, max %.4f ms, median cpu %.4f ms\n", name, times.size(),
                 *lo, *hi, median(cpu));
    return median(times);
}

const char* figurePrefix = ""; // "pg_" on a server

void figure(const char* name, double value, const char* unit)
{
    const int decimals = value < 1 ? 4 : value < 100 ? 2 : 1;
    std::printf("%s%s %.*f %s\n", figurePrefix, name, decimals, value, unit);
    std::fflush(stdout);
}

double peakMemoryMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr) / 1024.0; // the value is in kB
    return -1;
}

// As the Find command searches.
SearchCondition findBoth(const char* text)
{
    return SearchCondition::anyLike({Field::FoodCategoryID, Field::RecipeName},
                                    QLatin1Char('*') + QLatin1String(text) + QLatin1Char('*'));
}

bool nameContains(const RecordCursor& c, const char* text)
{
    return c.field(Field::RecipeName).value_or(QString()).contains(QLatin1String(text), Qt::CaseInsensitive);
}

sqlite3* openReadOnly(const QString& path, const char* figure)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
        const std::string why = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close_v2(db);
        throw Failure{std::string(figure) + ": cannot open the file: " + why};
    }
    return db;
}

// The one number a query over the file gives, read on a connection of its own; -1 if none.
double numberFromFile(const QString& path, const char* figure, const QByteArray& sql)
{
    sqlite3* db = openReadOnly(path, figure);
    sqlite3_stmt* stmt = nullptr;
    double value = -1;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_double(stmt, 0);
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    return value;
}

// The bytes of text the recipes hold, every field counted as stored (UTF-8).
double textBytes(const QString& path)
{
    QByteArray sql = "SELECT 0";
    for (Field f : allFields)
        sql += " + total(length(CAST(" + RecipeTable::quotedColumn(f) + " AS BLOB)))";
    sql += " FROM Recipes";
    const double bytes = numberFromFile(path, "file_bytes_per_text_byte", sql);
    check(bytes > 0, "file_bytes_per_text_byte: no text read");
    return bytes;
}

// The word index's words and blocks as stored, without the engine's own overhead.
double wordIndexMb(const QString& path)
{
    const double bytes = numberFromFile(path, "word_index_size",
                                        "SELECT total(length(word) + length(blocks)) FROM RecipeWords");
    check(bytes >= 0, "word_index_size: the file has no word index");
    return bytes / (1024.0 * 1024.0);
}

// The plain engine scan that the search index stands in for, on its own read-only connection.
double likeScan(const QString& path, bool bigFile)
{
    sqlite3* db = openReadOnly(path, "like_scan");
    sqlite3_stmt* stmt = nullptr;
    const std::string sql = std::string("SELECT rowid FROM Recipes WHERE FoodCategoryID LIKE '%") +
                            bench::NoMatchText + "%' OR RecipeName LIKE '%" + bench::NoMatchText +
                            "%' LIMIT 1";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        const std::string why = sqlite3_errmsg(db);
        sqlite3_close_v2(db);
        throw Failure{"like_scan: " + why};
    }
    int rc = SQLITE_OK;
    // A full pass over a large file takes seconds: fewer runs there, within a time budget.
    const double ms = measure(
        "like_scan", Runs, [&] { sqlite3_reset(stmt); }, [&] { rc = sqlite3_step(stmt); }, bigFile ? 5 : 0,
        bigFile ? 60'000 : 0);
    sqlite3_finalize(stmt);
    sqlite3_close_v2(db);
    check(rc == SQLITE_DONE, "like_scan found a row or failed");
    return ms;
}

int run(const QString& path)
{
    const RecordCursor::Options exclusive{OpenMode::Exclusive, 2000};
    const bool server = isServerAddress(path);
    if (server) {
        figurePrefix = "pg_";
    } else {
        const double fileBytes = double(QFileInfo(path).size());
        std::printf("file_size %.1f MB\n", fileBytes / (1024.0 * 1024.0));
        figure("file_bytes_per_text_byte", fileBytes / textBytes(path), "x");
    }

    std::unique_ptr<RecordCursor> cursor;
    const double open = measure(
        "open", Runs, [&] { cursor.reset(); }, [&] { cursor = RecordCursor::open(path, exclusive); });
    check(cursor->hasCurrent() && cursor->absolutePosition() == 0, "open: not on the first recipe");
    const std::int64_t count = cursor->recordCount();
    check(count >= bench::MinimumCount, "the file holds too few recipes");
    const bool big = count > 100'000;
    std::printf("%srecipes %lld count\n", figurePrefix, static_cast<long long>(count));
    figure("open", open, "ms");
    if (server) // what any open of a server takes: a new session on it, and one statement
        figure("connect", measure("connect", Runs, {}, [&] { pg::Connection(path, 10); }), "ms");

    // The first search right after opening waits for the search index, which starts loading
    // when the window has shown the first recipe: each run on a fresh cursor. The last one
    // stays open for everything below, its index loaded.
    const SearchCondition noMatch = findBoth(bench::NoMatchText);
    const double cold = measure(
        "find_first_cold", big ? 11 : Runs,
        [&] {
            cursor.reset();
            cursor = RecordCursor::open(path, exclusive);
            cursor->startBackgroundWork();
        },
        [&] { cursor->findFirst(noMatch); });
    check(cursor->noMatch(), "find_first_cold: found a recipe it should not");
    figure("find_first_cold", cold, "ms");

    // As when the user opens the window and then asks for Find: the index loads meanwhile.
    const double afterASecond = measure(
        "find_first_1s", big ? 5 : 11,
        [&] {
            cursor.reset();
            cursor = RecordCursor::open(path, exclusive);
            cursor->startBackgroundWork();
            std::this_thread::sleep_for(std::chrono::seconds(1));
        },
        [&] { cursor->findFirst(noMatch); });
    check(cursor->noMatch(), "find_first_1s: found a recipe it should not");
    figure("find_first_1s", afterASecond, "ms");
    cursor->moveFirst();

    // What a window does on every move: read all the fields of the new current recipe.
    RecipeValues shown;
    cursor->onReposition = [&] {
        if (cursor->hasCurrent())
            shown = cursor->values();
    };

    int step = 0;
    const double move = measure("move", MoveRuns, {}, [&] {
        if (step++ % 2 == 0)
            cursor->moveNext();
        else
            cursor->movePrevious();
    });
    check(cursor->absolutePosition() == 0 || cursor->absolutePosition() == 1, "move: lost its place");
    figure("move", move, "ms");

    // Forward through recipes not read before, as when paging through the collection.
    const double moveAhead = measure("move_ahead", MoveRuns, {}, [&] { cursor->moveNext(); });
    check(cursor->hasCurrent(), "move_ahead: ran off the end");
    figure("move_ahead", moveAhead, "ms");

    const double findNoMatch = measure("find_nomatch", Runs, {}, [&] {
        cursor->findFirst(noMatch);
        check(cursor->noMatch(), "find_nomatch: found a recipe it should not");
    });
    figure("find_nomatch", findNoMatch, "ms");

    const SearchCondition nearEnd = findBoth(bench::NearEndText);
    const double findNearEnd = measure("find_match_near_end", Runs, {}, [&] {
        cursor->findFirst(nearEnd);
        check(!cursor->noMatch() && nameContains(*cursor, bench::NearEndText),
              "find_match_near_end: no match");
    });
    check(cursor->absolutePosition() >= count * 9 / 10, "find_match_near_end: the match is not near the end");
    std::fprintf(stderr, "# find_match_near_end: match at position %d of %lld\n", cursor->absolutePosition(),
                 static_cast<long long>(count));
    figure("find_match_near_end", findNearEnd, "ms");

    // Find Next from the last match finds nothing after it and wraps around to the first match.
    const double wrap = measure("findnext_wrap", Runs, {}, [&] {
        cursor->findNext(nearEnd);
        check(cursor->noMatch(), "findnext_wrap: found a second match");
        cursor->findFirst(nearEnd);
        check(!cursor->noMatch(), "findnext_wrap: did not wrap to the match");
    });
    figure("findnext_wrap", wrap, "ms");

    // The search over every field, ignoring accents.
    const auto anywhere = [](const char* text) {
        return SearchCondition::anyContainsLoosely(allFields, QLatin1String(text));
    };
    const SearchCondition anywhereNoMatch = anywhere(bench::NoMatchText);
    figure("findall_nomatch",
           measure("findall_nomatch", Runs, {},
                   [&] {
                       cursor->findFirst(anywhereNoMatch);
                       check(cursor->noMatch(), "findall_nomatch: found a recipe it should not");
                   }),
           "ms");
    const SearchCondition anywhereNearEnd = anywhere(bench::NearEndText);
    figure("findall_match_near_end",
           measure("findall_match_near_end", Runs, {},
                   [&] {
                       cursor->findFirst(anywhereNearEnd);
                       check(!cursor->noMatch() && nameContains(*cursor, bench::NearEndText),
                             "findall_match_near_end: no match");
                   }),
           "ms");
    check(cursor->absolutePosition() >= count * 9 / 10,
          "findall_match_near_end: the match is not near the end");
    // Words that every part of the collection holds rule nothing out: every recipe is read.
    const SearchCondition anywhereCommon = anywhere(bench::CommonWordsText);
    figure("findall_common_words_nomatch",
           measure(
               "findall_common_words_nomatch", Runs, {},
               [&] {
                   cursor->findFirst(anywhereCommon);
                   check(cursor->noMatch(), "findall_common_words_nomatch: found a recipe it should not");
               },
               big || server ? 3 : 0, big || server ? 30'000 : 0),
           "ms");

    const bench::RecipeGenerator generator(count);
    std::int64_t extra = count;
    RecipeValues newRecipe;
    const int before = cursor->recordCount();
    const double addUpdate = measure(
        "add_update", Runs, [&] { newRecipe = generator.row(extra++); },
        [&] {
            cursor->addNew();
            for (Field f : allFields)
                cursor->setField(f, newRecipe[f]);
            cursor->update();
        });
    check(cursor->recordCount() == before + Runs, "add_update: the recipes were not added");
    cursor->setBookmark(cursor->lastModified());
    check(cursor->values() == newRecipe, "add_update: the saved recipe reads back differently");
    figure("add_update", addUpdate, "ms");

    // Update in a window on a recipe shown there: the edited box's text goes down with the
    // command; the window then stands on what it saved.
    QString typed;
    cursor->onReposition = [&] {
        if (cursor->hasCurrent())
            shown = cursor->values();
    };
    int edits = 0;
    const double update = measure(
        "update", Runs, [&] { typed = QStringLiteral("Edited %1").arg(edits++); },
        [&] {
            cursor->setField(Field::Notes, typed);
            cursor->update();
            cursor->setBookmark(cursor->lastModified());
        });
    check(cursor->field(Field::Notes) == typed, "update: the edit reads back differently");
    figure("update", update, "ms");

    // Delete recipes from the middle of the collection, each found first as a user would.
    const SearchCondition deletable = findBoth(bench::DeletableText);
    const double del = measure(
        "delete", Runs,
        [&] {
            cursor->findFirst(deletable);
            check(!cursor->noMatch(), "delete: ran out of recipes to delete");
        },
        [&] { cursor->deleteCurrent(); });
    check(cursor->recordCount() == before, "delete: the recipes were not deleted");
    figure("delete", del, "ms");

    const double refresh = measure("refresh", Runs, {}, [&] { cursor->refresh(); });
    check(cursor->absolutePosition() == 0 && cursor->recordCount() == before,
          "refresh: wrong place or count");
    figure("refresh", refresh, "ms");

    cursor->close();
    cursor.reset();
    if (server) {
        figure("peak_memory", peakMemoryMb(), "MB");
        return 0;
    }

    const double like = likeScan(path, big);
    figure("like_scan", like, "ms");
    figure("find_vs_like_scan", like / findNoMatch, "x");
    figure("word_index_size", wordIndexMb(path), "MB");

    figure("peak_memory", peakMemoryMb(), "MB");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace pantrio;
    const char* const usage = "[--help] [--] <file>|<server address>   (it is changed: use a copy)";
    const QStringList args = tools::toolArguments(
        argc, argv, usage, "Measures the recipe store on one collection, one line per figure.");
    if (args.size() != 1) {
        std::fprintf(stderr, "Usage: pantrio-bench %s\n", usage);
        return 1;
    }
    const QString path = args.at(0);
    try {
        return run(path);
    } catch (const StoreError& e) {
        std::fprintf(stderr, "pantrio-bench: %s\n", e.message().toLocal8Bit().constData());
    } catch (const Failure& f) {
        std::fprintf(stderr, "pantrio-bench: check failed: %s\n", f.what.c_str());
    }
    return 1;
}
