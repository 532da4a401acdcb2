#include "RecipeTable.h"

#include "FindKeyTable.h"
#include "NameOrder.h"
#include "RecipeSearch.h"
#include "Sqlite.h"
#include "WordIndex.h"

#include <QDir>
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
        throw StoreError(
            StoreError::Kind::Other,
            QStringLiteral("Pantrio will not create \"%1\": the file already exists.").arg(path));
    sqlite::Database db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    const QString action = QStringLiteral("create");
    // Takes effect with the first table, so it comes before the schema.
    db.exec(("PRAGMA page_size = " + QByteArray::number(PageSize)).constData(), action);
    db.exec(("BEGIN;\n" + tableSchema() + RecipeSearch::schema() + "COMMIT;\n").constData(), action);
    db.exec("BEGIN", action);
    const QByteArray sql =
        "INSERT INTO Recipes (" + columnList() + ") VALUES (" + placeholders(FieldCount) + ")";
    sqlite::Statement insert(db, sql.constData(), action);
    RecipeValues row;
    while (next && next(row)) {
        for (Field f : allFields)
            insert.bind(int(fieldIndex(f)) + 1, row[f]);
        insert.step();
        insert.reset();
    }
    // Indexed once all rows are in: nothing waits for the index, and no page is left empty.
    WordIndex::addTo(db);
    db.exec("COMMIT", action);
}

namespace {

int pageSizeOf(sqlite::Database& db)
{
    sqlite::Statement size(db, "PRAGMA page_size", QStringLiteral("read"));
    return size.step() ? int(size.int64(0)) : 0;
}

} // namespace

Compaction compactFile(const QString& path)
{
    const QString action = QStringLiteral("compact");
    Compaction result;
    result.bytesBefore = QFileInfo(path).size();
    sqlite::Database db(path, SQLITE_OPEN_READWRITE);
    // No waiting: a lock held now is a window that has the file open.
    sqlite3_busy_timeout(db.handle(), 0);
    db.exec("PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", action);
    {
        sqlite::Statement table(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Recipes'",
                                action);
        if (!table.step())
            throw StoreError(StoreError::Kind::TableMissing,
                             QStringLiteral("Pantrio could not compact \"%1\": it holds no table of recipes.")
                                 .arg(QDir::toNativeSeparators(path)));
    }
    result.pageSizeBefore = pageSizeOf(db);
    // Files from before the word index get it now, while the file is rewritten anyway, and one
    // that another program left incomplete gets a new one.
    FindKeyTable::checkAtOpen(db, true);
    if (!WordIndex::whole(db) || WordIndex::tooLoose(db)) {
        db.exec("BEGIN", action);
        WordIndex::rebuild(db);
        db.exec("COMMIT", action);
    } else if (!NameOrder::presentIn(db)) {
        db.exec("BEGIN", action);
        NameOrder::rebuild(db);
        db.exec("COMMIT", action);
    }
    // The copy keeps every rowid (the engine copies whole records into the empty new table),
    // so bookmarks, the table's order and the key table stay as they were.
    db.exec(("PRAGMA page_size = " + QByteArray::number(PageSize) + "; VACUUM;").constData(), action);
    result.pageSizeAfter = pageSizeOf(db);
    db.close();
    result.bytesAfter = QFileInfo(path).size();
    return result;
}

} // namespace pantrio::RecipeTable
