#include "Snapshot.h"

#include "Sqlite.h"

#include <algorithm>
#include <QScopeGuard>
#include <QString>
#include <sqlite3.h>
#include <utility>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");

constexpr int StartRows = 256; // read at open: the first moves need not wait for the rest

// Gathers every rowid of a scan inside the engine: one call instead of a step per row.
void collectId(sqlite3_context* context, int, sqlite3_value** args)
{
    static_cast<std::vector<std::int64_t>*>(sqlite3_user_data(context))
        ->push_back(sqlite3_value_int64(args[0]));
}

void collectDone(sqlite3_context* context)
{
    sqlite3_result_null(context);
}

bool hasOrderIndex(sqlite::Database& db)
{
    sqlite::Statement probe(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'RecipesInOrder'", ReadAction);
    return probe.step();
}

} // namespace

// Appends the rowids that `sql` hands to pantrio_collect(), bound to `after` when given.
void Snapshot::collectIds(std::vector<std::int64_t>& ids, const char* sql, std::optional<std::int64_t> after)
{
    // Held throughout, so that no statement of the search index's worker is running when the
    // function is registered or goes again.
    const sqlite::ConnectionLock lock(*db_);
    const int rc =
        sqlite3_create_function(db_->handle(), "pantrio_collect", 1, SQLITE_UTF8 | SQLITE_DIRECTONLY, &ids,
                                nullptr, collectId, collectDone);
    if (rc != SQLITE_OK)
        sqlite::fail(rc, ReadAction, db_->path());
    const auto unregister = qScopeGuard([this] {
        sqlite3_create_function(db_->handle(), "pantrio_collect", 1, SQLITE_UTF8, nullptr, nullptr, nullptr,
                                nullptr);
    });
    sqlite::Statement rows(*db_, sql, ReadAction);
    if (after)
        rows.bind(1, *after);
    rows.step();
}

// Held exclusively, the table cannot change under the cursor: the count and the first rows
// stand for the whole list until something needs the rest. Shared, another program's add or
// delete between two reads would make them disagree, and a file without the order index could
// not be read in parts without reading the wide rows: the whole list is read now.
void Snapshot::open(OpenMode mode)
{
    held_ = mode == OpenMode::Exclusive;
    if (!held_ || (!reader_.ids && !hasOrderIndex(*db_))) {
        reload();
        return;
    }
    readStart();
}

void Snapshot::readStart()
{
    std::vector<std::int64_t> ids;
    if (reader_.ids) {
        ids = reader_.ids(std::nullopt, StartRows);
    } else {
        sqlite::Statement rows(*db_, "SELECT rowid FROM Recipes INDEXED BY RecipesInOrder LIMIT ?",
                               ReadAction);
        rows.bind(1, std::int64_t(StartRows));
        while (rows.step())
            ids.push_back(rows.int64(0));
    }
    std::int64_t count = std::int64_t(ids.size());
    if (count == StartRows && reader_.count) {
        count = reader_.count();
    } else if (count == StartRows) {
        sqlite::Statement rows(*db_, "SELECT count(*) FROM Recipes", ReadAction);
        count = rows.step() ? rows.int64(0) : 0;
    }
    ids_ = std::move(ids);
    count_ = int(count);
    complete_ = count <= std::int64_t(ids_.size());
    noteHighest();
}

void Snapshot::reload()
{
    restLoad_.reset();          // what the worker reads of the old list is not wanted
    if (reader_.ids && held_) { // a server's ids come over the network: only what is needed
        readStart();
        return;
    }
    std::vector<std::int64_t> ids;
    if (reader_.ids)
        ids = reader_.ids(std::nullopt, 0);
    else
        collectIds(ids,
                   hasOrderIndex(*db_)
                       ? "SELECT pantrio_collect(rowid) FROM Recipes INDEXED BY RecipesInOrder"
                       : "SELECT pantrio_collect(rowid) FROM Recipes",
                   std::nullopt);
    if (!std::is_sorted(ids.begin(), ids.end()))
        std::sort(ids.begin(), ids.end());
    ids_ = std::move(ids);
    complete_ = true;
    noteHighest();
}

void Snapshot::noteHighest()
{
    if (!ids_.empty())
        highestId_ = std::max(highestId_, ids_.back());
}

// Appends the ids after the last one held. The order index cannot seek to a rowid; the rows
// before it are passed over inside the engine.
void Snapshot::readRest(std::vector<std::int64_t>& ids)
{
    if (reader_.ids) {
        const std::vector<std::int64_t> rest = reader_.ids(ids.back(), 0);
        ids.insert(ids.end(), rest.begin(), rest.end());
        return;
    }
    collectIds(ids, "SELECT pantrio_collect(rowid) FROM Recipes INDEXED BY RecipesInOrder WHERE rowid > ?",
               ids.back());
}

std::function<void()> Snapshot::restReader()
{
    if (complete_)
        return {};
    auto load = std::make_shared<RestLoad>();
    load->ids.reserve(size_t(count_));
    load->ids = ids_;
    restLoad_ = load;
    return [this, load] {
        std::vector<std::int64_t> ids = std::move(load->ids);
        bool complete = false;
        try {
            readRest(ids);
            complete = true;
        } catch (...) {
            // Left to what needs the rest: it reads it again and reports what fails.
        }
        const std::lock_guard lock(load->mutex);
        load->ids = std::move(ids);
        load->complete = complete;
        load->done = true;
        load->ended.notify_all();
    };
}

// Takes the rest as the worker read it, waiting for it if need be, or reads it now.
void Snapshot::complete()
{
    if (complete_)
        return;
    if (const auto load = std::exchange(restLoad_, nullptr)) {
        std::unique_lock lock(load->mutex);
        load->ended.wait(lock, [&] { return load->done; });
        if (load->complete)
            ids_ = std::move(load->ids);
    }
    if (ids_.size() < size_t(count_))
        readRest(ids_);
    complete_ = true;
    noteHighest();
}

std::int64_t Snapshot::at(int pos)
{
    if (pos >= int(ids_.size()))
        complete();
    return ids_[size_t(pos)];
}

int Snapshot::indexOf(std::int64_t id)
{
    if (!complete_ && (ids_.empty() || id > ids_.back()))
        complete();
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    return it != ids_.end() && *it == id ? int(it - ids_.begin()) : -1;
}

std::span<const std::int64_t> Snapshot::all()
{
    complete();
    return ids_;
}

std::int64_t Snapshot::highestId()
{
    complete();
    return highestId_;
}

void Snapshot::append(std::int64_t id)
{
    complete(); // the new id goes at its end
    ids_.push_back(id);
    highestId_ = std::max(highestId_, id);
}

void Snapshot::removeAt(int pos)
{
    complete();
    ids_.erase(ids_.begin() + pos);
}

} // namespace pantrio
