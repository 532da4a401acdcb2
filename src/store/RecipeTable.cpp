#include "RecipeTable.h"

#include "RecipeSearch.h"
#include "Sqlite.h"

#include <QFileInfo>

#include <sqlite3.h>

namespace pantrio::RecipeTable {

QByteArray quotedColumn(Field f)
{
    return '"' + QByteArray(columnName(f)) + '"';
}

QByteArray columnList(std::span<const Field> fields)
{
    QByteArray out;
    for (Field f : fields) {
        if (!out.isEmpty())
            out += ", ";
        out += quotedColumn(f);
    }
    return out;
}

QByteArray placeholders(int count, int first)
{
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        if (i)
            out += ", ";
        out += '?' + QByteArray::number(first + i);
    }
    return out;
}

namespace {

// The rows keep the table's own order through their rowids, which only grow.
// `RecipesInOrder` is keyed on a constant, so its entries are the rowids in order at a few
// bytes each: the cursor reads its snapshot from it without touching the wide rows.
QByteArray tableSchema()
{
    QByteArray columns;
    for (Field f : allFields) {
        if (!columns.isEmpty())
            columns += ",\n    ";
        columns += quotedColumn(f) + " TEXT";
    }
    return "CREATE TABLE Recipes (\n    " + columns + "\n);\nCREATE INDEX RecipesInOrder ON Recipes (0);\n";
}

} // namespace

void createFile(const QString& path, const std::function<bool(RecipeValues&)>& next)
{
    if (QFileInfo::exists(path))
        throw StoreError(StoreError::Kind::Other,
                         QStringLiteral("Pantrio will not create \"%1\": the file already exists.").arg(path));
    sqlite::Database db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const QString action = QStringLiteral("create");
    db.exec(("BEGIN;\n" + tableSchema() + RecipeSearch::schema() + "COMMIT;\n").constData(), action);
    if (!next)
        return;
    db.exec("BEGIN", action);
    const QByteArray sql = "INSERT INTO Recipes (" + columnList() + ") VALUES (" + placeholders(FieldCount) + ")";
    sqlite::Statement insert(db, sql.constData(), action);
    RecipeValues row;
    while (next(row)) {
        for (Field f : allFields)
            insert.bind(int(fieldIndex(f)) + 1, row[f]);
        insert.step();
        insert.reset();
    }
    db.exec("COMMIT", action);
}

} // namespace pantrio::RecipeTable
