#pragma once

#include "RecipeFields.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace pantrio {

// The recipe table of an open collection inside one transaction, whichever engine holds it:
// what an import writes through and an export reads through. Throws StoreError.
class RecipeRows
{
public:
    virtual ~RecipeRows() = default;

    virtual std::int64_t highestId() = 0; // 0 for an empty table
    // A new recipe with an id above every one in the table.
    virtual void insert(std::int64_t id, const RecipeValues& values) = 0;
    virtual std::optional<RecipeValues> fetch(std::int64_t id) = 0;
    // Every recipe in the table's order; `row` returns false to stop.
    virtual void forEach(const std::function<bool(std::int64_t id, const RecipeValues& values)>& row) = 0;

    // A part of the transaction that can be taken back alone (one file of an import).
    virtual void beginPart() = 0;
    virtual void keepPart() = 0;
    virtual void dropPart() = 0; // nothing written since beginPart() stays
};

} // namespace pantrio
