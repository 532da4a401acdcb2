#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <QByteArray>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// For every word of the recipes, folded as the search over every field folds them, which
// blocks of 64 consecutive ids hold it: table `RecipeWords` in the recipe file. A search
// looks its words up and reads only the blocks that hold all of them, so a rare word is found
// at once in a million recipes; the index stays a few percent of the text, where one that
// found text inside words directly would be as large as the text itself.
//
// Triggers note every added or changed recipe in `RecipeWordsPending`, whoever writes the
// file; a search reads those recipes directly until catchUp() folds them into the index.
// Each block also notes which of its recipes held the word when indexed, so that a search for
// one word can name the recipes that hold it without reading them. A changed or deleted recipe
// leaves its old words behind: triggers note it in `RecipeWordsLoose`, and a search reads
// those recipes rather than believe the index about them; a rebuild starts afresh.
//
// Other programs may write the file too, and not always well. `RecipeWordsStamp` records what
// the index held when Pantrio last wrote it (its words and a checksum of them, the highest id
// indexed); an index whose tables or triggers are not exactly Pantrio's, whose stamp disagrees,
// or that misses a recipe added after it is not used: the search then reads every recipe.
class WordIndex
{
public:
    using IdRange = std::pair<std::int64_t, std::int64_t>; // inclusive

    static constexpr int BlockShift = 6;

    // The tables and triggers, as SQL.
    static QByteArray schema();
    static bool presentIn(sqlite::Database& db);
    // Whether the index is there and can be trusted; reads all of it.
    static bool whole(sqlite::Database& db);
    // Adds the index to a file that lacks it, or has just been filled, and indexes every recipe;
    // in the caller's transaction.
    static void addTo(sqlite::Database& db);
    // Replaces whatever the file holds of an index by a new one; in the caller's transaction.
    static void rebuild(sqlite::Database& db);
    // Once a file is open: an index that is not whole is rebuilt when this connection holds the
    // file alone (and may write it); shared, it is only kept from failing the saves. Never throws.
    static void checkAtOpen(sqlite::Database& db, bool heldAlone);
    // Folds the pending recipes into the index, in the caller's transaction. Nothing when its
    // tables, triggers or stamp are not in order, which would only hide what is missing; a
    // checksum that disagrees keeps disagreeing, since the stamp is only ever moved by the rows written.
    static void catchUp(sqlite::Database& db);
    // The same under a savepoint of its own, so that a failure only leaves the recipes pending:
    // a save or an import never fails for its index.
    static bool catchUpQuietly(sqlite::Database& db);
    static std::int64_t pendingCount(sqlite::Database& db);

    // Indexes recipes as they are written, rather than reading them back at catchUp(): at the
    // end of a long import they are no longer in the cache. In the caller's transaction; does
    // nothing when catchUp() would not.
    class Feed
    {
    public:
        explicit Feed(sqlite::Database& db);
        ~Feed();
        // A recipe just written under `id`, above every one fed before; its fields as stored,
        // in column order (none for NULL).
        void add(std::int64_t id, std::span<const std::optional<std::string_view>> fields);
        // Writes what was fed into the index. Throws StoreError.
        void flush();
        // What was fed since the last flush stays pending instead, for catchUp().
        void discard();

    private:
        struct Batch;
        sqlite::Database& db_;
        std::unique_ptr<Batch> batch_;
    };
    // So many recipes changed since the index was built that it had better be built again.
    static bool tooLoose(sqlite::Database& db);

    // The id ranges, ascending, after `afterId` that may hold a recipe with a field containing
    // `foldedText`; every such recipe is inside them. None when the file has no index, the index
    // is not whole, or the text holds no word: then every recipe may.
    // `pause`, when given, is called between lookups, to let others use the connection a while;
    // false when stopped meanwhile.
    using Pause = std::function<bool()>;
    std::optional<std::vector<IdRange>> candidates(sqlite::Database& db, std::string_view foldedText,
                                                   std::int64_t afterId, const std::stop_token& stop = {},
                                                   const Pause& pause = {});
    // For a text that is one short word, the recipes after `afterId` with a field containing it,
    // ascending: those the index vouches for, and those to read to know (waiting, changed or
    // deleted since indexed). None when the index cannot say, as for candidates(), or when the
    // text is more than one word or longer than WordStrideBytes.
    struct Found
    {
        std::vector<std::int64_t> sure;
        std::vector<std::int64_t> toRead;
    };
    // In two steps, so that the connection is free for others while the second works: what the
    // file holds for the word, then the recipes made of it. Stopped, none too, and for
    // candidates() as well.
    struct WordRows
    {
        std::vector<std::string> rows;
        std::int64_t highest = -1;
        std::vector<std::int64_t> toRead;
    };
    std::optional<WordRows> rowsWith(sqlite::Database& db, std::string_view foldedWord, std::int64_t afterId,
                                     const std::stop_token& stop, const Pause& pause = {});
    static std::optional<Found> recipesIn(WordRows&& rows, std::int64_t afterId, const std::stop_token& stop);
    // The words are read again at the next search; after this program's own writes.
    void forget() { vocabularyVersion_ = -1; }

private:
    enum class Rows { Pending, Every };
    static void index(sqlite::Database& db, Rows which);
    // The stored rows of every word that contains `part`; none when too many words do, when
    // stopped, or when a row is not as written (the index is then no longer trusted).
    std::optional<std::vector<std::string>> rowsOfWordsContaining(sqlite::Database& db, std::string_view part,
                                                                  const std::stop_token& stop,
                                                                  const Pause& pause);
    // Reads the words when another program has written since; false when the index is not whole.
    bool loadVocabulary(sqlite::Database& db);
    std::vector<std::string_view> wordsContaining(std::string_view part) const;

    std::string vocabulary_; // every word, each followed by '\0'
    std::int64_t vocabularyVersion_ = -1;
    bool trusted_ = false;
};

} // namespace pantrio
