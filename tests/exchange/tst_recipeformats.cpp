#include "exchange/RecipeFormats.h"
#include "exchange/RecipeText.h"

#include <QBuffer>
#include <QFile>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;

namespace {

QString data(const char* name)
{
    return QStringLiteral(PANTRIO_EXCHANGE_DATA "/") + QLatin1StringView(name);
}

struct Read
{
    QList<RecipeValues> recipes;
    QList<std::int64_t> problemLines;
};

Read readFile(const QString& path, void (*reader)(QIODevice&, const ReadEvents&))
{
    Read out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open test data");
    ReadEvents events;
    events.recipe = [&](RecipeValues&& r, std::int64_t) {
        out.recipes << r;
        return true;
    };
    events.problem = [&](std::int64_t line, const QString&) { out.problemLines << line; };
    reader(file, events);
    return out;
}

RecipeValues make(std::initializer_list<std::pair<Field, const char*>> values)
{
    RecipeValues r;
    for (const auto& [f, v] : values)
        r[f] = v ? FieldValue(QString::fromUtf8(v)) : std::nullopt;
    return r;
}

void compare(const RecipeValues& actual, const RecipeValues& expected)
{
    for (Field f : allFields)
        QCOMPARE(actual[f], expected[f]);
}

} // namespace

Q_DECLARE_METATYPE(pantrio::RecipeValues)

