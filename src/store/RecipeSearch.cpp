#include "RecipeSearch.h"

#include "RecipeTable.h"
#include "Sqlite.h"

#include <algorithm>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");

bool inSnapshot(std::span<const std::int64_t> snapshot, std::int64_t id)
{
    return std::binary_search(snapshot.begin(), snapshot.end(), id);
}

QByteArray newColumns()
{
    QByteArray out = "new.rowid";
    for (Field f : FindIndex::KeyFields)
        out += ", new." + RecipeTable::quotedColumn(f);
    return out;
}

} // namespace

QByteArray RecipeSearch::schema()
{
    QByteArray columns;
    for (Field f : FindIndex::KeyFields)
        columns += ", " + RecipeTable::quotedColumn(f) + " TEXT";
    const QByteArray copy = "    INSERT OR REPLACE INTO RecipeFindKeys VALUES (" + newColumns() + ");\n";
    return "CREATE TABLE RecipeFindKeys (id INTEGER PRIMARY KEY" + columns + ");\n"
           "CREATE TRIGGER RecipeFindKeysInsert AFTER INSERT ON Recipes BEGIN\n" + copy + "END;\n"
           "CREATE TRIGGER RecipeFindKeysUpdate AFTER UPDATE ON Recipes BEGIN\n"
           "    DELETE FROM RecipeFindKeys WHERE id = old.rowid;\n" + copy + "END;\n"
           "CREATE TRIGGER RecipeFindKeysDelete AFTER DELETE ON Recipes BEGIN\n"
           "    DELETE FROM RecipeFindKeys WHERE id = old.rowid;\n"
           "END;\n";
}

// Another program's change shows in the engine's data version; the index is then read anew.
void RecipeSearch::loadIfStale(sqlite::Database& db)
{
    std::int64_t version = 0;
    {
        sqlite::Statement v(db, "PRAGMA data_version", ReadAction);
        if (v.step())
            version = v.int64(0);
    }
    if (index_.loaded() && version == dataVersion_)
        return;
    bool haveKeyTable = false;
    {
        sqlite::Statement probe(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'RecipeFindKeys'",
                                QStringLiteral("read"));
        haveKeyTable = probe.step();
    }
    const QByteArray keys = RecipeTable::columnList(FindIndex::KeyFields);
    const QByteArray sql = haveKeyTable ? "SELECT id, " + keys + " FROM RecipeFindKeys ORDER BY id"
                                        : "SELECT rowid, " + keys + " FROM Recipes ORDER BY rowid";
    sqlite::Statement rows(db, sql.constData(), QStringLiteral("read"));
    index_.load(rows);
    dataVersion_ = version;
}

std::optional<std::int64_t> RecipeSearch::findAfter(sqlite::Database& db, const SearchCondition& condition,
                                                    std::int64_t afterId, std::span<const std::int64_t> snapshot)
{
    if (!condition.usesOnly(FindIndex::KeyFields))
        return scanTable(db, condition, afterId, snapshot);
    loadIfStale(db);
    std::int64_t from = afterId;
    while (const auto hit = index_.findAfter(condition, from)) {
        if (inSnapshot(snapshot, *hit))
            return hit;
        from = *hit;
    }
    return std::nullopt;
}

std::optional<std::int64_t> RecipeSearch::scanTable(sqlite::Database& db, const SearchCondition& condition,
                                                    std::int64_t afterId, std::span<const std::int64_t> snapshot)
{
    const QByteArray sql =
        "SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes WHERE rowid > ? ORDER BY rowid";
    sqlite::Statement rows(db, sql.constData(), ReadAction);
    rows.bind(1, afterId);
    while (rows.step()) {
        const std::int64_t id = rows.int64(0);
        if (!inSnapshot(snapshot, id))
            continue;
        RecipeValues v;
        for (Field f : allFields)
            v[f] = rows.text(int(fieldIndex(f)) + 1);
        if (condition.matches(v))
            return id;
    }
    return std::nullopt;
}

void RecipeSearch::noteAdded(std::int64_t id, const RecipeValues& values)
{
    index_.noteAppended(id, values);
}

void RecipeSearch::noteChanged(std::int64_t id, const RecipeValues& values, const std::bitset<FieldCount>& changed)
{
    for (Field f : FindIndex::KeyFields)
        if (changed.test(fieldIndex(f))) {
            index_.noteChanged(id, values);
            return;
        }
}

void RecipeSearch::noteDeleted(std::int64_t id)
{
    index_.noteDeleted(id);
}

void RecipeSearch::clear()
{
    index_.clear();
    dataVersion_ = -1;
}

} // namespace pantrio
