#pragma once

#include "store/RecipeTable.h"

#include <cstdint>
#include <string>

namespace pantrio::bench {

// Search texts the benchmark relies on. The generator's vocabulary never produces them,
// except where it places them on purpose.
inline constexpr const char* NoMatchText = "gazpacho";      // found nowhere
inline constexpr const char* NearEndText = "bouillabaisse"; // in one recipe name near the end
inline constexpr const char* DeletableText = "cassoulet";   // in a run of names mid-collection
inline constexpr const char* CommonWordsText = "salt cup";  // both words nearly everywhere, never side by side
inline constexpr std::int64_t DeletableCount = 101;
inline constexpr std::int64_t MinimumCount = 1000;

// Recipes of realistic sizes and varied wording: a category and name of tens of bytes, a
// one-line description, about a kilobyte each of ingredients and numbered instructions, and
// notes on most of them. Row i depends only on the seed and i, so a collection is the same
// whatever its size and whichever process writes it.
class RecipeGenerator
{
public:
    explicit RecipeGenerator(std::int64_t count, std::uint64_t seed = 0x5eed'0f'7ab1e5ULL);

    std::int64_t count() const { return count_; }
    std::int64_t nearEndRow() const { return count_ - 1 - count_ / 1000; }
    std::int64_t firstDeletableRow() const { return count_ / 2; }

    // Row `i` (0-based); rows at or past count() are extra recipes in the same style.
    RecipeValues row(std::int64_t i) const;

    // Writes the whole collection with RecipeTable::createFile. Throws StoreError.
    void writeFile(const QString& path) const;

private:
    std::int64_t count_;
    std::uint64_t seed_;
};

} // namespace pantrio::bench
