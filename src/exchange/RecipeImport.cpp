#include "RecipeImport.h"

#include "AccessFile.h"
#include "store/Handoff.h"
#include "RecipeText.h"
#include "store/RecipeTable.h"
#include "TextSource.h"

#include <QBuffer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QUrl>
#include <thread>

namespace pantrio::exchange {

RecipeInserter::RecipeInserter(RecipeRows& rows, std::int64_t firstFreeId, bool allowDuplicates)
    : rows_(rows), allowDuplicates_(allowDuplicates)
{
    nextId_ = std::max(rows.highestId() + 1, firstFreeId);
    if (allowDuplicates)
        return;
    rows.forEach([&](std::int64_t id, const RecipeValues& r) {
        keys_.emplace(recipeKey(r), id);
        return true;
    });
}

bool RecipeInserter::isDuplicate(const RecipeValues& recipe, std::uint64_t key)
{
    const auto [from, to] = keys_.equal_range(key);
    for (auto it = from; it != to; ++it) {
        const auto stored = rows_.fetch(it->second);
        if (stored && sameRecipe(*stored, recipe))
            return true;
    }
    return false;
}

RecipeInserter::Prepared RecipeInserter::prepare(RecipeValues&& read) const
{
    Prepared ready{std::move(read)};
    tidyRecipe(ready.recipe);
    if (!allowDuplicates_)
        ready.key = recipeKey(ready.recipe);
    return ready;
}

bool RecipeInserter::add(Prepared&& ready)
{
    if (!allowDuplicates_ && isDuplicate(ready.recipe, ready.key))
        return false;
    const std::int64_t id = nextId_++;
    rows_.insert(id, ready.recipe);
    if (!allowDuplicates_)
        keys_.emplace(ready.key, id);
    if (!firstAdded_)
        firstAdded_ = id;
    return true;
}

namespace {

// Hands the recipes of one file, or of a page fetched from `file`, to `events`. Throws ReadError.
void readRecipes(Format format, const QString& file, const FetchedPage* page, QIODevice& in,
                 const ReadEvents& events, std::int64_t size, const bool& stopped)
{
    if (format == Format::Access) {
        // Rows stand for bytes here; the reader's wait is watched, so a Cancel ends it.
        AccessReading how;
        how.progress = [&](std::int64_t rows, std::int64_t claimed) {
            if (events.progress)
                events.progress(claimed > 0 ? size * std::min(rows, claimed) / claimed : 0);
            return !stopped;
        };
        readAccess(file, events, {}, how);
        return;
    }
    if (!in.open(QIODevice::ReadOnly))
        throw ReadError(QStringLiteral("the file cannot be read (%1)").arg(in.errorString()));
    switch (format) {
    case Format::MealMaster:
        readMealMaster(in, events);
        break;
    case Format::Json:
        readJson(in, events);
        break;
    case Format::Html:
        readWebPage(in, events,
                    page ? PageOrigin{page->address.isEmpty() ? file : page->address, page->charset}
                         : PageOrigin{});
        break;
    default:
        break;
    }
}

// What the reader handed over, kept in its order.
struct Handed
{
    enum class Kind : std::uint8_t { Recipe, Problem, Progress };
    Kind kind;
    std::int64_t number; // a recipe's or a problem's line; for progress, how far the file is read
    RecipeInserter::Prepared recipe;
    QString problem;
};
using HandedBatch = std::vector<Handed>;

// What one file's recipes go to, on the thread that stores them.
struct Taking
{
    std::function<bool(RecipeInserter::Prepared&&)> recipe; // false stops the reading
    std::function<void(std::int64_t line, const QString& problem)> problem;
    std::function<void(std::int64_t at)> progress;
};

// Reads a file on a thread of its own, tidying each recipe there, while this thread stores them:
// reading and storing take about as long as each other. `take` gets everything here, in the
// reader's order; an error of the reader is thrown here. `at` turns what the reader counts into
// how far into the file it is, on the reading thread.
void readAlongside(const std::function<void(const ReadEvents&)>& read, const RecipeInserter& inserter,
                   const std::function<std::int64_t(std::int64_t)>& at, const Taking& take)
{
    constexpr std::size_t BatchSize = 64, MostBatches = 32; // room for either side to stall a moment
    Handoff<HandedBatch> handoff(MostBatches);
    // Batches go back to be let go where they were made: memory freed on another thread than
    // the one that took it waits for that thread's allocator, which is busy all the time here.
    Handoff<HandedBatch> spent(0);
    std::thread reader([&] {
        HandedBatch batch;
        const auto hand = [&](Handed&& h) {
            batch.push_back(std::move(h));
            if (batch.size() >= BatchSize) {
                handoff.put(std::exchange(batch, {}));
                while (spent.take(false)) {
                }
            }
        };
        ReadEvents events;
        events.recipe = [&](RecipeValues&& r, std::int64_t line) {
            hand({Handed::Kind::Recipe, line, inserter.prepare(std::move(r)), {}});
            return !handoff.stopped();
        };
        events.problem = [&](std::int64_t line, const QString& problem) {
            hand({Handed::Kind::Problem, line, {}, problem});
        };
        events.progress = [&](std::int64_t bytes) {
            if (!batch.empty() && batch.back().kind == Handed::Kind::Progress)
                batch.back().number = at(bytes);
            else
                hand({Handed::Kind::Progress, at(bytes), {}, {}});
        };
        std::exception_ptr error;
        try {
            read(events);
            handoff.put(std::move(batch));
        } catch (...) {
            error = std::current_exception();
        }
        handoff.finish(error);
    });
    // Whatever ends the taking here, the reader is told to stop and waited for.
    const auto joined = qScopeGuard([&] {
        handoff.stop();
        reader.join();
    });
    bool taking = true;
    while (taking) {
        auto batch = handoff.take();
        if (!batch)
            break;
        for (Handed& h : *batch) {
            if (h.kind == Handed::Kind::Recipe)
                taking = take.recipe(std::move(h.recipe));
            else if (h.kind == Handed::Kind::Problem)
                take.problem(h.number, h.problem);
            else
                take.progress(h.number);
            if (!taking)
                break;
        }
        spent.put(std::move(*batch));
    }
    if (taking && handoff.error())
        std::rethrow_exception(handoff.error());
}

// One import, file after file.
struct Importing
{
    RecipeRows& rows;
    RecipeInserter inserter;
    const ImportReport& report;
    ImportSummary summary;
    std::int64_t done = 0, total = 0; // bytes

