#include "WordIndex.h"

#include "NameOrder.h"
#include "RecipeTable.h"
#include "Sqlite.h"
#include "StoreError.h"
#include "TextFolding.h"
#include "WordIndexBlocks.h"
#include "WordIndexStamp.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <sqlite3.h>
#include <string>

namespace pantrio {

using namespace WordIndexBlocks;

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
const QString IndexAction = QStringLiteral("index the words of the recipe file");

using Postings = std::vector<BlockRecipes>;

std::string encode(const Postings& blocks)
{
    std::string row(1, RecipesTag);
    std::uint32_t previous = 0;
    for (const BlockRecipes& b : blocks) {
        for (std::uint32_t gap = b.block - previous;; gap >>= 7) {
            if (gap < 0x80) {
                row += char(gap);
                break;
            }
            row += char((gap & 0x7F) | 0x80);
        }
        previous = b.block;
        const auto count = unsigned(std::popcount(b.recipes));
        if (count <= MostListedRecipes) {
            row += char(count);
            for (std::uint64_t bits = b.recipes; bits; bits &= bits - 1)
                row += char(std::countr_zero(bits));
        } else {
            row += char(MaskFollows);
            for (int i = 0; i < 8; ++i)
                row += char((b.recipes >> (8 * i)) & 0xFF);
        }
    }
    return row;
}

// The words of one batch of recipes with their blocks and recipes: open addressing over keys kept in
// place (a word is at most MaxWordBytes), since looking words up is where indexing spends its
// time. Words are read eight bytes at a time: add() may read up to 7 bytes past a word's end.
class BatchPostings
{
public:
    static constexpr std::size_t Slack = 7;

    BatchPostings() { slots_.resize(64); }

    void add(std::string_view word, std::int64_t id)
    {
        const auto block = std::uint32_t(id >> WordIndex::BlockShift);
        const std::uint64_t recipe = std::uint64_t(1) << (id & 63);
        const Key key = keyOf(word);
        const std::uint64_t h = hash(key, word.size());
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = std::size_t(h) & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.entry == 0) {
                Entry& e = entries_.emplace_back();
                e.key = key;
                e.size = std::uint8_t(word.size());
                e.blocks.push_back({block, recipe});
                slot = {h, std::uint32_t(entries_.size())};
                if (entries_.size() * 2 > slots_.size())
                    grow();
                return;
            }
            if (slot.hash == h) {
                Entry& e = entries_[slot.entry - 1];
                if (e.size == word.size() && e.key == key) {
                    if (e.blocks.back().block != block)
                        e.blocks.push_back({block, recipe});
                    else
                        e.blocks.back().recipes |= recipe;
                    return;
                }
            }
        }
    }

    template <typename F> void forEach(F f) const
    {
        for (const Entry& e : entries_)
            f(std::string_view(reinterpret_cast<const char*>(e.key.data()), e.size), e.blocks);
    }

    void clear()
    {
        entries_.clear();
        std::fill(slots_.begin(), slots_.end(), Slot());
    }

private:
    static_assert(MaxWordBytes == 32);
    static_assert(std::endian::native == std::endian::little, "keys keep a word's bytes in order");
    using Key = std::array<std::uint64_t, MaxWordBytes / 8>; // the word, zero after its end

    static Key keyOf(std::string_view w)
    {
        Key key{};
        for (std::size_t i = 0; i < w.size(); i += 8) {
            std::uint64_t v;
            std::memcpy(&v, w.data() + i, 8);
            const std::size_t left = w.size() - i;
            key[i / 8] = left >= 8 ? v : v & ((std::uint64_t(1) << (8 * left)) - 1);
        }
        return key;
    }

    static std::uint64_t hash(const Key& key, std::size_t size)
    {
        std::uint64_t h = size * 0x9E3779B97F4A7C15ULL;
        for (std::size_t i = 0; i * 8 < size; ++i) {
            h = (h ^ key[i]) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 32;
        }
        h *= 0xC4CEB9FE1A85EC53ULL;
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

    struct Slot
    {
        std::uint64_t hash = 0;
        std::uint32_t entry = 0; // 1-based into entries_; 0 for none
    };
    struct Entry
    {
        Key key;
        std::uint8_t size;
        Postings blocks;
    };

    std::vector<Slot> slots_; // a power of two of them
    std::vector<Entry> entries_;
};

