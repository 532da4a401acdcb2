#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "store/Sqlite.h"
#include "store/WordIndex.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pantrio;
using namespace pantrio::test;

namespace {

QList<RecipeValues> twelveRecipes()
{
    QList<RecipeValues> rows;
    for (int i = 1; i <= 12; ++i)
        rows << recipe(i % 2 ? QStringLiteral("Soups") : QStringLiteral("Desserts"),
                       QStringLiteral("Recipe %1").arg(i));
    return rows;
}

std::unique_ptr<RecordCursor> openCursor(const QString& path, OpenMode mode = OpenMode::Exclusive)
{
    return RecordCursor::open(path, {mode, 200});
}

QString nameOf(const RecordCursor& c)
{
    return c.field(Field::RecipeName).value_or(QStringLiteral("<null>"));
}

StoreError::Kind openFailure(const QString& path, QString* message = nullptr)
{
    try {
        openCursor(path);
    } catch (const StoreError& e) {
        if (message)
            *message = e.message();
        return e.kind();
    }
    return StoreError::Kind::Other;
}

std::unique_ptr<RecordCursor> openWithBackups(const QString& path, const QString& folder,
                                              qint64 limit = qint64(1) << 30)
{
    return RecordCursor::open(path, {}, {folder, limit});
}

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Recipes "Dish 0." to "Dish <n - 1>.", each name its position; the stop keeps one from matching another.
QString makeDishes(const QString& folder, int n)
{
    const QString path = QDir(folder).filePath(QStringLiteral("Savorix.mdb"));
    int i = 0;
    RecipeTable::createFile(path, [&](RecipeValues& row) {
        row = recipe(QStringLiteral("Dishes"), QStringLiteral("Dish %1.").arg(i));
        return i++ < n;
    });
    return path;
}

const QString FindBoth = QStringLiteral("FoodCategoryID like '*%1*' or RecipeName like '*%1*'");

SearchCondition findBoth(const QString& text)
{
    return SearchCondition::parse(FindBoth.arg(text));
}

} // namespace

class TestRecordCursor : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void opensOnFirstRecord();
    void navigationAndEnds();
    void emptyTable();
    void eventsFollowMoves();

    void addNewAndUpdate();
    void addNewUntouchedIsDropped();
    void updateExisting();
    void validateSavesBeforeMove();
    void closeSavesPendingEdit();
    void deleteKeepsPlace_data();
    void deleteKeepsPlace();
    void bookmarks();
    void bookmarkOfDeletedRecordIsRefused();
    void newIdsNeverReuseDeleted();

    void findFirstAndNext();
    void findSeesOwnEdits();
    void findMatchesBruteForce();
    void badConditionMovesNothing();
    void findOnOtherFields();
    void fileWrittenByAnotherProgram();

    void valuesSurviveRoundTrip_data();
    void valuesSurviveRoundTrip();
    void manyRecipes();
    void farReachBeforeRestIsRead_data();
    void farReachBeforeRestIsRead();
    void snapshotOfAnySize_data();
    void snapshotOfAnySize();
    void sharedSnapshotKeepsOthersDeletes();

    void exclusiveLocksOutOthers();
    void sharedLetsOthersAdd();
    void sharedSeesOthersEdits();

    void openErrors_data();
    void openErrors();
    void lockedByAnotherProgram();
    void readOnlySaveFailsAndKeepsEdit();
    void readOnlyFolderIsNamed();
    void fileChangedWhileOpen_data();
    void fileChangedWhileOpen();

    void backupBeforeFirstChange_data();
    void backupBeforeFirstChange();
    void backupKeepsNewestTen();
    void backupSkipsLargeFile();
    void ownSavesReachTheWordIndex();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestRecordCursor::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestRecordCursor::opensOnFirstRecord()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    QCOMPARE(c->recordCount(), 12);
    QCOMPARE(c->absolutePosition(), 0);
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 1"));
    QCOMPARE(*c->field(*fieldByName(QStringLiteral("foodcategoryid"))), QStringLiteral("Soups"));
    QVERIFY(!c->field(*fieldByName(QStringLiteral("Recipe Description"))).has_value());
    QVERIFY(!fieldByName(QStringLiteral("Colour")));
}

void TestRecordCursor::navigationAndEnds()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    c->moveLast();
    QCOMPARE(c->absolutePosition(), 11);
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 12"));
    c->moveNext(); // off the end
    QVERIFY(!c->hasCurrent());
    QCOMPARE(c->absolutePosition(), -1);
    QVERIFY_THROWS_EXCEPTION(StoreError, c->field(Field::RecipeName));
    c->movePrevious(); // back from the end lands on the last
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 12"));
    c->moveFirst();
    c->movePrevious(); // off the front
    QVERIFY(!c->hasCurrent());
    c->moveNext();
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 1"));
    c->moveNext();
    QCOMPARE(c->absolutePosition(), 1);
}