    void refuseFile(const QString& file, const QString& problem)
    {
        ++summary.refused;
        if (report.refusedFile)
            report.refusedFile(file, problem);
    }

    // Adds the recipes of a file whose format is known; one refused whole adds nothing. False
    // when cancelled.
    bool addFile(const QString& file, Format format, const FetchedPage* page, std::int64_t size);
};

bool Importing::addFile(const QString& file, Format format, const FetchedPage* page, std::int64_t size)
{
    rows.beginPart();
    const ImportSummary before = summary;
    int found = 0, problems = 0;
    bool stopped = false;
    Taking take;
    take.recipe = [&](RecipeInserter::Prepared&& r) {
        ++found;
        ++(inserter.add(std::move(r)) ? summary.imported : summary.duplicates);
        stopped = stopped || (report.progress && !report.progress(summary, done, total));
        return !stopped;
    };
    take.problem = [&](std::int64_t line, const QString& problem) {
        ++problems;
        ++summary.refused;
        if (report.refusedRecipe)
            report.refusedRecipe(file, line, problem);
    };
    take.progress = [&](std::int64_t at) {
        stopped = stopped || (report.progress && !report.progress(summary, done + at, total));
    };
    // Readers count the bytes they were given, which are not the file's when it was decoded.
    // A fetched page is decoded by the page reader itself, by its charset.
    TextSource text(file);
    QBuffer body;
    if (page)
        body.setData(page->body);
    QIODevice& in = page ? static_cast<QIODevice&>(body) : text;
    const auto at = [&](std::int64_t bytes) {
        return format == Format::Access || page ? bytes : std::int64_t(text.filePos());
    };
    try {
        if (!page && (format == Format::MealMaster || format == Format::Json)) {
            const auto read = [&](const ReadEvents& events) {
                readRecipes(format, file, nullptr, in, events, size, stopped);
            };
            readAlongside(read, inserter, at, take);
        } else {
            ReadEvents events;
            events.recipe = [&](RecipeValues&& r, std::int64_t) {
                return take.recipe(inserter.prepare(std::move(r)));
            };
            events.problem = take.problem;
            events.progress = [&](std::int64_t bytes) { take.progress(at(bytes)); };
            readRecipes(format, file, page, in, events, size, stopped);
        }
        if (!stopped && found == 0 && problems == 0) // a cancelled file is no refused one
            throw ReadError(QStringLiteral("nothing in it is a recipe Pantrio can read"));
        rows.keepPart();
    } catch (const ReadError& e) {
        rows.dropPart();
        summary = before;
        refuseFile(file, e.message());
    }
    done += size;
    return !stopped;
}

} // namespace

ImportSummary importFiles(RecipeRows& rows, std::int64_t firstFreeId, const QStringList& files,
                          bool allowDuplicates, const ImportReport& report,
                          const QHash<QString, FetchedPage>& pages)
{
    Importing import{rows, RecipeInserter(rows, firstFreeId, allowDuplicates), report, {}};
    for (const QString& file : files)
        import.total += pages.contains(file) ? pages[file].body.size() : QFileInfo(file).size();

    for (const QString& file : files) {
        const QFileInfo info(file);
        const auto page = pages.find(file);
        const bool fetched = page != pages.end();
        if (!fetched && !info.exists()) {
            import.refuseFile(file, QStringLiteral("the file does not exist"));
            continue;
        }
        if (!fetched && info.isDir()) {
            import.refuseFile(file, QStringLiteral("it is a folder, not a file"));
            continue;
        }
        const std::int64_t size = fetched ? page->body.size() : info.size();
        const Format format = fetched ? detectFormat(page->body, QUrl(file).path()) : detectFormat(file);
        if (format == Format::Unknown || (format == Format::Access && fetched)) {
            import.refuseFile(file, fetched ? QStringLiteral("the page holds no recipe Pantrio can read")
                                            : QStringLiteral("nothing in it is a recipe Pantrio can read"));
            import.done += size;
            continue;
        }
        if (!import.addFile(file, format, fetched ? &*page : nullptr, size)) {
            import.summary.cancelled = true;
            break;
        }
    }
    import.summary.firstId = import.inserter.firstAdded();
    return import.summary;
}

void readCollection(RecipeRows& rows, const std::function<bool(const RecipeValues&)>& row)
{
    rows.forEach([&](std::int64_t, const RecipeValues& values) { return row(values); });
}

} // namespace pantrio::exchange
