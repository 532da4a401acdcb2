#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "store/Sqlite.h"
#include "store/WordIndex.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>

using namespace pantrio;
using namespace pantrio::test;

namespace {

// Sizes spread as real recipes' are, 1.6 to 3.1 KB of text, 2.3 KB on average.
QList<RecipeValues> fullRecipes(int count)
{
    QList<RecipeValues> rows;
    for (int i = 1; i <= count; ++i)
        rows << recipe(QStringLiteral("Soups"), QStringLiteral("Recipe %1").arg(i),
                       QStringLiteral("Keeps a week."),
                       QStringLiteral("%1 cups of stock\n").arg(i).repeated(45),
                       QStringLiteral("Simmer gently, stirring now and then. ").repeated(20 + i % 40));
    return rows;
}

qint64 textBytes(const QList<RecipeValues>& rows)
{
    qint64 bytes = 0;
    for (const auto& row : rows)
        for (Field f : allFields)
            bytes += row[f] ? row[f]->toUtf8().size() : 0;
    return bytes;
}

using Rows = QList<QPair<std::int64_t, RecipeValues>>;

Rows readRows(const QString& path)
{
    sqlite::Database db(path, SQLITE_OPEN_READONLY);
    const QByteArray sql = "SELECT rowid, " + RecipeTable::columnList() + " FROM Recipes ORDER BY rowid";
    sqlite::Statement rows(db, sql.constData(), QStringLiteral("read"));
    Rows out;
    while (rows.step()) {
        RecipeValues v;
        for (Field f : allFields)
            v[f] = rows.text(int(fieldIndex(f)) + 1);
        out.append({rows.int64(0), v});
    }
    return out;
}

int pageSize(const QString& path)
{
    QString out;
    runSqlite(path, QStringLiteral("PRAGMA page_size;"), &out);
    return out.trimmed().toInt();
}

// A collection as an older Pantrio wrote it: the engine's default 4 KB pages, no word index,
// and gaps in the rowids where recipes were deleted.
QString oldCollection(const QTemporaryDir& dir)
{
    const QString path = makeRecipeFile(dir.path(), fullRecipes(300));
    QString out;
    if (runSqlite(path,
                  QStringLiteral(
                      "DROP TRIGGER RecipeWordsInsert; DROP TRIGGER RecipeWordsUpdate; DROP TRIGGER "
                      "RecipeWordsDelete;"
                      "DROP TABLE RecipeWords; DROP TABLE RecipeWordsPending; DROP TABLE RecipeWordsLoose;"
                      "DROP TABLE RecipeWordsStamp;"
                      "DELETE FROM Recipes WHERE rowid % 7 = 3; PRAGMA page_size = 4096; VACUUM;"),
                  &out) != 0)
        qFatal("sqlite3 failed: %s", qPrintable(out));
    return path;
}

} // namespace

class TestRecipeTable : public QObject
{
    Q_OBJECT
private slots:
    void newCollectionPacksRecipes();
    void compactionKeepsEveryRecipe();
    void compactionRefusesAnOpenCollection();
};

void TestRecipeTable::newCollectionPacksRecipes()
{
    QTemporaryDir dir;
    const QList<RecipeValues> rows = fullRecipes(1500);
    const QString path = makeRecipeFile(dir.path(), rows);
    const double ratio = double(QFileInfo(path).size()) / double(textBytes(rows));
    // The word index and the order of names take a few percent; half-empty pages would take more.
    QVERIFY2(ratio <= 1.2, qPrintable(QString::number(ratio)));
}

void TestRecipeTable::compactionKeepsEveryRecipe()
{
    QTemporaryDir dir;
    const QString path = oldCollection(dir);
    const Rows before = readRows(path);
    const qint64 bytesBefore = QFileInfo(path).size();

    const auto done = RecipeTable::compactFile(path);
    QCOMPARE(done.pageSizeBefore, 4096);
    QCOMPARE(pageSize(path), RecipeTable::PageSize);
    QVERIFY(QFileInfo(path).size() < bytesBefore);
    QCOMPARE(readRows(path), before);

    // The key table still names the same recipes: a search finds the one it should.
    auto cursor = RecordCursor::open(path, {});
    cursor->findFirst(SearchCondition::anyContains({Field::RecipeName}, QStringLiteral("Recipe 299")));
    QVERIFY(!cursor->noMatch());
    QCOMPARE(cursor->field(Field::RecipeName), FieldValue(QStringLiteral("Recipe 299")));
    cursor.reset();

    // It has gained a word index, with every recipe in it.
    sqlite::Database db(path, SQLITE_OPEN_READONLY);
    QVERIFY(WordIndex::presentIn(db));
    QCOMPARE(WordIndex::pendingCount(db), std::int64_t(0));
    WordIndex words;
    const auto ranges = words.candidates(db, "299", 0);
    QVERIFY(ranges && ranges->size() == 1 && ranges->front().first <= 299 && ranges->front().second >= 299);
}

void TestRecipeTable::compactionRefusesAnOpenCollection()
{
    QTemporaryDir dir;
    const QString path = oldCollection(dir);
    auto cursor = RecordCursor::open(path, {OpenMode::Exclusive, 200});
    try {
        RecipeTable::compactFile(path);
        QFAIL("compacted a collection the window holds");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::InUse);
    }
    cursor.reset();
    QCOMPARE(pageSize(path), 4096);
}

QTEST_GUILESS_MAIN(TestRecipeTable)
#include "tst_recipetable.moc"