void TestRecordCursor::emptyTable()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), {}));
    QCOMPARE(c->recordCount(), 0);
    QCOMPARE(c->absolutePosition(), -1);
    c->moveFirst();
    c->moveLast();
    c->moveNext();
    QVERIFY(!c->hasCurrent());
    QVERIFY_THROWS_EXCEPTION(StoreError, c->bookmark());
    QVERIFY_THROWS_EXCEPTION(StoreError, c->update());
    QVERIFY_THROWS_EXCEPTION(StoreError, c->deleteCurrent());
    c->findFirst(findBoth("x"));
    QVERIFY(c->noMatch());
    c->addNew();
    c->setField(Field::RecipeName, QStringLiteral("First"));
    c->update();
    QCOMPARE(c->recordCount(), 1);
    c->setBookmark(c->lastModified());
    QCOMPARE(nameOf(*c), QStringLiteral("First"));
}

void TestRecordCursor::eventsFollowMoves()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    QStringList log;
    c->onReposition = [&] { log << QStringLiteral("reposition %1").arg(c->absolutePosition()); };
    c->moveNext();
    c->findFirst(findBoth("Recipe 3"));
    c->findFirst(findBoth("nothing"));
    QCOMPARE(log, QStringList({"reposition 1", "reposition 2"}));
    QVERIFY(c->noMatch());
    QCOMPARE(c->absolutePosition(), 2); // a failed search leaves the cursor where it was
}

void TestRecordCursor::addNewAndUpdate()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    auto c = openCursor(path);
    c->moveNext();
    c->addNew();
    QVERIFY(c->isAdding());
    QVERIFY(!c->field(Field::FoodCategoryID).has_value());
    c->setField(Field::FoodCategoryID, QStringLiteral("Breads"));
    c->setField(Field::RecipeName, QStringLiteral("Soda Bread"));
    c->update();
    QVERIFY(!c->isAdding());
    QCOMPARE(c->recordCount(), 13);
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 2")); // back where it stood before the add
    c->setBookmark(c->lastModified());
    QCOMPARE(nameOf(*c), QStringLiteral("Soda Bread"));
    QCOMPARE(c->absolutePosition(), 12); // new recipes come last, in the table's order
    c->close();

    auto again = openCursor(path);
    again->moveLast();
    QCOMPARE(nameOf(*again), QStringLiteral("Soda Bread"));
    QCOMPARE(*again->field(Field::FoodCategoryID), QStringLiteral("Breads"));
    QVERIFY(!again->field(Field::Notes).has_value()); // untouched fields hold no value
}

void TestRecordCursor::addNewUntouchedIsDropped()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    c->addNew();
    c->moveNext();
    QCOMPARE(c->recordCount(), 12);
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 2"));

    c->addNew();
    c->cancelAdd();
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 2"));

    c->addNew();
    c->update(); // asked for explicitly: an empty recipe is saved
    QCOMPARE(c->recordCount(), 13);
}

void TestRecordCursor::updateExisting()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    auto c = openCursor(path);
    c->moveNext();
    c->setField(Field::Instructions, QStringLiteral("Stir.\nServe."));
    c->update();
    QCOMPARE(c->lastModified().id, c->bookmark().id);
    QCOMPARE(c->absolutePosition(), 1);
    c->close();
    auto again = openCursor(path);
    again->moveNext();
    QCOMPARE(*again->field(Field::Instructions), QStringLiteral("Stir.\nServe."));
    QCOMPARE(nameOf(*again), QStringLiteral("Recipe 2"));
}

void TestRecordCursor::validateSavesBeforeMove()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    auto c = openCursor(path);
    // What the user changed is staged before the move.
    c->setField(Field::RecipeName, QStringLiteral("Edited"));
    c->moveNext();
    c->movePrevious();
    QCOMPARE(nameOf(*c), QStringLiteral("Edited"));
    c->close();
    QCOMPARE(nameOf(*openCursor(path)), QStringLiteral("Edited"));
}

void TestRecordCursor::closeSavesPendingEdit()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    {
        auto c = openCursor(path);
        c->setField(Field::Notes, QStringLiteral("Keep it"));
        c->close();
        QVERIFY(!c->isOpen());
        QVERIFY_THROWS_EXCEPTION(StoreError, c->moveNext());
    }
    QCOMPARE(*openCursor(path)->field(Field::Notes), QStringLiteral("Keep it"));
}

void TestRecordCursor::deleteKeepsPlace_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("deleteAt");
    QTest::addColumn<int>("previousLandsAt"); // -1: no current record
    QTest::addColumn<int>("nextLandsAt");
    QTest::newRow("middle") << 12 << 5 << 4 << 5;
    QTest::newRow("first") << 12 << 0 << -1 << 0;
    QTest::newRow("last") << 12 << 11 << 10 << -1;
    QTest::newRow("only") << 1 << 0 << -1 << -1;
}

