#include "exchange/RecipeImport.h"
#include "store/RecordCursor.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;

namespace {

const QString Address = QStringLiteral("https://pages.example.net/recipe");

struct Imported
{
    QList<RecipeValues> recipes;
    int refused = 0;
    QStringList problems;
};

// Imports `page` as a page fetched from Address, or as a saved file when `charset` is null.
Imported importPage(const QByteArray& page, const QString& charset = {})
{
    QTemporaryDir dir;
    const QString path = test::makeRecipeFile(dir.path(), {});
    auto cursor = RecordCursor::open(path, {OpenMode::Exclusive, 0});
    Imported out;
    ImportReport report;
    report.refusedFile = [&](const QString&, const QString& problem) { out.problems << problem; };
    report.refusedRecipe = [&](const QString&, std::int64_t, const QString& problem) {
        out.problems << problem;
    };
    cursor->transact([&](RecipeRows& rows, std::int64_t firstFree) {
        const ImportSummary s =
            importFiles(rows, firstFree, {Address}, false, report, {{Address, {page, charset, {}}}});
        out.refused = s.refused;
        readCollection(rows, [&](const RecipeValues& r) {
            out.recipes << r;
            return true;
        });
        return false;
    });
    return out;
}

// JSON written with single quotes, which stand for double ones.
QByteArray q(const char* json)
{
    return QByteArray(json).replace('\'', '"');
}

QByteArray inScript(const QByteArray& json)
{
    return "<html><head><script type=\"application/ld+json\">" + json +
           "</script></head><body></body></html>";
}

QByteArray recipe(const QByteArray& members)
{
    return q("{'@context': 'https://schema.org', '@type': 'Recipe', 'recipeIngredient': ['1 egg'], ") +
           members + "}";
}

} // namespace