// Keeps the stamp's count and checksum in step with each row it writes.
void merge(sqlite::Database& db, const BatchPostings& found, WordIndexStamp::Stamp& stamp)
{
    sqlite::Statement get(db, "SELECT checksum, blocks FROM RecipeWords WHERE word = ?1", IndexAction);
    sqlite::Statement put(
        db, "INSERT OR REPLACE INTO RecipeWords (word, checksum, blocks) VALUES (?1, ?2, ?3)", IndexAction);
    Postings merged;
    found.forEach([&](std::string_view word, const Postings& blocks) {
        get.reset();
        get.bindBlob(1, word);
        merged.clear();
        std::uint64_t oldHash = 0;
        if (get.step()) {
            bool grows = false;
            auto next = blocks.begin();
            forEachBlockRecipes(get.blob(1), [&](BlockRecipes b) {
                for (; next != blocks.end() && next->block < b.block; ++next) {
                    merged.push_back(*next);
                    grows = true;
                }
                if (next != blocks.end() && next->block == b.block) {
                    grows = grows || (next->recipes & ~b.recipes) != 0;
                    b.recipes |= next->recipes;
                    ++next;
                }
                merged.push_back(b);
            });
            grows = grows || next != blocks.end();
            if (!grows)
                return;
            merged.insert(merged.end(), next, blocks.end());
            oldHash = std::uint64_t(get.int64(0));
            // Blocks another program changed would pass into the new row unseen: the stamp
            // then disagrees for good, and the index is built again.
            if (WordIndexStamp::rowHash(word, get.blob(1)) != oldHash)
                ++oldHash;
        } else {
            merged = blocks;
            ++stamp.words;
        }
        get.reset();
        const std::string encoded = encode(merged);
        const std::uint64_t hash = WordIndexStamp::rowHash(word, encoded);
        stamp.checksum += hash - oldHash;
        put.reset();
        put.bindBlob(1, word);
        put.bind(2, std::int64_t(hash));
        put.bindBlob(3, encoded);
        put.step();
    });
}

// A recipe's words and name, from its fields as stored, in column order.
void addRecipe(BatchPostings& found, NameOrder::Writer& names, std::string& folded, std::int64_t id,
               std::span<const std::optional<std::string_view>> fields)
{
    names.add(id, fields[fieldIndex(Field::RecipeName)].value_or(std::string_view()));
    for (const auto& text : fields) {
        if (!text)
            continue;
        folded.clear();
        appendFoldedLoosely(folded, *text);
        const std::size_t size = folded.size();
        folded.append(BatchPostings::Slack, '\0');
        forEachWord(std::string_view(folded.data(), size),
                    [&](std::string_view word) { found.add(word, id); });
    }
}

} // namespace

struct WordIndex::Feed::Batch
{
    explicit Batch(sqlite::Database& db) : names(db) {}

    BatchPostings found;
    NameOrder::Writer names;
    std::string folded;
    std::int64_t first = 0, last = 0, count = 0;
};

WordIndex::Feed::Feed(sqlite::Database& db) : db_(db)
{
    if (WordIndexStamp::intact(db))
        batch_ = std::make_unique<Batch>(db);
}

WordIndex::Feed::~Feed() = default;

void WordIndex::Feed::add(std::int64_t id, std::span<const std::optional<std::string_view>> fields)
{
    if (!batch_)
        return;
    if (batch_->count++ == 0)
        batch_->first = id;
    batch_->last = id;
    addRecipe(batch_->found, batch_->names, batch_->folded, id, fields);
}

void WordIndex::Feed::flush()
{
    if (!batch_ || batch_->count == 0)
        return;
    // Checked again: the fed recipes are pending until this writes them, and anything else
    // pending stays so.
    auto stamp = WordIndexStamp::intact(db_);
    if (!stamp || batch_->first < 0 || batch_->last > HighestIndexedId) {
        discard();
        return;
    }
    merge(db_, batch_->found, *stamp);
    batch_->names.flush();
    stamp->highestId = std::max(stamp->highestId, batch_->last);
    WordIndexStamp::write(db_, *stamp);
    sqlite::Statement done(db_, "DELETE FROM RecipeWordsPending WHERE id >= ?1 AND id <= ?2", IndexAction);
    done.bind(1, batch_->first);
    done.bind(2, batch_->last);
    done.step();
    discard();
}

void WordIndex::Feed::discard()
{
    if (!batch_)
        return;
    batch_->found.clear();
    batch_->names.clear();
    batch_->count = 0;
}

QByteArray WordIndex::schema()
{
    return createSql(WordIndexStamp::objects());
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
    NameOrder::drop(db);
    db.exec(NameOrder::schema().constData(), IndexAction);
    index(db, Rows::Every);
}

