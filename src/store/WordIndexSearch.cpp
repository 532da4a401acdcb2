#include "Sqlite.h"
#include "TextFolding.h"
#include "WordIndex.h"
#include "WordIndexBlocks.h"
#include "WordIndexStamp.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pantrio {

using namespace WordIndexBlocks;

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");

// Every block that one of `lists` holds, ascending. Through a bitmap only when that is no
// larger than the blocks themselves: its size must follow how many blocks there are, never how
// large a block number (one recipe with a huge id) is.
Blocks unionOf(const std::vector<std::string>& lists)
{
    Blocks all;
    for (const std::string& list : lists)
        forEachBlock(list, [&](std::uint32_t b) { all.push_back(b); });
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
void keepHeld(Blocks& candidates, const std::vector<std::string>& lists)
{
    std::vector<bool> held(candidates.size());
    for (const std::string& list : lists)
        forEachBlock(list, [&](std::uint32_t b) {
            const auto at = std::lower_bound(candidates.begin(), candidates.end(), b);
            if (at != candidates.end() && *at == b)
                held[std::size_t(at - candidates.begin())] = true;
        });
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

// Counts the index's rows and sums their checksum as its stamp does; each word to `vocabulary`
// when given, followed by '\0'.
bool matchesStamp(sqlite::Database& db, std::string* vocabulary)
{
    const auto stamp = WordIndexStamp::intact(db);
    if (!stamp)
        return false;
    WordIndexStamp::Stamp found;
    sqlite::Statement rows(db, "SELECT word, blocks FROM RecipeWords", ReadAction);
    while (rows.step()) {
        ++found.words;
        found.checksum += WordIndexStamp::rowHash(rows.blob(0), rows.blob(1));
        if (vocabulary) {
            *vocabulary += rows.blob(0);
            *vocabulary += '\0';
        }
    }
    return found.words == stamp->words && found.checksum == stamp->checksum;
}

} // namespace

bool WordIndex::whole(sqlite::Database& db)
{
    return matchesStamp(db, nullptr);
}

bool WordIndex::loadVocabulary(sqlite::Database& db)
{
    sqlite::Statement version(db, "PRAGMA data_version", ReadAction);
    const std::int64_t now = version.step() ? version.int64(0) : 0;
    version.reset();
    if (now == vocabularyVersion_)
        return trusted_;
    vocabulary_.clear();
    trusted_ = matchesStamp(db, &vocabulary_);
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

std::optional<std::vector<WordIndex::IdRange>>
WordIndex::candidates(sqlite::Database& db, std::string_view foldedText, std::int64_t afterId)
{
    if (!presentIn(db))
        return std::nullopt;
    std::vector<std::string> parts;
    forEachWord(foldedText, [&](std::string_view w) { parts.emplace_back(w.substr(0, WordStrideBytes)); });
    if (parts.empty() || !std::all_of(foldedText.begin(), foldedText.end(), [](char c) { return c != '\0'; }))
        return std::nullopt;
    if (!loadVocabulary(db))
        return std::nullopt;

    // For each part, the stored blocks of every word that contains it. A part found in very
    // many words narrows little and would cost a lookup for each.
    constexpr std::size_t MostWordsLookedUp = 2048;
    std::vector<std::vector<std::string>> lists;
    {
        sqlite::Statement get(db, "SELECT blocks FROM RecipeWords WHERE word = ?1", ReadAction);
        for (const std::string& part : parts) {
            const auto words = wordsContaining(part);
            if (words.size() > MostWordsLookedUp)
                continue;
            auto& found = lists.emplace_back();
            for (std::string_view word : words) {
                get.reset();
                get.bindBlob(1, word);
                if (get.step())
                    found.emplace_back(get.blob(0));
            }
        }
    }
    if (lists.empty())
        return std::nullopt;
    // The rarest part first: the others then only test the few blocks it leaves.
    std::sort(lists.begin(), lists.end(),
              [](const auto& a, const auto& b) { return bytesOf(a) < bytesOf(b); });
    Blocks blocks = unionOf(lists.front());
    for (std::size_t i = 1; i < lists.size() && !blocks.empty(); ++i)
        keepHeld(blocks, lists[i]);

    std::int64_t highest = -1;
    {
        sqlite::Statement max(db, "SELECT max(rowid) FROM Recipes", ReadAction);
        if (max.step())
            highest = max.int64(0);
    }
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

} // namespace pantrio
