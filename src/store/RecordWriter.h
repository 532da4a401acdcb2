#pragma once

#include "FirstChangeBackup.h"
#include "RecipeFields.h"

#include <bitset>
#include <cstdint>
#include <functional>

namespace pantrio {

namespace sqlite {
class Database;
}

// Writes recipes into an open collection. A recipe is only overwritten while it still holds
// what the caller read: when another program changed it meanwhile, the save throws
// StoreError::Kind::ChangedByOther, and RecordDeleted when it is gone.
class RecordWriter
{
public:
    using Changed = std::bitset<FieldCount>;

    // Every change first has `backup` copy the file once.
    RecordWriter(sqlite::Database& db, bool readOnly, FirstChangeBackup& backup)
        : db_(db), readOnly_(readOnly), backup_(backup)
    {}

    // A new recipe above `highestId`; returns its id.
    std::int64_t insert(const RecipeValues& values, std::int64_t highestId);
    // Writes the `changed` fields of `values` into recipe `id`, if it still holds `read`.
    void update(std::int64_t id, const RecipeValues& read, const RecipeValues& values,
                const Changed& changed);
    void remove(std::int64_t id);

    // One transaction, committed when `work` returns true and rolled back when it returns false
    // or throws; `beforeCommit` runs inside it, after the work. Nothing stays of a failed commit.
    bool transact(const std::function<bool()>& work, const std::function<void()>& beforeCommit);

private:
    void prepareChange(const QString& action);

    sqlite::Database& db_;
    bool readOnly_;
    FirstChangeBackup& backup_;
};

} // namespace pantrio
