#include "RecipeSearch.h"

#include "FindKeyTable.h"
#include "RecipeTable.h"
#include "Sqlite.h"
#include "StoreError.h"
#include "TextFolding.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <sqlite3.h>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");

bool inSnapshot(std::span<const std::int64_t> snapshot, std::int64_t id)
{
    return std::binary_search(snapshot.begin(), snapshot.end(), id);
}

std::int64_t dataVersion(sqlite::Database& db)
{
    sqlite::Statement v(db, "PRAGMA data_version", ReadAction);
    return v.step() ? v.int64(0) : 0;
}

// The key fields of every row, ascending by id; from the narrow key table when the file has one.
// In batches: the rows after id ?1, at most ?2 of them.
QByteArray keyRowsSql(bool keyTable, bool batched)
{
    const QByteArray keys = RecipeTable::columnList(FindIndex::KeyFields);
    const QByteArray id = keyTable ? "id" : "rowid";
    return "SELECT " + id + ", " + keys + (keyTable ? " FROM RecipeFindKeys" : " FROM Recipes") +
           (batched ? " WHERE " + id + " > ?1" : QByteArray()) + " ORDER BY " + id +
           (batched ? " LIMIT ?2" : "");
}

// One batch of rows as stored, copied out under the connection's lock and folded after it.
struct Batch
{
    std::vector<std::int64_t> ids;
    std::array<std::string, FindIndex::KeyCount> text;
    std::array<std::vector<std::optional<std::pair<std::size_t, std::size_t>>>, FindIndex::KeyCount> spans;

    void clear()
    {
        ids.clear();
        for (auto& t : text)
            t.clear();
        for (auto& s : spans)
            s.clear();
    }
};

} // namespace

RecipeSearch::~RecipeSearch() = default;

QByteArray RecipeSearch::schema()
{
    return FindKeyTable::schema();
}

void RecipeSearch::startLoading(sqlite::Database& db)
{
    startLoading(db, LoadOptions());
}

void RecipeSearch::startLoading(sqlite::Database& db, LoadOptions options)
{
    clear();
    loader_ = std::jthread([this, &db, options = std::move(options)](std::stop_token stop) {
        loadInBackground(db, options, stop);
    });
}

void RecipeSearch::loadInBackground(sqlite::Database& db, const LoadOptions& options,
                                    const std::stop_token& stop)
{
    if (options.first)
        options.first();
    try {
        QByteArray sql;
        {
            const sqlite::ConnectionLock lock(db);
            loadedVersion_ = dataVersion(db);
            sql = keyRowsSql(FindKeyTable::usable(db), true);
        }
        loaded_.beginLoad();
        Batch batch;
        std::int64_t after = std::numeric_limits<std::int64_t>::min();
        for (;;) {
            batch.clear();
            {
                // Each batch is its own statement, finished before the lock is left: a statement
                // left running would keep the window's connection busy between batches.
                sqlite::ConnectionLock lock(db);
                // Only what is committed: a save the cursor is in the middle of may still be
                // rolled back, and would then never be noted.
                while (!sqlite3_get_autocommit(db.handle())) {
                    lock.unlock();
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                    if (stop.stop_requested())
                        return;
                    lock.relock();
                }
                sqlite::Statement rows(db, sql.constData(), ReadAction);
                rows.bind(1, after);
                rows.bind(2, std::int64_t(options.batchRows));
                while (rows.step()) {
                    batch.ids.push_back(rows.int64(0));
                    for (int k = 0; k < FindIndex::KeyCount; ++k) {
                        int size = 0;
                        const char* data = rows.utf8(k + 1, &size);
                        auto& span = batch.spans[size_t(k)].emplace_back();
                        if (data) {
                            span.emplace(batch.text[size_t(k)].size(), size_t(size));
                            batch.text[size_t(k)].append(data, size_t(size));
                        }
                    }
                }
            }
            for (std::size_t i = 0; i < batch.ids.size(); ++i) {
                FindIndex::StoredKeys keys;
                for (int k = 0; k < FindIndex::KeyCount; ++k)
                    if (const auto& span = batch.spans[size_t(k)][i])
                        keys[size_t(k)] =
                            std::string_view(batch.text[size_t(k)]).substr(span->first, span->second);
                loaded_.addLoaded(batch.ids[i], keys);
            }
            if (stop.stop_requested())
                return;
            if (int(batch.ids.size()) < options.batchRows)
                break;
            after = batch.ids.back();
            if (options.afterBatch)
                options.afterBatch();
        }
        loaded_.endLoad();
        loadComplete_ = true;
    } catch (...) {
        // Left to the search, which loads the index itself and reports what fails.
    }
}

