#include "exchange/RecipeExport.h"
#include "exchange/RecipeImport.h"
#include "exchange/RecipeText.h"
#include "store/RecipeTable.h"
#include "store/RecordCursor.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;

namespace {

QString data(const char* name)
{
    return QStringLiteral(PANTRIO_EXCHANGE_DATA "/") + QLatin1StringView(name);
}

QList<RecipeValues> contents(RecordCursor& cursor)
{
    QList<RecipeValues> out;
    cursor.transact([&](RecipeRows& rows, std::int64_t) {
        readCollection(rows, [&](const RecipeValues& r) {
            out << r;
            return true;
        });
        return false;
    });
    return out;
}

struct Run
{
    ImportSummary summary;
    QStringList refusedFiles;
    QStringList refusedRecipes; // "file:line"
    bool committed = false;
};

Run import(RecordCursor& cursor, const QStringList& files, bool allowDuplicates = false, int cancelAfter = -1)
{
    Run run;
    ImportReport report;
    report.refusedFile = [&](const QString& file, const QString&) {
        run.refusedFiles << QFileInfo(file).fileName();
    };
    report.refusedRecipe = [&](const QString& file, std::int64_t line, const QString&) {
        run.refusedRecipes << QStringLiteral("%1:%2").arg(QFileInfo(file).fileName()).arg(line);
    };
    report.progress = [&](const ImportSummary& s, std::int64_t, std::int64_t) {
        return cancelAfter < 0 || s.imported < cancelAfter;
    };
    run.committed = cursor.transact([&](RecipeRows& rows, std::int64_t firstFree) {
        run.summary = importFiles(rows, firstFree, files, allowDuplicates, report);
        return !run.summary.cancelled;
    });
    return run;
}

struct Collection
{
    Collection(const QList<RecipeValues>& rows = {})
    {
        path = test::makeRecipeFile(dir.path(), rows);
        cursor = RecordCursor::open(path, {OpenMode::Exclusive, 0});
    }
    QTemporaryDir dir;
    QString path;
    std::unique_ptr<RecordCursor> cursor;
};

// Every combination the cookbook must carry: markup, references, quotes, line breaks, blank
// ends, accents and other scripts, control characters, empty texts and none at all.
QList<RecipeValues> awkwardCollection()
{
    const QList<FieldValue> oneLine = {std::nullopt,
                                       QString(),
                                       QStringLiteral("Tom & Jerry's <Pie>"),
                                       QStringLiteral("Crème brûlée à l'orange"),
                                       QStringLiteral("\"Quoted\" &amp; &#176; &lt;b&gt;"),
                                       QStringLiteral("two  spaces\tand a tab")};
    const QList<FieldValue> times = {std::nullopt, QString(), QStringLiteral("1 hour 30 minutes"),
                                     QStringLiteral("about 20 min <approx>"),
                                     QStringLiteral("overnight & a bit")};
    const QList<FieldValue> texts = {
        std::nullopt,
        QString(),
        QStringLiteral("1 cup flour & 2 eggs\n\n  <b>bold</b> stays text  \n"),
        QStringLiteral("Fish &amp; Chips &#176; &lt;tag&gt; \"double\" 'single'"),
        QStringLiteral("Käsespätzle, ½ tsp, 日本の料理 🍰\nSecond line"),
        QStringLiteral("a < b > c\ttab\n\n\nafter blank lines"),
        QStringLiteral("  blank ends  "),
        QStringLiteral("\x01control\x1F and DEL\x7F"),
        QStringLiteral("]]> <!-- no comment --> <script>alert(1)</script> </article>")};
    QList<RecipeValues> rows;
    for (int i = 0; i < 45; ++i) {
        RecipeValues r;
        for (Field f : allFields) {
            const int k = i * 7 + int(fieldIndex(f)) * 3;
            const QList<FieldValue>& pool = f == Field::TimeToPrepare                              ? times
                                            : f == Field::RecipeName || f == Field::FoodCategoryID ? oneLine
                                                                                                   : texts;
            r[f] = pool[k % pool.size()];
        }
        rows << r;
    }
    rows << rows.first(); // a twin
    return rows;
}

QString exportCookbook(RecordCursor& cursor, const QString& file, const ExportChoice& choice)
{
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        qFatal("cannot write the cookbook");
    cursor.transact([&](RecipeRows& rows, std::int64_t) {
        exportRecipes(rows, out, choice, [](int) { return true; });
        return false;
    });
    return file;
}

const QStringList AllFormats = {data("cookbook.mmf"), data("page.html"), data("recipe.json"),
                                data("list.json")};

} // namespace

