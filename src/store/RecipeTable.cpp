#include "RecipeTable.h"

#include "Sqlite.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace pantrio::RecipeTable {

int fieldIndex(const QString& name)
{
    for (int i = 0; i < FieldCount; ++i)
        if (name.compare(QLatin1String(Fields[size_t(i)]), Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QStringList fieldNames()
{
    QStringList names;
    for (const char* f : Fields)
        names << QLatin1String(f);
    return names;
}

// The rows keep the table's own order through their rowids, which only grow.
// `RecipesInOrder` is keyed on a constant, so its entries are the rowids in order at a few
// bytes each: the cursor reads its snapshot from it without touching the wide rows.
// `RecipeFindKeys` mirrors the two searched fields, kept current by triggers so that any
// program writing the table keeps it right; searches read it instead of the whole table.
static const char* const Schema = R"sql(
BEGIN;
CREATE TABLE Recipes (
    FoodCategoryID TEXT,
    RecipeName TEXT,
    "Recipe Description" TEXT,
    TimeToPrepare TEXT,
    Ingredients TEXT,
    Instructions TEXT,
    Notes TEXT
);
CREATE INDEX RecipesInOrder ON Recipes (0);
CREATE TABLE RecipeFindKeys (id INTEGER PRIMARY KEY, FoodCategoryID TEXT, RecipeName TEXT);
CREATE TRIGGER RecipeFindKeysInsert AFTER INSERT ON Recipes BEGIN
    INSERT OR REPLACE INTO RecipeFindKeys VALUES (new.rowid, new.FoodCategoryID, new.RecipeName);
END;
CREATE TRIGGER RecipeFindKeysUpdate AFTER UPDATE ON Recipes BEGIN
    DELETE FROM RecipeFindKeys WHERE id = old.rowid;
    INSERT OR REPLACE INTO RecipeFindKeys VALUES (new.rowid, new.FoodCategoryID, new.RecipeName);
END;
CREATE TRIGGER RecipeFindKeysDelete AFTER DELETE ON Recipes BEGIN
    DELETE FROM RecipeFindKeys WHERE id = old.rowid;
END;
COMMIT;
)sql";

void createFile(const QString& path, const std::function<bool(std::array<FieldValue, FieldCount>&)>& next)
{
    if (QFileInfo::exists(path))
        throw StoreError(StoreError::Kind::Other,
                         QStringLiteral("Pantrio will not create \"%1\": the file already exists.").arg(path));
    sqlite::Database db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const QString action = QStringLiteral("create");
    db.exec(Schema, action);
    if (!next)
        return;
    db.exec("BEGIN", action);
    sqlite::Statement insert(db,
                             "INSERT INTO Recipes (FoodCategoryID, RecipeName, \"Recipe Description\", TimeToPrepare, "
                             "Ingredients, Instructions, Notes) VALUES (?, ?, ?, ?, ?, ?, ?)",
                             action);
    std::array<FieldValue, FieldCount> row;
    while (next(row)) {
        for (int f = 0; f < FieldCount; ++f)
            insert.bind(f + 1, row[size_t(f)]);
        insert.step();
        insert.reset();
    }
    db.exec("COMMIT", action);
}

} // namespace pantrio::RecipeTable
