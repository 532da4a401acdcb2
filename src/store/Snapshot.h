#pragma once

#include "OpenMode.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// The recipes a cursor walks: their ids in table order, as read at open (or at the last
// reload), kept up to date with the cursor's own adds and deletes.
//
// Held exclusively, a large table is only counted and its first ids read at open; the rest is
// read on a worker (restReader()) or when something first reaches past what was read.
class Snapshot
{
public:
    // How an engine other than a file reads the ids, ascending.
    struct Reader
    {
        // The first `limit` ids after `after` (none: from the start; a limit of 0: all of them).
        std::function<std::vector<std::int64_t>(std::optional<std::int64_t> after, int limit)> ids;
        std::function<int()> count;
    };

    explicit Snapshot(sqlite::Database& db) : db_(&db) {}
    explicit Snapshot(Reader reader) : reader_(std::move(reader)) {}

    // The count and the first ids when the file is held alone and has its order index;
    // otherwise every id.
    void open(OpenMode mode);
    void reload(); // every id again; what a worker reads of the old list is dropped

    int count() const { return complete_ ? int(ids_.size()) : count_; }
    bool isEmpty() const { return count() == 0; }
    // The id at `pos` (0 <= pos < count()).
    std::int64_t at(int pos);
    int indexOf(std::int64_t id);        // -1 when it is not in the list
    std::span<const std::int64_t> all(); // completes the list first
    // The highest id the list ever held, for a new recipe to go above: ids only grow, so a
    // deleted recipe's id is never taken while bookmarks to it may still be held.
    std::int64_t highestId();

    void append(std::int64_t id);
    void removeAt(int pos);

    // Reads the rest of the list, for a worker thread that shares the file's connection; the
    // list takes it when it next needs the rest. Empty when there is nothing left to read.
    std::function<void()> restReader();

private:
    struct RestLoad
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        bool complete = false;
        std::vector<std::int64_t> ids;
    };

    void readStart(); // the first ids and the count
    void complete();
    void readRest(std::vector<std::int64_t>& ids);
    void collectIds(std::vector<std::int64_t>& ids, const char* sql, std::optional<std::int64_t> after);
    void noteHighest();

    sqlite::Database* db_ = nullptr;
    Reader reader_;
    std::vector<std::int64_t> ids_; // ascending rowids = table order; while not complete, only its start
    bool complete_ = true;
    bool held_ = false; // the collection is held alone
    int count_ = 0;     // ids in the whole list
    std::int64_t highestId_ = 0;
    std::shared_ptr<RestLoad> restLoad_;
};

} // namespace pantrio
