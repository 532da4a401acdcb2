#include "WordIndex.h"

#include "RecipeTable.h"
#include "Sqlite.h"
#include "StoreError.h"
#include "TextFolding.h"

#include <algorithm>
#include <sqlite3.h>
#include <bit>
#include <cstring>
#include <limits>
#include <string>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
const QString IndexAction = QStringLiteral("index the words of the recipe file");

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

std::string encode(const Blocks& blocks)
{
    std::string list(1, ListTag);
    std::uint32_t previous = 0;
    for (std::uint32_t b : blocks) {
        for (std::uint32_t gap = b - previous; ; gap >>= 7) {
            if (gap < 0x80) {
                list += char(gap);
                break;
            }
            list += char((gap & 0x7F) | 0x80);
        }
        previous = b;
    }
    const std::size_t bitmapSize = blocks.empty() ? 1 : 1 + blocks.back() / 8 + 1;
    if (list.size() <= bitmapSize)
        return list;
    std::string bitmap(bitmapSize, '\0');
    bitmap[0] = BitmapTag;
    for (std::uint32_t b : blocks)
        bitmap[1 + b / 8] = char(static_cast<unsigned char>(bitmap[1 + b / 8]) | (1u << (b % 8)));
    return bitmap;
}

// The words of one batch of recipes with their blocks: open addressing over keys kept in
// place (a word is at most MaxWordBytes), since looking words up is where indexing spends its
// time.
class Postings
{
public:
    Postings() { slots_.resize(64); }

    void add(std::string_view word, std::uint32_t block)
    {
        const std::uint64_t h = hash(word);
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = std::size_t(h) & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.entry == 0) {
                Entry& e = entries_.emplace_back();
                std::memcpy(e.key, word.data(), word.size());
                e.size = std::uint8_t(word.size());
                e.blocks.push_back(block);
                slot = {h, std::uint32_t(entries_.size())};
                if (entries_.size() * 2 > slots_.size())
                    grow();
                return;
            }
            if (slot.hash == h) {
                Entry& e = entries_[slot.entry - 1];
                if (e.size == word.size() && std::memcmp(e.key, word.data(), word.size()) == 0) {
                    if (e.blocks.back() != block)
                        e.blocks.push_back(block);
                    return;
                }
            }
        }
    }

    template <typename F> void forEach(F f) const
    {
        for (const Entry& e : entries_)
            f(std::string_view(e.key, e.size), e.blocks);
    }

    void clear()
    {
        entries_.clear();
        std::fill(slots_.begin(), slots_.end(), Slot());
    }

private:
    struct Slot
    {
        std::uint64_t hash = 0;
        std::uint32_t entry = 0; // 1-based into entries_; 0 for none
    };
    struct Entry
    {
        char key[MaxWordBytes];
        std::uint8_t size;
        Blocks blocks;
    };

    static std::uint64_t hash(std::string_view w)
    {
        std::uint64_t h = w.size() * 0x9E3779B97F4A7C15ULL;
        std::size_t i = 0;
        for (; i + 8 <= w.size(); i += 8) {
            std::uint64_t v;
            std::memcpy(&v, w.data() + i, 8);
            h = (h ^ v) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 32;
        }
        std::uint64_t v = 0;
        std::memcpy(&v, w.data() + i, w.size() - i);
        h = (h ^ v) * 0xC4CEB9FE1A85EC53ULL;
        return h ^ (h >> 29);
    }

    void grow()
    {
        std::vector<Slot> bigger(slots_.size() * 2);
        const std::size_t mask = bigger.size() - 1;
        for (const Slot& slot : slots_) {
            if (slot.entry == 0)
                continue;
            std::size_t i = std::size_t(slot.hash) & mask;
            while (bigger[i].entry != 0)
                i = (i + 1) & mask;
            bigger[i] = slot;
        }
        slots_ = std::move(bigger);
    }

    std::vector<Slot> slots_; // a power of two of them
    std::vector<Entry> entries_;
};

