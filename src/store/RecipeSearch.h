#pragma once

#include "FindIndex.h"
#include "SearchCondition.h"
#include "WordIndex.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <QByteArray>
#include <span>
#include <thread>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// Finds recipes for a cursor. Three parts, each for a reason:
// - the key table `RecipeFindKeys`, a copy of the searched fields that triggers keep current
//   whoever writes the table, so that loading the index reads a narrow table, not the wide rows;
// - the in-memory FindIndex, so that a search over a large collection is a memory scan;
// - a row-by-row pass over the recipe table, for conditions on fields the index does not hold;
//   for text anywhere in a recipe, over only the id ranges the word index leaves open.
// Files written by another program lack the key table; the index is then loaded from the rows.
//
// At a million recipes loading the index takes a noticeable part of a second, so a cursor
// starts it on a worker thread once the window shows the first recipe. The worker reads through the cursor's
// own connection: in exclusive mode that connection holds the file's write lock, so a second
// one could not read at all, and taking a reader's lock before it would only make the open
// wait for the reader. The connection is serialized by the engine, and the worker holds it
// for one batch of rows at a time, so the window's own reads and saves wait a few
// milliseconds at most and commit at once. A search waits for the rest of a running load;
// the index it searches is always complete. Changes the cursor makes during the load are
// kept and applied to the loaded index; other programs' changes show in the data version
// read before the first batch, which makes the next search load again.
class RecipeSearch
{
public:
    struct LoadOptions
    {
        int batchRows = 4096;
        std::function<void()> afterBatch; // on the worker, between batches
        // On the worker, always, before the index: other reading through the connection that is
        // wanted sooner, done there so that it does not compete with the index for the connection.
        std::function<void()> first = {};
    };

    RecipeSearch() = default;
    ~RecipeSearch(); // stops a running load
    RecipeSearch(const RecipeSearch&) = delete;
    RecipeSearch& operator=(const RecipeSearch&) = delete;

    // The key table and its triggers, as SQL run when a recipe file is created.
    static QByteArray schema();

    // Starts loading the index on a worker thread. `db` must be opened serialized
    // (SQLITE_OPEN_FULLMUTEX) and stay open until the load ends or clear() is called.
    void startLoading(sqlite::Database& db);
    void startLoading(sqlite::Database& db, LoadOptions options);

    // The first recipe after `afterId` (exclusive) that matches and is in `snapshot`
    // (ascending ids): rows another program added since the snapshot are passed over.
    std::optional<std::int64_t> findAfter(sqlite::Database& db, const SearchCondition& condition,
                                          std::int64_t afterId, std::span<const std::int64_t> snapshot);

    // The cursor's own changes, so that the index need not be reloaded for them.
    void noteAdded(std::int64_t id, const RecipeValues& values);
    void noteChanged(std::int64_t id, const RecipeValues& values, const std::bitset<FieldCount>& changed);
    void noteDeleted(std::int64_t id);
    // After a save: every so many saves, folds the recipes waiting for the word index into it
    // if enough have gathered that reading them at every search would cost more. In its own
    // transaction.
    void noteSaved(sqlite::Database& db);
    // Inside a bulk change's transaction, before it commits.
    void catchUpWords(sqlite::Database& db);
    void clear();

private:
    struct Note
    {
        enum Kind { Added, Changed, Deleted } kind;
        std::int64_t id;
        RecipeValues values;
    };

    void loadInBackground(sqlite::Database& db, const LoadOptions& options, const std::stop_token& stop);
    void finishLoading();
    void note(Note note); // kept while a load runs, applied otherwise
    void apply(const Note& note);
    void loadIfStale(sqlite::Database& db);
    std::optional<std::int64_t> scanTable(sqlite::Database& db, const SearchCondition& condition,
                                          std::int64_t afterId, std::span<const std::int64_t> snapshot);
    std::optional<std::int64_t> scanLoosely(sqlite::Database& db, const SearchCondition& condition,
                                            std::string_view text, std::int64_t afterId,
                                            std::span<const std::int64_t> snapshot);

    FindIndex index_;
    std::int64_t dataVersion_ = -1;
    WordIndex words_;
    int savesSinceCatchUp_ = 0;

    std::vector<Note> notes_; // the cursor's changes while a load runs
    // Written by the worker only; read after joining it.
    FindIndex loaded_;
    std::int64_t loadedVersion_ = -1;
    bool loadComplete_ = false;
    std::jthread loader_; // last: stopped and joined before the members above go
};

} // namespace pantrio
