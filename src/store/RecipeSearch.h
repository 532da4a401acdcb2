#pragma once

#include "FindIndex.h"
#include "SearchCondition.h"

#include <QByteArray>

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>

namespace pantrio {

namespace sqlite {
class Database;
}

// Finds recipes for a cursor. Three parts, each for a reason:
// - the key table `RecipeFindKeys`, a copy of the searched fields that triggers keep current
//   whoever writes the table, so that loading the index reads a narrow table, not the wide rows;
// - the in-memory FindIndex, so that a search over a large collection is a memory scan;
// - a row-by-row pass over the recipe table, for conditions on fields the index does not hold.
// Files written by another program lack the key table; the index is then loaded from the rows.
class RecipeSearch
{
public:
    // The key table and its triggers, as SQL run when a recipe file is created.
    static QByteArray schema();

    // The first recipe after `afterId` (exclusive) that matches and is in `snapshot`
    // (ascending ids): rows another program added since the snapshot are passed over.
    std::optional<std::int64_t> findAfter(sqlite::Database& db, const SearchCondition& condition,
                                          std::int64_t afterId, std::span<const std::int64_t> snapshot);

    // The cursor's own changes, so that the index need not be reloaded for them.
    void noteAdded(std::int64_t id, const RecipeValues& values);
    void noteChanged(std::int64_t id, const RecipeValues& values, const std::bitset<FieldCount>& changed);
    void noteDeleted(std::int64_t id);
    void clear();

private:
    void loadIfStale(sqlite::Database& db);
    std::optional<std::int64_t> scanTable(sqlite::Database& db, const SearchCondition& condition,
                                          std::int64_t afterId, std::span<const std::int64_t> snapshot);

    FindIndex index_;
    std::int64_t dataVersion_ = -1;
};

} // namespace pantrio