void WordIndex::rebuild(sqlite::Database& db)
{
    dropAll(db, WordIndexStamp::objects(), IndexAction);
    addTo(db);
}

void WordIndex::checkAtOpen(sqlite::Database& db, bool heldAlone)
{
    try {
        const WordIndexStamp::Presence presence = WordIndexStamp::presence(db);
        if (presence.present == 0)
            return; // a file from before the index: searches read every recipe
        if (heldAlone) {
            if (whole(db) && !tooLoose(db)) {
                if (NameOrder::presentIn(db))
                    return;
                // A file from before the list's order of names gets it now, once.
                db.exec("BEGIN IMMEDIATE", IndexAction);
                NameOrder::rebuild(db);
            } else {
                db.exec("BEGIN IMMEDIATE", IndexAction);
                rebuild(db);
            }
            db.exec("COMMIT", IndexAction);
        } else if (presence.triggersWithoutPending) {
            // Others may use the file, so it is not rebuilt now; but triggers that write to a
            // table that is gone would make every save fail. Without them the index is not
            // whole, so searches read every recipe until a rebuild.
            db.exec(
                "BEGIN IMMEDIATE; DROP TRIGGER IF EXISTS RecipeWordsInsert; "
                "DROP TRIGGER IF EXISTS RecipeWordsUpdate; DROP TRIGGER IF EXISTS RecipeWordsDelete; COMMIT;",
                IndexAction);
        }
    } catch (const StoreError&) {
        // A read-only folder, a full disk: the index stays as it is and searches do without it.
        if (!sqlite3_get_autocommit(db.handle()))
            sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

bool WordIndex::tooLoose(sqlite::Database& db)
{
    // Each is read at a search the index could otherwise answer alone; a fresh index has none.
    constexpr std::int64_t MostLoose = 16384;
    sqlite::Statement count(db, "SELECT count(*) FROM (SELECT 1 FROM RecipeWordsLoose LIMIT ?1)", ReadAction);
    count.bind(1, MostLoose + 1);
    return count.step() && count.int64(0) > MostLoose;
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
    const QByteArray sql = which == Rows::Pending
                               ? "SELECT p.id, " + RecipeTable::columnList() +
                                     " FROM RecipeWordsPending p JOIN Recipes ON Recipes.rowid = p.id"
                                     " WHERE p.id > ?1 AND p.id <= ?2 ORDER BY p.id LIMIT ?3"
                               : "SELECT rowid, " + RecipeTable::columnList() +
                                     " FROM Recipes WHERE rowid > ?1 AND rowid <= ?2 ORDER BY rowid LIMIT ?3";
    WordIndexStamp::Stamp stamp;
    if (which == Rows::Pending) {
        const auto intact = WordIndexStamp::intact(db);
        if (!intact)
            return;
        stamp = *intact;
    }
    sqlite::Statement rows(db, sql.constData(), IndexAction);
    NameOrder::Writer names(db);
    BatchPostings found;
    std::string folded;
    std::int64_t after = -1;
    for (;;) {
        found.clear();
        rows.reset();
        rows.bind(1, after);
        rows.bind(2, HighestIndexedId);
        rows.bind(3, std::int64_t(BatchRows));
        int count = 0;
        std::array<std::optional<std::string_view>, FieldCount> fields;
        while (rows.step()) {
            ++count;
            after = rows.int64(0);
            for (int column = 1; column <= FieldCount; ++column) {
                int size = 0;
                const char* text = rows.utf8(column, &size);
                fields[std::size_t(column - 1)] =
                    text ? std::optional(std::string_view(text, std::size_t(size))) : std::nullopt;
            }
            addRecipe(found, names, folded, after, fields);
        }
        rows.reset();
        merge(db, found, stamp);
        names.flush();
        stamp.highestId = std::max(stamp.highestId, after);
        if (count < BatchRows)
            break;
    }
    WordIndexStamp::write(db, stamp);
    if (which == Rows::Pending) {
        sqlite::Statement done(db, "DELETE FROM RecipeWordsPending WHERE id >= 0 AND id <= ?1", IndexAction);
        done.bind(1, HighestIndexedId);
        done.step();
    } else {
        db.exec("DELETE FROM RecipeWordsLoose", IndexAction);
        // Those the index cannot hold are read at every search instead.
        sqlite::Statement rest(db,
                               "INSERT INTO RecipeWordsPending SELECT rowid FROM Recipes "
                               "WHERE rowid < 0 OR rowid > ?1",
                               IndexAction);
        rest.bind(1, HighestIndexedId);
        rest.step();
    }
}

} // namespace pantrio
