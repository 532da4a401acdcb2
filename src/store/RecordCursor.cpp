#include "RecordCursor.h"

#include "CollectionAddress.h"
#include "FileStore.h"
#include "ServerStore.h"

#include <limits>
#include <utility>

namespace pantrio {

RecordCursor::RecordCursor(std::unique_ptr<CollectionStore> store, Options options)
    : store_(std::move(store)), options_(options), snapshot_(store_->snapshot())
{
    store_->setOnBackupFailed([this](const QString& message) {
        if (onBackupFailed)
            onBackupFailed(message);
    });
}

RecordCursor::~RecordCursor() = default;

std::unique_ptr<RecordCursor> RecordCursor::open(const QString& location, Options options)
{
    return open(location, options, Backup());
}

std::unique_ptr<RecordCursor> RecordCursor::open(const QString& location, Options options, Backup backup)
{
    std::unique_ptr<CollectionStore> store;
    if (isServerAddress(location))
        store = ServerStore::open(location, options.mode);
    else
        store = FileStore::open(location, options.mode, options.busyTimeoutMs, std::move(backup));
    std::unique_ptr<RecordCursor> cursor(new RecordCursor(std::move(store), options));
    cursor->pos_ = cursor->snapshot_.isEmpty() ? -1 : 0;
    cursor->loadCurrent();
    return cursor;
}

void RecordCursor::startBackgroundWork()
{
    if (store_->isOpen())
        store_->startBackgroundWork();
}

void RecordCursor::loadCurrent()
{
    current_ = {};
    currentVersion_ = 0;
    if (pos_ < 0)
        return;
    // A row another program deleted reads as empty.
    if (!store_->readRow(snapshot_.at(pos_), current_, currentVersion_))
        current_ = {};
}

void RecordCursor::requireOpen() const
{
    if (!store_->isOpen())
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
    currentVersion_ = store_->update(id, current_, currentVersion_, stagedValues_, staged_);
    for (Field f : allFields)
        if (staged_.test(fieldIndex(f)))
            current_[f] = stagedValues_[f];
    store_->noteChanged(id, current_, staged_);
    store_->noteSaved();
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
    const std::int64_t id = store_->insert(values, snapshot_.highestId());
    snapshot_.append(id);
    lastModified_ = id;
    store_->noteAdded(id, stagedValues_);
    store_->noteSaved();
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
    store_->remove(id);
    // Edits to the deleted record go with it.
    clearStaged();
    store_->noteDeleted(id);
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
    const auto hit = store_->findAfter(condition, after, ids);
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

bool RecordCursor::transact(const std::function<bool(RecipeRows&, std::int64_t)>& work)
{
    savePending();
    const std::int64_t firstFree = snapshot_.highestId() + 1;
    if (!store_->transact([&](RecipeRows& rows) { return work(rows, firstFree); }))
        return false;
    const std::int64_t current = pos_ >= 0 ? snapshot_.at(pos_) : 0;
    snapshot_.reload();
    store_->forgetSearch();
    noMatch_ = false;
    const int at = current ? snapshot_.indexOf(current) : -1;
    goTo(at >= 0 ? at : (snapshot_.isEmpty() ? -1 : 0));
    return true;
}

void RecordCursor::read(const std::function<void(RecipeRows&)>& work)
{
    savePending();
    store_->read(work);
}

void RecordCursor::close()
{
    if (!store_->isOpen())
        return;
    savePending();
    store_->close();
    pos_ = -1;
}

} // namespace pantrio
