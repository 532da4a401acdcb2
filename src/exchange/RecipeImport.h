#pragma once

#include "RecipeFormats.h"
#include "store/RecipeRows.h"

#include <cstdint>
#include <functional>
#include <QHash>
#include <QStringList>
#include <unordered_map>

namespace pantrio::exchange {

// Adds recipes to `rows`; the caller holds the transaction. A recipe equal to one
// already there (sameRecipe) is skipped unless duplicates are allowed.
class RecipeInserter
{
public:
    // Ids start above `firstFreeId - 1` and above every id in the table, so that a new recipe
    // never takes the id of one deleted while a window may still hold a bookmark to it.
    RecipeInserter(RecipeRows& rows, std::int64_t firstFreeId, bool allowDuplicates);

    // A recipe as it is stored, with its key for finding its twins.
    struct Prepared
    {
        RecipeValues recipe;
        std::uint64_t key = 0;
    };
    // Needs nothing of the rows, so it may run on another thread than add().
    Prepared prepare(RecipeValues&& read) const;

    // True when added, false when skipped as a duplicate. Throws StoreError.
    bool add(Prepared&& recipe);
    bool add(const RecipeValues& recipe) { return add(prepare(RecipeValues(recipe))); }
    std::int64_t firstAdded() const { return firstAdded_; }

private:
    bool isDuplicate(const RecipeValues& recipe, std::uint64_t key);

    RecipeRows& rows_;
    bool allowDuplicates_;
    std::int64_t nextId_ = 1;
    std::int64_t firstAdded_ = 0;
    std::unordered_multimap<std::uint64_t, std::int64_t> keys_;
};

struct ImportSummary
{
    int imported = 0;
    int duplicates = 0;
    int refused = 0; // recipes that could not be read, and files refused whole
    std::int64_t firstId = 0;
    bool cancelled = false;
};

struct ImportReport
{
    std::function<void(const QString& file, const QString& problem)> refusedFile;
    std::function<void(const QString& file, std::int64_t line, const QString& problem)> refusedRecipe;
    // Called often; returning false stops the import (the caller then rolls back).
    std::function<bool(const ImportSummary& sofar, std::int64_t bytesDone, std::int64_t bytesTotal)> progress;
};

// A web page fetched already (PageFetcher), imported in place of a file named by its address.
struct FetchedPage
{
    QByteArray body;
    QString charset; // as the server declared it
    QString address; // where it was found after redirects; empty for the name it is imported under
};

// Reads each file by its content and adds its recipes. A file that cannot be read, or holds
// nothing recognisable, adds nothing; a recipe that cannot be read is reported and the rest
// of its file still comes in. A name that `pages` holds is read from there, as a saved page
// would be, with that address as its recipes' source.
ImportSummary importFiles(RecipeRows& rows, std::int64_t firstFreeId, const QStringList& files,
                          bool allowDuplicates, const ImportReport& report,
                          const QHash<QString, FetchedPage>& pages = {});

// Every recipe of `rows`, in the table's order; `row` returns false to stop.
void readCollection(RecipeRows& rows, const std::function<bool(const RecipeValues&)>& row);

} // namespace pantrio::exchange
