#pragma once

#include "RecipeFields.h"
#include "RecipeRows.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <QString>
#include <span>

namespace pantrio {

class RecipeListSource;
class SearchCondition;
class Snapshot;

// The engine under a RecordCursor: a collection file or a database server. Throws StoreError.
class CollectionStore
{
public:
    using Changed = std::bitset<FieldCount>;

    virtual ~CollectionStore() = default;

    // The file's path or the server's address as given (never with a password).
    virtual const QString& location() const = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    virtual Snapshot& snapshot() = 0;
    // Reads ahead on a worker thread what later moves and searches need.
    virtual void startBackgroundWork() = 0;
    // Told once when the copy before the first change fails; the change goes on.
    virtual void setOnBackupFailed(std::function<void(const QString& message)> onFailed) = 0;

    // The recipe's values and its version; false when it is gone.
    virtual bool readRow(std::int64_t id, RecipeValues& values, std::int64_t& version) = 0;
    // A new recipe above `highestId`; returns its id.
    virtual std::int64_t insert(const RecipeValues& values, std::int64_t highestId) = 0;
    // Writes the `changed` fields of `values` into recipe `id` if it is still as read
    // (`read`, `readVersion`): otherwise ChangedByOther, or RecordDeleted. Returns the new version.
    virtual std::int64_t update(std::int64_t id, const RecipeValues& read, std::int64_t readVersion,
                                const RecipeValues& values, const Changed& changed) = 0;
    virtual void remove(std::int64_t id) = 0;
    // One transaction, committed when `work` returns true, rolled back when it returns false
    // or throws. False when rolled back.
    virtual bool transact(const std::function<bool(RecipeRows& rows)>& work) = 0;
    // One consistent read of the whole table.
    virtual void read(const std::function<void(RecipeRows& rows)>& work) = 0;

    // The first recipe after `afterId` in `snapshot` that matches.
    virtual std::optional<std::int64_t> findAfter(const SearchCondition& condition, std::int64_t afterId,
                                                  std::span<const std::int64_t> snapshot) = 0;
    // The cursor's own changes, for the search to follow.
    virtual void noteAdded(std::int64_t id, const RecipeValues& values) = 0;
    virtual void noteChanged(std::int64_t id, const RecipeValues& values, const Changed& changed) = 0;
    virtual void noteDeleted(std::int64_t id) = 0;
    virtual void noteSaved() = 0;
    virtual void forgetSearch() = 0; // after a bulk change

    // Reads for a list of every recipe.
    virtual RecipeListSource listSource() = 0;
};

} // namespace pantrio
