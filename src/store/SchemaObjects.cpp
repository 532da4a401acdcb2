#include "SchemaObjects.h"

#include "Sqlite.h"

#include <algorithm>
#include <string_view>

namespace pantrio {

std::vector<Held> heldIn(sqlite::Database& db, SchemaObjects objects)
{
    sqlite::Statement get(db, "SELECT type, sql FROM sqlite_master WHERE name = ?1",
                          QStringLiteral("read the recipe file"));
    std::vector<Held> held;
    held.reserve(objects.size());
    for (const SchemaObject& o : objects) {
        get.reset();
        get.bind(1, QString::fromLatin1(o.name));
        if (!get.step())
            held.push_back(Held::Absent);
        else if (get.blob(0) == std::string_view(o.type) &&
                 get.blob(1) == std::string_view(o.sql.constData(), std::size_t(o.sql.size())))
            held.push_back(Held::Exact);
        else
            held.push_back(Held::Other);
    }
    return held;
}

bool allExact(sqlite::Database& db, SchemaObjects objects)
{
    const std::vector<Held> held = heldIn(db, objects);
    return std::all_of(held.begin(), held.end(), [](Held h) { return h == Held::Exact; });
}

QByteArray createSql(SchemaObjects objects)
{
    QByteArray sql;
    for (const SchemaObject& o : objects)
        sql += o.sql + ";\n";
    return sql;
}

void dropAll(sqlite::Database& db, SchemaObjects objects, const QString& action)
{
    for (auto o = objects.rbegin(); o != objects.rend(); ++o)
        db.exec((QByteArray("DROP ") + o->type + " IF EXISTS " + o->name).constData(), action);
}

} // namespace pantrio
