#include "WordIndexStamp.h"

#include "Sqlite.h"

#include <cstring>

namespace pantrio::WordIndexStamp {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
const QString IndexAction = QStringLiteral("index the words of the recipe file");

std::uint64_t mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDULL;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    return h ^ (h >> 33);
}

std::uint64_t hashBytes(std::string_view bytes, std::uint64_t seed)
{
    std::uint64_t h = seed ^ (bytes.size() * 0x9E3779B97F4A7C15ULL);
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t v;
        std::memcpy(&v, bytes.data() + i, 8);
        h = mix(h ^ v);
    }
    std::uint64_t v = 0;
    if (i < bytes.size())
        std::memcpy(&v, bytes.data() + i, bytes.size() - i);
    return mix(h ^ v ^ 0x5BD1E995ULL);
}

} // namespace

const std::vector<SchemaObject>& objects()
{
    static const std::vector<SchemaObject> all = [] {
        const QByteArray pending = "\n    INSERT OR IGNORE INTO RecipeWordsPending VALUES (new.rowid);";
        const QByteArray loose = "\n    INSERT OR IGNORE INTO RecipeWordsLoose VALUES (old.rowid);";
        return std::vector<SchemaObject>{
            {"table", "RecipeWords",
             "CREATE TABLE RecipeWords (word BLOB PRIMARY KEY, checksum INTEGER NOT NULL, blocks BLOB NOT "
             "NULL) "
             "WITHOUT ROWID"},
            {"table", "RecipeWordsPending", "CREATE TABLE RecipeWordsPending (id INTEGER PRIMARY KEY)"},
            {"table", "RecipeWordsLoose", "CREATE TABLE RecipeWordsLoose (id INTEGER PRIMARY KEY)"},
            {"table", "RecipeWordsStamp",
             "CREATE TABLE RecipeWordsStamp (words INTEGER NOT NULL, checksum INTEGER NOT NULL, "
             "highestId INTEGER NOT NULL)"},
            {"trigger", "RecipeWordsInsert",
             "CREATE TRIGGER RecipeWordsInsert AFTER INSERT ON Recipes BEGIN" + pending + "\nEND"},
            {"trigger", "RecipeWordsUpdate",
             "CREATE TRIGGER RecipeWordsUpdate AFTER UPDATE ON Recipes BEGIN" + pending + loose + "\nEND"},
            {"trigger", "RecipeWordsDelete",
             "CREATE TRIGGER RecipeWordsDelete AFTER DELETE ON Recipes BEGIN" + loose + "\nEND"},
        };
    }();
    return all;
}

std::uint64_t rowHash(std::string_view word, std::string_view blocks)
{
    return hashBytes(blocks, hashBytes(word, 1));
}

std::optional<Stamp> read(sqlite::Database& db)
{
    sqlite::Statement probe(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'RecipeWordsStamp'", ReadAction);
    if (!probe.step())
        return std::nullopt;
    probe.reset();
    sqlite::Statement rows(db, "SELECT words, checksum, highestId FROM RecipeWordsStamp", ReadAction);
    if (!rows.step())
        return std::nullopt;
    const Stamp stamp{rows.int64(0), std::uint64_t(rows.int64(1)), rows.int64(2)};
    if (rows.step())
        return std::nullopt;
    return stamp;
}

void write(sqlite::Database& db, const Stamp& stamp)
{
    db.exec("DELETE FROM RecipeWordsStamp", IndexAction);
    sqlite::Statement put(db, "INSERT INTO RecipeWordsStamp VALUES (?1, ?2, ?3)", IndexAction);
    put.bind(1, stamp.words);
    put.bind(2, std::int64_t(stamp.checksum));
    put.bind(3, stamp.highestId);
    put.step();
}

Presence presence(sqlite::Database& db)
{
    Presence found;
    int notesExact = 0; // the tables the triggers write to
    bool triggers = false;
    bool triggersExact = true;
    const std::vector<Held> held = heldIn(db, objects());
    for (std::size_t i = 0; i < held.size(); ++i) {
        const SchemaObject& o = objects()[i];
        if (held[i] == Held::Absent)
            continue;
        ++found.present;
        const bool exact = held[i] == Held::Exact;
        found.exact = found.exact && exact;
        if (exact &&
            (std::strcmp(o.name, "RecipeWordsPending") == 0 || std::strcmp(o.name, "RecipeWordsLoose") == 0))
            ++notesExact;
        if (std::strcmp(o.type, "trigger") == 0) {
            triggers = true;
            triggersExact = triggersExact && exact;
        }
    }
    found.triggersWithoutPending = triggers && !(notesExact == 2 && triggersExact);
    return found;
}

std::optional<Stamp> intact(sqlite::Database& db)
{
    const Presence p = presence(db);
    if (p.present != int(objects().size()) || !p.exact)
        return std::nullopt;
    const auto stamp = read(db);
    if (!stamp)
        return std::nullopt;
    // A recipe another program added while the triggers were gone is neither indexed nor waiting.
    sqlite::Statement unnoted(db,
                              "SELECT 1 FROM Recipes WHERE (rowid > ?1 OR rowid < 0) "
                              "AND rowid NOT IN (SELECT id FROM RecipeWordsPending) LIMIT 1",
                              ReadAction);
    unnoted.bind(1, stamp->highestId);
    if (unnoted.step())
        return std::nullopt;
    return stamp;
}

} // namespace pantrio::WordIndexStamp