class TestRecipeImport : public QObject
{
    Q_OBJECT

private slots:
    void importsEveryFormatAndAddsNothingTheSecondTime()
    {
        Collection c({test::recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup"))});
        const Run first = import(*c.cursor, AllFormats);
        QVERIFY(first.committed);
        QCOMPARE(first.summary.imported, 3 + 1 + 1 + 2);
        QCOMPARE(first.refusedRecipes,
                 (QStringList{QStringLiteral("cookbook.mmf:59"), QStringLiteral("list.json:12")}));
        QCOMPARE(first.summary.refused, 2);
        QCOMPARE(c.cursor->recordCount(), 8);
        QCOMPARE(c.cursor->field(Field::RecipeName), QStringLiteral("Leek Soup")); // stays where it stood

        const Run again = import(*c.cursor, AllFormats);
        QCOMPARE(again.summary.imported, 0);
        QCOMPARE(again.summary.duplicates, 7);
        QCOMPARE(c.cursor->recordCount(), 8);
    }

    void duplicatesIgnoreBlankSpaceUnlessAllowed_data()
    {
        QTest::addColumn<bool>("allow");
        QTest::addColumn<int>("imported");
        QTest::newRow("skipped") << false << 0;
        QTest::newRow("allowed") << true << 1;
    }

    void duplicatesIgnoreBlankSpaceUnlessAllowed()
    {
        QFETCH(bool, allow);
        QFETCH(int, imported);
        RecipeValues borscht;
        borscht[Field::RecipeName] = QStringLiteral("Grandmother's  Borscht ");
        borscht[Field::FoodCategoryID] = QStringLiteral("Soups");
        borscht[Field::Ingredients] =
            QStringLiteral("4 medium beets, peeled and grated\r\n1/2 head cabbage, shredded\n2 potatoes, "
                           "diced\n1 onion, chopped\n"
                           "2 tablespoons red wine vinegar\nSour cream and dill to serve\n");
        borscht[Field::Instructions] = QStringLiteral(
            "1. Simmer the beets in 8 cups of water for 30 minutes.\n2. Add the cabbage, potatoes and onion "
            "and cook "
            "until tender.\n3. Stir in the vinegar,\tseason, and serve hot with sour cream and dill.");
        borscht[Field::Notes] = QStringLiteral("notes do not count");
        Collection c({borscht});
        const Run run = import(*c.cursor, {data("recipe.json")}, allow);
        QCOMPARE(run.summary.imported, imported);
        QCOMPARE(run.summary.duplicates, 1 - imported);
    }

    void refusesUnreadableFilesWithoutChange()
    {
        Collection c({test::recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup"))});
        const QString broken = c.dir.filePath(QStringLiteral("broken.json"));
        QFile f(broken);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(R"({"@type": "Recipe", "name": "Half a recipe", "recipeIngredient": ["1 egg")");
        f.close();
        const Run run =
            import(*c.cursor, {data("shopping.txt"), broken, c.dir.filePath(QStringLiteral("missing.mmf")),
                               data("access/testV1997.mdb")});
        QCOMPARE(run.refusedFiles,
                 (QStringList{QStringLiteral("shopping.txt"), QStringLiteral("broken.json"),
                              QStringLiteral("missing.mmf"), QStringLiteral("testV1997.mdb")}));
        QCOMPARE(run.summary.imported, 0);
        QCOMPARE(contents(*c.cursor).size(), 1);
    }

    void cancelledImportLeavesTheCollectionAsItWas()
    {
        Collection c({test::recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup"))});
        const QList<RecipeValues> before = contents(*c.cursor);
        const Run run = import(*c.cursor, AllFormats, false, 2);
        QVERIFY(run.summary.cancelled);
        QVERIFY(!run.committed);
        QCOMPARE(contents(*c.cursor), before);
        QCOMPARE(c.cursor->recordCount(), 1);
    }

    // Exported files import into an empty collection as the same recipes, in the same order.
    void exportsImportAsTheSameRecipes_data()
    {
        QTest::addColumn<bool>("json");
        QTest::newRow("JSON-LD") << true;
        QTest::newRow("MealMaster") << false;
    }

    void exportsImportAsTheSameRecipes()
    {
        QFETCH(bool, json);
        // Enough recipes that the export writes them in several batches.
        QList<RecipeValues> many;
        for (int i = 1; i <= 150; ++i)
            many << test::recipe(QStringLiteral("Soups"), QStringLiteral("Soup %1").arg(i), std::nullopt,
                                 QStringLiteral("%1 cups water").arg(i), QStringLiteral("Boil."));
        Collection source(many);
        import(*source.cursor, AllFormats);
        const QList<RecipeValues> original = contents(*source.cursor);
        const QString file = source.dir.filePath(QStringLiteral("export"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        ExportChoice choice;
        choice.format = json ? ExportFormat::Json : ExportFormat::MealMaster;
        int written = 0;
        source.cursor->transact([&](RecipeRows& rows, std::int64_t) {
            written = exportRecipes(rows, out, choice, [](int) { return true; });
            return false;
        });
        QCOMPARE(written, int(original.size()));
        out.close();

        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("new.mdb"));
        RecipeTable::createFile(target);
        auto cursor = RecordCursor::open(target, {OpenMode::Exclusive, 0});
        const Run run = import(*cursor, {file});
        QCOMPARE(run.summary.refused, 0);
        const QList<RecipeValues> copy = contents(*cursor);
        QCOMPARE(copy.size(), original.size());
        for (qsizetype i = 0; i < copy.size(); ++i) {
            if (json) {
                QCOMPARE(copy[i], original[i]);
            } else {
                QVERIFY(sameRecipe(copy[i], original[i]));
                for (Field f : allFields)
                    QCOMPARE(squeezeSpace(copy[i][f].value_or(QString())),
                             squeezeSpace(original[i][f].value_or(QString())));
            }
        }
        // and the collection they came from takes none of them again
        QCOMPARE(import(*source.cursor, {file}).summary.duplicates, int(original.size()));
    }

    // A cookbook imports as exactly the recipes it was written from, in its order, twins and
    // recipes without ingredients or instructions included.
    void cookbookImportsAsTheSameRecipes_data()
    {
        QTest::addColumn<bool>("some");
        QTest::newRow("every recipe") << false;
        QTest::newRow("some, in another order") << true;
    }

    void cookbookImportsAsTheSameRecipes()
    {
        QFETCH(bool, some);
        Collection source(awkwardCollection());
        const QList<RecipeValues> all = contents(*source.cursor);
        ExportChoice choice;
        choice.format = ExportFormat::Html;
        choice.title = QStringLiteral("Family <cookbook> & more");
        QList<RecipeValues> expected = all;
        if (some) {
            choice.ids = std::vector<std::int64_t>{};
            expected.clear();
            for (std::int64_t id = all.size(); id >= 1; id -= 3) {
                choice.ids->push_back(id);
                expected << all[id - 1];
            }
            choice.ids->push_back(all.size() + 100); // gone since
        }
        const QString file =
            exportCookbook(*source.cursor, source.dir.filePath(QStringLiteral("cookbook.html")), choice);

        Collection copy;
        const Run run = import(*copy.cursor, {file}, true);
        QCOMPARE(run.refusedFiles, QStringList());
        QCOMPARE(run.refusedRecipes, QStringList());
        const QList<RecipeValues> read = contents(*copy.cursor);
        QCOMPARE(read.size(), expected.size());
        for (qsizetype i = 0; i < read.size(); ++i)
            for (Field f : allFields)
                QCOMPARE(read[i][f], expected[i][f]);
    }
};

QTEST_GUILESS_MAIN(TestRecipeImport)
#include "tst_recipeimport.moc"
