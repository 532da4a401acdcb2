#pragma once

#include "SearchCondition.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pantrio {

namespace sqlite {
class Statement;
}

// The searched fields of every row, case-folded and packed, so that a search over a large
// collection is a memory scan instead of a pass over the whole file. Rows are kept in rowid
// order; changes are applied as they are noted.
class FindIndex
{
public:
    static constexpr std::array<Field, 2> KeyFields = {Field::FoodCategoryID, Field::RecipeName};
    static constexpr int KeyCount = int(KeyFields.size());
    // A row's key fields as stored (UTF-8, not yet folded); no value for a missing one.
    using StoredKeys = std::array<std::optional<std::string_view>, KeyCount>;

    // From rows of (id, key fields in KeyFields order), ascending by id.
    void load(sqlite::Statement& rows);
    // The same in steps, for a load that reads its rows a batch at a time.
    void beginLoad();
    void addLoaded(std::int64_t id, const StoredKeys& keys);
    void endLoad() { loaded_ = true; }
    bool loaded() const { return loaded_; }
    void clear();

    // First row after `afterId` (exclusive) that matches; only for conditions on KeyFields.
    std::optional<std::int64_t> findAfter(const SearchCondition& condition, std::int64_t afterId) const;

    void noteAppended(std::int64_t id, const RecipeValues& values);
    void noteChanged(std::int64_t id, const RecipeValues& values);
    void noteDeleted(std::int64_t id);

private:
    struct Column
    {
        std::string text;                  // each row's folded value followed by '\0'
        std::vector<std::uint64_t> starts; // row i spans [starts[i], starts[i+1]-1)
    };
    static_assert(KeyCount < 8, "a row's flags hold one bit per key and one for a row gone");
    using Keys = std::array<std::optional<std::string>, KeyCount>;
    struct KeyTerm
    {
        int key; // into KeyFields
        const LikePattern* pattern;
    };
    using KeyTerms = std::vector<KeyTerm>;

    static Keys keysOf(const RecipeValues& values);
    static KeyTerms keyTerms(const SearchCondition& condition);
    void append(std::int64_t id, const Keys& keys);
    template <typename KeyArray, typename Write>
    void appendRow(std::int64_t id, const KeyArray& keys, Write write);
    std::optional<std::size_t> rowOf(std::int64_t id) const;
    bool rowMatches(std::size_t row, const KeyTerms& terms) const;
    static bool keysMatch(const Keys& keys, const KeyTerms& terms);
    std::optional<std::size_t> scanTerm(const KeyTerm& term, std::size_t fromRow) const;

    bool loaded_ = false;
    std::vector<std::int64_t> ids_;
    std::array<Column, KeyCount> columns_;
    std::vector<std::uint8_t> flags_; // per row: bit k set = key k has no value; bit 7 = row gone
    std::unordered_map<std::int64_t, Keys> changed_; // rows edited since load
};

} // namespace pantrio
