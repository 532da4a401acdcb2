#include "FileStore.h"

#include "CollectionFile.h"
#include "FindKeyTable.h"
#include "RecipeListSource.h"
#include "RecipeTable.h"
#include "WordIndex.h"

#include <fcntl.h>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <unistd.h>

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

// Starts writing to the disk what a long import has handed to the system so far, without
// waiting for it: the commit then waits for the last of it only, not for the whole file.
void startWritingBack(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    ::close(fd);
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
        words_.emplace(db_);
    }
    if (!partFirstId_)
        partFirstId_ = id;
    // Each field's text is made once, for the row and for the index of its words.
    std::array<QByteArray, FieldCount> utf8;
    std::array<std::optional<std::string_view>, FieldCount> stored;
    insert_->bind(1, id);
    for (Field f : allFields) {
        const std::size_t i = fieldIndex(f);
        if (values[f]) {
            utf8[i] = values[f]->toUtf8();
            stored[i] = std::string_view(utf8[i].constData(), std::size_t(utf8[i].size()));
            insert_->bindText(int(i) + 2, *stored[i]);
        } else {
            insert_->bind(int(i) + 2, std::optional<QString>());
        }
    }
    insert_->step();
    insert_->reset();
    words_->add(id, stored);
    // A batch of recipes at a time, so that the words found stay a modest amount of memory.
    constexpr int BatchRows = 65536;
    if (++sinceWriteBack_ == BatchRows) {
        sinceWriteBack_ = 0;
        words_->flush();
        startWritingBack(db_.path());
    }
}

void FileRows::finish()
{
    if (words_)
        words_->flush();
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

// A part is not a savepoint: its journal would be walked by every statement after it, which
// makes a long import into a big collection slow. Its recipes are those from its first id on.
void FileRows::beginPart()
{
    partFirstId_.reset();
}

void FileRows::keepPart()
{
    partFirstId_.reset();
}

void FileRows::dropPart()
{
    if (!partFirstId_)
        return;
    // Those not indexed yet are left pending, where the deletion ends them; those indexed
    // already are noted as gone by the deletion itself.
    if (words_)
        words_->discard();
    sqlite::Statement drop(db_, "DELETE FROM Recipes WHERE rowid >= ?1", ImportAction);
    drop.bind(1, *partFirstId_);
    drop.step();
    partFirstId_.reset();
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
            if (!work(rows))
                return false;
            rows.finish();
            return true;
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
