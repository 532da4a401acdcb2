#pragma once

#include "NameOrder.h"
#include "SearchCondition.h"
#include "WordIndex.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <QString>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pantrio {

class RecipeListReads;
namespace sqlite {
class Database;
class Statement;
} // namespace sqlite

// The name and category of every recipe, packed: what a list of a million recipes keeps in
// memory, about 60 bytes a recipe. Rows are in ascending id order; a row whose texts change
// gets new ones at the end of the text, its old ones are left behind. Throws StoreError when
// the texts pass 4 GB.
class RecipeListRows
{
public:
    // Longer texts are cut (at a character's start) to this many bytes: a list shows no more.
    static constexpr std::size_t MaxTextBytes = ListTextBytes;

    std::size_t size() const { return ids_.size(); }
    std::int64_t id(std::size_t row) const { return ids_[row]; }
    const std::vector<std::int64_t>& ids() const { return ids_; }
    std::string_view name(std::size_t row) const;
    std::string_view category(std::size_t row) const;
    std::optional<std::size_t> rowOf(std::int64_t id) const;

    // `id` above every id held so far.
    void append(std::int64_t id, std::string_view name, std::string_view category);
    void setTexts(std::size_t row, std::string_view name, std::string_view category);

private:
    struct Place
    {
        std::uint32_t at;
        std::uint16_t nameSize;
        std::uint16_t categorySize;
    };
    Place store(std::string_view name, std::string_view category);

    std::vector<std::int64_t> ids_;
    std::vector<Place> places_;
    std::string text_;
};

// Reads what the recipe list shows and finds what its filter matches, through the cursor's
// own connection (the only one while the file is held alone), which workers share: each call
// holds the connection for one statement at a time, and reads only what is committed.
class RecipeListSource
{
public:
    explicit RecipeListSource(sqlite::Database& db) : db_(&db) {}
    // Reads through another engine's own connection.
    explicit RecipeListSource(std::shared_ptr<RecipeListReads> reads) : reads_(std::move(reads)) {}

    // The names and categories of every recipe, from the narrow key table when the file has
    // one. False when stopped.
    bool readAll(RecipeListRows& rows, const std::stop_token& stop);
    // The first `count` recipes by name, from the order of names the file keeps; none when it
    // keeps none that can be trusted, or when stopped.
    std::optional<std::vector<NameOrder::Row>> readFirst(int count, const std::stop_token& stop);
    // The name and category of one recipe; none when it is gone.
    std::optional<std::pair<QString, QString>> readNames(std::int64_t id);
    // The preparation time of each of `ids` (no value: empty).
    std::vector<std::pair<std::int64_t, QString>> readTimes(const std::vector<std::int64_t>& ids);
    // The preparation time of every recipe, for sorting by it; folded loosely. False when stopped.
    bool readFoldedTimes(std::vector<std::pair<std::int64_t, std::string>>& out, const std::stop_token& stop);
    // Whether the recipe's fields match `condition`; false when it is gone.
    bool matches(std::int64_t id, const SearchCondition& condition);

    // The recipes any of whose fields contains a text, ignoring accents and letter case, as
    // the search over every field finds them: a scan in steps, over the id ranges the word
    // index leaves open; for one short word, the recipes the index names, reading only those it
    // cannot vouch for.
    // What a filter that another engine reads keeps from one step to the next: the ids its
    // index offered once the first step is read, and how far they are read.
    struct OfferedRows
    {
        bool started = false, asked = false;
        std::optional<std::vector<std::int64_t>> ids;
        std::size_t next = 0;
    };

    class Filter
    {
    public:
        Filter(RecipeListSource& source, WordIndex& words, const QString& text);
        // Reads on at most `rows` recipes and appends the ids that match. False once done.
        bool next(std::vector<std::int64_t>& matches, int rows, const std::stop_token& stop);

    private:
        bool rowMatches(const sqlite::Statement& row, std::string& folded) const;
        bool scan(sqlite::Database& db, std::vector<std::int64_t>& matches, int rows);
        bool nextFound(sqlite::Database& db, std::vector<std::int64_t>& matches, int rows);

        RecipeListSource& source_;
        WordIndex& words_;
        SearchCondition condition_;
        std::string folded_;
        bool started_ = false;
        bool indexAsked_ = false;
        std::vector<WordIndex::IdRange> ranges_;
        std::size_t range_ = 0;
        std::int64_t after_; // last id read
        // For one short word, what the index says at once, and how far it has been passed on.
        std::optional<WordIndex::Found> found_;
        std::size_t sure_ = 0;
        std::size_t read_ = 0;
        OfferedRows offered_;
    };

private:
    sqlite::Database* db_ = nullptr;
    std::shared_ptr<RecipeListReads> reads_;
};

} // namespace pantrio
