#include "app/RecipeList.h"
#include "app/RecipeSession.h"
#include "store/NameOrder.h"
#include "store/RecipeRows.h"
#include "store/RecipeTable.h"
#include "store/Sqlite.h"
#include "store/TextFolding.h"
#include "store/WordIndex.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <QtTest>
#include <sqlite3.h>
#include <tuple>

using namespace pantrio;
using namespace pantrio::test;

namespace {

using Column = RecipeList::Column;

// Names, categories and times in mixed case and accents, with words shared between fields.
QList<RecipeValues> generated(int count)
{
    const QStringList words = {QStringLiteral("Crème"), QStringLiteral("brûlée"), QStringLiteral("SOUP"),
                               QStringLiteral("leek"),  QStringLiteral("Straße"), QStringLiteral("pie"),
                               QStringLiteral("Ápple"), QStringLiteral("stew")};
    QList<RecipeValues> rows;
    for (int i = 0; i < count; ++i) {
        const auto word = [&](int k) { return words[(i * 7 + k * 3 + i / 5) % words.size()]; };
        RecipeValues v =
            recipe(word(0), word(1) + QLatin1Char(' ') + word(2), i % 4 ? FieldValue(word(3)) : std::nullopt);
        if (i % 3)
            v[Field::TimeToPrepare] = QStringLiteral("%1 min").arg(i % 13);
        rows << v;
    }
    return rows;
}

// Every recipe of the file, read plainly, that the filter matches, in the list's order:
// by the column folded loosely, then by name, then by id.
std::vector<std::int64_t> plainList(const QString& path, const QString& filter, Column column)
{
    sqlite::Database db(path, SQLITE_OPEN_READONLY);
    sqlite::Statement rows(db, ("SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes").constData(),
                           QString());
    const auto condition = SearchCondition::anyContainsLoosely(allFields, filter);
    std::vector<std::tuple<std::string, std::string, std::int64_t>> keyed;
    while (rows.step()) {
        RecipeValues v;
        for (Field f : allFields)
            v[f] = rows.text(int(fieldIndex(f)) + 1);
        if (!filter.isEmpty() && !condition.matches(v))
            continue;
        const auto folded = [&](Field f) { return foldLoosely(v[f].value_or(QString()).toStdString()); };
        const std::string first = column == Column::Category ? folded(Field::FoodCategoryID)
                                  : column == Column::Time   ? folded(Field::TimeToPrepare)
                                                             : folded(Field::RecipeName);
        keyed.emplace_back(first, folded(Field::RecipeName), rows.int64(0));
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::int64_t> ids;
    for (const auto& k : keyed)
        ids.push_back(std::get<2>(k));
    return ids;
}

std::vector<std::int64_t> shown(RecipeList& list)
{
    std::vector<std::int64_t> ids;
    for (int r = 0; r < list.shownCount(); ++r)
        ids.push_back(list.idAt(r));
    return ids;
}

bool settled(RecipeList& list)
{
    return list.isLoaded() && !list.isFiltering();
}

} // namespace

class TestRecipeList : public QObject
{
    Q_OBJECT
private slots:
    void showsWhatAPlainFilterFinds_data();
    void showsWhatAPlainFilterFinds();
    void followsTheSessionsChanges_data();
    void followsTheSessionsChanges();
    void showRecipeSavesTheEditFirst();
    void firstScreenFromTheFileIsTheListsOwn_data();
    void firstScreenFromTheFileIsTheListsOwn();
};

void TestRecipeList::showsWhatAPlainFilterFinds_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<Column>("column");
    QTest::newRow("everything by name") << QString() << Column::Name;
    QTest::newRow("everything by category") << QString() << Column::Category;
    QTest::newRow("everything by time") << QString() << Column::Time;
    QTest::newRow("accents and case") << QStringLiteral("creme BRU") << Column::Name;
    QTest::newRow("sharp s") << QStringLiteral("strasse") << Column::Category;
    QTest::newRow("in the notes") << QStringLiteral("leek") << Column::Name;
    QTest::newRow("across words") << QStringLiteral("p stew") << Column::Time;
    QTest::newRow("nothing") << QStringLiteral("zzz") << Column::Name;
}

void TestRecipeList::showsWhatAPlainFilterFinds()
{
    QFETCH(QString, filter);
    QFETCH(Column, column);
    QTemporaryDir dir;
    const QString path = makeRecipeFile(dir.path(), generated(700));
    {
        // Recipes changed or deleted after the index read them, some of them indexed again since,
        // some still waiting: what they held before must not match.
        sqlite::Database db(path, SQLITE_OPEN_READWRITE);
        db.exec("UPDATE Recipes SET Ingredients = 'Leek pie', Notes = NULL WHERE rowid % 9 = 0;"
                "DELETE FROM Recipes WHERE rowid % 17 = 0;"
                "BEGIN;",
                QString());
        WordIndex::catchUp(db);
        db.exec("COMMIT; UPDATE Recipes SET Notes = NULL, RecipeName = 'Stew' WHERE rowid % 5 = 0;",
                QString());
    }
    RecipeSession session(OpenMode::Shared);
    QVERIFY(session.open(path));
    RecipeList* list = session.recipeList();
    QVERIFY(list);
    list->sortBy(column);
    // A filter typed a letter at a time: each stops the one before.
    for (int n = 1; n <= filter.size(); ++n)
        list->setFilter(filter.left(n));
    QTRY_VERIFY(settled(*list));
    const auto every = plainList(path, QString(), column);
    QCOMPARE(list->total(), int(every.size()));
    const auto expected = plainList(path, filter, column);
    QVERIFY(filter.isEmpty() ||
            expected.size() < every.size()); // a filter that narrows, or the test says little
    QCOMPARE(shown(*list), expected);
}

