#pragma once

#include "CollectionChange.h"
#include "RecipeEdits.h"
#include "SearchScope.h"
#include "store/FieldValue.h"
#include "store/OpenMode.h"
#include "store/RecipeFields.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <QObject>
#include <QString>

namespace pantrio {

class RecipeList;
class RecordCursor;
class RecipeRows;
class SearchCondition;

// One open recipe collection as the program's windows share it: one current recipe, every
// command a window offers on it, and what each command changed, for every window that shows
// a part of the collection.
//
// A command that may save takes the edits of the window's boxes; they are saved before the
// command goes on. Commands throw StoreError when the file refuses them; nothing moves then,
// and the edits stay pending so that the next attempt saves them.
class RecipeSession : public QObject
{
    Q_OBJECT
public:
    explicit RecipeSession(OpenMode mode, QObject* parent = nullptr);
    ~RecipeSession() override;

    // Opens the file on its first recipe; every window then reads the collection anew. False when
    // it cannot be used; openError() says why.
    bool open(const QString& path);
    // Where a copy of the file is made before the first change after opening; empty for none.
    void setBackupFolder(const QString& folder) { backupFolder_ = folder; }
    bool isOpen() const;
    // Reads ahead what later moves and searches need, on a worker thread; for once a window
    // shows the first recipe. Commands work without it.
    void startBackgroundWork();
    const QString& openError() const { return openError_; }
    // The open collection's file or server address; empty when none is open.
    QString location() const;

    int position() const; // of the current recipe from 0; -1 when there is none
    int count() const;
    bool hasCurrent() const;
    bool isAdding() const;
    bool hasPendingChanges() const;
    bool isPending(Field field) const; // an edit a command could not save yet

    // The current (or new) recipe's value, pending edits included.
    FieldValue value(Field field) const;
    RecipeValues values() const;

    // Ways on after a save failed. Each shows the recipe again; the command can then be tried again.
    void discardChanges(); // forget the edits
    void keepMine();       // another program changed the recipe: the next save overwrites it
    void takeTheirs();     // another program changed the recipe: forget the edits, show theirs

    // As the record bar's arrows move: they stop at the first and the last recipe.
    void moveFirst(const RecipeEdits& edits);
    void movePrevious(const RecipeEdits& edits);
    void moveNext(const RecipeEdits& edits);
    void moveLast(const RecipeEdits& edits);

    void addNew(const RecipeEdits& edits);
    void save(const RecipeEdits& edits); // the current or new recipe; then stands on it
    void
    deleteCurrent(const RecipeEdits& edits); // then stands on the recipe before it (or the new first one)
    void refresh(const RecipeEdits& edits);  // re-reads the table and stands on the first recipe
    // Stands on the recipe `id`, as a move does (pending edits saved first). Throws StoreError
    // (RecordDeleted) when the session does not know it: another program added or deleted it.
    void showRecipe(std::int64_t id, const RecipeEdits& edits);

    // Every recipe as a list shows it; it follows this session's changes. Null when no file is
    // open. Its rows are read the first time a window asks for it.
    RecipeList* recipeList();

    // The search Find Next continues: the scope of the last Find, even one that found nothing.
    FindScope searchScope() const { return searchScope_; }
    void setSearchScope(FindScope scope) { searchScope_ = scope; }
    // Searches in the search scope for `text`: from the first recipe, or after the current one,
    // wrapping around. Without a match the session returns to the recipe it stood on. True on a
    // match. Name or category: either field contains the text (a `*` stands for any run);
    // every field: any field contains it, ignoring accents as well as letter case.
    bool find(const QString& text, bool fromCurrent, const RecipeEdits& edits);
    // The next recipe (wrapping) whose field is like `pattern`; false for no match or a pattern
    // the condition language cannot hold.
    bool findField(const QString& pattern, const QString& fieldName, const RecipeEdits& edits);

    // Bulk work (an import) on the session's own connection, so that it works while the file is
    // held alone: one transaction, committed when `work` returns the first new recipe's id (0 when
    // none) and rolled back when it returns nothing or throws. Then stands on the first new
    // recipe, or where it stood.
    bool transact(
        const RecipeEdits& edits,
        const std::function<std::optional<std::int64_t>(RecipeRows& rows, std::int64_t firstFreeId)>& work);

    // Reads the whole collection (an export) on the session's own connection, pending edits
    // saved first; `work` sees one consistent state of the file.
    void read(const RecipeEdits& edits, const std::function<void(RecipeRows& rows)>& work);

    // Saves pending edits and closes the file; a failed save throws and leaves it open.
    void close(const RecipeEdits& edits);

signals:
    // The current recipe or the count changed; sent once a command has done its work.
    void currentChanged();
    // Recipes were added, saved, deleted or imported through this session, or read again.
    void collectionChanged(const pantrio::CollectionChange& change);
    // The copy made before the first change could not be made; the change itself went on.
    void backupFailed(const QString& message);

private:
    class Command;
    RecordCursor& cursor() const;
    void stage(const RecipeEdits& edits);
    bool search(const SearchCondition& condition, bool fromCurrent);
    void tell(CollectionChange::Kind kind, std::int64_t id);
    void tell(const CollectionChange& change);

    OpenMode mode_;
    QString openError_;
    QString backupFolder_;
    std::unique_ptr<RecordCursor> cursor_;
    std::unique_ptr<RecipeList> list_; // reads through the cursor's connection: goes before it
    FindScope searchScope_ = FindScope::NameOrCategory;
    bool running_ = false; // a command is under way
    bool moved_ = false;   // the current recipe changed during it
};

} // namespace pantrio