void merge(sqlite::Database& db, const Postings& found)
{
    sqlite::Statement get(db, "SELECT blocks FROM RecipeWords WHERE word = ?1", IndexAction);
    sqlite::Statement put(db, "INSERT OR REPLACE INTO RecipeWords (word, blocks) VALUES (?1, ?2)", IndexAction);
    Blocks merged;
    found.forEach([&](std::string_view word, const Blocks& blocks) {
        get.reset();
        get.bindBlob(1, word);
        merged.clear();
        if (get.step()) {
            bool grows = false;
            auto next = blocks.begin();
            forEachBlock(get.blob(0), [&](std::uint32_t b) {
                for (; next != blocks.end() && *next < b; ++next) {
                    merged.push_back(*next);
                    grows = true;
                }
                if (next != blocks.end() && *next == b)
                    ++next;
                merged.push_back(b);
            });
            grows = grows || next != blocks.end();
            if (!grows)
                return;
            merged.insert(merged.end(), next, blocks.end());
        } else {
            merged = blocks;
        }
        get.reset();
        put.reset();
        put.bindBlob(1, word);
        put.bindBlob(2, encode(merged));
        put.step();
    });
}

} // namespace

QByteArray WordIndex::schema()
{
    const QByteArray note = " ON Recipes BEGIN\n    INSERT OR IGNORE INTO RecipeWordsPending VALUES (new.rowid);\nEND;\n";
    return "CREATE TABLE RecipeWords (word BLOB PRIMARY KEY, blocks BLOB NOT NULL) WITHOUT ROWID;\n"
           "CREATE TABLE RecipeWordsPending (id INTEGER PRIMARY KEY);\n"
           "CREATE TRIGGER RecipeWordsInsert AFTER INSERT" +
           note + "CREATE TRIGGER RecipeWordsUpdate AFTER UPDATE" + note;
}