void TestRecordCursor::deleteKeepsPlace()
{
    QFETCH(int, count);
    QFETCH(int, deleteAt);
    QFETCH(int, previousLandsAt);
    QFETCH(int, nextLandsAt);
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes().mid(0, count));
    for (const bool previous : {true, false}) {
        QFile::remove(path);
        makeRecipeFile(dir_->path(), twelveRecipes().mid(0, count));
        auto c = openCursor(path);
        for (int i = 0; i < deleteAt; ++i)
            c->moveNext();
        const QString gone = nameOf(*c);
        c->deleteCurrent();
        QVERIFY(!c->hasCurrent());
        QCOMPARE(c->recordCount(), count - 1);
        previous ? c->movePrevious() : c->moveNext();
        QCOMPARE(c->absolutePosition(), previous ? previousLandsAt : nextLandsAt);
        c->close();
        auto again = openCursor(path);
        QCOMPARE(again->recordCount(), count - 1);
        again->findFirst(SearchCondition::parse(QStringLiteral("RecipeName like '%1'").arg(gone)));
        QVERIFY(again->noMatch());
    }
}

void TestRecordCursor::bookmarks()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    c->moveNext();
    c->moveNext();
    const Bookmark third = c->bookmark();
    c->moveLast();
    c->setBookmark(third);
    QCOMPARE(nameOf(*c), QStringLiteral("Recipe 3"));
    c->addNew();
    QCOMPARE(c->bookmark(), third); // while adding: the record it was on
    c->cancelAdd();
    QVERIFY_THROWS_EXCEPTION(StoreError,
                             openCursor(makeRecipeFile(QTemporaryDir().path(), {}))->lastModified());
}

void TestRecordCursor::bookmarkOfDeletedRecordIsRefused()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    c->moveNext();
    const Bookmark mark = c->bookmark();
    c->deleteCurrent();
    c->moveFirst();
    try {
        c->setBookmark(mark);
        QFAIL("a bookmark of a deleted record was accepted");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::RecordDeleted);
        QVERIFY(e.message().contains(QStringLiteral("deleted")));
    }
    QCOMPARE(c->absolutePosition(), 0);
}

void TestRecordCursor::newIdsNeverReuseDeleted()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    c->moveLast();
    const Bookmark last = c->bookmark();
    c->deleteCurrent();
    c->addNew();
    c->setField(Field::RecipeName, QStringLiteral("Newcomer"));
    c->update();
    QVERIFY(!(c->lastModified() == last));
    QVERIFY_THROWS_EXCEPTION(StoreError, c->setBookmark(last));
}

void TestRecordCursor::findFirstAndNext()
{
    QList<RecipeValues> rows = twelveRecipes();
    rows[3][Field::RecipeName] = QStringLiteral("Grandma's Apple Pie");
    rows[7][Field::FoodCategoryID] = QStringLiteral("Pies & Tarts");
    rows[9][Field::RecipeName] = QStringLiteral("Pecan PIE");
    auto c = openCursor(makeRecipeFile(dir_->path(), rows));
    const SearchCondition pie = findBoth("pie");
    c->moveLast();
    c->findFirst(pie);
    QCOMPARE(c->absolutePosition(), 3);
    c->findNext(pie);
    QCOMPARE(c->absolutePosition(), 7); // found through its category
    c->findNext(pie);
    QCOMPARE(c->absolutePosition(), 9);
    c->findNext(pie);
    QVERIFY(c->noMatch());
    QCOMPARE(c->absolutePosition(), 9);
    c->findFirst(SearchCondition::parse(QStringLiteral("RecipeName like '*grandma''s*'")));
    QCOMPARE(c->absolutePosition(), 3);
    c->findFirst(findBoth("pie ")); // a trailing blank is part of the text
    QVERIFY(c->noMatch());
    c->findFirst(findBoth("app*pie"));
    QCOMPARE(c->absolutePosition(), 3);
}

void TestRecordCursor::findSeesOwnEdits()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    const SearchCondition cond = findBoth("zucchini");
    c->findFirst(cond); // builds the search index
    QVERIFY(c->noMatch());
    c->moveNext();
    c->setField(Field::RecipeName, QStringLiteral("Zucchini Bread"));
    c->moveFirst();
    c->findFirst(cond);
    QCOMPARE(c->absolutePosition(), 1);
    c->addNew();
    c->setField(Field::FoodCategoryID, QStringLiteral("ZUCCHINI dishes"));
    c->update();
    c->findNext(cond);
    QCOMPARE(c->absolutePosition(), 12);
    c->moveFirst();
    c->moveNext();
    c->deleteCurrent();
    c->findFirst(cond);
    QCOMPARE(c->absolutePosition(), 11);
    c->setField(Field::FoodCategoryID, QStringLiteral("Breads"));
    c->update();
    c->findFirst(cond);
    QVERIFY(c->noMatch());
}

