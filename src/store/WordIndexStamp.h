#pragma once

#include "SchemaObjects.h"

#include <cstdint>
#include <optional>
#include <QByteArray>
#include <string_view>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// What the word index held when Pantrio last wrote it, and the checks that tell an index it
// may trust from one another program changed behind its back.
namespace WordIndexStamp {

const std::vector<SchemaObject>& objects();

struct Stamp
{
    std::int64_t words = 0;      // rows of RecipeWords
    std::uint64_t checksum = 0;  // the sum of their checksums, each rowHash() of its word and blocks
    std::int64_t highestId = -1; // every recipe above it (or below 0) waits in RecipeWordsPending
};

std::uint64_t rowHash(std::string_view word, std::string_view blocks);

// None when the table is missing or does not hold exactly one stamp.
std::optional<Stamp> read(sqlite::Database& db);
void write(sqlite::Database& db, const Stamp& stamp); // in the caller's transaction

// How many of the index's tables and triggers the file holds, and whether each that it holds
// is exactly as Pantrio made it.
struct Presence
{
    int present = 0;
    bool exact = true;
    bool triggersWithoutPending = false; // every save may fail: the triggers write a missing table
};
Presence presence(sqlite::Database& db);

// The cheap part of the checks: the tables and triggers, the stamp, and no recipe above the
// stamp's highest id that is not waiting. Reads no more than the waiting recipes.
std::optional<Stamp> intact(sqlite::Database& db);

} // namespace WordIndexStamp

} // namespace pantrio