bool WordIndex::presentIn(sqlite::Database& db)
{
    sqlite::Statement probe(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'RecipeWordsPending'", ReadAction);
    return probe.step();
}

void WordIndex::addTo(sqlite::Database& db)
{
    db.exec(schema().constData(), IndexAction);
    index(db, Rows::Every);
}

void WordIndex::catchUp(sqlite::Database& db)
{
    index(db, Rows::Pending);
}

bool WordIndex::catchUpQuietly(sqlite::Database& db)
{
    if (sqlite3_exec(db.handle(), "SAVEPOINT words", nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    try {
        catchUp(db);
        return sqlite3_exec(db.handle(), "RELEASE words", nullptr, nullptr, nullptr) == SQLITE_OK;
    } catch (const std::exception&) {
        sqlite3_exec(db.handle(), "ROLLBACK TO words; RELEASE words", nullptr, nullptr, nullptr);
        return false;
    }
}

std::int64_t WordIndex::pendingCount(sqlite::Database& db)
{
    sqlite::Statement count(db, "SELECT count(*) FROM RecipeWordsPending", ReadAction);
    return count.step() ? count.int64(0) : 0;
}

void WordIndex::index(sqlite::Database& db, Rows which)
{
    // A batch of recipes at a time, so that the words found stay a modest amount of memory.
    constexpr int BatchRows = 65536;
    const QByteArray sql =
        which == Rows::Pending
            ? "SELECT p.id, " + RecipeTable::columnList() +
                  " FROM RecipeWordsPending p JOIN Recipes ON Recipes.rowid = p.id"
                  " WHERE p.id > ?1 AND p.id <= ?2 ORDER BY p.id LIMIT ?3"
            : "SELECT rowid, " + RecipeTable::columnList() +
                  " FROM Recipes WHERE rowid > ?1 AND rowid <= ?2 ORDER BY rowid LIMIT ?3";
    sqlite::Statement rows(db, sql.constData(), IndexAction);
    Postings found;
    std::string folded;
    std::int64_t after = -1;
    for (;;) {
        found.clear();
        rows.reset();
        rows.bind(1, after);
        rows.bind(2, HighestIndexedId);
        rows.bind(3, std::int64_t(BatchRows));
        int count = 0;
        while (rows.step()) {
            ++count;
            after = rows.int64(0);
            const auto block = std::uint32_t(after >> BlockShift);
            for (int column = 1; column <= FieldCount; ++column) {
                int size = 0;
                const char* text = rows.utf8(column, &size);
                if (!text)
                    continue;
                folded.clear();
                appendFoldedLoosely(folded, std::string_view(text, std::size_t(size)));
                forEachWord(folded, [&](std::string_view word) { found.add(word, block); });
            }
        }
        rows.reset();
        merge(db, found);
        if (count < BatchRows)
            break;
    }
    if (which == Rows::Pending) {
        sqlite::Statement done(db, "DELETE FROM RecipeWordsPending WHERE id >= 0 AND id <= ?1", IndexAction);
        done.bind(1, HighestIndexedId);
        done.step();
    } else {
        // Those the index cannot hold are read at every search instead.
        sqlite::Statement rest(db, "INSERT INTO RecipeWordsPending SELECT rowid FROM Recipes "
                                   "WHERE rowid < 0 OR rowid > ?1", IndexAction);
        rest.bind(1, HighestIndexedId);
        rest.step();
    }
}

void WordIndex::loadVocabulary(sqlite::Database& db)
{
    sqlite::Statement version(db, "PRAGMA data_version", ReadAction);
    const std::int64_t now = version.step() ? version.int64(0) : 0;
    version.reset();
    if (now == vocabularyVersion_)
        return;
    vocabulary_.clear();
    sqlite::Statement words(db, "SELECT word FROM RecipeWords", ReadAction);
    while (words.step()) {
        vocabulary_ += words.blob(0);
        vocabulary_ += '\0';
    }
    vocabularyVersion_ = now;
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

std::optional<std::vector<WordIndex::IdRange>> WordIndex::candidates(sqlite::Database& db,
                                                                     std::string_view foldedText,
                                                                     std::int64_t afterId)
{
    if (!presentIn(db))
        return std::nullopt;
    std::vector<std::string> parts;
    forEachWord(foldedText, [&](std::string_view w) { parts.emplace_back(w.substr(0, WordStrideBytes)); });
    if (parts.empty() || !std::all_of(foldedText.begin(), foldedText.end(), [](char c) { return c != '\0'; }))
        return std::nullopt;
    loadVocabulary(db);

    std::int64_t highest = -1;
    {
        sqlite::Statement max(db, "SELECT max(rowid) FROM Recipes", ReadAction);
        if (max.step())
            highest = std::min(max.int64(0), HighestIndexedId);
    }
    const std::size_t blockCount = highest < 0 ? 0 : std::size_t(highest >> BlockShift) + 1;
    std::vector<std::uint64_t> candidate((blockCount + 63) / 64, ~std::uint64_t(0));
    std::vector<std::uint64_t> holding(candidate.size());
    // A part found in very many words narrows little and would cost a lookup for each.
    constexpr std::size_t MostWordsLookedUp = 2048;
    sqlite::Statement get(db, "SELECT blocks FROM RecipeWords WHERE word = ?1", ReadAction);
    for (const std::string& part : parts) {
        const auto words = wordsContaining(part);
        if (words.size() > MostWordsLookedUp)
            continue;
        std::fill(holding.begin(), holding.end(), 0);
        for (std::string_view word : words) {
            get.reset();
            get.bindBlob(1, word);
            if (get.step())
                forEachBlock(get.blob(0), [&](std::uint32_t b) {
                    if (b < blockCount)
                        holding[b / 64] |= std::uint64_t(1) << (b % 64);
                });
        }
        get.reset();
        for (std::size_t i = 0; i < candidate.size(); ++i)
            candidate[i] &= holding[i];
    }

    std::vector<IdRange> ranges;
    const std::int64_t from = std::max<std::int64_t>(afterId + 1, 0);
    for (std::size_t b = std::size_t(from >> BlockShift); b < blockCount; ++b) {
        if (!(candidate[b / 64] >> (b % 64) & 1))
            continue;
        const std::int64_t lo = std::max(std::int64_t(b) << BlockShift, from);
        const std::int64_t hi = std::min(((std::int64_t(b) + 1) << BlockShift) - 1, highest);
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