// The packed search must find exactly what a plain row-by-row check finds.
void TestRecordCursor::findMatchesBruteForce()
{
    QRandomGenerator rng(1234);
    const QStringList words = {"Apple", "pie", "crème", "SOUP", "Grandma's", "ß", "tart", "*", "Ünd", "a b"};
    auto pick = [&] {
        QString s;
        const int n = int(rng.bounded(4));
        for (int i = 0; i < n; ++i)
            s += words[int(rng.bounded(words.size()))] + (rng.bounded(2) ? QStringLiteral(" ") : QString());
        return s;
    };
    QList<RecipeValues> rows;
    for (int i = 0; i < 300; ++i) {
        RecipeValues v = recipe(pick(), pick());
        if (rng.bounded(10) == 0)
            v[Field::RecipeName] = std::nullopt;
        rows << v;
    }
    auto c = openCursor(makeRecipeFile(dir_->path(), rows));
    const QStringList texts = {"pie", "PIE", "crÈme", "a*t", "e s", "'s", "ü", "**", "x", "tart ", "ß"};
    for (const QString& t : texts) {
        QString escaped = t;
        escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
        // As Find searches (a `*` is a wildcard), and for the text as it is.
        const SearchCondition wildcard = SearchCondition::parse(FindBoth.arg(escaped));
        const SearchCondition literal =
            SearchCondition::anyContains({Field::FoodCategoryID, Field::RecipeName}, t);
        for (const SearchCondition* cond : {&wildcard, &literal}) {
            QList<int> expected;
            for (int i = 0; i < rows.size(); ++i)
                if (cond->matches(rows[i]))
                    expected << i;
            QList<int> found;
            c->findFirst(*cond);
            while (!c->noMatch()) {
                found << c->absolutePosition();
                c->findNext(*cond);
            }
            QCOMPARE(found, expected);
        }
    }
}

void TestRecordCursor::badConditionMovesNothing()
{
    auto c = openCursor(makeRecipeFile(dir_->path(), twelveRecipes()));
    c->moveNext();
    c->setField(Field::Notes, QStringLiteral("Not saved by a search that cannot run"));
    QVERIFY_THROWS_EXCEPTION(StoreError, c->findFirst(findBoth("Grandma's")));
    QVERIFY_THROWS_EXCEPTION(StoreError,
                             c->findNext(SearchCondition::parse(QStringLiteral("RecipeName like"))));
    QCOMPARE(c->absolutePosition(), 1);
    QVERIFY(c->hasPendingChanges());
}

void TestRecordCursor::findOnOtherFields()
{
    QList<RecipeValues> rows = twelveRecipes();
    rows[4][Field::Notes] = QStringLiteral("Freezes well");
    auto c = openCursor(makeRecipeFile(dir_->path(), rows));
    c->findFirst(SearchCondition::parse(QStringLiteral("Notes like '*FREEZE*'")));
    QCOMPARE(c->absolutePosition(), 4);
    c->findNext(
        SearchCondition::parse(QStringLiteral("Notes like '*freeze*' or RecipeName like 'Recipe 1'")));
    QVERIFY(c->noMatch());
    c->moveFirst();
    c->findNext(
        SearchCondition::parse(QStringLiteral("Notes like '*freeze*' or RecipeName like 'Recipe 3'")));
    QCOMPARE(c->absolutePosition(), 2);
}

// A recipe table made by another program, without the helpers our own files carry.
void TestRecordCursor::fileWrittenByAnotherProgram()
{
    const QString path = dir_->filePath(QStringLiteral("Savorix.mdb"));
    QCOMPARE(
        runSqlite(
            path,
            QStringLiteral(
                "CREATE TABLE Recipes (FoodCategoryID TEXT, RecipeName TEXT, \"Recipe Description\" TEXT, "
                "TimeToPrepare TEXT, Ingredients TEXT, Instructions TEXT, Notes TEXT);"
                "INSERT INTO Recipes (rowid, RecipeName, FoodCategoryID) VALUES "
                "(30, 'Third', 'Soups'), (10, 'First', 'Pies'), (20, 'Second', 'Soups');")),
        0);
    auto c = openCursor(path);
    QCOMPARE(c->recordCount(), 3);
    QCOMPARE(nameOf(*c), QStringLiteral("First"));
    c->moveNext();
    QCOMPARE(nameOf(*c), QStringLiteral("Second"));
    c->findNext(findBoth("soups"));
    QCOMPARE(nameOf(*c), QStringLiteral("Third"));
    c->addNew();
    c->setField(Field::RecipeName, QStringLiteral("Fourth"));
    c->update();
    c->moveLast();
    QCOMPARE(nameOf(*c), QStringLiteral("Fourth"));
    c->findFirst(findBoth("fourth"));
    QCOMPARE(c->absolutePosition(), 3);
}

void TestRecordCursor::valuesSurviveRoundTrip_data()
{
    QTest::addColumn<FieldValue>("value");
    QTest::newRow("empty text") << FieldValue(QString(""));
    QTest::newRow("no value") << FieldValue();
    QTest::newRow("line breaks") << FieldValue(QStringLiteral("1 cup flour\r\n2 eggs\n\nPinch of salt"));
    QTest::newRow("unicode") << FieldValue(QStringLiteral("Crème brûlée — 東京 🍰"));
    QTest::newRow("10 MB") << FieldValue(QString(10 * 1024 * 1024, QLatin1Char('x')));
}

void TestRecordCursor::valuesSurviveRoundTrip()
{
    QFETCH(FieldValue, value);
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    {
        auto c = openCursor(path);
        c->setField(Field::Ingredients, value);
        c->update();
        QCOMPARE(c->field(Field::Ingredients), value);
        c->close();
    }
    auto c = openCursor(path);
    QCOMPARE(c->field(Field::Ingredients), value);
}

