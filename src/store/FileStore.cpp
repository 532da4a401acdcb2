#include "FileStore.h"

#include "FindKeyTable.h"
#include "CollectionFile.h"
#include "RecipeListSource.h"
#include "RecipeTable.h"
#include "WordIndex.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");
const QString ImportAction = QStringLiteral("import recipes into");

RecipeValues rowValues(const sqlite::Statement& row, int first)
{
    RecipeValues r;
    for (Field f : allFields)
        r[f] = row.text(int(fieldIndex(f)) + first);
    return r;
}

} // namespace

std::int64_t FileRows::highestId()
{
    sqlite::Statement highest(db_, "SELECT coalesce(max(rowid), 0) FROM Recipes", ImportAction);
    highest.step();
    return highest.int64(0);
}

void FileRows::insert(std::int64_t id, const RecipeValues& values)
{
    if (!insert_) {
        static const QByteArray sql = "INSERT INTO Recipes (rowid, " + RecipeTable::columnList() +
                                      ") VALUES (?1, " + RecipeTable::placeholders(FieldCount, 2) + ")";
        insert_.emplace(db_, sql.constData(), ImportAction);
    }
    insert_->bind(1, id);
    for (Field f : allFields)
        insert_->bind(int(fieldIndex(f)) + 2, values[f]);
    insert_->step();
    insert_->reset();
}

std::optional<RecipeValues> FileRows::fetch(std::int64_t id)
{
    if (!fetch_) {
        static const QByteArray sql = "SELECT " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?";
        fetch_.emplace(db_, sql.constData(), ImportAction);
    }
    fetch_->reset();
    fetch_->bind(1, id);
    std::optional<RecipeValues> found;
    if (fetch_->step())
        found = rowValues(*fetch_, 0);
    fetch_->reset();
    return found;
}

void FileRows::forEach(const std::function<bool(std::int64_t, const RecipeValues&)>& row)
{
    static const QByteArray sql =
        "SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes ORDER BY rowid";
    sqlite::Statement all(db_, sql.constData(), ReadAction);
    while (all.step())
        if (!row(all.int64(0), rowValues(all, 1)))
            return;
}

void FileRows::beginPart()
{
    db_.exec("SAVEPOINT importing_part", ImportAction);
}

void FileRows::keepPart()
{
    db_.exec("RELEASE importing_part", ImportAction);
}

void FileRows::dropPart()
{
    db_.exec("ROLLBACK TO importing_part; RELEASE importing_part", ImportAction);
}

std::unique_ptr<FileStore> FileStore::open(const QString& path, OpenMode mode, int busyTimeoutMs,
                                           FirstChangeBackup::Options backup)
{
    sqlite::Database db = openCollectionFile(path, mode, busyTimeoutMs);
    const bool heldAlone = mode == OpenMode::Exclusive && !db.readOnly();
    FindKeyTable::checkAtOpen(db, heldAlone);
    WordIndex::checkAtOpen(db, heldAlone);
    std::unique_ptr<FileStore> store(new FileStore(std::move(db), std::move(backup)));
    store->snapshot_.open(mode);
    return store;
}

FileStore::FileStore(sqlite::Database db, FirstChangeBackup::Options backup)
    : db_(std::move(db)), backup_(std::move(backup)),
      writer_(db_, db_.readOnly() || !QFileInfo(db_.path()).isWritable(), backup_), snapshot_(db_)
{}

void FileStore::setOnBackupFailed(std::function<void(const QString&)> onFailed)
{
    backup_.onFailed = std::move(onFailed);
}

void FileStore::startBackgroundWork()
{
    if (!db_.isOpen() || backgroundStarted_)
        return;
    backgroundStarted_ = true;
    RecipeSearch::LoadOptions options;
    // The rest of the snapshot first, then the search index, so that the first search finds
    // it ready.
    options.first = snapshot_.restReader();
    search_.startLoading(db_, std::move(options));
}

void FileStore::close()
{
    search_.clear();
    db_.close();
}

bool FileStore::readRow(std::int64_t id, RecipeValues& values, std::int64_t& version)
{
    static const QByteArray sql = "SELECT " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?";
    sqlite::Statement row(db_, sql.constData(), ReadAction);
    row.bind(1, id);
    version = 0; // the file compares the values themselves
    if (!row.step())
        return false;
    values = rowValues(row, 0);
    return true;
}

std::int64_t FileStore::insert(const RecipeValues& values, std::int64_t highestId)
{
    return writer_.insert(values, highestId);
}

std::int64_t FileStore::update(std::int64_t id, const RecipeValues& read, std::int64_t,
                               const RecipeValues& values, const Changed& changed)
{
    writer_.update(id, read, values, changed);
    return 0;
}

void FileStore::remove(std::int64_t id)
{
    writer_.remove(id);
}

bool FileStore::transact(const std::function<bool(RecipeRows&)>& work)
{
    return writer_.transact(
        [&] {
            FileRows rows(db_);
            return work(rows);
        },
        [this] { search_.catchUpWords(db_); });
}

void FileStore::read(const std::function<void(RecipeRows&)>& work)
{
    db_.exec("BEGIN", ReadAction);
    try {
        FileRows rows(db_);
        work(rows);
    } catch (...) {
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    db_.exec("COMMIT", ReadAction);
}

std::optional<std::int64_t> FileStore::findAfter(const SearchCondition& condition, std::int64_t afterId,
                                                 std::span<const std::int64_t> snapshot)
{
    return search_.findAfter(db_, condition, afterId, snapshot);
}

RecipeListSource FileStore::listSource()
{
    return RecipeListSource(db_);
}

} // namespace pantrio
