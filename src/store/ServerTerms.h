#pragma once

#include "Postgres.h"
#include "RecipeFields.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace pantrio::ServerTerms {

// The search over every field on a server: each recipe row carries the numbers of its words
// (folded as the search folds them, cut as the file's word index cuts them) in a GIN-indexed
// array, and the words themselves go to a vocabulary table that only grows. A search finds
// the vocabulary words that contain each of its own and asks for the rows that hold one of
// each; the server's own trigram index over the whole text took eight times as long to build.
//
// Pantrio's connections say they keep the numbers (ServerSchema::open); a trigger clears them
// in rows any other program writes, and a search reads such rows directly.

// A word's number: the same on every computer and in every version. Two words that share one
// only cost a search a row it reads and rules out.
std::int32_t termOf(std::string_view word);

// Numbers recipes one after another, and keeps the words it has met, for the vocabulary.
class Numbering
{
public:
    // One recipe: its fields as UTF-8, then its numbers as an array literal appended to `out`.
    void addField(std::string_view utf8);
    void appendTerms(QByteArray& out);
    // The words met since the last call that were not met before it.
    std::vector<std::string> takeAdded() { return std::exchange(added_, {}); }
    // Meets every word anew (the vocabulary lost what was added since, say).
    void forgetKnown() { known_.clear(); }

private:
    struct Hash
    {
        using is_transparent = void;
        std::size_t operator()(std::string_view w) const { return std::uint32_t(termOf(w)); }
    };
    struct Slot
    {
        std::int32_t term;
        std::uint32_t at, size; // the word in folded_; size 0: a free slot
    };
    void add(std::string_view word, std::uint32_t at);

    std::string folded_; // the recipe's fields, folded, one after another
    std::vector<Slot> slots_ = std::vector<Slot>(1024);
    std::vector<std::size_t> used_;
    std::vector<std::int32_t> terms_;
    std::unordered_set<std::string, Hash, std::equal_to<>> known_;
    std::vector<std::string> added_;
};

// A recipe's numbers and its words, as the two parameters of a save.
std::pair<QByteArray, QByteArray> numbered(const RecipeValues& values);

// Words as one parameter, hexadecimal and comma-separated (a cut word need not be UTF-8):
// `decode(unnest(string_to_array($n, ',')), 'hex')` makes them rows again.
QByteArray wordList(const std::vector<std::string>& words);

// Adds the words of one parameter (wordList) to the vocabulary; with ON CONFLICT, so that two
// computers adding the same word both go on.
QByteArray addWordsSql(int parameter);

using Exec = std::function<pg::Result(const QByteArray& sql, const std::vector<pg::Param>& params)>;

// A condition offering every row whose fields may hold `folded` (as foldLoosely() folds), its
// parameters added to `params`; each row offered is then matched by the caller. None when the
// text has no word, or a word found in so many others that the numbers would narrow little:
// the caller then reads the rows.
std::optional<QByteArray> rowsHolding(const Exec& exec, std::string_view folded,
                                      std::vector<pg::Param>& params);

// The ids of the rows after $1 that `held` (rowsHolding()) offers, ascending: asked once, and
// their rows then read in order by id. Asked in order by id and a few at a time, the server
// walked every row in that order whenever it thought the text more common than it was.
std::vector<std::int64_t> idsHolding(const Exec& exec, const QByteArray& held,
                                     const std::vector<pg::Param>& params);

} // namespace pantrio::ServerTerms