void TestRecordCursor::manyRecipes()
{
    const int n = 12000;
    int i = 0;
    const QString path = dir_->filePath(QStringLiteral("Savorix.mdb"));
    RecipeTable::createFile(path, [&](RecipeValues& row) {
        row = recipe(QStringLiteral("Cat %1").arg(i % 40), QStringLiteral("Dish %1").arg(i));
        return i++ < n;
    });
    auto c = openCursor(path);
    QCOMPARE(c->recordCount(), n);
    c->moveLast();
    QCOMPARE(c->absolutePosition(), n - 1);
    QCOMPARE(nameOf(*c), QStringLiteral("Dish %1").arg(n - 1));
    c->findFirst(findBoth("Dish 11999"));
    QCOMPARE(c->absolutePosition(), n - 1);
    c->addNew();
    c->setField(Field::RecipeName, QStringLiteral("One more"));
    c->update();
    QCOMPARE(c->recordCount(), n + 1);
}

// A large collection opens on its first rows; whatever reaches past them lands where a fully
// read collection would, also while the rest and the search index are read ahead.
void TestRecordCursor::farReachBeforeRestIsRead_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<bool>("readAhead");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("name");
    const struct
    {
        const char* op;
        int position;
        int count;
        const char* name;
    } rows[] = {
        {"last", 999, 1000, "Dish 999."},
        {"next", 300, 1000, "Dish 300."},
        {"offEndAndBack", 999, 1000, "Dish 999."},
        {"find", 900, 1000, "Dish 900."},
        {"add", 1000, 1001, "Added"},
        {"deleteThenLast", 998, 999, "Dish 999."},
        {"refreshThenLast", 999, 1000, "Dish 999."},
    };
    for (const auto& r : rows)
        for (const bool readAhead : {false, true})
            QTest::addRow("%s%s", r.op, readAhead ? ", reading ahead" : "")
                << QString::fromLatin1(r.op) << readAhead << r.position << r.count
                << QString::fromLatin1(r.name);
}

void TestRecordCursor::farReachBeforeRestIsRead()
{
    QFETCH(QString, op);
    QFETCH(bool, readAhead);
    QFETCH(int, position);
    QFETCH(int, count);
    QFETCH(QString, name);
    auto c = openCursor(makeDishes(dir_->path(), 1000));
    if (readAhead)
        c->startBackgroundWork();
    QCOMPARE(c->recordCount(), 1000);
    if (op == QLatin1String("last")) {
        c->moveLast();
    } else if (op == QLatin1String("next")) {
        for (int i = 0; i < 300; ++i)
            c->moveNext();
    } else if (op == QLatin1String("offEndAndBack")) {
        c->moveLast();
        c->moveNext();
        QVERIFY(!c->hasCurrent());
        c->movePrevious();
    } else if (op == QLatin1String("find")) {
        c->findFirst(findBoth(QStringLiteral("Dish 900.")));
    } else if (op == QLatin1String("add")) {
        c->addNew();
        c->setField(Field::RecipeName, QStringLiteral("Added"));
        c->update();
        QCOMPARE(c->recordCount(), count);
        c->moveLast();
    } else if (op == QLatin1String("deleteThenLast")) {
        c->deleteCurrent();
        c->moveLast();
    } else if (op == QLatin1String("refreshThenLast")) {
        c->refresh();
        c->moveLast();
    }
    QCOMPARE(c->absolutePosition(), position);
    QCOMPARE(c->recordCount(), count);
    QCOMPARE(nameOf(*c), name);
    // A bookmark taken here still leads back after the whole snapshot is in.
    const Bookmark mark = c->bookmark();
    c->moveFirst();
    c->setBookmark(mark);
    QCOMPARE(c->absolutePosition(), position);
}

// Around the number of rows read at open: the count and the last row stay right.
void TestRecordCursor::snapshotOfAnySize_data()
{
    QTest::addColumn<int>("n");
    for (const int n : {1, 255, 256, 257, 513})
        QTest::addRow("%d", n) << n;
}

void TestRecordCursor::snapshotOfAnySize()
{
    QFETCH(int, n);
    auto c = openCursor(makeDishes(dir_->path(), n));
    QCOMPARE(c->recordCount(), n);
    c->moveLast();
    QCOMPARE(c->absolutePosition(), n - 1);
    QCOMPARE(nameOf(*c), QStringLiteral("Dish %1.").arg(n - 1));
    c->moveNext();
    c->movePrevious();
    QCOMPARE(c->absolutePosition(), n - 1);
}

