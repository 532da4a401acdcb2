#pragma once

#include "WordIndex.h"

#include <bit>
#include <cstdint>
#include <string_view>
#include <vector>

// How the word index stores a word's blocks; shared by its writing and its reading.
namespace pantrio::WordIndexBlocks {

// Blocks, ascending and unique.
using Blocks = std::vector<std::uint32_t>;

// A word's blocks are stored as whichever is shorter: a list of gaps, or a bitmap.
constexpr char ListTag = 0;
constexpr char BitmapTag = 1;

// Ids beyond this do not fit a block number; such recipes stay pending and are always read.
constexpr std::int64_t HighestIndexedId = (std::int64_t(1) << (32 + WordIndex::BlockShift)) - 1;

template <typename F> void forEachBlock(std::string_view blob, F f)
{
    if (blob.empty())
        return;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(blob[i]); };
    if (blob[0] == BitmapTag) {
        for (std::size_t i = 1; i < blob.size(); ++i)
            for (unsigned bits = byte(i); bits; bits &= bits - 1)
                f(std::uint32_t((i - 1) * 8 + unsigned(std::countr_zero(bits))));
        return;
    }
    std::uint32_t block = 0;
    for (std::size_t i = 1; i < blob.size();) {
        std::uint32_t gap = 0;
        for (int shift = 0; i < blob.size() && shift < 35; shift += 7) {
            const unsigned c = byte(i++);
            gap |= std::uint32_t(c & 0x7F) << shift;
            if (!(c & 0x80))
                break;
        }
        block += gap;
        f(block);
    }
}

} // namespace pantrio::WordIndexBlocks
