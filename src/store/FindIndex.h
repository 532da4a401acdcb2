#pragma once

#include "Condition.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// The two searched fields of every row, case-folded and packed, so that a search over a
// large collection is a memory scan instead of a pass over the whole file. Rows are kept
// in rowid order; the cursor's own changes are applied as they happen, and a change by
// another program is noticed through the engine's data version and causes a reload.
class FindIndex
{
public:
    static constexpr int Fields = 2; // FoodCategoryID, RecipeName

    void load(sqlite::Database& db);
    bool loaded() const { return loaded_; }
    void clear();

    // First row after `afterId` (exclusive) that matches; only for conditions on the two fields.
    std::optional<std::int64_t> findAfter(const Condition& condition, std::int64_t afterId) const;

    void noteAppended(std::int64_t id, const FieldValue& category, const FieldValue& name);
    void noteChanged(std::int64_t id, const FieldValue& category, const FieldValue& name);
    void noteDeleted(std::int64_t id);

private:
    struct Column
    {
        std::string text;                  // each row's folded value followed by '\0'
        std::vector<std::uint64_t> starts; // row i spans [starts[i], starts[i+1]-1)
    };
    using Keys = std::array<std::optional<std::string>, Fields>;

    void append(std::int64_t id, const Keys& keys);
    std::optional<std::size_t> rowOf(std::int64_t id) const;
    bool rowMatches(std::size_t row, const Condition& condition) const;
    static bool keysMatch(const Keys& keys, const Condition& condition);
    std::optional<std::size_t> scanTerm(const Condition::Term& term, std::size_t fromRow) const;

    bool loaded_ = false;
    std::vector<std::int64_t> ids_;
    std::array<Column, Fields> columns_;
    std::vector<std::uint8_t> flags_; // per row: bit f set = field f has no value; bit 7 = row gone
    std::unordered_map<std::int64_t, Keys> changed_; // rows edited since load
};

} // namespace pantrio
