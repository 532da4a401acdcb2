#include "RecordCursor.h"

#include "CollectionFile.h"
#include "FindKeyTable.h"
#include "RecipeTable.h"
#include "WordIndex.h"

#include <limits>
#include <QFileInfo>
#include <sqlite3.h>
#include <utility>

namespace pantrio {

namespace {

const QString ReadAction = QStringLiteral("read the recipe file");

} // namespace

RecordCursor::RecordCursor(sqlite::Database db, Options options, Backup backup)
    : db_(std::move(db)), options_(options), backup_(std::move(backup)),
      writer_(db_, db_.readOnly() || !QFileInfo(db_.path()).isWritable(), backup_), snapshot_(db_)
{
    backup_.onFailed = [this](const QString& message) {
        if (onBackupFailed)
            onBackupFailed(message);
    };
}

RecordCursor::~RecordCursor() = default;

std::unique_ptr<RecordCursor> RecordCursor::open(const QString& path, Options options)
{
    return open(path, options, Backup());
}

std::unique_ptr<RecordCursor> RecordCursor::open(const QString& path, Options options, Backup backup)
{
    sqlite::Database db = openCollectionFile(path, options.mode, options.busyTimeoutMs);
    const bool heldAlone = options.mode == OpenMode::Exclusive && !db.readOnly();
    FindKeyTable::checkAtOpen(db, heldAlone);
    WordIndex::checkAtOpen(db, heldAlone);
    std::unique_ptr<RecordCursor> cursor(new RecordCursor(std::move(db), options, std::move(backup)));
    cursor->snapshot_.open(options.mode);
    cursor->pos_ = cursor->snapshot_.isEmpty() ? -1 : 0;
    cursor->loadCurrent();
    return cursor;
}

void RecordCursor::startBackgroundWork()
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

void RecordCursor::loadCurrent()
{
    current_ = {};
    if (pos_ < 0)
        return;
    static const QByteArray sql = "SELECT " + RecipeTable::columnList() + " FROM Recipes WHERE rowid = ?";
    const std::int64_t id = snapshot_.at(pos_);
    sqlite::Statement row(db_, sql.constData(), ReadAction);
    row.bind(1, id);
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

void RecordCursor::clearStaged()
{
    staged_.reset();
    stagedValues_ = {};
}

void RecordCursor::discardChanges()
{
    clearStaged();
}

void RecordCursor::reloadCurrent()
{
    requireOpen();
    loadCurrent();
    for (Field f : allFields)
        if (staged_.test(fieldIndex(f)))
            setField(f, stagedValues_[f]);
}

void RecordCursor::savePending()
{
    requireOpen();
    if (adding_ && staged_.none()) {
        // A new record nobody typed into is dropped, not saved.
        adding_ = false;
        pos_ = posBeforeAdd_;
        loadCurrent();
        return;
    }
    if (staged_.none())
        return;
    if (adding_) {
        saveNewRecord();
        return;
    }
    const std::int64_t id = snapshot_.at(pos_);
    writer_.update(id, current_, stagedValues_, staged_);
    for (Field f : allFields)
        if (staged_.test(fieldIndex(f)))
            current_[f] = stagedValues_[f];
    search_.noteChanged(id, current_, staged_);
    search_.noteSaved(db_);
    lastModified_ = id;
    clearStaged();
    if (onSaved)
        onSaved(id, false);
}

void RecordCursor::saveNewRecord()
{
    RecipeValues values;
    for (Field f : allFields)
        if (staged_.test(fieldIndex(f)))
            values[f] = stagedValues_[f];
    const std::int64_t id = writer_.insert(values, snapshot_.highestId());
    snapshot_.append(id);
    lastModified_ = id;
    search_.noteAdded(id, stagedValues_);
    search_.noteSaved(db_);
    adding_ = false;
    clearStaged();
    pos_ = posBeforeAdd_;
    loadCurrent();
    if (onSaved)
        onSaved(id, true);
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
    savePending();
    gap_ = 0;
    goTo(snapshot_.isEmpty() ? -1 : 0);
}

void RecordCursor::moveLast()
{
    savePending();
    gap_ = recordCount();
    goTo(recordCount() - 1);
}

void RecordCursor::movePrevious()
{
    savePending();
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
    savePending();
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
    savePending();
    posBeforeAdd_ = pos_;
    adding_ = true;
    clearStaged();
    if (onReposition)
        onReposition();
}

void RecordCursor::cancelAdd()
{
    if (!adding_)
        return;
    adding_ = false;
    clearStaged();
    goTo(posBeforeAdd_);
}

void RecordCursor::update()
{
    requireOpen();
    if (!adding_)
        requireRecord("to save");
    const bool wasAdding = adding_;
    if (wasAdding && staged_.none()) {
        // Saving a new record the user typed nothing into still saves it: they asked to.
        stagedValues_[Field::FoodCategoryID] = std::nullopt;
        staged_.set(fieldIndex(Field::FoodCategoryID));
    }
    savePending();
    if (!wasAdding)
        lastModified_ = snapshot_.at(pos_);
    else if (onReposition)
        onReposition();
}

void RecordCursor::deleteCurrent()
{
    requireRecord("to delete");
    const std::int64_t id = snapshot_.at(pos_);
    writer_.remove(id);
    // Edits to the deleted record go with it.
    clearStaged();
    search_.noteDeleted(id);
    snapshot_.removeAt(pos_);
    gap_ = pos_;
    if (onDeleted)
        onDeleted(id);
    goTo(-1);
}

Bookmark RecordCursor::bookmark()
{
    requireOpen();
    if (adding_ && posBeforeAdd_ >= 0)
        return {snapshot_.at(posBeforeAdd_)};
    requireRecord("to mark");
    return {snapshot_.at(pos_)};
}

void RecordCursor::setBookmark(Bookmark mark)
{
    requireOpen();
    if (snapshot_.indexOf(mark.id) < 0)
        throw StoreError(StoreError::Kind::RecordDeleted,
                         QStringLiteral("The recipe this bookmark points to has been deleted."));
    savePending();
    goTo(snapshot_.indexOf(mark.id));
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
    savePending(); // it may save a new record, so the starting place is read after it
    const std::span<const std::int64_t> ids = snapshot_.all();
    std::int64_t after = std::numeric_limits<std::int64_t>::min();
    if (afterCurrent && pos_ >= 0)
        after = ids[size_t(pos_)];
    else if (afterCurrent && gap_ > 0)
        after = ids[size_t(gap_ - 1)];
    const auto hit = search_.findAfter(db_, condition, after, ids);
    noMatch_ = !hit;
    if (hit)
        goTo(snapshot_.indexOf(*hit));
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
    savePending();
    snapshot_.reload();
    noMatch_ = false;
    goTo(snapshot_.isEmpty() ? -1 : 0);
}

bool RecordCursor::transact(const std::function<bool(sqlite::Database&, std::int64_t)>& work)
{
    savePending();
    const std::int64_t firstFree = snapshot_.highestId() + 1;
    if (!writer_.transact([&] { return work(db_, firstFree); }, [this] { search_.catchUpWords(db_); }))
        return false;
    const std::int64_t current = pos_ >= 0 ? snapshot_.at(pos_) : 0;
    snapshot_.reload();
    search_.clear();
    noMatch_ = false;
    const int at = current ? snapshot_.indexOf(current) : -1;
    goTo(at >= 0 ? at : (snapshot_.isEmpty() ? -1 : 0));
    return true;
}

void RecordCursor::read(const std::function<void(sqlite::Database&)>& work)
{
    savePending();
    const QString action = QStringLiteral("read the recipe file");
    db_.exec("BEGIN", action);
    try {
        work(db_);
    } catch (...) {
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    db_.exec("COMMIT", action);
}

void RecordCursor::close()
{
    if (!db_.isOpen())
        return;
    savePending();
    search_.clear();
    db_.close();
    pos_ = -1;
}

} // namespace pantrio
