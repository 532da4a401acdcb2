#include "store/FindKeyTable.h"
#include "store/RecipeSearch.h"
#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "store/Sqlite.h"
#include "store/TextFolding.h"
#include "store/WordIndex.h"
#include "support/TestSupport.h"

#include <atomic>
#include <chrono>
#include <numeric>
#include <QTemporaryDir>
#include <QtTest>
#include <semaphore>
#include <sqlite3.h>
#include <thread>

using namespace pantrio;
using namespace pantrio::test;

namespace {

constexpr int RowCount = 40;

QString writeRecipes(const QTemporaryDir& dir, int count, const QString& lastName = {})
{
    const QString path = dir.filePath(QStringLiteral("recipes.mdb"));
    int i = 0;
    RecipeTable::createFile(path, [&](RecipeValues& row) {
        if (i++ == count)
            return false;
        row = recipe(QStringLiteral("Soups"),
                     i == count && !lastName.isEmpty() ? lastName : QStringLiteral("Recipe %1").arg(i));
        return true;
    });
    return path;
}

sqlite::Database openSerialized(const QString& path)
{
    return sqlite::Database(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX);
}

SearchCondition nameContains(const char* text)
{
    return SearchCondition::anyContains({Field::FoodCategoryID, Field::RecipeName}, QLatin1String(text));
}

std::vector<std::int64_t> idsUpTo(int last)
{
    std::vector<std::int64_t> ids(static_cast<std::size_t>(last));
    std::iota(ids.begin(), ids.end(), 1);
    return ids;
}

void rename(sqlite::Database& db, std::int64_t id, const char* name)
{
    sqlite::Statement s(db, "UPDATE Recipes SET RecipeName = ?1 WHERE rowid = ?2", QStringLiteral("save"));
    s.bind(1, QString::fromLatin1(name));
    s.bind(2, id);
    s.step();
}

} // namespace

class TestRecipeSearch : public QObject
{
    Q_OBJECT
private slots:
    void changeDuringLoadIsFound_data();
    void changeDuringLoadIsFound();
    void searchDuringLoadSeesEveryRow();
    void wordIndexMissesNothing_data();
    void wordIndexMissesNothing();
    void findKeysTrustNothing_data();
    void findKeysTrustNothing();
    void indexWrittenWithTheRecipesIsTheRebuiltOne();
};

void TestRecipeSearch::changeDuringLoadIsFound_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected"); // 0: no match

    QTest::newRow("changed, already loaded") << "change 3"
                                             << "zucchini" << 3;
    QTest::newRow("changed, not loaded yet") << "change 35"
                                             << "zucchini" << 35;
    QTest::newRow("old text of a changed row") << "change 7"
                                               << "Recipe 7" << 0;
    QTest::newRow("added") << "add"
                           << "zucchini" << RowCount + 1;
    QTest::newRow("deleted, already loaded") << "delete 5"
                                             << "Recipe 5" << 0;
    QTest::newRow("deleted, not loaded yet") << "delete 36"
                                             << "Recipe 36" << 0;
    QTest::newRow("another program's change") << "other 30"
                                              << "zucchini" << 30;
}

// The load is held after its first batch while the file changes, as when a recipe is saved
// in the first moments after the window opens.
void TestRecipeSearch::changeDuringLoadIsFound()
{
    QFETCH(QString, change);
    QFETCH(QString, text);
    QFETCH(int, expected);

    QTemporaryDir dir;
    const QString path = writeRecipes(dir, RowCount);
    sqlite::Database db = openSerialized(path);
    RecipeSearch search;

    std::binary_semaphore held(0), resume(0);
    bool first = true;
    search.startLoading(db, {10, [&] {
                                 if (std::exchange(first, false)) {
                                     held.release();
                                     resume.acquire();
                                 }
                             }});
    held.acquire();

    const QStringList words = change.split(u' ');
    const std::int64_t id = words.size() > 1 ? words[1].toLongLong() : RowCount + 1;
    RecipeValues values = recipe(QStringLiteral("Soups"), QStringLiteral("Zucchini bread"));
    std::bitset<FieldCount> changed;
    changed.set(fieldIndex(Field::RecipeName));
    if (words[0] == u"change") {
        rename(db, id, "Zucchini bread");
        search.noteChanged(id, values, changed);
    } else if (words[0] == u"add") {
        sqlite::Statement s(db, "INSERT INTO Recipes (rowid, RecipeName) VALUES (?1, 'Zucchini bread')",
                            QStringLiteral("save"));
        s.bind(1, id);
        s.step();
        search.noteAdded(id, values);
    } else if (words[0] == u"delete") {
        sqlite::Statement s(db, "DELETE FROM Recipes WHERE rowid = ?1", QStringLiteral("delete"));
        s.bind(1, id);
        s.step();
        search.noteDeleted(id);
    } else if (words[0] == u"other") {
        sqlite::Database other(path, SQLITE_OPEN_READWRITE);
        rename(other, id, "Zucchini bread");
    } else {
        // The load goes on while the save is open; what it read must not outlive the rollback.
        db.exec("BEGIN", QStringLiteral("save"));
        rename(db, id, "Zucchini bread");
        resume.release();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        db.exec("ROLLBACK", QStringLiteral("save"));
    }
    if (words[0] != u"rollback")
        resume.release();

    const auto hit = search.findAfter(db, nameContains(text.toLatin1().constData()),
                                      std::numeric_limits<std::int64_t>::min(), idsUpTo(RowCount + 1));
    QCOMPARE(hit.value_or(0), expected);
}