class TestWebPages : public QObject
{
    Q_OBJECT

private slots:
    void microdataPage()
    {
        QFile file(QStringLiteral(PANTRIO_EXCHANGE_DATA "/microdata.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const Imported got = importPage(file.readAll());
        QCOMPARE(got.refused, 0);
        QCOMPARE(got.recipes.size(), 1); // the card of another recipe beside it is no recipe
        const RecipeValues& r = got.recipes[0];
        QCOMPARE(r[Field::RecipeName], u"Leek & Potato Soup"_qs);
        QCOMPARE(r[Field::FoodCategoryID], u"Soups, Winter"_qs);
        QCOMPARE(r[Field::RecipeDescription], u"A thick, plain soup for cold evenings – no cream."_qs);
        QCOMPARE(r[Field::TimeToPrepare], u"45 minutes"_qs);
        QCOMPARE(r[Field::Ingredients],
                 u"3 leeks, sliced\n500\u00a0g floury potatoes\n1 l vegetable stock"_qs);
        QCOMPARE(r[Field::Instructions],
                 u"1. Soften the leeks in butter.\n2. Add the potatoes and stock;\nsimmer until tender."_qs);
        QCOMPARE(r[Field::Notes],
                 u"Preparation time: 15 minutes\nCooking time: 30 minutes\nYield: 4 bowls\n"
                 "Author: Ana Lima\nSource: https://notebook.example.org/soups/leek-potato"_qs);
    }

    void pageFaults_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("charset"); // as a server declares it
        QTest::addColumn<int>("field");
        QTest::addColumn<QString>("expected"); // in the one recipe imported
        const int name = int(Field::RecipeName), instructions = int(Field::Instructions);
        QTest::newRow("escaped markup")
            << inScript(
                   recipe(q("'name': 'Eggs', 'recipeInstructions': '&lt;p&gt;Whisk the eggs.&lt;/p&gt;'")))
            << "" << instructions << "Whisk the eggs.";
        QTest::newRow("CDATA wrapper, ';' after it")
            << inScript("\n// <![CDATA[\n" + recipe(q("'name': 'Eggs'")) + ";\n// ]]>\n") << "" << name
            << "Eggs";
        QTest::newRow("trailing commas")
            << inScript(q("{'@type': 'Recipe', 'name': 'Eggs', 'recipeIngredient': ['1 egg', 'salt',],}"))
            << "" << int(Field::Ingredients) << "1 egg\nsalt";
        QTest::newRow("type in lower case")
            << inScript(q("{'@type': 'recipe', 'name': 'Eggs', 'recipeIngredient': ['1 egg']}")) << "" << name
            << "Eggs";
        QTest::newRow("@graph of numbered members")
            << inScript(q("{'@graph': {'0': {'@type': 'WebPage'}, '1': ") + recipe(q("'name': 'Eggs'")) +
                        "}}")
            << "" << name << "Eggs";
        QTest::newRow("main entity by reference")
            << inScript(q("{'@type': 'WebPage', 'mainEntity': {'@id': '#r'}, 'about': [") +
                        recipe(q("'@id': '#r', 'name': 'Eggs'")) + "]}")
            << "" << name << "Eggs";
        QTest::newRow("HTML5 names") << inScript(
                                            recipe(q("'name': '&Scaron;a&yacute;&NotEqualTilde;&frac12;'")))
                                     << "" << name << u"Šaý≂̸½"_qs;
        QTest::newRow("empty block beside the recipe")
            << "<script type='application/ld+json'> </script>" + inScript(recipe(q("'name': 'Eggs'"))) << ""
            << name << "Eggs";
        QTest::newRow("stub beside the recipe")
            << inScript("[" + recipe(q("'name': 'Eggs'")) + q(", {'@type': 'Recipe', 'name': 'Stub'}]")) << ""
            << name << "Eggs";
        QTest::newRow("one stray byte")
            << inScript(recipe("\"name\": \"Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9\x65\xFF\"")) << "" << name
            << u"Crème brûlée\ufffd"_qs;
        QTest::newRow("server's charset")
            << inScript(recipe("\"name\": \"Cr\xE8me\"")) << "ISO-8859-1" << name << u"Crème"_qs;
        QTest::newRow("page's charset")
            << "<meta charset=\"windows-1252\">" + inScript(recipe("\"name\": \"\x93"
                                                                   "Cr\xE8me\x94\""))
            << "" << name << u"“Crème”"_qs;
        QTest::newRow("line ends and blank ends")
            << inScript(recipe(q(
                   "'name': '\\r\\n  Apple\\r\\n  Pie ', 'recipeInstructions': 'Peel.\\r\\nBake.\\rServe.'")))
            << "" << name << "Apple Pie";
        QTest::newRow("carriage returns in texts")
            << inScript(recipe(q("'name': 'Pie', 'recipeInstructions': 'Peel.\\r\\nBake.\\rServe.'"))) << ""
            << instructions << "Peel.\nBake.\nServe.";
        QTest::newRow("NUL characters")
            << inScript(recipe(q("'name': 'Eg\\u0000gs'"))) << "" << name << "Eggs";
        QTest::newRow("relative address of its own")
            << inScript(recipe(q("'name': 'Eggs', 'url': '../eggs'"))) << "" << int(Field::Notes)
            << "Source: https://pages.example.net/eggs";
        QTest::newRow("address as source")
            << inScript(recipe(q("'name': 'Eggs'"))) << "" << int(Field::Notes) << "Source: " + Address;
    }

    void pageFaults()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, charset);
        QFETCH(int, field);
        QFETCH(QString, expected);
        const Imported got = importPage(page, charset);
        QCOMPARE(got.problems, QStringList());
        QCOMPARE(got.recipes.size(), 1);
        QCOMPARE(got.recipes[0][Field(field)], expected);
    }

    void pagesRefused_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("problem"); // how the message starts
        QTest::newRow("only a stub") << inScript(q("{'@type': 'Recipe', 'name': 'Stub'}"))
                                     << "the page's recipe has neither ingredients nor instructions";
        QTest::newRow("no recipe") << QByteArray("<html><body><p>Hello</p></body></html>")
                                   << "the page holds no recipe Pantrio can read";
        QTest::newRow("broken recipe data")
            << inScript(q("{'@type': 'Recipe', 'name': 'Eggs' 'recipeIngredient': []}"))
            << "the page's recipe data is not valid JSON (";
    }

    void pagesRefused()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, problem);
        const Imported got = importPage(page);
        QCOMPARE(got.recipes.size(), 0);
        QCOMPARE(got.refused, 1);
        QCOMPARE(got.problems.size(), 1);
        QVERIFY2(got.problems[0].startsWith(problem), qPrintable(got.problems[0]));
    }
};

QTEST_GUILESS_MAIN(TestWebPages)
#include "tst_webpages.moc"
