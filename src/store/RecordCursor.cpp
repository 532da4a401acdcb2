#include "RecordCursor.h"

#include "CollectionBackup.h"
#include "RecipeTable.h"
#include "ShortText.h"
#include "WordIndex.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <limits>
#include <utility>

#include <sqlite3.h>
#include <sys/stat.h>

namespace pantrio {

namespace {

const QString OpenAction = QStringLiteral("open the recipe file");
const QString ReadAction = QStringLiteral("read the recipe file");
const QString SaveAction = QStringLiteral("save the recipe to");
const QString DeleteAction = QStringLiteral("delete the recipe from");

[[noreturn]] void openFailure(StoreError::Kind kind, const QString& path, const QString& cause)
{
    throw StoreError(kind, QStringLiteral("Pantrio could not open the recipe file \"%1\": %2.")
                               .arg(QDir::toNativeSeparators(path), cause));
}

// Catches what the engine would only call "not a database", with a more helpful cause.
void checkFileKind(const QString& path)
{
    struct stat info{};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        openFailure(StoreError::Kind::FileMissing, path, QStringLiteral("the file does not exist"));
    // Checked before reading: opening a pipe would wait for a writer forever.
    if (S_ISDIR(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is a folder, not a file"));
    if (S_ISFIFO(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is a named pipe, not a file"));
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is a device, not a file"));
    if (!S_ISREG(info.st_mode))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("it is not an ordinary file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        openFailure(StoreError::Kind::IoError, path,
                    QStringLiteral("the file cannot be read (%1)").arg(file.errorString()));
    const QByteArray head = file.read(100);
    if (head.isEmpty())
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("the file is empty, not a recipe database"));
    if (head.mid(4, 15) == "Standard Jet DB" || head.mid(4, 15) == "Standard ACE DB")
        openFailure(StoreError::Kind::NotADatabase, path,
                    QStringLiteral("it is a Microsoft Access database, which Pantrio cannot read"));
    if (!head.startsWith(QByteArray("SQLite format 3\0", 16)))
        openFailure(StoreError::Kind::NotADatabase, path, QStringLiteral("the file is not a recipe database"));
    if (head.size() < 100)
        openFailure(StoreError::Kind::Damaged, path, QStringLiteral("the file is damaged (it is cut short)"));
}

} // namespace

RecordCursor::RecordCursor(sqlite::Database db, Options options, Backup backup)
    : db_(std::move(db)), options_(options), backup_(std::move(backup))
{}

RecordCursor::~RecordCursor() = default;

std::unique_ptr<RecordCursor> RecordCursor::open(const QString& path, Options options)
{
    return open(path, options, Backup());
}

std::unique_ptr<RecordCursor> RecordCursor::open(const QString& path, Options options, Backup backup)
{
    checkFileKind(path);
    // Serialized: the search index loads through this connection on a worker thread.
    sqlite::Database db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX);
    sqlite3_busy_timeout(db.handle(), options.busyTimeoutMs);

    if (options.mode == OpenMode::Exclusive) {
        // Taking the write lock once in exclusive locking mode keeps it until the file is closed,
        // so no other program can read or write meanwhile. A read-only file can only be held
        // against writers.
        db.exec("PRAGMA locking_mode = EXCLUSIVE", OpenAction);
        if (!db.readOnly())
            db.exec("BEGIN EXCLUSIVE; COMMIT;", OpenAction);
        db.expectSoleWriter();
    }

    {
        sqlite::Statement table(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'Recipes'",
                                OpenAction);
        if (!table.step())
            openFailure(StoreError::Kind::TableMissing, path, QStringLiteral("it holds no table of recipes"));
    }
    {
        sqlite::Statement columns(db, "PRAGMA table_info(\"Recipes\")", OpenAction);
        QStringList present;
        while (columns.step())
            present << columns.text(1).value_or(QString());
        QStringList missing;
        for (Field f : allFields)
            if (!present.contains(QLatin1StringView(columnName(f)), Qt::CaseInsensitive))
                missing << QLatin1StringView(columnName(f));
        if (!missing.isEmpty())
            openFailure(StoreError::Kind::TableMissing, path,
                        QStringLiteral("the recipe table lacks the field(s) %1").arg(missing.join(QStringLiteral(", "))));
    }
    WordIndex::checkAtOpen(db, options.mode == OpenMode::Exclusive && !db.readOnly());

    std::unique_ptr<RecordCursor> cursor(new RecordCursor(std::move(db), options, std::move(backup)));
    cursor->readOnly_ = cursor->db_.readOnly() || !QFileInfo(path).isWritable();
    cursor->openSnapshot();
    cursor->pos_ = cursor->ids_.empty() ? -1 : 0;
    cursor->loadCurrent();
    return cursor;
}

void RecordCursor::startBackgroundWork()
{
    if (!db_.isOpen() || backgroundStarted_)
        return;
    backgroundStarted_ = true;
    RecipeSearch::LoadOptions options;
    std::shared_ptr<RestLoad> load;
    if (!snapshotComplete_) {
        load = std::make_shared<RestLoad>();
        load->ids.reserve(size_t(snapshotCount_));
        load->ids = ids_;
        options.first = [this, load] {
            std::vector<std::int64_t> ids = std::move(load->ids);
            bool complete = false;
            try {
                readSnapshotRest(ids);
                complete = true;
            } catch (...) {
                // Left to the operation that needs the rest: it reads it again and reports what fails.
            }
            const std::lock_guard lock(load->mutex);
            load->ids = std::move(ids);
            load->complete = complete;
            load->done = true;
            load->ended.notify_all();
        };
    }
    // Loaded while the window shows the first recipe, so that the first search finds it ready.
    search_.startLoading(db_, std::move(options));
    restLoad_ = std::move(load);
}

namespace {

constexpr int SnapshotStartRows = 256; // read at open: the first moves need not wait for the rest

// Gathers every rowid of a scan inside the engine: one call instead of a step per row.
void collectId(sqlite3_context* context, int, sqlite3_value** args)
{
    static_cast<std::vector<std::int64_t>*>(sqlite3_user_data(context))->push_back(sqlite3_value_int64(args[0]));
}

void collectDone(sqlite3_context* context)
{
    sqlite3_result_null(context);
}

bool hasOrderIndex(sqlite::Database& db)
{
    sqlite::Statement probe(
        db, "SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'RecipesInOrder'", ReadAction);
    return probe.step();
}

} // namespace

// Appends the rowids that `sql` hands to pantrio_collect(), bound to `after` when given.
void RecordCursor::collectIds(std::vector<std::int64_t>& ids, const char* sql,
                              std::optional<std::int64_t> after)
{
    // Held throughout, so that no statement of the search index's worker is running when the
    // function is registered or goes again.
    const sqlite::ConnectionLock lock(db_);
    const int rc = sqlite3_create_function(db_.handle(), "pantrio_collect", 1, SQLITE_UTF8 | SQLITE_DIRECTONLY, &ids,
                                           nullptr, collectId, collectDone);
    if (rc != SQLITE_OK)
        sqlite::fail(rc, ReadAction, db_.path());
    const auto unregister = qScopeGuard([this] {
        sqlite3_create_function(db_.handle(), "pantrio_collect", 1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr);
    });
    sqlite::Statement rows(db_, sql, ReadAction);
    if (after)
        rows.bind(1, *after);
    rows.step();
}

// Held exclusively, the table cannot change under the cursor: the count and the first rows
// stand for the whole snapshot until an operation needs the rest. Shared, another program's
// add or delete between two reads would make them disagree, and a file without the order
// index could not be read in parts without reading the wide rows: the whole snapshot is
// read now.
void RecordCursor::openSnapshot()
{
    if (options_.mode != OpenMode::Exclusive || !hasOrderIndex(db_)) {
        loadSnapshot();
        return;
    }
    std::vector<std::int64_t> ids;
    {
        sqlite::Statement rows(db_, "SELECT rowid FROM Recipes INDEXED BY RecipesInOrder LIMIT ?",
                               ReadAction);
        rows.bind(1, std::int64_t(SnapshotStartRows));
        while (rows.step())
            ids.push_back(rows.int64(0));
    }
    std::int64_t count = std::int64_t(ids.size());
    if (count == SnapshotStartRows) {
        sqlite::Statement rows(db_, "SELECT count(*) FROM Recipes", ReadAction);
        count = rows.step() ? rows.int64(0) : 0;
    }
    ids_ = std::move(ids);
    snapshotCount_ = int(count);
    snapshotComplete_ = count <= std::int64_t(ids_.size());
    if (!ids_.empty())
        highestId_ = std::max(highestId_, ids_.back());
    gap_ = 0;
}

// Appends the ids after the last one held. The order index cannot seek to a rowid; the rows
// before it are passed over inside the engine.
void RecordCursor::readSnapshotRest(std::vector<std::int64_t>& ids)
{
    collectIds(ids, "SELECT pantrio_collect(rowid) FROM Recipes INDEXED BY RecipesInOrder WHERE rowid > ?",
               ids.back());
}

// Takes the rest as the search index's worker read it, waiting for it if need be, or reads it now.
void RecordCursor::completeSnapshot()
{
    if (snapshotComplete_)
        return;
    if (const auto load = std::exchange(restLoad_, nullptr)) {
        std::unique_lock lock(load->mutex);
        load->ended.wait(lock, [&] { return load->done; });
        if (load->complete)
            ids_ = std::move(load->ids);
    }
    if (ids_.size() < size_t(snapshotCount_))
        readSnapshotRest(ids_);
    snapshotComplete_ = true;
    highestId_ = std::max(highestId_, ids_.back());
}

void RecordCursor::loadSnapshot()
{
    restLoad_.reset(); // what the worker reads of the old snapshot is not wanted
    std::vector<std::int64_t> ids;
    collectIds(ids,
               hasOrderIndex(db_) ? "SELECT pantrio_collect(rowid) FROM Recipes INDEXED BY RecipesInOrder"
                                  : "SELECT pantrio_collect(rowid) FROM Recipes",
               std::nullopt);
    if (!std::is_sorted(ids.begin(), ids.end()))
        std::sort(ids.begin(), ids.end());
    ids_ = std::move(ids);
    snapshotComplete_ = true;
    if (!ids_.empty())
        highestId_ = std::max(highestId_, ids_.back());
    gap_ = 0;
}

int RecordCursor::indexOf(std::int64_t id)
{
    if (!snapshotComplete_ && (ids_.empty() || id > ids_.back()))
        completeSnapshot();
    const auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
    return it != ids_.end() && *it == id ? int(it - ids_.begin()) : -1;
}

void RecordCursor::loadCurrent()
{
    current_ = {};
    if (pos_ < 0)
        return;
    if (pos_ >= int(ids_.size()))
        completeSnapshot();
    static const QByteArray sql = "SELECT " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?";
    sqlite::Statement row(db_, sql.constData(), ReadAction);
    row.bind(1, ids_[size_t(pos_)]);
    if (row.step()) // a row another program deleted reads as empty
        for (Field f : allFields)
            current_[f] = row.text(int(fieldIndex(f)));
}

void RecordCursor::requireOpen() const
{
    if (!db_.isOpen())
        throw StoreError(StoreError::Kind::Closed, QStringLiteral("The recipe file is not open."));
}

void RecordCursor::requireRecord(const char* what) const
{
    requireOpen();
    if (pos_ < 0 || adding_)
        throw StoreError(StoreError::Kind::NoCurrentRecord,
                         QStringLiteral("There is no current recipe %1.").arg(QLatin1String(what)));
}

FieldValue RecordCursor::field(Field f) const
{
    if (staged_.test(fieldIndex(f)))
        return stagedValues_[f];
    if (adding_)
        return std::nullopt;
    requireRecord("to read");
    return current_[f];
}

FieldValue RecordCursor::field(const QString& name) const
{
    const auto f = fieldByName(name);
    if (!f)
        throw StoreError(StoreError::Kind::Other,
                         QStringLiteral("There is no field \"%1\".").arg(shortText(name)));
    return field(*f);
}

RecipeValues RecordCursor::values() const
{
    RecipeValues v;
    for (Field f : allFields)
        v[f] = field(f);
    return v;
}

void RecordCursor::setField(Field f, const FieldValue& value)
{
    if (!adding_)
        requireRecord("to change");
    if (value == storedField(f)) {
        staged_.reset(fieldIndex(f));
        stagedValues_[f] = std::nullopt;
        return;
    }
    stagedValues_[f] = value;
    staged_.set(fieldIndex(f));
}

FieldValue RecordCursor::storedField(Field f) const
{
    return adding_ ? FieldValue() : current_[f];
}

void RecordCursor::discardChanges()
{
    staged_.reset();
    stagedValues_ = {};
}

void RecordCursor::reloadCurrent()
{
    requireOpen();
    loadCurrent();
    for (Field f : allFields)
        if (staged_.test(fieldIndex(f)))
            setField(f, stagedValues_[f]);
}

void RecordCursor::failSave(int code, const char* detail) const
{
    sqlite::fail(code, SaveAction, db_.path(), detail);
}

void RecordCursor::validate()
{
    requireOpen();
    if (onValidate)
        onValidate();
    savePending();
}

void RecordCursor::savePending()
{
    if (adding_ && staged_.none()) {
        // A new record nobody typed into is dropped, not saved.
        adding_ = false;
        pos_ = posBeforeAdd_;
        loadCurrent();
        return;
    }
    if (staged_.none())
        return;
    if (readOnly_)
        failSave(SQLITE_READONLY, nullptr);
    backUpOnce();

    if (adding_) {
        completeSnapshot(); // the new id goes at its end
        // Ids only grow, so a new recipe lands at the end of the table's order and never
        // takes the id of one deleted earlier while bookmarks to it may still be held.
        static const QByteArray sql = "INSERT INTO Recipes (rowid, " + RecipeTable::columnList()
                                      + ") VALUES ((SELECT max(coalesce(max(rowid), 0), ?1) + 1 FROM Recipes), "
                                      + RecipeTable::placeholders(FieldCount, 2) + ")";
        sqlite::Statement insert(db_, sql.constData(), SaveAction);
        insert.bind(1, highestId_);
        for (Field f : allFields)
            insert.bind(int(fieldIndex(f)) + 2, staged_.test(fieldIndex(f)) ? stagedValues_[f] : FieldValue());
        insert.step();
        const std::int64_t id = db_.lastInsertRowid();
        ids_.push_back(id);
        highestId_ = id;
        lastModified_ = id;
        search_.noteAdded(id, stagedValues_);
        search_.noteSaved(db_);
        adding_ = false;
        staged_.reset();
        stagedValues_ = {};
        pos_ = posBeforeAdd_;
        loadCurrent();
        return;
    }

    const std::int64_t id = ids_[size_t(pos_)];
    saveChangedRecord();
    for (Field f : allFields)
        if (staged_.test(fieldIndex(f)))
            current_[f] = stagedValues_[f];
    search_.noteChanged(id, current_, staged_);
    search_.noteSaved(db_);
    lastModified_ = id;
    staged_.reset();
    stagedValues_ = {};
}

// Reads, compares and writes in one write transaction, so no other program can change the
// record between the check and the update.
void RecordCursor::saveChangedRecord()
{
    db_.exec("BEGIN IMMEDIATE", SaveAction);
    auto rollback =
        qScopeGuard([this] { sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr); });
    const std::int64_t id = ids_[size_t(pos_)];
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
            if (row.text(int(fieldIndex(f))) != current_[f])
                throw StoreError(
                    StoreError::Kind::ChangedByOther,
                    QStringLiteral("Another program has changed this recipe in \"%1\" since Pantrio "
                                   "showed it.")
                        .arg(QDir::toNativeSeparators(db_.path())));
    }
    QByteArray sql = "UPDATE Recipes SET ";
    int n = 0;
    for (Field f : allFields) {
        if (!staged_.test(fieldIndex(f)))
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
            if (staged_.test(fieldIndex(f)))
                update.bind(++n, stagedValues_[f]);
        update.bind(n + 1, id);
        update.step();
    }
    db_.exec("COMMIT", SaveAction);
    rollback.dismiss();
}

void RecordCursor::backUpOnce()
{
    if (backupTried_ || backup_.folder.isEmpty())
        return;
    backupTried_ = true;
    if (QFileInfo(db_.path()).size() > backup_.limitBytes)
        return;
    try {
        backUpCollection(db_.handle(), db_.path(), backup_.folder, QDateTime::currentDateTime());
    } catch (const StoreError& e) {
        if (onBackupFailed)
            onBackupFailed(e.message());
    }
}

void RecordCursor::goTo(int pos)
{
    pos_ = pos;
    loadCurrent();
    if (onReposition)
        onReposition();
}

void RecordCursor::moveFirst()
{
    validate();
    gap_ = 0;
    goTo(ids_.empty() ? -1 : 0);
}

void RecordCursor::moveLast()
{
    validate();
    gap_ = recordCount();
    goTo(recordCount() - 1);
}

void RecordCursor::movePrevious()
{
    validate();
    const int target = (pos_ >= 0 ? pos_ : gap_) - 1;
    if (target < 0) {
        gap_ = 0;
        goTo(-1);
    } else {
        goTo(target);
    }
}

void RecordCursor::moveNext()
{
    validate();
    const int target = pos_ >= 0 ? pos_ + 1 : gap_;
    if (target >= recordCount()) {
        gap_ = recordCount();
        goTo(-1);
    } else {
        goTo(target);
    }
}

void RecordCursor::addNew()
{
    validate();
    posBeforeAdd_ = pos_;
    adding_ = true;
    staged_.reset();
    stagedValues_ = {};
    if (onReposition)
        onReposition();
}

void RecordCursor::cancelAdd()
{
    if (!adding_)
        return;
    adding_ = false;
    staged_.reset();
    stagedValues_ = {};
    goTo(posBeforeAdd_);
}

void RecordCursor::update()
{
    requireOpen();
    if (!adding_)
        requireRecord("to save");
    if (onValidate)
        onValidate();
    const bool wasAdding = adding_;
    if (wasAdding && staged_.none()) {
        // Saving a new record the user typed nothing into still saves it: they asked to.
        stagedValues_[Field::FoodCategoryID] = std::nullopt;
        staged_.set(fieldIndex(Field::FoodCategoryID));
    }
    savePending();
    if (!wasAdding)
        lastModified_ = ids_[size_t(pos_)];
    else if (onReposition)
        onReposition();
}

void RecordCursor::deleteCurrent()
{
    requireRecord("to delete");
    if (onValidate)
        onValidate();
    if (readOnly_)
        sqlite::fail(SQLITE_READONLY, DeleteAction, db_.path());
    completeSnapshot();
    backUpOnce();
    const std::int64_t id = ids_[size_t(pos_)];
    sqlite::Statement del(db_, "DELETE FROM Recipes WHERE rowid = ?", DeleteAction);
    del.bind(1, id);
    del.step();
    // Edits to the deleted record go with it.
    staged_.reset();
    stagedValues_ = {};
    search_.noteDeleted(id);
    ids_.erase(ids_.begin() + pos_);
    gap_ = pos_;
    goTo(-1);
}

Bookmark RecordCursor::bookmark() const
{
    requireOpen();
    if (adding_ && posBeforeAdd_ >= 0)
        return {ids_[size_t(posBeforeAdd_)]};
    requireRecord("to mark");
    return {ids_[size_t(pos_)]};
}

void RecordCursor::setBookmark(Bookmark mark)
{
    requireOpen();
    if (indexOf(mark.id) < 0)
        throw StoreError(StoreError::Kind::RecordDeleted,
                         QStringLiteral("The recipe this bookmark points to has been deleted."));
    validate();
    goTo(indexOf(mark.id));
}

Bookmark RecordCursor::lastModified() const
{
    requireOpen();
    if (lastModified_ == 0)
        throw StoreError(StoreError::Kind::NoCurrentRecord,
                         QStringLiteral("No recipe has been added or changed yet."));
    return {lastModified_};
}

void RecordCursor::find(const SearchCondition& condition, bool afterCurrent)
{
    validate(); // it may save a new record, so the starting place is read after it
    completeSnapshot();
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    if (afterCurrent && pos_ >= 0)
        after = ids_[size_t(pos_)];
    else if (afterCurrent && gap_ > 0)
        after = ids_[size_t(gap_ - 1)];
    const auto hit = search_.findAfter(db_, condition, after, ids_);
    noMatch_ = !hit;
    if (hit)
        goTo(indexOf(*hit));
}

void RecordCursor::findFirst(const SearchCondition& condition)
{
    find(condition, false);
}

void RecordCursor::findNext(const SearchCondition& condition)
{
    find(condition, true);
}

void RecordCursor::refresh()
{
    validate();
    loadSnapshot();
    noMatch_ = false;
    goTo(ids_.empty() ? -1 : 0);
}

bool RecordCursor::transact(const std::function<bool(sqlite::Database&, std::int64_t)>& work)
{
    validate();
    if (readOnly_)
        failSave(SQLITE_READONLY, nullptr);
    completeSnapshot();
    backUpOnce(); // a read-only pass (an export) may take a copy it did not need; it is made once
    db_.exec("BEGIN IMMEDIATE", SaveAction);
    bool commit = false;
    try {
        commit = work(db_, highestId_ + 1);
    } catch (...) {
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    if (!commit) {
        db_.exec("ROLLBACK", SaveAction);
        return false;
    }
    search_.catchUpWords(db_);
    try {
        db_.exec("COMMIT", SaveAction);
    } catch (...) {
        // A commit that failed (a full disk) leaves the transaction open: nothing may stay of it.
        if (!sqlite3_get_autocommit(db_.handle()))
            sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    const std::int64_t current = pos_ >= 0 ? ids_[size_t(pos_)] : 0;
    loadSnapshot();
    search_.clear();
    noMatch_ = false;
    const int at = current ? indexOf(current) : -1;
    goTo(at >= 0 ? at : (ids_.empty() ? -1 : 0));
    return true;
}

void RecordCursor::close()
{
    if (!db_.isOpen())
        return;
    validate();
    search_.clear();
    db_.close();
    pos_ = -1;
}

} // namespace pantrio
