#include "FindKeyTable.h"

#include "FindIndex.h"
#include "RecipeTable.h"
#include "Sqlite.h"
#include "StoreError.h"

#include <sqlite3.h>
#include <vector>

namespace pantrio::FindKeyTable {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
const QString KeyAction = QStringLiteral("index the names of the recipe file");

struct Object
{
    const char* type;
    const char* name;
    QByteArray sql; // as the engine keeps it in sqlite_master
};

// Triggers first: they name the table.
const std::vector<Object>& objects()
{
    static const std::vector<Object> all = [] {
        QByteArray columns;
        QByteArray values = "new.rowid";
        for (Field f : FindIndex::KeyFields) {
            columns += ", " + RecipeTable::quotedColumn(f) + " TEXT";
            values += ", new." + RecipeTable::quotedColumn(f);
        }
        const QByteArray copy = "    INSERT OR REPLACE INTO RecipeFindKeys VALUES (" + values + ");\n";
        const QByteArray drop = "    DELETE FROM RecipeFindKeys WHERE id = old.rowid;\n";
        return std::vector<Object>{
            {"trigger", "RecipeFindKeysInsert",
             "CREATE TRIGGER RecipeFindKeysInsert AFTER INSERT ON Recipes BEGIN\n" + copy + "END"},
            {"trigger", "RecipeFindKeysUpdate",
             "CREATE TRIGGER RecipeFindKeysUpdate AFTER UPDATE ON Recipes BEGIN\n" + drop + copy + "END"},
            {"trigger", "RecipeFindKeysDelete",
             "CREATE TRIGGER RecipeFindKeysDelete AFTER DELETE ON Recipes BEGIN\n" + drop + "END"},
            {"table", "RecipeFindKeys",
             "CREATE TABLE RecipeFindKeys (id INTEGER PRIMARY KEY" + columns + ")"},
        };
    }();
    return all;
}

enum class State { Absent, Exact, Damaged, TriggersWithoutTable };

State stateOf(sqlite::Database& db)
{
    sqlite::Statement get(db, "SELECT type, sql FROM sqlite_master WHERE name = ?1", ReadAction);
    int present = 0;
    bool exact = true, table = false, triggers = false;
    for (const Object& o : objects()) {
        get.reset();
        get.bind(1, QString::fromLatin1(o.name));
        if (!get.step())
            continue;
        ++present;
        exact = exact && get.blob(0) == o.type &&
                get.blob(1) == std::string_view(o.sql.constData(), o.sql.size());
        (o.type == std::string_view("table") ? table : triggers) = true;
    }
    if (present == 0)
        return State::Absent;
    if (present == int(objects().size()) && exact)
        return State::Exact;
    return triggers && !table ? State::TriggersWithoutTable : State::Damaged;
}

void dropAll(sqlite::Database& db)
{
    for (const Object& o : objects())
        db.exec((QByteArray("DROP ") + o.type + " IF EXISTS " + o.name).constData(), KeyAction);
}

} // namespace

QByteArray schema()
{
    QByteArray sql;
    for (auto o = objects().rbegin(); o != objects().rend(); ++o)
        sql += o->sql + ";\n";
    return sql;
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
        dropAll(db);
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