void TestRecipeList::followsTheSessionsChanges_data()
{
    QTest::addColumn<QString>("filter");
    QTest::newRow("no filter") << QString();
    QTest::newRow("filtered") << QStringLiteral("soup");
}

void TestRecipeList::followsTheSessionsChanges()
{
    QFETCH(QString, filter);
    QTemporaryDir dir;
    const QString path = makeRecipeFile(dir.path(), generated(50));
    RecipeSession session(OpenMode::Shared);
    QVERIFY(session.open(path));
    RecipeList* list = session.recipeList();
    list->setFilter(filter);
    QTRY_VERIFY(settled(*list));
    const auto check = [&](const char* after) {
        QTRY_VERIFY2(settled(*list), after);
        QVERIFY2(shown(*list) == plainList(path, filter, Column::Name), after);
    };

    session.addNew({});
    session.save({{Field::RecipeName, QStringLiteral("Aaa soup")}});
    check("an add");
    session.moveFirst({{Field::RecipeName, QStringLiteral("zucchini")}}); // the added one leaves the filter
    check("a save");
    session.moveNext({{Field::Notes, QStringLiteral("SOUP of the day")}});
    check("a save into the filter");
    session.deleteCurrent({});
    check("a delete");
    session.transact({}, [](RecipeRows& rows, std::int64_t firstFree) -> std::optional<std::int64_t> {
        for (int i = 0; i < 3; ++i) {
            RecipeValues imported;
            imported[Field::RecipeName] = QStringLiteral("Imported Soup %1").arg(i);
            rows.insert(firstFree + i, imported);
        }
        return firstFree;
    });
    check("an import");
    QCOMPARE(list->total(), 53);
}

void TestRecipeList::showRecipeSavesTheEditFirst()
{
    QTemporaryDir dir;
    const QString path = makeRecipeFile(dir.path(), generated(5));
    RecipeSession session(OpenMode::Shared);
    QVERIFY(session.open(path));
    session.showRecipe(4, {{Field::RecipeName, QStringLiteral("Typed name")}});
    QCOMPARE(session.position(), 3);
    session.moveFirst({});
    QCOMPARE(session.value(Field::RecipeName), FieldValue(QStringLiteral("Typed name")));
}

void TestRecipeList::firstScreenFromTheFileIsTheListsOwn_data()
{
    QTest::addColumn<QString>("change"); // made to the file before the first screen is read
    QTest::addColumn<bool>("trusted");
    QTest::newRow("as made") << QString() << true;
    QTest::newRow("another program adds, renames and deletes")
        << QStringLiteral("INSERT INTO Recipes (RecipeName) VALUES ('aaa first'), (NULL);"
                          "UPDATE Recipes SET RecipeName = 'AAB' WHERE rowid % 9 = 0;"
                          "DELETE FROM Recipes WHERE rowid % 7 = 0;")
        << true;
    QTest::newRow("a file from before the order of names")
        << QStringLiteral("DROP TRIGGER RecipeNameOrderDelete; DROP TABLE RecipeNameOrder;") << true;
    QTest::newRow("keys overwritten")
        << QStringLiteral("UPDATE RecipeNameOrder SET key = 'a' WHERE id % 5 = 0;") << false;
    QTest::newRow("word index triggers dropped")
        << QStringLiteral(
               "DROP TRIGGER RecipeWordsUpdate; UPDATE Recipes SET RecipeName = 'AAC' WHERE rowid = 3;")
        << false;
}

// What the list shows before it has read every name is what it shows after.
void TestRecipeList::firstScreenFromTheFileIsTheListsOwn()
{
    QFETCH(QString, change);
    QFETCH(bool, trusted);
    QTemporaryDir dir;
    const QString path = makeRecipeFile(dir.path(), generated(300));
    {
        RecipeSession session(OpenMode::Exclusive); // saves of its own wait for the index
        QVERIFY(session.open(path));
        session.moveNext({{Field::RecipeName, QStringLiteral("Ábc")}});
        session.moveNext({{Field::RecipeName, QStringLiteral("abc")}});
    }
    if (!change.isEmpty())
        QCOMPARE(runSqlite(path, change), 0);
    // A file held alone gets what it lacks; the rest is read as another program left it.
    if (change.startsWith(QLatin1String("DROP TRIGGER RecipeName"))) {
        RecipeSession session(OpenMode::Exclusive);
        QVERIFY(session.open(path));
    }
    sqlite::Database db(path, SQLITE_OPEN_READONLY);
    const auto first = NameOrder::first(db, 40);
    QCOMPARE(first.has_value(), trusted);
    if (!first)
        return;
    std::vector<std::int64_t> ids;
    for (const auto& row : *first)
        ids.push_back(row.id);
    auto expected = plainList(path, QString(), Column::Name);
    expected.resize(40);
    QCOMPARE(ids, expected);
}

QTEST_GUILESS_MAIN(TestRecipeList)
#include "tst_recipelist.moc"