class TestRecipeFormats : public QObject
{
    Q_OBJECT

private slots:
    void mealMasterFile_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<RecipeValues>("expected");
        QTest::newRow("sections, continuation, Windows-1252, source")
            << 0
            << make({{Field::RecipeName, "Tarte aux Pommes Normande"},
                     {Field::FoodCategoryID, "Desserts, Pies, French"},
                     {Field::Ingredients,
                      "PASTRY:\n1 1/4 cups All-purpose flour\n1/2 teaspoon Salt\n"
                      "8 tablespoons Cold unsalted butter, cut in small pieces\n3 tablespoons Ice water\n"
                      "FILLING:\n4 large Golden Delicious apples\n1/2 cup Crème fraîche\n2 Eggs\n"
                      "1/3 cup Sugar\n2 tablespoons Calvados"},
                     {Field::Instructions, "Heat the oven to 400 F.  Mix the flour and salt, cut in the "
                                           "butter until it looks like coarse meal, "
                                           "and sprinkle on the water a spoonful at a time.  Gather into a "
                                           "ball, wrap, and chill 30 minutes.\n\n"
                                           "Roll out the pastry and fit it into a 9-inch tart pan.  Peel, "
                                           "core and slice the apples and arrange "
                                           "them in overlapping circles.\n\n"
                                           "Bake 20 minutes.  Whisk the crème fraîche, eggs, sugar and "
                                           "Calvados, pour over the apples and bake 25 "
                                           "minutes more, until set and golden."},
                     {Field::Notes,
                      "Yield: 1 tart (8 servings)\nSource: \"La Cuisine de Grand-mère\", Rouen, 1962"}});
        QTest::newRow("old header, two columns, servings")
            << 1
            << make({{Field::RecipeName, "Black Bean Soup"},
                     {Field::FoodCategoryID, "Soups, Vegetarian"},
                     {Field::Ingredients,
                      "1 pound Dried black beans, soaked\n1 medium Onion, chopped\n2 Cloves garlic, minced\n"
                      "1 teaspoon Ground cumin\n1 quart Vegetable stock\n1 pinch Cayenne\n"
                      "2 tablespoons Lime juice"},
                     {Field::Instructions, "Drain the beans.  Put everything but the lime juice in a large "
                                           "pot and simmer, covered, until the "
                                           "beans are very tender, about 2 hours. Puree half the soup and "
                                           "stir it back in.  Add the lime juice "
                                           "just before serving."},
                     {Field::Notes, "Servings: 6"}});
        QTest::newRow("numbered steps, no yield")
            << 2
            << make({{Field::RecipeName, "Quick Pickled Red Onions"},
                     {Field::FoodCategoryID, "Preserves"},
                     {Field::Ingredients,
                      "1 large Red onion, thinly sliced\n1/2 cup Cider vinegar\n1 tablespoon Sugar\n"
                      "1 1/2 teaspoons Salt"},
                     {Field::Instructions,
                      "1. Pack the onion into a jar.\n2. Heat the vinegar with the sugar and salt until "
                      "dissolved and pour it over the onion.\n3. Cool, cover and chill at least 1 hour."}});
    }

    void mealMasterFile()
    {
        QFETCH(int, index);
        QFETCH(RecipeValues, expected);
        const Read read = readFile(data("cookbook.mmf"), readMealMaster);
        QCOMPARE(read.recipes.size(), 3);
        QCOMPARE(read.problemLines,
                 QList<std::int64_t>{59}); // the recipe of nothing but control bytes, by its header
        compare(read.recipes[index], expected);
    }

    void savedWebPage()
    {
        const Read read = readFile(data("page.html"), readHtml);
        QCOMPARE(read.recipes.size(), 1);
        compare(read.recipes[0],
                make({{Field::RecipeName, "Shakshuka with Feta & Herbs"},
                      {Field::FoodCategoryID, "Breakfast, Main Course"},
                      {Field::RecipeDescription,
                       "Eggs poached in a spiced tomato & pepper sauce – Tunisia's gift to brunch."},
                      {Field::TimeToPrepare, "35 minutes"},
                      {Field::Ingredients,
                       "2 tbsp olive oil\n1 red bell pepper, sliced\n3 cloves garlic, minced\n"
                       "1 tsp ground cumin\n1 (28\u00a0oz) can crushed tomatoes\n6 large eggs\n"
                       "½ cup crumbled feta"},
                      {Field::Instructions,
                       "Sauce:\n1. Heat the oil in a large skillet and soften the pepper, about 5 minutes.\n"
                       "2. Add the garlic & cumin, then the tomatoes; simmer 10 minutes.\nEggs:\n"
                       "3. Make six wells and crack an egg into each.\nCover and cook until the whites set.\n"
                       "4. Scatter the feta over and serve from the pan."},
                      {Field::Notes,
                       "Preparation time: 10 minutes\nCooking time: 25 minutes\nYield: 4, 4 servings\n"
                       "Author: Renée Haddad\nCuisine: North African\nKeywords: eggs, tomatoes, one-pan\n"
                       "Source: https://weeknight.example.com/shakshuka/\nCalories: 290 kcal"}}));
    }

    void jsonFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QList<std::int64_t>>("problemLines");
        QTest::addColumn<RecipeValues>("first");
        QTest::newRow("one recipe, older keys, steps as texts")
            << data("recipe.json") << QStringList{QStringLiteral("Grandmother's Borscht")}
            << QList<std::int64_t>{}
            << make({{Field::RecipeName, "Grandmother's Borscht"},
                     {Field::FoodCategoryID, "Soups"},
                     {Field::RecipeDescription,
                      "A deep red beet soup, sweet and sour, served with sour cream."},
                     {Field::TimeToPrepare, "1 hour 30 minutes"},
                     {Field::Ingredients,
                      "4 medium beets, peeled and grated\n1/2 head cabbage, shredded\n"
                      "2 potatoes, diced\n1 onion, chopped\n2 tablespoons red wine vinegar\n"
                      "Sour cream and dill to serve"},
                     {Field::Instructions,
                      "1. Simmer the beets in 8 cups of water for 30 minutes.\n"
                      "2. Add the cabbage, potatoes and onion and cook until tender.\n"
                      "3. Stir in the vinegar, season, and serve hot with sour cream and dill."},
                     {Field::Notes, "Yield: 8"}});
        QTest::newRow("list with other things and a broken entry")
            << data("list.json")
            << QStringList{QStringLiteral("Mango Lassi"), QStringLiteral("Cucumber Raita")}
            << QList<std::int64_t>{12}
            << make({{Field::RecipeName, "Mango Lassi"},
                     {Field::FoodCategoryID, "Drinks"},
                     {Field::TimeToPrepare, "5 minutes"},
                     {Field::Ingredients, "1 cup ripe mango pulp\n1 cup plain yogurt\n1/2 cup cold milk\n"
                                          "2 teaspoons sugar\nPinch of ground cardamom"},
                     {Field::Instructions, "Blend everything until smooth and frothy. Serve cold."}});
    }

    void jsonFiles()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, names);
        QFETCH(QList<std::int64_t>, problemLines);
        QFETCH(RecipeValues, first);
        const Read read = readFile(file, readJson);
        QStringList got;
        for (const RecipeValues& r : read.recipes)
            got << r[Field::RecipeName].value_or(QString());
        QCOMPARE(got, names);
        QCOMPARE(read.problemLines, problemLines);
        compare(read.recipes[0], first);
    }

    // What the exporters write, the importers read back; JSON exactly, MealMaster up to blank space.
    void roundTrip_data()
    {
        QTest::addColumn<RecipeValues>("recipe");
        QTest::addColumn<bool>("mealMasterExact");
        QTest::newRow("everything")
            << make({{Field::FoodCategoryID, "Main Dishes"},
                     {Field::RecipeName, "Käsespätzle"},
                     {Field::RecipeDescription,
                      "Swabian egg noodles layered with cheese and crisp fried onions, the way "
                      "they make them in every Gasthaus between Stuttgart and Ulm."},
                     {Field::TimeToPrepare, "1 hour 5 minutes"},
                     {Field::Ingredients,
                      "NOODLES:\n3 cups all-purpose flour\n4 eggs\nTOPPING:\n2 large onions, thinly sliced "
                      "into rings and fried slowly in butter until deep golden\n2 cups grated Bergkäse"},
                     {Field::Instructions,
                      "1. Beat the flour, eggs, milk, salt and nutmeg into a thick, smooth batter and let "
                      "it rest for fifteen minutes.\n2. Press the batter into boiling water.\n\n"
                      "Serve at once, with a green salad on the side and a cold beer."},
                     {Field::Notes, "Yield: 4 servings\nBetter with Bergkäse than with Emmentaler, which is "
                                    "milder and melts "
                                    "less evenly.\nSource: Oma Hilde"}})
            << true;
        QTest::newRow("only a name") << make({{Field::RecipeName, "Toast"}}) << true;
        QTest::newRow("time that is not a duration, servings in notes")
            << make({{Field::RecipeName, "Overnight Oats"},
                     {Field::TimeToPrepare, "overnight"},
                     {Field::Notes, "Servings: 2"}})
            << true;
        QTest::newRow("markup-like text, references, empty against none")
            << make({{Field::RecipeName, "Fish &amp; Chips <b>deluxe</b>"},
                     {Field::FoodCategoryID, ""},
                     {Field::Instructions, "Fry at < 190 °C &#176; &\r\nserve"},
                     {Field::Notes, ""}})
            << false;
        QTest::newRow("a '<' that starts no tag, blank ends, CR LF between ingredients")
            << make({{Field::RecipeName, "Fish at < 190 °C "},
                     {Field::Ingredients, "Fry at < 190 °C &#176; &\r\nserve "},
                     {Field::Instructions, " 1 < 2 "}})
            << false;
    }

    void roundTrip()
    {
        QFETCH(RecipeValues, recipe);
        QFETCH(bool, mealMasterExact);
        QBuffer json, mm;
        json.open(QIODevice::ReadWrite);
        mm.open(QIODevice::ReadWrite);
        beginJson(json);
        writeJson(json, recipe, true);
        writeJson(json, recipe, false);
        endJson(json);
        writeMealMaster(mm, recipe);
        writeMealMaster(mm, recipe);
        for (QBuffer* b : {&json, &mm})
            b->seek(0);

        QList<RecipeValues> fromJson, fromMm;
        ReadEvents events;
        events.problem = [](std::int64_t, const QString& p) { QFAIL(qPrintable(p)); };
        events.recipe = [&](RecipeValues&& r, std::int64_t) {
            fromJson << r;
            return true;
        };
        readJson(json, events);
        events.recipe = [&](RecipeValues&& r, std::int64_t) {
            fromMm << r;
            return true;
        };
        readMealMaster(mm, events);
        QCOMPARE(fromJson.size(), 2);
        QCOMPARE(fromMm.size(), 2);
        compare(fromJson[1], recipe);
        if (mealMasterExact)
            compare(fromMm[1], recipe);
        else
            QVERIFY(sameRecipe(fromMm[1], recipe));
    }

    void durations_data()
    {
        QTest::addColumn<QString>("iso");
        QTest::addColumn<QString>("readable");
        QTest::newRow("hours and minutes") << "PT1H30M"
                                           << "1 hour 30 minutes";
        QTest::newRow("lower case, plural") << "pt2h5m"
                                            << "2 hours 5 minutes";
        QTest::newRow("days") << "P1DT12H"
                              << "1 day 12 hours";
        QTest::newRow("seconds") << "PT90S"
                                 << "90 seconds";
        QTest::newRow("zero") << "PT0M"
                              << "0 minutes";
        QTest::newRow("not a duration") << "about an hour" << QString();
        QTest::newRow("time without parts") << "PT" << QString();
    }

    void durations()
    {
        QFETCH(QString, iso);
        QFETCH(QString, readable);
        const auto got = readableDuration(iso);
        QCOMPARE(got.value_or(QString()), readable);
        if (got && readable != u"0 minutes")
            QCOMPARE(readableDuration(isoDuration(readable).value_or(QString())), got);
    }

    void detection_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::newRow("MealMaster after mail headers") << data("cookbook.mmf") << int(Format::MealMaster);
        QTest::newRow("web page") << data("page.html") << int(Format::Html);
        QTest::newRow("JSON object") << data("recipe.json") << int(Format::Json);
        QTest::newRow("JSON list") << data("list.json") << int(Format::Json);
        QTest::newRow("Jet 3") << data("access/testV1997.mdb") << int(Format::Access);
        QTest::newRow("Jet 4") << data("access/test2V2000.mdb") << int(Format::Access);
        QTest::newRow("plain text") << data("shopping.txt") << int(Format::Unknown);
    }

    void detection()
    {
        QFETCH(QString, file);
        QFETCH(int, format);
        QCOMPARE(int(detectFormat(file)), format);
    }

    void entities_data()
    {
        QTest::addColumn<QString>("in");
        QTest::addColumn<QString>("out");
        QTest::newRow("named") << "Cr&egrave;me &amp; caf&eacute;"
                               << "Crème & café";
        QTest::newRow("numeric") << "&#8531; cup, 350&#x00B0;F"
                                 << "⅓ cup, 350°F";
        QTest::newRow("Windows code page numbers") << "Mom&#146;s &#150; &#8217;"
                                                   << "Mom’s – ’";
        QTest::newRow("bare ampersand kept") << "salt & pepper &c"
                                             << "salt & pepper &c";
        QTest::newRow("unknown name kept") << "&bogus; &amp"
                                           << "&bogus; &amp";
    }

    void entities()
    {
        QFETCH(QString, in);
        QFETCH(QString, out);
        QCOMPARE(decodeEntities(in), out);
    }
};

QTEST_GUILESS_MAIN(TestRecipeFormats)
#include "tst_recipeformats.moc"