// Shared, the snapshot is taken whole at open: another program's changes afterwards neither
// shift the positions nor the count until Refresh.
void TestRecordCursor::sharedSnapshotKeepsOthersDeletes()
{
    const QString path = makeDishes(dir_->path(), 1000);
    auto c = openCursor(path, OpenMode::Shared);
    QCOMPARE(runSqlite(path, QStringLiteral("DELETE FROM Recipes WHERE RecipeName = 'Dish 500.'; "
                                            "INSERT INTO Recipes (RecipeName) VALUES ('Theirs');")),
             0);
    QCOMPARE(c->recordCount(), 1000);
    c->moveLast();
    QCOMPARE(c->absolutePosition(), 999);
    QCOMPARE(nameOf(*c), QStringLiteral("Dish 999."));
    c->refresh();
    QCOMPARE(c->recordCount(), 1000);
    c->moveLast();
    QCOMPARE(nameOf(*c), QStringLiteral("Theirs"));
}

// Enough saves that the word index takes them in; each save and the search after go on.
void TestRecordCursor::ownSavesReachTheWordIndex()
{
    const QString path =
        makeRecipeFile(dir_->path(), {recipe(QStringLiteral("Soups"), QStringLiteral("Leek"))});
    auto c = openCursor(path);
    for (int i = 0; i < 300; ++i) {
        c->addNew();
        c->setField(Field::Notes, QStringLiteral("Crème n%1").arg(i));
        c->update();
    }
    c->setField(Field::Instructions, QStringLiteral("Brûlée"));
    c->update();
    c.reset();
    {
        sqlite::Database db(path, SQLITE_OPEN_READONLY);
        QVERIFY(WordIndex::pendingCount(db) < 256);
    }
    c = openCursor(path);
    c->findFirst(SearchCondition::anyContainsLoosely(allFields, QStringLiteral("creme n299")));
    QCOMPARE(c->absolutePosition(), 300);
    c->findFirst(SearchCondition::anyContainsLoosely(allFields, QStringLiteral("BRULEE")));
    QCOMPARE(c->absolutePosition(), 0);
}

void TestRecordCursor::exclusiveLocksOutOthers()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    QString out;
    {
        auto c = openCursor(path, OpenMode::Exclusive);
        QVERIFY(runSqlite(path, QStringLiteral("SELECT count(*) FROM Recipes;"), &out) != 0);
        QVERIFY2(out.contains(QStringLiteral("database is locked")), qPrintable(out));
        QVERIFY(runSqlite(path, QStringLiteral("INSERT INTO Recipes (RecipeName) VALUES ('x');"), &out) != 0);
        QVERIFY2(out.contains(QStringLiteral("database is locked")), qPrintable(out));
        // Our own work goes on while others are locked out.
        c->moveNext();
        c->setField(Field::RecipeName, QStringLiteral("Mine"));
        c->update();
        c->close();
    }
    QCOMPARE(runSqlite(path, QStringLiteral("SELECT count(*) FROM Recipes;"), &out), 0);
    QCOMPARE(out.trimmed(), QStringLiteral("12"));
}

void TestRecordCursor::sharedLetsOthersAdd()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    auto c = openCursor(path, OpenMode::Shared);
    QString out;
    QCOMPARE(runSqlite(path, QStringLiteral("SELECT count(*) FROM Recipes;"), &out), 0);
    QCOMPARE(out.trimmed(), QStringLiteral("12"));
    QCOMPARE(runSqlite(path,
                       QStringLiteral(
                           "INSERT INTO Recipes (FoodCategoryID, RecipeName) VALUES ('Soups', 'Borscht');"),
                       &out),
             0);
    QCOMPARE(c->recordCount(), 12); // the snapshot holds until Refresh
    c->findFirst(findBoth("borscht"));
    QVERIFY(c->noMatch());
    c->refresh();
    QCOMPARE(c->recordCount(), 13);
    QCOMPARE(c->absolutePosition(), 0);
    c->findFirst(findBoth("borscht"));
    QCOMPARE(c->absolutePosition(), 12);
    // And our own adds still work alongside.
    c->addNew();
    c->setField(Field::RecipeName, QStringLiteral("Ours"));
    c->update();
    QCOMPARE(
        runSqlite(path, QStringLiteral("SELECT RecipeName FROM Recipes ORDER BY rowid DESC LIMIT 1;"), &out),
        0);
    QCOMPARE(out.trimmed(), QStringLiteral("Ours"));
}

void TestRecordCursor::sharedSeesOthersEdits()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    auto c = openCursor(path, OpenMode::Shared);
    c->findFirst(findBoth("gazpacho")); // index built before the other program's change
    QVERIFY(c->noMatch());
    QCOMPARE(runSqlite(
                 path,
                 QStringLiteral("UPDATE Recipes SET RecipeName = 'Gazpacho' WHERE RecipeName = 'Recipe 5';")),
             0);
    c->findFirst(findBoth("gazpacho"));
    QCOMPARE(c->absolutePosition(), 4);
    QCOMPARE(nameOf(*c), QStringLiteral("Gazpacho"));
    // A recipe another program deleted cannot be saved over, and says why.
    QCOMPARE(runSqlite(path, QStringLiteral("DELETE FROM Recipes WHERE RecipeName = 'Gazpacho';")), 0);
    c->setField(Field::Notes, QStringLiteral("note"));
    try {
        c->update();
        QFAIL("saving a recipe deleted elsewhere succeeded");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::RecordDeleted);
    }
}

