#include "RecipeSession.h"

#include "RecipeList.h"
#include "store/RecordCursor.h"
#include "store/SearchCondition.h"
#include "store/StoreError.h"

#include <optional>
#include <QScopeGuard>
#include <utility>

namespace pantrio {

// Around every command: the window shows the recipe again once, after the command, however
// often the cursor moved on its way.
class RecipeSession::Command
{
public:
    explicit Command(RecipeSession& session) : session_(session), outer_(!session.running_)
    {
        session_.running_ = true;
    }
    ~Command()
    {
        if (!outer_)
            return;
        session_.running_ = false;
        if (std::exchange(session_.moved_, false))
            emit session_.currentChanged();
    }
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

private:
    RecipeSession& session_;
    bool outer_;
};

RecipeSession::RecipeSession(OpenMode mode, QObject* parent) : QObject(parent), mode_(mode)
{
    qRegisterMetaType<CollectionChange>();
}

RecipeSession::~RecipeSession()
{
    list_.reset();
}

bool RecipeSession::open(const QString& path)
{
    Command command(*this);
    moved_ = true;
    list_.reset();
    cursor_.reset();
    openError_.clear();
    try {
        RecordCursor::Backup backup;
        backup.folder = backupFolder_;
        cursor_ = RecordCursor::open(path, {mode_, 2000}, backup);
    } catch (const StoreError& e) {
        openError_ = e.message();
        return false;
    }
    cursor_->onReposition = [this] { moved_ = true; };
    cursor_->onSaved = [this](std::int64_t id, bool added) {
        tell(added ? CollectionChange::Kind::Added : CollectionChange::Kind::Saved, id);
    };
    cursor_->onDeleted = [this](std::int64_t id) { tell(CollectionChange::Kind::Deleted, id); };
    cursor_->onBackupFailed = [this](const QString& message) { emit backupFailed(message); };
    emit collectionChanged(CollectionChange{CollectionChange::Kind::Reloaded, {}});
    return true;
}

void RecipeSession::tell(CollectionChange::Kind kind, std::int64_t id)
{
    tell(CollectionChange{kind, {id}});
}

void RecipeSession::tell(const CollectionChange& change)
{
    // The list first, so that a window that shows it finds it up to date.
    if (list_)
        list_->follow(change);
    emit collectionChanged(change);
}

RecipeList* RecipeSession::recipeList()
{
    if (!isOpen())
        return nullptr;
    if (!list_)
        list_ = std::make_unique<RecipeList>(cursor_->listSource());
    list_->load();
    return list_.get();
}

QString RecipeSession::location() const
{
    return isOpen() ? cursor_->path() : QString();
}

bool RecipeSession::isOpen() const
{
    return cursor_ && cursor_->isOpen();
}

void RecipeSession::startBackgroundWork()
{
    if (isOpen())
        cursor_->startBackgroundWork();
}

RecordCursor& RecipeSession::cursor() const
{
    if (!cursor_)
        throw StoreError(StoreError::Kind::Closed, openError_);
    return *cursor_;
}

int RecipeSession::position() const
{
    return cursor_ ? cursor_->absolutePosition() : -1;
}

int RecipeSession::count() const
{
    return cursor_ ? cursor_->recordCount() : 0;
}

bool RecipeSession::hasCurrent() const
{
    return cursor_ && cursor_->hasCurrent();
}

bool RecipeSession::isAdding() const
{
    return cursor_ && cursor_->isAdding();
}

bool RecipeSession::hasPendingChanges() const
{
    return cursor_ && cursor_->hasPendingChanges();
}

bool RecipeSession::isPending(Field field) const
{
    return cursor_ && cursor_->isStaged(field);
}

FieldValue RecipeSession::value(Field field) const
{
    if (!hasCurrent() && !isAdding())
        return std::nullopt;
    return cursor_->field(field);
}

RecipeValues RecipeSession::values() const
{
    RecipeValues v;
    if (hasCurrent() || isAdding())
        v = cursor_->values();
    return v;
}

void RecipeSession::stage(const RecipeEdits& edits)
{
    RecordCursor& c = cursor();
    if (!c.hasCurrent() && !c.isAdding())
        return;
    for (const auto& [field, text] : edits) {
        // A box shows no value as empty text: empty text over no value is no edit.
        if (text.isEmpty() && !c.storedField(field))
            c.setField(field, std::nullopt);
        else
            c.setField(field, text);
    }
}

void RecipeSession::discardChanges()
{
    Command command(*this);
    cursor().discardChanges();
    moved_ = true;
}

void RecipeSession::keepMine()
{
    cursor().reloadCurrent();
}

void RecipeSession::takeTheirs()
{
    Command command(*this);
    RecordCursor& c = cursor();
    c.discardChanges();
    c.reloadCurrent();
    moved_ = true;
}

void RecipeSession::moveFirst(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    cursor().moveFirst();
}

void RecipeSession::movePrevious(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    RecordCursor& c = cursor();
    if (c.absolutePosition() > 0 || c.isAdding())
        c.movePrevious();
    else
        c.moveFirst();
}

void RecipeSession::moveNext(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    RecordCursor& c = cursor();
    if (c.absolutePosition() >= 0 && c.absolutePosition() + 1 >= c.recordCount())
        c.moveLast();
    else
        c.moveNext();
}

void RecipeSession::moveLast(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    cursor().moveLast();
}

void RecipeSession::addNew(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    cursor().addNew();
}

void RecipeSession::save(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    RecordCursor& c = cursor();
    c.update();
    c.setBookmark(c.lastModified());
}

void RecipeSession::deleteCurrent(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    RecordCursor& c = cursor();
    if (c.isAdding()) { // a recipe not saved yet is simply dropped
        c.cancelAdd();
        return;
    }
    c.deleteCurrent();
    c.movePrevious();
    // Deleting the first recipe leaves the session on the one that is first now.
    if (!c.hasCurrent() && c.recordCount() > 0)
        c.moveFirst();
}

void RecipeSession::refresh(const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    cursor().refresh();
    tell(CollectionChange{CollectionChange::Kind::Reloaded, {}});
}

void RecipeSession::showRecipe(std::int64_t id, const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    cursor().setBookmark({id});
}

bool RecipeSession::transact(
    const RecipeEdits& edits,
    const std::function<std::optional<std::int64_t>(RecipeRows&, std::int64_t)>& work)
{
    Command command(*this);
    stage(edits);
    RecordCursor& c = cursor();
    std::int64_t firstNew = 0;
    const bool committed = c.transact([&](RecipeRows& rows, std::int64_t firstFree) {
        const auto added = work(rows, firstFree);
        firstNew = added.value_or(0);
        return added.has_value();
    });
    if (!committed || firstNew == 0)
        return committed;
    c.setBookmark({firstNew});
    tell(CollectionChange{CollectionChange::Kind::Imported, {firstNew}});
    return true;
}

bool RecipeSession::search(const SearchCondition& condition, bool fromCurrent)
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
    if (mark)
        c.setBookmark(*mark);
    return false;
}

