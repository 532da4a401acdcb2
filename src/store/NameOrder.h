#pragma once

#include <cstdint>
#include <optional>
#include <QByteArray>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// A list keeps at most this many bytes of a name or a category: it shows no more.
inline constexpr std::size_t ListTextBytes = 1024;
// The text cut to ListTextBytes, at a character's start.
std::string_view cutListText(std::string_view text);

// Every recipe's name folded as the recipe list sorts it, in table `RecipeNameOrder` of the
// recipe file with an index in that order: a list of a million recipes shows its first screen
// from the index while it reads and sorts every name.
//
// It is kept with the word index: the recipes that the word index's triggers note as waiting
// get their keys when the index catches up, and are read directly until then; a trigger drops
// the key of a deleted recipe. A file whose word index cannot be trusted gets no first screen
// from here, and every key read is checked against the name it stands for.
namespace NameOrder {

// The sort key of a name, as the list sorts by name.
std::string keyOf(std::string_view name);

QByteArray schema();
// Whether the file holds the table, its index and its trigger exactly as Pantrio made them.
bool presentIn(sqlite::Database& db);
// Drops whatever the file holds of it; in the caller's transaction.
void drop(sqlite::Database& db);
// Makes the table anew and keys every recipe; in the caller's transaction.
void rebuild(sqlite::Database& db);

// Keys recipes as they are indexed, a batch at a time, in key order so that the index grows
// in place. Does nothing on a file without the table.
class Writer
{
public:
    explicit Writer(sqlite::Database& db);
    void add(std::int64_t id, std::string_view name);
    void flush();
    void clear() { keys_.clear(); }

private:
    sqlite::Database& db_;
    bool present_;
    std::vector<std::pair<std::string, std::int64_t>> keys_;
};

struct Row
{
    std::int64_t id;
    std::string name;
    std::string category;
    std::string time; // whole: the list shows it as it is
};
// The first `count` recipes in name order, names and categories cut to ListTextBytes, with
// their times, so that the first screen is drawn without another read. None
// when the file has no such table, its word index cannot be trusted, too many recipes wait
// for it, or a key does not match its recipe's name.
std::optional<std::vector<Row>> first(sqlite::Database& db, int count);

} // namespace NameOrder

} // namespace pantrio