// A search issued while the load runs waits for it: a match in the last row is found.
void TestRecipeSearch::searchDuringLoadSeesEveryRow()
{
    constexpr int count = 200;
    QTemporaryDir dir;
    const QString path = writeRecipes(dir, count, QStringLiteral("Zucchini bread"));
    sqlite::Database db = openSerialized(path);
    RecipeSearch search;

    std::atomic<int> batches = 0;
    search.startLoading(db, {1, [&] {
                                 ++batches;
                                 std::this_thread::sleep_for(std::chrono::milliseconds(2));
                             }});
    const int loadedBeforeSearch = batches;
    const auto hit = search.findAfter(db, nameContains("zucchini"), std::numeric_limits<std::int64_t>::min(),
                                      idsUpTo(count));
    QVERIFY2(loadedBeforeSearch < count - 1, "the load ended before the search began");
    QCOMPARE(hit.value_or(0), count);
}

namespace {

// Recipes made of a few words in varied order, with accents, line breaks and one long word,
// spread over several of the word index's blocks.
QString wordsRecipeFile(const QTemporaryDir& dir)
{
    static const QStringList pool = {
        QStringLiteral("Crème"),     QStringLiteral("brûlée"),
        QStringLiteral("leeks"),     QStringLiteral("STRASSE"),
        QStringLiteral("café"),      QStringLiteral("1/2"),
        QStringLiteral("cup"),       QStringLiteral("salt,"),
        QStringLiteral("sugar\n"),   QStringLiteral("Jalapeño"),
        QStringLiteral("Grandma's"), QStringLiteral("Pneumonoultramicroscopicsilicovolcanoconiosis-stew")};
    const QString path = dir.filePath(QStringLiteral("words.mdb"));
    std::uint32_t state = 7;
    const auto next = [&] { return state = state * 1103515245u + 12345u; };
    int i = 0;
    RecipeTable::createFile(path, [&](RecipeValues& row) {
        if (i++ == 300)
            return false;
        row = {};
        for (Field f : allFields) {
            if (next() % 4 == 0)
                continue; // no value
            QString text;
            for (int w = int(next() % 5); w >= 0; --w)
                text += pool[int(next() >> 8) % pool.size()] + QLatin1Char(' ');
            row[f] = text;
        }
        return true;
    });
    return path;
}

std::vector<std::int64_t> allIds(sqlite::Database& db)
{
    std::vector<std::int64_t> ids;
    sqlite::Statement s(db, "SELECT rowid FROM Recipes ORDER BY rowid", QStringLiteral("read"));
    while (s.step())
        ids.push_back(s.int64(0));
    return ids;
}

std::vector<std::int64_t> matchingByReading(sqlite::Database& db, const SearchCondition& condition)
{
    std::vector<std::int64_t> ids;
    const QByteArray sql = "SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes ORDER BY rowid";
    sqlite::Statement s(db, sql.constData(), QStringLiteral("read"));
    while (s.step()) {
        RecipeValues v;
        for (Field f : allFields)
            v[f] = s.text(int(fieldIndex(f)) + 1);
        if (condition.matches(v))
            ids.push_back(s.int64(0));
    }
    return ids;
}

} // namespace

