#include "Sqlite.h"
#include "TextFolding.h"
#include "WordIndex.h"
#include "WordIndexBlocks.h"
#include "WordIndexStamp.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <string>

namespace pantrio {

using namespace WordIndexBlocks;

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");

// Every block that one of `lists` holds, ascending. Through a bitmap only when that is no
// larger than the blocks themselves: its size must follow how many blocks there are, never how
// large a block number (one recipe with a huge id) is.
Blocks unionOf(const std::vector<std::string>& lists, const std::stop_token& stop)
{
    Blocks all;
    for (const std::string& list : lists) {
        if (stop.stop_requested())
            return {};
        forEachBlock(list, [&](std::uint32_t b) { all.push_back(b); });
    }
    if (all.empty())
        return all;
    const std::uint32_t top = *std::max_element(all.begin(), all.end());
    if (std::size_t(top / 64) < all.size()) {
        std::vector<std::uint64_t> bits(top / 64 + 1);
        for (std::uint32_t b : all)
            bits[b / 64] |= std::uint64_t(1) << (b % 64);
        all.clear();
        for (std::size_t i = 0; i < bits.size(); ++i)
            for (std::uint64_t w = bits[i]; w; w &= w - 1)
                all.push_back(std::uint32_t(i * 64 + unsigned(std::countr_zero(w))));
    } else {
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
    }
    return all;
}

// Keeps those of `candidates` (ascending) that one of `lists` holds.
void keepHeld(Blocks& candidates, const std::vector<std::string>& lists, const std::stop_token& stop)
{
    std::vector<bool> held(candidates.size());
    for (const std::string& list : lists) {
        if (stop.stop_requested())
            return;
        forEachBlock(list, [&](std::uint32_t b) {
            const auto at = std::lower_bound(candidates.begin(), candidates.end(), b);
            if (at != candidates.end() && *at == b)
                held[std::size_t(at - candidates.begin())] = true;
        });
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        if (held[i])
            candidates[kept++] = candidates[i];
    candidates.resize(kept);
}

std::size_t bytesOf(const std::vector<std::string>& lists)
{
    std::size_t n = 0;
    for (const std::string& list : lists)
        n += list.size();
    return n;
}

// Counts the index's rows and sums their checksums as its stamp does; each word to `vocabulary`
// when given, followed by '\0'. Only `everyRow` reads the blocks themselves, to check each row
// against its checksum; a search checks the few rows it reads as it reads them.
bool matchesStamp(sqlite::Database& db, std::string* vocabulary, bool everyRow)
{
    const auto stamp = WordIndexStamp::intact(db);
    if (!stamp)
        return false;
    WordIndexStamp::Stamp found;
    sqlite::Statement rows(db,
                           everyRow ? "SELECT word, checksum, blocks FROM RecipeWords"
                                    : "SELECT word, checksum FROM RecipeWords",
                           ReadAction);
    while (rows.step()) {
        ++found.words;
        const auto checksum = std::uint64_t(rows.int64(1));
        found.checksum += checksum;
        if (everyRow && WordIndexStamp::rowHash(rows.blob(0), rows.blob(2)) != checksum)
            return false;
        if (vocabulary) {
            *vocabulary += rows.blob(0);
            *vocabulary += '\0';
        }
    }
    return found.words == stamp->words && found.checksum == stamp->checksum;
}

std::int64_t highestId(sqlite::Database& db)
{
    sqlite::Statement max(db, "SELECT max(rowid) FROM Recipes", ReadAction);
    return max.step() ? max.int64(0) : -1;
}

// The ids after `afterId` that a statement of one id column names, ascending.
std::vector<std::int64_t> idsAfter(sqlite::Database& db, const char* sql, std::int64_t afterId)
{
    std::vector<std::int64_t> ids;
    sqlite::Statement rows(db, sql, ReadAction);
    rows.bind(1, afterId);
    while (rows.step())
        ids.push_back(rows.int64(0));
    return ids;
}

} // namespace

bool WordIndex::whole(sqlite::Database& db)
{
    return matchesStamp(db, nullptr, true);
}

bool WordIndex::loadVocabulary(sqlite::Database& db)
{
    sqlite::Statement version(db, "PRAGMA data_version", ReadAction);
    const std::int64_t now = version.step() ? version.int64(0) : 0;
    version.reset();
    if (now == vocabularyVersion_)
        return trusted_;
    vocabulary_.clear();
    trusted_ = matchesStamp(db, &vocabulary_, false);
    if (!trusted_)
        std::string().swap(vocabulary_);
    vocabularyVersion_ = now;
    return trusted_;
}

std::vector<std::string_view> WordIndex::wordsContaining(std::string_view part) const
{
    std::vector<std::string_view> out;
    const char* all = vocabulary_.data();
    const std::size_t size = vocabulary_.size();
    std::size_t at = 0;
    while (at < size) {
        const void* hit = memmem(all + at, size - at, part.data(), part.size());
        if (!hit)
            break;
        const std::size_t offset = std::size_t(static_cast<const char*>(hit) - all);
        std::size_t start = offset;
        while (start > 0 && all[start - 1] != '\0')
            --start;
        const std::size_t end = std::strlen(all + offset) + offset;
        out.emplace_back(all + start, end - start);
        at = end + 1;
    }
    return out;
}

std::optional<std::vector<std::string>> WordIndex::rowsOfWordsContaining(sqlite::Database& db,
                                                                         std::string_view part,
                                                                         const std::stop_token& stop,
                                                                         const Pause& pause)
{
    // A part found in very many words narrows little and would cost a lookup for each.
    constexpr std::size_t MostWordsLookedUp = 2048;
    const auto words = wordsContaining(part);
    if (words.size() > MostWordsLookedUp)
        return std::nullopt;
    std::vector<std::string> rows;
    sqlite::Statement get(db, "SELECT checksum, blocks FROM RecipeWords WHERE word = ?1", ReadAction);
    for (std::string_view word : words) {
        if (stop.stop_requested() || (pause && !pause()))
            return std::nullopt;
        get.reset();
        get.bindBlob(1, word);
        if (!get.step())
            continue;
        if (WordIndexStamp::rowHash(word, get.blob(1)) != std::uint64_t(get.int64(0))) {
            trusted_ = false; // until another write; the search reads every recipe meanwhile
            return std::nullopt;
        }
        rows.emplace_back(get.blob(1));
    }
    return rows;
}

std::optional<std::vector<WordIndex::IdRange>>
WordIndex::candidates(sqlite::Database& db, std::string_view foldedText, std::int64_t afterId,
                      const std::stop_token& stop, const Pause& pause)
{
    if (!presentIn(db))
        return std::nullopt;
    std::vector<std::string> parts;
    forEachWord(foldedText, [&](std::string_view w) { parts.emplace_back(w.substr(0, WordStrideBytes)); });
    if (parts.empty() || !std::all_of(foldedText.begin(), foldedText.end(), [](char c) { return c != '\0'; }))
        return std::nullopt;
    if (!loadVocabulary(db))
        return std::nullopt;

    std::vector<std::vector<std::string>> lists;
    for (const std::string& part : parts) {
        if (auto rows = rowsOfWordsContaining(db, part, stop, pause))
            lists.push_back(std::move(*rows));
        else if (!trusted_ || stop.stop_requested())
            return std::nullopt;
    }
    if (lists.empty())
        return std::nullopt;
    // The rarest part first: the others then only test the few blocks it leaves.
    std::sort(lists.begin(), lists.end(),
              [](const auto& a, const auto& b) { return bytesOf(a) < bytesOf(b); });
    Blocks blocks = unionOf(lists.front(), stop);
    for (std::size_t i = 1; i < lists.size() && !blocks.empty(); ++i)
        keepHeld(blocks, lists[i], stop);
    if (stop.stop_requested())
        return std::nullopt;

    const std::int64_t highest = highestId(db);
    std::vector<IdRange> ranges;
    const std::int64_t from = std::max<std::int64_t>(afterId + 1, 0);
    for (auto b = std::lower_bound(blocks.begin(), blocks.end(), std::uint64_t(from >> BlockShift));
         b != blocks.end(); ++b) {
        const std::int64_t lo = std::max(std::int64_t(*b) << BlockShift, from);
        const std::int64_t hi = std::min(((std::int64_t(*b) + 1) << BlockShift) - 1, highest);
        if (lo > hi)
            break; // blocks above the highest id hold deleted recipes only
        if (!ranges.empty() && ranges.back().second + 1 >= lo)
            ranges.back().second = hi;
        else
            ranges.emplace_back(lo, hi);
    }
    sqlite::Statement pending(db, "SELECT id FROM RecipeWordsPending WHERE id > ?1 ORDER BY id", ReadAction);
    pending.bind(1, afterId);
    bool added = false;
    while (pending.step()) {
        const std::int64_t id = pending.int64(0);
        ranges.emplace_back(id, id);
        added = true;
    }
    if (added) {
        std::sort(ranges.begin(), ranges.end());
        std::vector<IdRange> merged;
        for (const IdRange& r : ranges) {
            if (!merged.empty() && merged.back().second >= r.first - 1)
                merged.back().second = std::max(merged.back().second, r.second);
            else
                merged.push_back(r);
        }
        ranges = std::move(merged);
    }
    return ranges;
}

std::optional<WordIndex::WordRows> WordIndex::rowsWith(sqlite::Database& db, std::string_view foldedWord,
                                                       std::int64_t afterId, const std::stop_token& stop,
                                                       const Pause& pause)
{
    if (foldedWord.empty() || foldedWord.size() > WordStrideBytes ||
        !std::all_of(foldedWord.begin(), foldedWord.end(), isWordByte))
        return std::nullopt;
    if (!presentIn(db) || !loadVocabulary(db))
        return std::nullopt;
    // A recipe whose field contains the word holds it inside one of its own words, whole, or
    // inside one of a long word's pieces, which overlap by more than the word.
    auto rows = rowsOfWordsContaining(db, foldedWord, stop, pause);
    if (!rows || stop.stop_requested())
        return std::nullopt;
    WordRows found{std::move(*rows), highestId(db), {}};
    // Waiting and loose recipes alike are read: the bits of a loose one may be from its old text.
    const std::vector<std::int64_t> waiting =
        idsAfter(db, "SELECT id FROM RecipeWordsPending WHERE id > ?1 ORDER BY id", afterId);
    const std::vector<std::int64_t> loose =
        idsAfter(db, "SELECT id FROM RecipeWordsLoose WHERE id > ?1 ORDER BY id", afterId);
    std::set_union(waiting.begin(), waiting.end(), loose.begin(), loose.end(),
                   std::back_inserter(found.toRead));
    return found;
}

std::optional<WordIndex::Found> WordIndex::recipesIn(WordRows&& rows, std::int64_t afterId,
                                                     const std::stop_token& stop)
{
    const std::int64_t highest = rows.highest;
    // A bit a recipe for ids as they come; the blocks beyond (a few recipes with huge ids) one
    // by one, so that memory follows the recipes, never the size of an id.
    constexpr std::uint64_t DenseBlocks = std::uint64_t(1) << 22;
    const std::uint64_t highBlock = highest < 0 ? 0 : std::uint64_t(highest) >> BlockShift;
    std::vector<std::uint64_t> bits(std::size_t(std::min(highBlock + 1, DenseBlocks)));
    std::vector<WordIndexBlocks::BlockRecipes> far;
    for (const std::string& row : rows.rows) {
        if (stop.stop_requested())
            return std::nullopt;
        WordIndexBlocks::forEachBlockRecipes(row, [&](const WordIndexBlocks::BlockRecipes& b) {
            if (b.block < bits.size())
                bits[b.block] |= b.recipes;
            else if (b.block <= highBlock)
                far.push_back(b);
        });
    }
    std::sort(far.begin(), far.end(), [](const auto& a, const auto& b) { return a.block < b.block; });

    std::vector<std::int64_t> sure;
    const auto add = [&](std::uint64_t block, std::uint64_t recipes) {
        for (; recipes; recipes &= recipes - 1) {
            const auto id = std::int64_t((block << BlockShift) + unsigned(std::countr_zero(recipes)));
            if (id > afterId && id <= highest)
                sure.push_back(id);
        }
    };
    const std::uint64_t first = afterId < 0 ? 0 : std::uint64_t(afterId) >> BlockShift;
    for (std::uint64_t block = first; block < bits.size(); ++block)
        add(block, bits[block]);
    for (std::size_t i = 0; i < far.size(); ++i)
        if (i + 1 == far.size() || far[i + 1].block != far[i].block)
            add(far[i].block, far[i].recipes);
        else
            far[i + 1].recipes |= far[i].recipes;
    Found found;
    found.toRead = std::move(rows.toRead);
    std::set_difference(sure.begin(), sure.end(), found.toRead.begin(), found.toRead.end(),
                        std::back_inserter(found.sure));
    return found;
}

} // namespace pantrio
