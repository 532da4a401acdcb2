#include "FindKeyTable.h"

#include "FindIndex.h"
#include "RecipeTable.h"
#include "SchemaObjects.h"
#include "Sqlite.h"
#include "StoreError.h"

#include <sqlite3.h>
#include <vector>

namespace pantrio::FindKeyTable {

namespace {

const QString KeyAction = QStringLiteral("index the names of the recipe file");

const std::vector<SchemaObject>& objects()
{
    static const std::vector<SchemaObject> all = [] {
        QByteArray columns;
        QByteArray values = "new.rowid";
        for (Field f : FindIndex::KeyFields) {
            columns += ", " + RecipeTable::quotedColumn(f) + " TEXT";
            values += ", new." + RecipeTable::quotedColumn(f);
        }
        const QByteArray copy = "    INSERT OR REPLACE INTO RecipeFindKeys VALUES (" + values + ");\n";
        const QByteArray drop = "    DELETE FROM RecipeFindKeys WHERE id = old.rowid;\n";
        return std::vector<SchemaObject>{
            {"table", "RecipeFindKeys",
             "CREATE TABLE RecipeFindKeys (id INTEGER PRIMARY KEY" + columns + ")"},
            {"trigger", "RecipeFindKeysInsert",
             "CREATE TRIGGER RecipeFindKeysInsert AFTER INSERT ON Recipes BEGIN\n" + copy + "END"},
            {"trigger", "RecipeFindKeysUpdate",
             "CREATE TRIGGER RecipeFindKeysUpdate AFTER UPDATE ON Recipes BEGIN\n" + drop + copy + "END"},
            {"trigger", "RecipeFindKeysDelete",
             "CREATE TRIGGER RecipeFindKeysDelete AFTER DELETE ON Recipes BEGIN\n" + drop + "END"},
        };
    }();
    return all;
}

enum class State { Absent, Exact, Damaged, TriggersWithoutTable };

State stateOf(sqlite::Database& db)
{
    const std::vector<Held> held = heldIn(db, objects());
    int present = 0;
    bool exact = true, table = false, triggers = false;
    for (std::size_t i = 0; i < held.size(); ++i) {
        if (held[i] == Held::Absent)
            continue;
        ++present;
        exact = exact && held[i] == Held::Exact;
        (objects()[i].type == std::string_view("table") ? table : triggers) = true;
    }
    if (present == 0)
        return State::Absent;
    if (present == int(objects().size()) && exact)
        return State::Exact;
    return triggers && !table ? State::TriggersWithoutTable : State::Damaged;
}

} // namespace

QByteArray schema()
{
    return createSql(objects());
}

bool usable(sqlite::Database& db)
{
    return stateOf(db) == State::Exact;
}

void checkAtOpen(sqlite::Database& db, bool heldAlone)
{
    try {
        const State state = stateOf(db);
        if (state == State::Exact || (state == State::Absent && !heldAlone))
            return;
        db.exec("BEGIN IMMEDIATE", KeyAction);
        dropAll(db, objects(), KeyAction);
        if (heldAlone) {
            db.exec(schema().constData(), KeyAction);
            const QByteArray keys = RecipeTable::columnList(FindIndex::KeyFields);
            db.exec(("INSERT INTO RecipeFindKeys SELECT rowid, " + keys + " FROM Recipes").constData(),
                    KeyAction);
        }
        db.exec("COMMIT", KeyAction);
    } catch (const StoreError&) {
        // A read-only folder, a full disk: the table is not used, and Find reads the recipes.
        if (!sqlite3_get_autocommit(db.handle()))
            sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
}

} // namespace pantrio::FindKeyTable
