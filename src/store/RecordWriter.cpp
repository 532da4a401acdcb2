#include "RecordWriter.h"

#include "RecipeTable.h"
#include "Sqlite.h"
#include "StoreError.h"

#include <QDir>
#include <QScopeGuard>
#include <sqlite3.h>

namespace pantrio {

namespace {

const QString SaveAction = QStringLiteral("save the recipe to");
const QString DeleteAction = QStringLiteral("delete the recipe from");

void rollBack(sqlite::Database& db)
{
    if (!sqlite3_get_autocommit(db.handle()))
        sqlite3_exec(db.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

} // namespace

void RecordWriter::prepareChange(const QString& action)
{
    if (readOnly_)
        sqlite::fail(SQLITE_READONLY, action, db_.path());
    backup_.beforeChange(db_);
}

std::int64_t RecordWriter::insert(const RecipeValues& values, std::int64_t highestId)
{
    prepareChange(SaveAction);
    static const QByteArray sql = "INSERT INTO Recipes (rowid, " + RecipeTable::columnList() +
                                  ") VALUES ((SELECT max(coalesce(max(rowid), 0), ?1) + 1 FROM Recipes), " +
                                  RecipeTable::placeholders(FieldCount, 2) + ")";
    sqlite::Statement insert(db_, sql.constData(), SaveAction);
    insert.bind(1, highestId);
    for (Field f : allFields)
        insert.bind(int(fieldIndex(f)) + 2, values[f]);
    insert.step();
    return db_.lastInsertRowid();
}

// Reads, compares and writes in one write transaction, so no other program can change the
// recipe between the check and the update.
void RecordWriter::update(std::int64_t id, const RecipeValues& read, const RecipeValues& values,
                          const Changed& changed)
{
    prepareChange(SaveAction);
    db_.exec("BEGIN IMMEDIATE", SaveAction);
    auto rollback = qScopeGuard([this] { rollBack(db_); });
    {
        static const QByteArray sql = "SELECT " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?";
        sqlite::Statement row(db_, sql.constData(), SaveAction);
        row.bind(1, id);
        if (!row.step())
            throw StoreError(
                StoreError::Kind::RecordDeleted,
                QStringLiteral("Pantrio could not save the recipe to \"%1\": another program has deleted it.")
                    .arg(QDir::toNativeSeparators(db_.path())));
        for (Field f : allFields)
            if (row.text(int(fieldIndex(f))) != read[f])
                throw StoreError(
                    StoreError::Kind::ChangedByOther,
                    QStringLiteral("Another program has changed this recipe in \"%1\" since Pantrio "
                                   "showed it.")
                        .arg(QDir::toNativeSeparators(db_.path())));
    }
    QByteArray sql = "UPDATE Recipes SET ";
    int n = 0;
    for (Field f : allFields) {
        if (!changed.test(fieldIndex(f)))
            continue;
        if (n++)
            sql += ", ";
        sql += RecipeTable::quotedColumn(f) + " = ?" + QByteArray::number(n);
    }
    sql += " WHERE rowid = ?" + QByteArray::number(n + 1);
    {
        sqlite::Statement update(db_, sql.constData(), SaveAction);
        n = 0;
        for (Field f : allFields)
            if (changed.test(fieldIndex(f)))
                update.bind(++n, values[f]);
        update.bind(n + 1, id);
        update.step();
    }
    db_.exec("COMMIT", SaveAction);
    rollback.dismiss();
}

void RecordWriter::remove(std::int64_t id)
{
    prepareChange(DeleteAction);
    sqlite::Statement del(db_, "DELETE FROM Recipes WHERE rowid = ?", DeleteAction);
    del.bind(1, id);
    del.step();
}

bool RecordWriter::transact(const std::function<bool()>& work, const std::function<void()>& beforeCommit)
{
    // An export passes through here too and may take a copy it did not need; it is made once.
    prepareChange(SaveAction);
    // A bulk change rewrites the pages of the indexes over and over: with the engine's small
    // default cache each would go to the file as often.
    db_.exec("PRAGMA cache_size = -65536", SaveAction);
    const auto smallCache = qScopeGuard(
        [this] { sqlite3_exec(db_.handle(), "PRAGMA cache_size = -2000", nullptr, nullptr, nullptr); });
    db_.exec("BEGIN IMMEDIATE", SaveAction);
    bool commit = false;
    try {
        commit = work();
    } catch (...) {
        rollBack(db_);
        throw;
    }
    if (!commit) {
        db_.exec("ROLLBACK", SaveAction);
        return false;
    }
    try {
        beforeCommit();
        db_.exec("COMMIT", SaveAction);
    } catch (...) {
        // A commit that failed (a full disk) leaves the transaction open: nothing may stay of it.
        rollBack(db_);
        throw;
    }
    return true;
}

} // namespace pantrio
