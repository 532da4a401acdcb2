#include "RecipeBrowser.h"

#include "RecordCursor.h"
#include "exchange/RecipeImport.h"

#include <optional>

namespace pantrio {

RecipeBrowser::RecipeBrowser(OpenMode mode, QObject* parent) : QObject(parent), mode_(mode) {}

RecipeBrowser::~RecipeBrowser() = default;

bool RecipeBrowser::open(const QString& path)
{
    cursor_.reset();
    openError_.clear();
    try {
        RecordCursor::Backup backup;
        backup.folder = backupFolder_;
        cursor_ = RecordCursor::open(path, {mode_, 2000}, backup);
    } catch (const StoreError& e) {
        openError_ = e.message();
        emit positionChanged();
        return false;
    }
    cursor_->onValidate = [this] { emit validating(); };
    cursor_->onReposition = [this] { emit positionChanged(); };
    cursor_->onBackupFailed = [this](const QString& message) { emit backupFailed(message); };
    emit positionChanged();
    return true;
}

bool RecipeBrowser::isOpen() const
{
    return cursor_ && cursor_->isOpen();
}

void RecipeBrowser::startBackgroundWork()
{
    if (isOpen())
        cursor_->startBackgroundWork();
}

RecordCursor& RecipeBrowser::cursor() const
{
    if (!cursor_)
        throw StoreError(StoreError::Kind::Closed, openError_);
    return *cursor_;
}

int RecipeBrowser::position() const
{
    return cursor_ ? cursor_->absolutePosition() : -1;
}

int RecipeBrowser::count() const
{
    return cursor_ ? cursor_->recordCount() : 0;
}

bool RecipeBrowser::hasCurrent() const
{
    return cursor_ && cursor_->hasCurrent();
}

bool RecipeBrowser::isAdding() const
{
    return cursor_ && cursor_->isAdding();
}

bool RecipeBrowser::hasPendingChanges() const
{
    return cursor_ && cursor_->hasPendingChanges();
}

FieldValue RecipeBrowser::value(Field field) const
{
    if (!hasCurrent() && !isAdding())
        return std::nullopt;
    return cursor_->field(field);
}

RecipeValues RecipeBrowser::values() const
{
    RecipeValues v;
    if (hasCurrent() || isAdding())
        v = cursor_->values();
    return v;
}

void RecipeBrowser::stage(Field field, const FieldValue& value)
{
    RecordCursor& c = cursor();
    // A box shows no value as empty text: empty text over no value is no edit.
    if (value && value->isEmpty() && !c.storedField(field))
        c.setField(field, std::nullopt);
    else
        c.setField(field, value);
}

bool RecipeBrowser::isStaged(Field field) const
{
    return cursor_ && cursor_->isStaged(field);
}

void RecipeBrowser::discardChanges()
{
    cursor().discardChanges();
    emit positionChanged();
}

void RecipeBrowser::keepMine()
{
    cursor().reloadCurrent();
}

void RecipeBrowser::takeTheirs()
{
    RecordCursor& c = cursor();
    c.discardChanges();
    c.reloadCurrent();
    emit positionChanged();
}

void RecipeBrowser::moveFirst()
{
    cursor().moveFirst();
}

void RecipeBrowser::movePrevious()
{
    RecordCursor& c = cursor();
    if (c.absolutePosition() > 0 || c.isAdding())
        c.movePrevious();
    else
        c.moveFirst();
}

void RecipeBrowser::moveNext()
{
    RecordCursor& c = cursor();
    if (c.absolutePosition() >= 0 && c.absolutePosition() + 1 >= c.recordCount())
        c.moveLast();
    else
        c.moveNext();
}

void RecipeBrowser::moveLast()
{
    cursor().moveLast();
}

void RecipeBrowser::addNew()
{
    cursor().addNew();
}

void RecipeBrowser::save()
{
    RecordCursor& c = cursor();
    c.update();
    c.setBookmark(c.lastModified());
}

void RecipeBrowser::deleteCurrent()
{
    RecordCursor& c = cursor();
    if (c.isAdding()) { // a recipe not saved yet is simply dropped
        c.cancelAdd();
        return;
    }
    c.deleteCurrent();
    c.movePrevious();
    // Deleting the first recipe leaves the browser on the one that is first now.
    if (!c.hasCurrent() && c.recordCount() > 0)
        c.moveFirst();
}

exchange::ImportSummary RecipeBrowser::importFiles(const QStringList& files, const exchange::ImportReport& report)
{
    RecordCursor& c = cursor();
    exchange::ImportSummary summary;
    c.transact([&](sqlite::Database& db, std::int64_t firstFree) {
        summary = exchange::importFiles(db, firstFree, files, false, report);
        return !summary.cancelled;
    });
    if (!summary.cancelled && summary.firstId)
        c.setBookmark({summary.firstId});
    return summary;
}

void RecipeBrowser::refresh()
{
    cursor().refresh();
}

bool RecipeBrowser::search(const SearchCondition& condition, bool fromCurrent, const std::function<void()>& noMatch)
{
    RecordCursor& c = cursor();
    // With no recipe current there is no place to come back to; the search starts at the first.
    std::optional<Bookmark> mark;
    if (c.hasCurrent() || (c.isAdding() && c.absolutePosition() >= 0))
        mark = c.bookmark();
    else if (c.isAdding())
        c.cancelAdd();
    if (fromCurrent && mark) {
        c.findNext(condition);
        if (c.noMatch())
            c.findFirst(condition);
    } else {
        c.findFirst(condition);
    }
    if (!c.noMatch())
        return true;
    if (noMatch)
        noMatch();
    if (mark)
        c.setBookmark(*mark);
    return false;
}

// Either field holding the text anywhere; a `*` the user typed stands for any run.
SearchCondition RecipeBrowser::nameOrCategoryContains(const QString& text)
{
    return SearchCondition::anyLike({Field::FoodCategoryID, Field::RecipeName},
                                    QLatin1Char('*') + text + QLatin1Char('*'));
}

bool RecipeBrowser::find(const QString& text, const std::function<void()>& noMatch)
{
    return search(nameOrCategoryContains(text), false, noMatch);
}

bool RecipeBrowser::findNext(const QString& text, const std::function<void()>& noMatch)
{
    return search(nameOrCategoryContains(text), true, noMatch);
}

bool RecipeBrowser::findAnywhere(const QString& text, const std::function<void()>& noMatch)
{
    return search(SearchCondition::anyContainsLoosely(allFields, text), false, noMatch);
}

bool RecipeBrowser::findAnywhereNext(const QString& text, const std::function<void()>& noMatch)
{
    return search(SearchCondition::anyContainsLoosely(allFields, text), true, noMatch);
}

bool RecipeBrowser::findField(const QString& pattern, const QString& fieldName)
{
    if (!cursor_)
        return false;
    try {
        const auto condition =
            SearchCondition::parse(fieldName + QStringLiteral(" LIKE '") + pattern + QStringLiteral("'"));
        cursor_->findNext(condition);
        if (cursor_->noMatch())
            cursor_->findFirst(condition);
    } catch (const StoreError&) {
        return false; // a pattern the condition language cannot hold matches nothing
    }
    return !cursor_->noMatch();
}

void RecipeBrowser::close()
{
    if (cursor_)
        cursor_->close();
}

} // namespace pantrio
