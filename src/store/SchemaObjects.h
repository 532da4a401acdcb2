#pragma once

#include <QByteArray>
#include <QString>
#include <span>
#include <vector>

namespace pantrio {

namespace sqlite {
class Database;
}

// A table, index or trigger Pantrio keeps in a recipe file beside the recipes, with its SQL as
// the engine keeps it in sqlite_master: that is how a file's copy is known to be exactly
// Pantrio's, and not one another program made or changed.
struct SchemaObject
{
    const char* type;
    const char* name;
    QByteArray sql;
};
using SchemaObjects = std::span<const SchemaObject>; // in the order they are made

enum class Held { Absent, Exact, Other };
// How the file holds each of `objects`.
std::vector<Held> heldIn(sqlite::Database& db, SchemaObjects objects);
bool allExact(sqlite::Database& db, SchemaObjects objects);

QByteArray createSql(SchemaObjects objects);
// Whichever of them the file holds; triggers first, since they name the tables.
void dropAll(sqlite::Database& db, SchemaObjects objects, const QString& action);

} // namespace pantrio