void TestRecipeSearch::wordIndexMissesNothing_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("sql"); // what another program did to the file
    const QString changes =
        QStringLiteral("UPDATE Recipes SET Notes = 'Gazpacho andaluz' WHERE rowid % 7 = 0;"
                       "UPDATE Recipes SET Ingredients = 'water' WHERE rowid % 5 = 0;"
                       "DELETE FROM Recipes WHERE rowid % 11 = 0;"
                       "INSERT INTO Recipes (rowid, RecipeName) VALUES (5000, 'Bouillabaisse');"
                       "INSERT INTO Recipes (rowid, Instructions) VALUES (-3, 'Stir the crème fraîche');");
    const QString noTriggers = QStringLiteral(
        "DROP TRIGGER RecipeWordsInsert; DROP TRIGGER RecipeWordsUpdate; DROP TRIGGER RecipeWordsDelete;");
    QTest::newRow("as created") << "created" << QString();
    QTest::newRow("another program's changes waiting") << "changed" << changes;
    QTest::newRow("changes folded in") << "caught up" << changes;
    QTest::newRow("file without the index")
        << "no index"
        << noTriggers + "DROP TABLE RecipeWords; DROP TABLE RecipeWordsPending; DROP TABLE RecipeWordsLoose; "
                        "DROP TABLE RecipeWordsStamp;";
    QTest::newRow("both tables dropped, triggers left")
        << "damaged"
        << "DROP TABLE RecipeWords; DROP TABLE RecipeWordsPending;";
    QTest::newRow("changes with the triggers dropped") << "damaged" << noTriggers + changes;
    QTest::newRow("recipes added while the triggers were away")
        << "damaged"
        << noTriggers + "INSERT INTO Recipes (RecipeName) VALUES ('Gazpacho');" +
               QString::fromUtf8(WordIndex::schema().mid(WordIndex::schema().indexOf("CREATE TRIGGER")));
    QTest::newRow("words table dropped") << "damaged"
                                         << "DROP TABLE RecipeWords;" + changes;
    QTest::newRow("blocks emptied") << "damaged"
                                    << "UPDATE RecipeWords SET blocks = x'';";
    QTest::newRow("waiting list emptied") << "damaged" << changes + "DELETE FROM RecipeWordsPending;";
    QTest::newRow("huge id")
        << "caught up"
        << "INSERT INTO Recipes (rowid, Notes) VALUES (274877906943, 'Gazpacho de crème');";
}
namespace {

void expectSameAsReading(sqlite::Database& db)
{
    RecipeSearch search;
    const std::vector<std::int64_t> snapshot = allIds(db);
    const char* texts[] = {"creme brulee",
                           "CRÈME",
                           "rûl",
                           "strasse",
                           "straße",
                           "leek",
                           "1/2 cup",
                           "salt, sugar",
                           "sugar cup",
                           "gazpacho",
                           "bouillabaisse",
                           "fraiche",
                           "silicovolcanoconiosis-st",
                           "ultramicroscopicsilico",
                           "'s",
                           ", ",
                           "absent"};
    int withMatches = 0;
    int named = 0;
    WordIndex words;
    for (const char* text : texts) {
        const auto condition = SearchCondition::anyContainsLoosely(allFields, QString::fromUtf8(text));
        std::vector<std::int64_t> found;
        std::int64_t after = std::numeric_limits<std::int64_t>::min();
        while (const auto hit = search.findAfter(db, condition, after, snapshot))
            found.push_back(after = *hit);
        const auto expected = matchingByReading(db, condition);
        QCOMPARE(found, expected);
        withMatches += !found.empty();
        // The recipes the index names for one word, with those it leaves to read that match.
        const std::int64_t first = std::numeric_limits<std::int64_t>::min();
        auto rows = words.rowsWith(db, foldLoosely(text), first, {});
        const auto index = rows ? WordIndex::recipesIn(std::move(*rows), first, {}) : std::nullopt;
        if (index) {
            std::vector<std::int64_t> read;
            std::set_intersection(index->toRead.begin(), index->toRead.end(), expected.begin(),
                                  expected.end(), std::back_inserter(read));
            std::vector<std::int64_t> both;
            std::set_union(index->sure.begin(), index->sure.end(), read.begin(), read.end(),
                           std::back_inserter(both));
            QCOMPARE(both, expected);
            ++named;
        }
    }
    QVERIFY(withMatches >= 12);
    QVERIFY(named >= 5 || !WordIndex::whole(db));
}

} // namespace

// Whatever another program did to the index, a search finds exactly the recipes that reading
// every one finds; a shared open keeps saves working, and an exclusive one makes it whole again.
void TestRecipeSearch::wordIndexMissesNothing()
{
    QFETCH(QString, state);
    QFETCH(QString, sql);
    QTemporaryDir dir;
    const QString path = wordsRecipeFile(dir);
    sqlite::Database db = openSerialized(path);
    if (!sql.isEmpty())
        db.exec(sql.toUtf8().constData(), QStringLiteral("change"));
    if (state == QLatin1String("caught up")) {
        RecipeSearch search;
        db.exec("BEGIN", QStringLiteral("change"));
        search.catchUpWords(db);
        db.exec("COMMIT", QStringLiteral("change"));
    }
    QCOMPARE(WordIndex::whole(db), state != QLatin1String("damaged") && state != QLatin1String("no index"));
    expectSameAsReading(db);
    if (QTest::currentTestFailed())
        return;

    auto cursor = RecordCursor::open(path, {OpenMode::Shared, 2000});
    cursor->addNew();
    cursor->setField(Field::RecipeName, QStringLiteral("Gazpacho verde"));
    cursor->update();
    cursor->close();

    RecordCursor::open(path, {OpenMode::Exclusive, 2000})->close();
    QCOMPARE(WordIndex::whole(db), state != QLatin1String("no index"));
    expectSameAsReading(db);
}

