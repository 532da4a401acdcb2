#include "RecipeImport.h"

#include "AccessFile.h"
#include "RecipeText.h"
#include "store/RecipeTable.h"
#include "TextSource.h"

#include <QBuffer>
#include <QFileInfo>
#include <QUrl>

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

bool RecipeInserter::add(const RecipeValues& read)
{
    RecipeValues recipe = read;
    tidyRecipe(recipe);
    std::uint64_t key = 0;
    if (!allowDuplicates_) {
        key = recipeKey(recipe);
        if (isDuplicate(recipe, key))
            return false;
    }
    const std::int64_t id = nextId_++;
    rows_.insert(id, recipe);
    if (!allowDuplicates_)
        keys_.emplace(key, id);
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

} // namespace

ImportSummary importFiles(RecipeRows& rows, std::int64_t firstFreeId, const QStringList& files,
                          bool allowDuplicates, const ImportReport& report,
                          const QHash<QString, FetchedPage>& pages)
{
    RecipeInserter inserter(rows, firstFreeId, allowDuplicates);
    ImportSummary summary;
    std::int64_t total = 0, done = 0;
    for (const QString& file : files)
        total += pages.contains(file) ? pages[file].body.size() : QFileInfo(file).size();

    for (const QString& file : files) {
        const auto refuseFile = [&](const QString& problem) {
            ++summary.refused;
            if (report.refusedFile)
                report.refusedFile(file, problem);
        };
        const QFileInfo info(file);
        const auto page = pages.find(file);
        const bool fetched = page != pages.end();
        if (!fetched && !info.exists()) {
            refuseFile(QStringLiteral("the file does not exist"));
            continue;
        }
        if (!fetched && info.isDir()) {
            refuseFile(QStringLiteral("it is a folder, not a file"));
            continue;
        }
        const std::int64_t size = fetched ? page->body.size() : info.size();
        const Format format = fetched ? detectFormat(page->body, QUrl(file).path()) : detectFormat(file);
        if (format == Format::Unknown || (format == Format::Access && fetched)) {
            refuseFile(fetched ? QStringLiteral("the page holds no recipe Pantrio can read")
                               : QStringLiteral("nothing in it is a recipe Pantrio can read"));
            done += size;
            continue;
        }

        // A file refused whole takes back what it had added already.
        rows.beginPart();
        const ImportSummary before = summary;
        int found = 0, problems = 0;
        bool stopped = false;
        ReadEvents events;
        events.recipe = [&](RecipeValues&& r, std::int64_t) {
            ++found;
            if (inserter.add(r))
                ++summary.imported;
            else
                ++summary.duplicates;
            if (report.progress && !report.progress(summary, done, total))
                stopped = true;
            return !stopped;
        };
        events.problem = [&](std::int64_t line, const QString& problem) {
            ++problems;
            ++summary.refused;
            if (report.refusedRecipe)
                report.refusedRecipe(file, line, problem);
        };
        // Readers count the bytes they were given, which are not the file's when it was decoded.
        // A fetched page is decoded by the page reader itself, by its charset.
        TextSource text(file);
        QBuffer body;
        if (fetched)
            body.setData(page->body);
        QIODevice& in = fetched ? static_cast<QIODevice&>(body) : text;
        events.progress = [&](std::int64_t bytes) {
            const std::int64_t at = format == Format::Access || fetched ? bytes : text.filePos();
            if (report.progress && !stopped && !report.progress(summary, done + at, total))
                stopped = true;
        };
        try {
            readRecipes(format, file, fetched ? &*page : nullptr, in, events, size, stopped);
            if (!stopped && found == 0 && problems == 0) // a cancelled file is no refused one
                throw ReadError(QStringLiteral("nothing in it is a recipe Pantrio can read"));
            rows.keepPart();
        } catch (const ReadError& e) {
            rows.dropPart();
            summary = before;
            refuseFile(e.message());
        }
        done += size;
        if (stopped) {
            summary.cancelled = true;
            break;
        }
    }
    summary.firstId = inserter.firstAdded();
    return summary;
}

void readCollection(RecipeRows& rows, const std::function<bool(const RecipeValues&)>& row)
{
    rows.forEach([&](std::int64_t, const RecipeValues& values) { return row(values); });
}

} // namespace pantrio::exchange
