#include "NameOrder.h"

#include "RecipeTable.h"
#include "SchemaObjects.h"
#include "Sqlite.h"
#include "TextFolding.h"
#include "WordIndexStamp.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
const QString IndexAction = QStringLiteral("index the names of the recipe file");

const std::vector<SchemaObject>& objects()
{
    static const std::vector<SchemaObject> all = {
        {"table", "RecipeNameOrder",
         "CREATE TABLE RecipeNameOrder (id INTEGER PRIMARY KEY, key BLOB NOT NULL)"},
        {"index", "RecipeNameOrderByKey", "CREATE INDEX RecipeNameOrderByKey ON RecipeNameOrder (key)"},
        {"trigger", "RecipeNameOrderDelete",
         "CREATE TRIGGER RecipeNameOrderDelete AFTER DELETE ON Recipes BEGIN\n"
         "    DELETE FROM RecipeNameOrder WHERE id = old.rowid;\nEND"},
    };
    return all;
}

std::string_view utf8(const sqlite::Statement& row, int column)
{
    int size = 0;
    const char* data = row.utf8(column, &size);
    return data ? std::string_view(data, std::size_t(size)) : std::string_view();
}

} // namespace

std::string_view cutListText(std::string_view text)
{
    if (text.size() <= ListTextBytes)
        return text;
    std::size_t end = ListTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

namespace NameOrder {

std::string keyOf(std::string_view name)
{
    return foldLoosely(cutListText(name));
}

QByteArray schema()
{
    return createSql(objects());
}

bool presentIn(sqlite::Database& db)
{
    return allExact(db, objects());
}

void drop(sqlite::Database& db)
{
    dropAll(db, objects(), IndexAction);
}

void rebuild(sqlite::Database& db)
{
    drop(db);
    db.exec(schema().constData(), IndexAction);
    const QByteArray sql = "SELECT rowid, " + RecipeTable::quotedColumn(Field::RecipeName) +
                           " FROM Recipes WHERE rowid > ?1 ORDER BY rowid LIMIT ?2";
    sqlite::Statement rows(db, sql.constData(), IndexAction);
    Writer keys(db);
    constexpr int BatchRows = 65536;
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    for (int count = BatchRows; count == BatchRows;) {
        count = 0;
        rows.reset();
        rows.bind(1, after);
        rows.bind(2, std::int64_t(BatchRows));
        while (rows.step()) {
            after = rows.int64(0);
            keys.add(after, utf8(rows, 1));
            ++count;
        }
        rows.reset();
        keys.flush();
    }
}

Writer::Writer(sqlite::Database& db) : db_(db), present_(presentIn(db)) {}

void Writer::add(std::int64_t id, std::string_view name)
{
    if (present_)
        keys_.emplace_back(keyOf(name), id);
}

void Writer::flush()
{
    if (keys_.empty())
        return;
    std::sort(keys_.begin(), keys_.end());
    // Two statements of one row each, not an INSERT OR REPLACE: that one may change two rows
    // and fail halfway, so the engine copies every page it touches aside first.
    sqlite::Statement gone(db_, "DELETE FROM RecipeNameOrder WHERE id = ?1", IndexAction);
    sqlite::Statement put(db_, "INSERT INTO RecipeNameOrder (id, key) VALUES (?1, ?2)", IndexAction);
    for (const auto& [key, id] : keys_) {
        gone.reset();
        gone.bind(1, id);
        gone.step();
        put.reset();
        put.bind(1, id);
        put.bindBlob(2, key);
        put.step();
    }
    keys_.clear();
}

std::optional<std::vector<Row>> first(sqlite::Database& db, int count)
{
    // Beyond this many the first screen waits for the whole list instead.
    constexpr std::int64_t WaitingAtMost = 4096;
    if (!presentIn(db) || !WordIndexStamp::intact(db))
        return std::nullopt;
    const QByteArray names = RecipeTable::quotedColumn(Field::RecipeName) + ", " +
                             RecipeTable::quotedColumn(Field::FoodCategoryID) + ", " +
                             RecipeTable::quotedColumn(Field::TimeToPrepare);
    struct Keyed
    {
        std::string key;
        Row row;
    };
    std::vector<Keyed> found;
    const auto keep = [&](std::int64_t id, std::string key, const sqlite::Statement& r, int column) {
        found.push_back({std::move(key), Row{id, std::string(cutListText(utf8(r, column))),
                                             std::string(cutListText(utf8(r, column + 1))),
                                             std::string(utf8(r, column + 2))}});
    };
    std::unordered_set<std::int64_t> waiting;
    {
        const QByteArray sql = "SELECT p.id, " + names +
                               " FROM RecipeWordsPending p JOIN Recipes ON Recipes.rowid = p.id LIMIT ?1";
        sqlite::Statement rows(db, sql.constData(), ReadAction);
        rows.bind(1, WaitingAtMost + 1);
        while (rows.step()) {
            if (std::int64_t(waiting.size()) == WaitingAtMost)
                return std::nullopt;
            const std::int64_t id = rows.int64(0);
            waiting.insert(id);
            keep(id, keyOf(utf8(rows, 1)), rows, 1);
        }
    }
    // The key index leads: the recipes are only looked up for the rows shown.
    const QByteArray sql = "SELECT k.id, k.key, " + names +
                           " FROM RecipeNameOrder k CROSS JOIN Recipes ON Recipes.rowid = k.id"
                           " ORDER BY k.key, k.id LIMIT ?1";
    sqlite::Statement rows(db, sql.constData(), ReadAction);
    rows.bind(1, std::int64_t(count) + std::int64_t(waiting.size()));
    while (rows.step()) {
        const std::int64_t id = rows.int64(0);
        if (waiting.count(id))
            continue; // its key may be from before its change
        std::string key = keyOf(utf8(rows, 2));
        if (key != rows.blob(1))
            return std::nullopt; // written by another program: the whole list will tell
        keep(id, std::move(key), rows, 2);
    }
    std::sort(found.begin(), found.end(), [](const Keyed& a, const Keyed& b) {
        return a.key != b.key ? a.key < b.key : a.row.id < b.row.id;
    });
    std::vector<Row> out;
    for (std::size_t i = 0; i < found.size() && int(i) < count; ++i)
        out.push_back(std::move(found[i].row));
    return out;
}

} // namespace NameOrder

} // namespace pantrio
