#pragma once

#include "CollectionStore.h"
#include "FirstChangeBackup.h"
#include "OpenMode.h"
#include "RecipeFields.h"
#include "RecipeListSource.h"
#include "SearchCondition.h"
#include "Snapshot.h"
#include "StoreError.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <QString>
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
// Edits are staged with setField(); every operation that leaves or acts on the current record
// saves them first. If that save fails, the operation throws and nothing moves, so the staged
// values are still there to be saved again. onReposition follows every change of the current
// record.
//
// A record is only overwritten if it still holds what this cursor read: when another program
// changed it meanwhile, the save throws StoreError::Kind::ChangedByOther.
//
// The collection is a file, or a database on a server when the location is a server address
// (see CollectionAddress.h); every operation works the same on both.
class RecordCursor
{
public:
    struct Options
    {
        OpenMode mode = OpenMode::Exclusive;
        int busyTimeoutMs = 2000; // how long to wait for another program's brief lock
    };
    using Backup = FirstChangeBackup::Options;

    // Opens the collection and stands on the first recipe (if any). Throws StoreError.
    // Does not raise onReposition; the owner shows the first recipe itself.
    // Held exclusively, a large table is only counted and its first rows read; the rest of the
    // snapshot is read by startBackgroundWork(), or when an operation first reaches past them.
    static std::unique_ptr<RecordCursor> open(const QString& location, Options options);
    // `backup` is for a file; a server keeps its own backups.
    static std::unique_ptr<RecordCursor> open(const QString& location, Options options, Backup backup);
    ~RecordCursor();

    std::function<void()> onReposition;
    // After a recipe was written or deleted through this cursor.
    std::function<void(std::int64_t id, bool added)> onSaved;
    std::function<void(std::int64_t id)> onDeleted;
    // The copy before the first change failed; the change goes on. Raised once per cursor.
    std::function<void(const QString& message)> onBackupFailed;

    const QString& path() const { return store_->location(); }
    bool isOpen() const { return store_->isOpen(); }

    // Reads the rest of the snapshot and then loads the search index on a worker thread, so
    // that a later move or search need not wait for them. Meant for once the owner has shown
    // the first recipe: started at open they would compete with the start-up. Without it every
    // operation still works, reading what it needs when it needs it.
    void startBackgroundWork();

    int recordCount() const { return snapshot_.count(); }
    int absolutePosition() const { return adding_ ? -1 : pos_; } // -1: no current record
    bool hasCurrent() const { return !adding_ && pos_ >= 0; }
    bool isAdding() const { return adding_; }
    bool noMatch() const { return noMatch_; }

    // Values of the current record (or of the new record being added), staged edits included.
    FieldValue field(Field f) const; // throws when there is no record
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

    void addNew();    // an empty new record; the current one is saved first
    void cancelAdd(); // drops the new record; the record current before addNew is current again
    void update();    // saves the staged values into the current or new record
    void deleteCurrent();

    Bookmark bookmark(); // of the current record; while adding, of the one before addNew
    void setBookmark(Bookmark mark);
    Bookmark lastModified() const;

    // Searches from the first recipe, or from the one after the current one (after the gap
    // when there is none). No match sets noMatch() and moves nothing.
    void findFirst(const SearchCondition& condition);
    void findNext(const SearchCondition& condition);

    // Reads for a list of every recipe through this cursor's connection; valid while it is open.
    RecipeListSource listSource() { return store_->listSource(); }

    void refresh(); // re-reads the table and stands on the first recipe

    // Bulk work (an import) on this cursor's own connection, so that it works while the cursor
    // holds the file: one transaction, committed when `work` returns true and rolled back when
    // it returns false or throws. `firstFreeId` is the lowest id a new row may take. After a
    // commit the table is read anew and the current recipe stays current.
    bool transact(const std::function<bool(RecipeRows& rows, std::int64_t firstFreeId)>& work);
    // A read of the whole table (an export) on this cursor's own connection, pending edits saved
    // first: one read transaction, so that `work` sees one consistent state of the file.
    void read(const std::function<void(RecipeRows& rows)>& work);
    void close(); // saves first; a failed save leaves the cursor open

private:
    RecordCursor(std::unique_ptr<CollectionStore> store, Options options);
    void loadCurrent();
    void savePending();
    void saveNewRecord();
    void goTo(int pos); // makes `pos` current (-1: none) and raises onReposition
    void requireOpen() const;
    void requireRecord(const char* what) const;
    void find(const SearchCondition& condition, bool afterCurrent);
    void clearStaged();

    std::unique_ptr<CollectionStore> store_;
    Options options_;
    Snapshot& snapshot_;
    int pos_ = -1; // current row, -1 for none
    int gap_ = 0;  // with no current row: the row a moveNext reaches
    bool adding_ = false;
    int posBeforeAdd_ = -1;
    bool noMatch_ = false;
    std::int64_t lastModified_ = 0;
    RecipeValues current_; // stored values of the current row
    std::int64_t currentVersion_ = 0;
    RecipeValues stagedValues_;
    std::bitset<FieldCount> staged_;
};

} // namespace pantrio