QTEST_GUILESS_MAIN(TestRecipeSearch)
void TestRecipeSearch::findKeysTrustNothing_data()
{
    QTest::addColumn<QString>("sql"); // what another program did to the file
    const QString rename = QStringLiteral("UPDATE Recipes SET RecipeName = 'Gazpacho' WHERE rowid = 7;");
    QTest::newRow("as created") << rename;
    QTest::newRow("table dropped, triggers left") << rename + "DROP TABLE RecipeFindKeys;";
    QTest::newRow("a rename with the triggers dropped") << "DROP TRIGGER RecipeFindKeysUpdate;" + rename;
}

// Find finds what the recipes hold, whatever another program did to the key table; a shared
// open keeps saves working, and an exclusive one makes the table whole again.
void TestRecipeSearch::findKeysTrustNothing()
{
    QFETCH(QString, sql);
    QTemporaryDir dir;
    const QString path = writeRecipes(dir, RowCount);
    openSerialized(path).exec(sql.toUtf8().constData(), QStringLiteral("change"));
    for (OpenMode mode : {OpenMode::Shared, OpenMode::Exclusive}) {
        auto cursor = RecordCursor::open(path, {mode, 2000});
        if (mode == OpenMode::Shared) {
            cursor->addNew();
            cursor->setField(Field::RecipeName, QStringLiteral("Gazpacho verde"));
            cursor->update();
        }
        cursor->findFirst(nameContains("Gazpacho"));
        QCOMPARE(cursor->bookmark().id, 7);
        cursor->findNext(nameContains("Gazpacho"));
        QCOMPARE(cursor->bookmark().id, RowCount + 1);
        cursor->close();
    }
    sqlite::Database db(path, SQLITE_OPEN_READONLY);
    QVERIFY(FindKeyTable::usable(db));
}

namespace {

QStringList indexTables(sqlite::Database& db)
{
    QStringList rows;
    for (const char* sql : {"SELECT hex(word) || checksum || hex(blocks) FROM RecipeWords ORDER BY word",
                            "SELECT id || hex(key) FROM RecipeNameOrder ORDER BY id",
                            "SELECT words || ' ' || checksum || ' ' || highestId FROM RecipeWordsStamp",
                            "SELECT count(*) FROM RecipeWordsPending"}) {
        sqlite::Statement read(db, sql, QStringLiteral("read"));
        while (read.step())
            rows << read.text(0).value_or(QString());
    }
    return rows;
}

} // namespace

// An import indexes its recipes as it writes them, and a file it takes back leaves nothing
// behind: the index is the one a rebuild makes.
void TestRecipeSearch::indexWrittenWithTheRecipesIsTheRebuiltOne()
{
    QTemporaryDir dir;
    const QString path = wordsRecipeFile(dir);
    std::vector<RecipeValues> source;
    auto cursor = RecordCursor::open(path, {OpenMode::Exclusive, 2000});
    QVERIFY(cursor->transact([&](RecipeRows& rows, std::int64_t firstFree) {
        rows.forEach([&](std::int64_t, const RecipeValues& r) {
            source.push_back(r);
            return true;
        });
        std::int64_t id = std::max<std::int64_t>(firstFree, rows.highestId() + 1);
        for (const int part : {120, -50, 90}) { // a negative count: the part is taken back
            rows.beginPart();
            for (int i = 0; i < std::abs(part); ++i, ++id)
                rows.insert(id, source[std::size_t(id * 7 % std::int64_t(source.size()))]);
            part < 0 ? rows.dropPart() : rows.keepPart();
        }
        return true;
    }));
    QCOMPARE(cursor->recordCount(), 300 + 120 + 90);
    cursor->close();
    sqlite::Database db = openSerialized(path);
    QVERIFY(WordIndex::whole(db));
    expectSameAsReading(db);
    const QStringList written = indexTables(db);
    db.exec("BEGIN", QStringLiteral("rebuild"));
    WordIndex::rebuild(db);
    db.exec("COMMIT", QStringLiteral("rebuild"));
    QCOMPARE(written, indexTables(db));
}

#include "tst_recipesearch.moc"