void TestRecordCursor::openErrors_data()
{
    QTest::addColumn<QByteArray>("content"); // "<missing>" for no file at all
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing") << QByteArray("<missing>") << int(StoreError::Kind::FileMissing)
                             << "does not exist";
    QTest::newRow("empty file") << QByteArray() << int(StoreError::Kind::NotADatabase) << "empty";
    QTest::newRow("text file") << QByteArray("Grandma's recipes\n1 cup flour\n")
                               << int(StoreError::Kind::NotADatabase) << "not a recipe database";
    QTest::newRow("access file") << QByteArray("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00", 23) +
                                        QByteArray(2000, '\x55')
                                 << int(StoreError::Kind::NotADatabase) << "Access";
    QTest::newRow("no recipe table") << QByteArray("<other-table>") << int(StoreError::Kind::TableMissing)
                                     << "no table of recipes";
    QTest::newRow("missing field") << QByteArray("<short-table>") << int(StoreError::Kind::TableMissing)
                                   << "Notes";
    QTest::newRow("truncated") << QByteArray("<truncated>") << int(StoreError::Kind::Damaged) << "damaged";
    QTest::newRow("named pipe") << QByteArray("<fifo>") << int(StoreError::Kind::NotADatabase)
                                << "named pipe";
}

void TestRecordCursor::openErrors()
{
    QFETCH(QByteArray, content);
    QFETCH(int, kind);
    QFETCH(QString, cause);
    const QString path = dir_->filePath(QStringLiteral("Savorix.mdb"));
    if (content == "<other-table>") {
        QCOMPARE(runSqlite(path, QStringLiteral("CREATE TABLE Shopping (Item TEXT);")), 0);
    } else if (content == "<short-table>") {
        QCOMPARE(runSqlite(path, QStringLiteral(
                                     "CREATE TABLE Recipes (FoodCategoryID, RecipeName, "
                                     "\"Recipe Description\", TimeToPrepare, Ingredients, Instructions);")),
                 0);
    } else if (content == "<truncated>") {
        QList<RecipeValues> rows;
        for (int i = 0; i < 200; ++i)
            rows << recipe(QStringLiteral("Cat"), QStringLiteral("Recipe %1").arg(i),
                           QString(500, QLatin1Char('n')));
        makeRecipeFile(dir_->path(), rows);
        QFile f(path);
        QVERIFY(f.resize(f.size() / 3));
    } else if (content == "<fifo>") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (content != "<missing>") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QString message;
    const auto got = openFailure(path, &message);
    QCOMPARE(int(got), kind);
    QVERIFY2(message.contains(path), qPrintable(message));
    QVERIFY2(message.contains(cause), qPrintable(message));
    if (content == "<missing>")
        QVERIFY(!QFile::exists(path)); // never created behind the user's back
}

void TestRecordCursor::lockedByAnotherProgram()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    auto holder = openCursor(path, OpenMode::Exclusive);
    QString message;
    QCOMPARE(openFailure(path, &message), StoreError::Kind::InUse);
    QVERIFY2(message.contains(QStringLiteral("in use by another program")), qPrintable(message));
    QVERIFY_THROWS_EXCEPTION(StoreError, openCursor(path, OpenMode::Shared));
}

void TestRecordCursor::readOnlySaveFailsAndKeepsEdit()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
    // Root ignores permissions; the immutable flag holds even for root.
    const bool root = geteuid() == 0;
    if (root && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) != 0)
        QSKIP("cannot make the file read-only for root here");
    auto undo = qScopeGuard([&] {
        if (root)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
    });
    auto c = openCursor(path);
    c->setField(Field::RecipeName, QStringLiteral("Typed"));
    try {
        c->moveNext();
        QFAIL("a save to a read-only file succeeded");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::ReadOnly);
        QVERIFY(e.message().contains(QStringLiteral("read-only")));
    }
    QCOMPARE(c->absolutePosition(), 0);
    QCOMPARE(nameOf(*c), QStringLiteral("Typed"));
}

void TestRecordCursor::backupBeforeFirstChange_data()
{
    QTest::addColumn<QString>("change");
    QTest::newRow("update") << "update";
    QTest::newRow("add") << "add";
    QTest::newRow("delete") << "delete";
}

void TestRecordCursor::backupBeforeFirstChange()
{
    QFETCH(QString, change);
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    const QString folder = dir_->filePath(QStringLiteral("backups/deeper"));
    auto c = openWithBackups(path, folder);
    c->moveNext(); // reading is no change
    QVERIFY(filesIn(folder).isEmpty());
    for (int i = 0; i < 2; ++i) {
        if (change == QLatin1String("update")) {
            c->setField(Field::RecipeName, QStringLiteral("Changed %1").arg(i));
            c->update();
        } else if (change == QLatin1String("add")) {
            c->addNew();
            c->setField(Field::RecipeName, QStringLiteral("Added"));
            c->update();
        } else {
            c->deleteCurrent();
            c->moveNext();
        }
    }
    const QStringList copies = filesIn(folder);
    QCOMPARE(copies.size(), 1);
    const QRegularExpression named(QStringLiteral("^Savorix-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.mdb$"));
    QVERIFY2(named.match(copies[0]).hasMatch(), qPrintable(copies[0]));
    // The copy holds the collection as it was before the change.
    auto copy = openCursor(QDir(folder).filePath(copies[0]));
    QCOMPARE(copy->recordCount(), 12);
    copy->moveNext();
    QCOMPARE(nameOf(*copy), QStringLiteral("Recipe 2"));
}