// Adopts the worker's index once it is complete, with the changes made meanwhile.
void RecipeSearch::finishLoading()
{
    if (!loader_.joinable())
        return;
    loader_.join();
    if (loadComplete_) {
        index_ = std::move(loaded_);
        dataVersion_ = loadedVersion_;
        for (const Note& n : notes_)
            apply(n);
    }
    loaded_ = {};
    loadComplete_ = false;
    notes_.clear();
}

void RecipeSearch::note(Note note)
{
    if (loader_.joinable())
        notes_.push_back(std::move(note));
    else
        apply(note);
}

void RecipeSearch::apply(const Note& note)
{
    switch (note.kind) {
    case Note::Added:
        index_.noteAppended(note.id, note.values);
        break;
    case Note::Changed:
        index_.noteChanged(note.id, note.values);
        break;
    case Note::Deleted:
        index_.noteDeleted(note.id);
        break;
    }
}

// Another program's change shows in the engine's data version; the index is then read anew.
void RecipeSearch::loadIfStale(sqlite::Database& db)
{
    finishLoading();
    const std::int64_t version = dataVersion(db);
    if (index_.loaded() && version == dataVersion_)
        return;
    sqlite::Statement rows(db, keyRowsSql(FindKeyTable::usable(db), false).constData(), ReadAction);
    index_.load(rows);
    dataVersion_ = version;
}

std::optional<std::int64_t> RecipeSearch::findAfter(sqlite::Database& db, const SearchCondition& condition,
                                                    std::int64_t afterId,
                                                    std::span<const std::int64_t> snapshot)
{
    if (condition.ignoresAccents()) {
        // Text anywhere, the same text for every field: the word index can rule recipes out.
        const auto& terms = condition.terms();
        const auto text = terms.front().pattern.containedText();
        if (text && std::all_of(terms.begin(), terms.end(), [&](const SearchCondition::Term& t) {
                return t.pattern.ignoresAccents() && t.pattern.containedText() == text;
            }))
            return scanLoosely(db, condition, *text, afterId, snapshot);
        return scanTable(db, condition, afterId, snapshot);
    }
    // The index holds its fields folded for letter case only.
    if (!condition.usesOnly(FindIndex::KeyFields))
        return scanTable(db, condition, afterId, snapshot);
    loadIfStale(db);
    std::int64_t from = afterId;
    while (const auto hit = index_.findAfter(condition, from)) {
        if (inSnapshot(snapshot, *hit))
            return hit;
        from = *hit;
    }
    return std::nullopt;
}

std::optional<std::int64_t> RecipeSearch::scanTable(sqlite::Database& db, const SearchCondition& condition,
                                                    std::int64_t afterId,
                                                    std::span<const std::int64_t> snapshot)
{
    const QByteArray sql =
        "SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes WHERE rowid > ? ORDER BY rowid";
    sqlite::Statement rows(db, sql.constData(), ReadAction);
    rows.bind(1, afterId);
    while (rows.step()) {
        const std::int64_t id = rows.int64(0);
        if (!inSnapshot(snapshot, id))
            continue;
        RecipeValues v;
        for (Field f : allFields)
            v[f] = rows.text(int(fieldIndex(f)) + 1);
        if (condition.matches(v))
            return id;
    }
    return std::nullopt;
}

