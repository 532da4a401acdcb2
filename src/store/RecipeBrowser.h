#pragma once

#include "FieldValue.h"
#include "RecipeFields.h"
#include "OpenMode.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace pantrio {

namespace exchange {
struct ImportReport;
struct ImportSummary;
} // namespace exchange

class RecordCursor;
class SearchCondition;

// The recipe collection as a window browses it: one current recipe, and every command a
// window offers on it. It knows no widgets: a window shows what it reads here, hands over
// its edits when asked (validating) and redraws when told (positionChanged).
//
// Commands throw StoreError when the file refuses them; nothing moves then, and staged edits
// stay staged so that the next attempt saves them.
class RecipeBrowser : public QObject
{
    Q_OBJECT
public:
    explicit RecipeBrowser(OpenMode mode, QObject* parent = nullptr);
    ~RecipeBrowser() override;

    // Opens the file on its first recipe. False when it cannot be used; openError() says why.
    bool open(const QString& path);
    // Where a copy of the file is made before the first change after opening; empty for none.
    void setBackupFolder(const QString& folder) { backupFolder_ = folder; }
    bool isOpen() const;
    // Reads ahead what later moves and searches need, on a worker thread; for once the window
    // shows the first recipe. Commands work without it.
    void startBackgroundWork();
    const QString& openError() const { return openError_; }

    int position() const; // of the current recipe from 0; -1 when there is none
    int count() const;
    bool hasCurrent() const;
    bool isAdding() const;
    bool hasPendingChanges() const;

    // The current (or new) recipe's value, edits staged so far included.
    FieldValue value(Field field) const;
    RecipeValues values() const;
    // Only while validating: an edited value to save before the browser moves on. A value
    // equal to the stored one is no edit, nor is empty text where there is no value.
    void stage(Field field, const FieldValue& value);
    bool isStaged(Field field) const;

    // Ways on after a save failed. Each redraws the recipe; the command can then be tried again.
    void discardChanges(); // forget the edits
    void keepMine();       // another program changed the recipe: the next save overwrites it
    void takeTheirs();     // another program changed the recipe: forget the edits, show theirs

    // As the record bar's arrows move: they stop at the first and the last recipe.
    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

    void addNew();
    void save();          // the current or new recipe; then stands on it
    void deleteCurrent(); // then stands on the recipe before it (or on the new first one)
    void refresh();       // re-reads the table and stands on the first recipe

    // Searches for recipes whose food category or name contains `text`. `find` starts at the
    // first recipe, `findNext` after the current one and wraps around. With no match,
    // `noMatch` runs and the browser returns to the recipe it stood on. True on a match.
    bool find(const QString& text, const std::function<void()>& noMatch);
    bool findNext(const QString& text, const std::function<void()>& noMatch);
    // The same over all seven fields, ignoring accents as well as letter case.
    bool findAnywhere(const QString& text, const std::function<void()>& noMatch);
    bool findAnywhereNext(const QString& text, const std::function<void()>& noMatch);
    // The next recipe (wrapping) whose field is like `pattern`; false for no match or a
    // pattern the condition language cannot hold.
    bool findField(const QString& pattern, const QString& fieldName);

    // Imports recipe files into the open collection through this browser's own connection, so
    // that it works while the browser holds the file: one transaction, rolled back when the
    // report's progress cancels. Then stands on the first imported recipe (or where it stood).
    exchange::ImportSummary importFiles(const QStringList& files, const exchange::ImportReport& report);

    // Saves a pending edit and closes the file; a failed save throws and leaves it open.
    void close();

signals:
    // About to leave or save the current recipe: edited values are staged now.
    void validating();
    // The current recipe or the count changed.
    void positionChanged();
    // The copy made before the first change could not be made; the change itself went on.
    void backupFailed(const QString& message);

private:
    RecordCursor& cursor() const;
    static SearchCondition nameOrCategoryContains(const QString& text);
    bool search(const SearchCondition& condition, bool fromCurrent, const std::function<void()>& noMatch);

    OpenMode mode_;
    QString openError_;
    QString backupFolder_;
    std::unique_ptr<RecordCursor> cursor_;
};

} // namespace pantrio