void TestRecordCursor::backupKeepsNewestTen()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    const QString folder = dir_->filePath(QStringLiteral("backups"));
    QVERIFY(QDir().mkpath(folder));
    QStringList old;
    for (int i = 0; i < 11; ++i)
        old << QStringLiteral("Savorix-2020-01-%1-120000.mdb").arg(i + 10);
    const QStringList others = {QStringLiteral("Savorix.mdb"), QStringLiteral("Other-2020-01-01-120000.mdb")};
    for (const QString& name : old + others) {
        QFile f(QDir(folder).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    auto c = openWithBackups(path, folder);
    c->setField(Field::Notes, QStringLiteral("n"));
    c->update();
    const QStringList after = filesIn(folder);
    QCOMPARE(after.size(), 12); // ten copies and the two files that are no copies
    QVERIFY(!after.contains(old[0]) && !after.contains(old[1]) && after.contains(old[2]));
    QVERIFY(after.contains(others[0]) && after.contains(others[1]));
}

void TestRecordCursor::backupSkipsLargeFile()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    const QString folder = dir_->filePath(QStringLiteral("backups"));
    auto c = openWithBackups(path, folder, QFileInfo(path).size() - 1);
    c->setField(Field::Notes, QStringLiteral("n"));
    c->update();
    QVERIFY(filesIn(folder).isEmpty());
}

void TestRecordCursor::readOnlyFolderIsNamed()
{
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    // Root may write anywhere: the save runs as nobody, in a folder only root may change.
    const bool root = geteuid() == 0;
    const uid_t nobody = 65534;
    if (root) {
        // Root's own groups would otherwise meet a closed group entry first.
        const auto readable = QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir_->path(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | readable));
        QCOMPARE(chown(QFile::encodeName(path).constData(), nobody, gid_t(-1)), 0);
        QCOMPARE(seteuid(nobody), 0);
    } else {
        QVERIFY(QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::ExeOwner));
    }
    auto restore = qScopeGuard([&] {
        if (root)
            QCOMPARE(seteuid(0), 0);
        else
            QFile::setPermissions(dir_->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    auto c = openCursor(path);
    c->setField(Field::RecipeName, QStringLiteral("Typed"));
    try {
        c->update();
        QFAIL("a save into a read-only folder succeeded");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::ReadOnly);
        QVERIFY2(e.message().contains(QStringLiteral("folder")), qPrintable(e.message()));
    }
    QCOMPARE(nameOf(*c), QStringLiteral("Typed"));
}

void TestRecordCursor::fileChangedWhileOpen_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("kind");
    QTest::newRow("deleted") << "delete" << int(StoreError::Kind::FileMissing);
    QTest::newRow("moved") << "move" << int(StoreError::Kind::FileMissing);
    QTest::newRow("replaced by another file") << "replace" << int(StoreError::Kind::Overwritten);
    QTest::newRow("overwritten in place") << "overwrite" << int(StoreError::Kind::Overwritten);
    QTest::newRow("overwritten in place while held alone")
        << "overwrite alone" << int(StoreError::Kind::Overwritten);
}

void TestRecordCursor::fileChangedWhileOpen()
{
    QFETCH(QString, change);
    QFETCH(int, kind);
    const QString path = makeRecipeFile(dir_->path(), twelveRecipes());
    const QString other = dir_->filePath(QStringLiteral("other.mdb"));
    QVERIFY(QFile::copy(path, other));
    // A shared connection reads the file afresh, so it meets the new bytes.
    auto c = openCursor(path, change == QLatin1String("overwrite") ? OpenMode::Shared : OpenMode::Exclusive);
    const QByteArray theirs(8192, 'x');
    if (change == QLatin1String("delete")) {
        QVERIFY(QFile::remove(path));
    } else if (change == QLatin1String("move")) {
        QVERIFY(QFile::rename(path, dir_->filePath(QStringLiteral("moved.mdb"))));
    } else if (change == QLatin1String("replace")) {
        QCOMPARE(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()), 0);
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly)); // truncates, as a copy over the file would
        f.write(theirs);
    }
    c->setField(Field::RecipeName, QStringLiteral("Typed"));
    try {
        c->update();
        QFAIL("a save to a changed file succeeded");
    } catch (const StoreError& e) {
        QVERIFY2(int(e.kind()) == kind, qPrintable(e.message()));
        QVERIFY(e.message().contains(path));
    }
    QCOMPARE(nameOf(*c), QStringLiteral("Typed"));
    if (change.startsWith(QLatin1String("overwrite"))) { // what the other program wrote is left alone
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), theirs);
    }
}

QTEST_GUILESS_MAIN(TestRecordCursor)
#include "tst_recordcursor.moc"
