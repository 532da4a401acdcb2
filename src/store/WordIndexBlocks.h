#pragma once

#include "WordIndex.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

// How the word index stores a word's blocks; shared by its writing and its reading.
namespace pantrio::WordIndexBlocks {

// Blocks, ascending and unique.
using Blocks = std::vector<std::uint32_t>;

// A block that holds a word, and which of its 64 recipes (bit n: the id block * 64 + n) did
// when they were indexed.
struct BlockRecipes
{
    std::uint32_t block;
    std::uint64_t recipes;
};

// A word's row: this tag, then for each block, ascending, the gap from the one before as a
// varint and its recipes: a count of 1 to 7 followed by that many recipe numbers, or
// MaskFollows and the 64 bits, least significant byte first.
constexpr char RecipesTag = 2;
constexpr unsigned MostListedRecipes = 7;
constexpr unsigned MaskFollows = 8;

// Ids beyond this do not fit a block number; such recipes stay pending and are always read.
constexpr std::int64_t HighestIndexedId = (std::int64_t(1) << (32 + WordIndex::BlockShift)) - 1;

// Reads a row whatever it holds: a row written otherwise, or cut short, ends where it stops
// making sense.
template <typename F> void forEachBlockRecipes(std::string_view row, F f)
{
    if (row.empty() || row[0] != RecipesTag)
        return;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(row[i]); };
    std::uint32_t block = 0;
    for (std::size_t i = 1; i < row.size();) {
        std::uint32_t gap = 0;
        for (int shift = 0; i < row.size() && shift < 35; shift += 7) {
            const unsigned c = byte(i++);
            gap |= std::uint32_t(c & 0x7F) << shift;
            if (!(c & 0x80))
                break;
        }
        if (i >= row.size())
            return;
        const unsigned count = byte(i++);
        std::uint64_t recipes = 0;
        if (count == MaskFollows) {
            if (row.size() - i < 8)
                return;
            for (int b = 7; b >= 0; --b)
                recipes = (recipes << 8) | byte(i + std::size_t(b));
            i += 8;
        } else if (count >= 1 && count <= MostListedRecipes && row.size() - i >= count) {
            for (unsigned n = 0; n < count; ++n)
                recipes |= std::uint64_t(1) << (byte(i++) & 63);
        } else {
            return;
        }
        block += gap;
        f(BlockRecipes{block, recipes});
    }
}

template <typename F> void forEachBlock(std::string_view row, F f)
{
    forEachBlockRecipes(row, [&](const BlockRecipes& b) { f(b.block); });
}

} // namespace pantrio::WordIndexBlocks