bool RecipeSession::find(const QString& text, bool fromCurrent, const RecipeEdits& edits)
{
    Command command(*this);
    stage(edits);
    // In name or category a `*` the user typed stands for any run.
    const SearchCondition condition =
        searchScope_ == FindScope::EveryField
            ? SearchCondition::anyContainsLoosely(allFields, text)
            : SearchCondition::anyLike({Field::FoodCategoryID, Field::RecipeName},
                                       QLatin1Char('*') + text + QLatin1Char('*'));
    return search(condition, fromCurrent);
}

bool RecipeSession::findField(const QString& pattern, const QString& fieldName, const RecipeEdits& edits)
{
    if (!cursor_)
        return false;
    Command command(*this);
    try {
        const auto condition =
            SearchCondition::parse(fieldName + QStringLiteral(" LIKE '") + pattern + QStringLiteral("'"));
        stage(edits);
        cursor_->findNext(condition);
        if (cursor_->noMatch())
            cursor_->findFirst(condition);
    } catch (const StoreError&) {
        return false; // a pattern the condition language cannot hold matches nothing
    }
    return !cursor_->noMatch();
}

void RecipeSession::read(const RecipeEdits& edits, const std::function<void(RecipeRows&)>& work)
{
    Command command(*this);
    stage(edits);
    cursor().read(work);
}

void RecipeSession::close(const RecipeEdits& edits)
{
    if (!cursor_)
        return;
    Command command(*this);
    stage(edits);
    // The list's workers read through the connection that closes.
    if (list_)
        list_->stop();
    try {
        cursor_->close();
    } catch (const StoreError&) {
        if (list_)
            list_->resume();
        throw;
    }
}

} // namespace pantrio