std::optional<std::int64_t> RecipeSearch::scanLoosely(sqlite::Database& db, const SearchCondition& condition,
                                                      std::string_view text, std::int64_t afterId,
                                                      std::span<const std::int64_t> snapshot)
{
    const auto ranges = words_.candidates(db, text, afterId);
    const QByteArray sql = "SELECT rowid, " + RecipeTable::columnList() +
                           " FROM Recipes WHERE rowid BETWEEN ?1 AND ?2 ORDER BY rowid";
    sqlite::Statement rows(db, sql.constData(), ReadAction);
    std::string folded;
    const auto search = [&](std::int64_t from, std::int64_t to) -> std::optional<std::int64_t> {
        rows.reset();
        rows.bind(1, from);
        rows.bind(2, to);
        while (rows.step()) {
            const std::int64_t id = rows.int64(0);
            if (!inSnapshot(snapshot, id))
                continue;
            for (const auto& term : condition.terms()) {
                int size = 0;
                const char* value = rows.utf8(int(fieldIndex(term.field)) + 1, &size);
                if (!value)
                    continue;
                folded.clear();
                appendFoldedLoosely(folded, std::string_view(value, std::size_t(size)));
                if (memmem(folded.data(), folded.size(), text.data(), text.size()))
                    return id;
            }
        }
        return std::nullopt;
    };
    if (!ranges)
        return search(afterId == std::numeric_limits<std::int64_t>::max() ? afterId : afterId + 1,
                      std::numeric_limits<std::int64_t>::max());
    for (const auto& [from, to] : *ranges)
        if (const auto hit = search(from, to))
            return hit;
    return std::nullopt;
}

void RecipeSearch::noteSaved(sqlite::Database& db)
{
    // Below this many, reading the waiting recipes at a search costs well under a millisecond;
    // counting this program's own saves spares every save a look at the table.
    constexpr int WaitingAtMost = 256;
    if (++savesSinceCatchUp_ < WaitingAtMost)
        return;
    savesSinceCatchUp_ = 0;
    const QString action = QStringLiteral("index the words of the recipe file");
    try {
        if (!WordIndex::presentIn(db) || WordIndex::pendingCount(db) < WaitingAtMost)
            return;
        db.exec("BEGIN IMMEDIATE", action);
        if (WordIndex::catchUpQuietly(db))
            words_.forget();
        db.exec("COMMIT", action); // through the connection, which notes the file as its own again
    } catch (const StoreError&) {
        // The recipes stay waiting, and are read at each search meanwhile.
        if (!sqlite3_get_autocommit(db.handle()))
            sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

void RecipeSearch::catchUpWords(sqlite::Database& db)
{
    words_.forget();
    try {
        if (WordIndex::presentIn(db))
            WordIndex::catchUpQuietly(db);
    } catch (const StoreError&) {
        // The recipes stay waiting for the index; the bulk change itself goes on.
    }
}

void RecipeSearch::noteAdded(std::int64_t id, const RecipeValues& values)
{
    note({Note::Added, id, values});
}

void RecipeSearch::noteChanged(std::int64_t id, const RecipeValues& values,
                               const std::bitset<FieldCount>& changed)
{
    for (Field f : FindIndex::KeyFields)
        if (changed.test(fieldIndex(f))) {
            note({Note::Changed, id, values});
            return;
        }
}

void RecipeSearch::noteDeleted(std::int64_t id)
{
    note({Note::Deleted, id, {}});
}

void RecipeSearch::clear()
{
    if (loader_.joinable()) {
        loader_.request_stop();
        loader_.join();
    }
    loaded_ = {};
    loadComplete_ = false;
    notes_.clear();
    index_.clear();
    dataVersion_ = -1;
    words_.forget();
}

} // namespace pantrio
