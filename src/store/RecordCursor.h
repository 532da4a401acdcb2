#pragma once

#include "OpenMode.h"
#include "RecipeFields.h"
#include "RecipeSearch.h"
#include "SearchCondition.h"
#include "Sqlite.h"

#include <QString>

#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace pantrio {

// An opaque token for one recipe, valid for the cursor's life (until Refresh or Close).
struct Bookmark
{
    std::int64_t id = 0;
    friend bool operator==(const Bookmark&, const Bookmark&) = default;
};

// An updatable view of the recipe table: the rows present at open (or Refresh), in the
// table's order, kept up to date with this cursor's own adds and deletes.
//
// Every operation that leaves or acts on the current record first raises Validate, whose
// handler stages the changed values with setField(); staged values are then saved before the
// operation goes on. If that save fails, the operation throws and nothing moves, so the
// typed values are still there to be saved again. Reposition follows every change of the
// current record.
//
// A record is only overwritten if it still holds what this cursor read: when another program
// changed it meanwhile, the save throws StoreError::Kind::ChangedByOther.
class RecordCursor
{
public:
    struct Options
    {
        OpenMode mode = OpenMode::Exclusive;
        int busyTimeoutMs = 2000; // how long to wait for another program's brief lock
    };
    // A copy of the file made before the cursor's first change.
    struct Backup
    {
        QString folder;                        // empty: no copy
        qint64 limitBytes = qint64(512) << 20; // a larger file is not copied
    };

    // Opens the file and stands on the first recipe (if any). Throws StoreError.
    // Does not raise Reposition; the owner shows the first recipe itself.
    // Held exclusively, a large table is only counted and its first rows read; the rest of the
    // snapshot is read by startBackgroundWork(), or when an operation first reaches past them.
    static std::unique_ptr<RecordCursor> open(const QString& path, Options options);
    static std::unique_ptr<RecordCursor> open(const QString& path, Options options, Backup backup);
    ~RecordCursor();

    std::function<void()> onValidate;
    std::function<void()> onReposition;
    // The copy before the first change failed; the change goes on. Raised once per cursor.
    std::function<void(const QString& message)> onBackupFailed;

    const QString& path() const { return db_.path(); }
    bool isOpen() const { return db_.isOpen(); }

    // Reads the rest of the snapshot and then loads the search index on a worker thread, so
    // that a later move or search need not wait for them. Meant for once the owner has shown
    // the first recipe: started at open they would compete with the start-up. Without it every
    // operation still works, reading what it needs when it needs it.
    void startBackgroundWork();

    int recordCount() const { return snapshotComplete_ ? int(ids_.size()) : snapshotCount_; }
    int absolutePosition() const { return adding_ ? -1 : pos_; } // -1: no current record
    bool hasCurrent() const { return !adding_ && pos_ >= 0; }
    bool isAdding() const { return adding_; }
    bool noMatch() const { return noMatch_; }

    // Values of the current record (or of the new record being added), staged edits included.
    FieldValue field(Field f) const;              // throws when there is no record
    FieldValue field(const QString& name) const; // throws for an unknown field too
    RecipeValues values() const;

    // The value as read from the file, staged edits left out; no value on a new record.
    FieldValue storedField(Field f) const;

    // Stages a value for the current or new record; it is saved by update() or before the next move.
    // A value equal to the stored one is no change: it unstages the field.
    void setField(Field f, const FieldValue& value);
    bool hasPendingChanges() const { return staged_.any(); }
    bool isStaged(Field f) const { return staged_.test(fieldIndex(f)); }
    void discardChanges(); // drops every staged value; a new record stays, empty
    // Re-reads the current record as the file holds it now; staged values are kept and from
    // then on count against what was re-read (an update then overwrites another program's change).
    void reloadCurrent();

    void moveFirst();
    void movePrevious(); // off the front: no current record
    void moveNext();     // off the end: no current record
    void moveLast();

    void addNew();    // an empty new record; the current one is validated first
    void cancelAdd(); // drops the new record; the record current before addNew is current again
    void update();    // saves the staged values into the current or new record
    void deleteCurrent();

    Bookmark bookmark() const; // of the current record; while adding, of the one before addNew
    void setBookmark(Bookmark mark);
    Bookmark lastModified() const;

    // Searches from the first recipe, or from the one after the current one (after the gap
    // when there is none). No match sets noMatch() and moves nothing.
    void findFirst(const SearchCondition& condition);
    void findNext(const SearchCondition& condition);

    void refresh(); // re-reads the table and stands on the first recipe

    // Bulk work (an import) on this cursor's own connection, so that it works while the cursor
    // holds the file: one transaction, committed when `work` returns true and rolled back when
    // it returns false or throws. `firstFreeId` is the lowest id a new row may take. After a
    // commit the table is read anew and the current recipe stays current.
    bool transact(const std::function<bool(sqlite::Database& db, std::int64_t firstFreeId)>& work);
    void close();   // validates and saves first; a failed save leaves the cursor open

private:
    RecordCursor(sqlite::Database db, Options options, Backup backup);
    void loadSnapshot();
    void openSnapshot();
    void completeSnapshot();
    void collectIds(std::vector<std::int64_t>& ids, const char* sql, std::optional<std::int64_t> after);
    void readSnapshotRest(std::vector<std::int64_t>& ids);
    void loadCurrent();
    void validate();      // raises Validate and saves what it staged
    void savePending();
    void saveChangedRecord();
    void backUpOnce();
    void goTo(int pos);   // makes `pos` current (-1: none) and raises Reposition
    void requireOpen() const;
    void requireRecord(const char* what) const;
    void find(const SearchCondition& condition, bool afterCurrent);
    int indexOf(std::int64_t id);
    [[noreturn]] void failSave(int code, const char* detail) const;

    sqlite::Database db_;
    Options options_;
    Backup backup_;
    bool readOnly_ = false;
    std::vector<std::int64_t> ids_; // the snapshot, ascending rowids = table order; while it is
                                    // not complete, only its start
    // The current row is always among the ids read: an operation that reaches past them (or
    // changes the list) completes the snapshot first.
    bool snapshotComplete_ = true;
    int snapshotCount_ = 0; // rows in the whole snapshot
    // The whole snapshot as the search index's worker reads it, before the index.
    struct RestLoad
    {
        std::mutex mutex;
        std::condition_variable ended;
        bool done = false;
        bool complete = false;
        std::vector<std::int64_t> ids;
    };
    std::shared_ptr<RestLoad> restLoad_;
    bool backgroundStarted_ = false;
    int pos_ = -1;                  // current row, -1 for none
    int gap_ = 0;                   // with no current row: the row a moveNext reaches
    bool adding_ = false;
    int posBeforeAdd_ = -1;
    bool noMatch_ = false;
    std::int64_t lastModified_ = 0;
    std::int64_t highestId_ = 0;   // never reuse an id deleted during the cursor's life
    RecipeValues current_;         // stored values of the current row
    RecipeValues stagedValues_;
    std::bitset<FieldCount> staged_;
    bool backupTried_ = false;
    RecipeSearch search_;
};

} // namespace pantrio
