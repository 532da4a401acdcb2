#include "store/SearchCondition.h"
#include "store/StoreError.h"
#include "store/TextFolding.h"

#include <QtTest>

using namespace pantrio;

class TestCondition : public QObject
{
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
    void condition_data();
    void condition();
    void malformed_data();
    void malformed();
    void typed_data();
    void typed();
    void likeOnOneField_data();
    void likeOnOneField();
    void noValueNeverMatches();
    void loose_data();
    void loose();
    void looseNeverSpansFields();
    void wordsHoldEveryPartOfAWord();
};

void TestCondition::pattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("match");

    QTest::newRow("contains") << "*soup*" << "Tomato soup with basil" << true;
    QTest::newRow("contains at start") << "*tom*" << "Tomato" << true;
    QTest::newRow("contains, absent") << "*pie*" << "Tomato soup" << false;
    QTest::newRow("case ignored") << "*SOUP*" << "tomato soup" << true;
    QTest::newRow("accents folded") << "*CRÈME*" << "crème brûlée" << true;
    QTest::newRow("greek folded") << "*ΣΟΥΠΑ*" << "σουπα" << true;
    QTest::newRow("accent is not a plain letter") << "*creme*" << "crème" << false;
    QTest::newRow("star inside") << "*to*up*" << "Tomato soup" << true;
    QTest::newRow("star inside, wrong order") << "*up*to*" << "Tomato soup" << false;
    QTest::newRow("no stars: whole value") << "Tomato" << "Tomato" << true;
    QTest::newRow("no stars: not a part") << "Tomato" << "Tomato soup" << false;
    QTest::newRow("prefix") << "Tom*" << "Tomato" << true;
    QTest::newRow("suffix") << "*ato" << "Tomato" << true;
    QTest::newRow("prefix and suffix overlap") << "ab*ba" << "aba" << false;
    QTest::newRow("prefix and suffix") << "ab*ba" << "abba" << true;
    QTest::newRow("question mark is literal") << "*a?c*" << "abc" << false;
    QTest::newRow("question mark found") << "*a?c*" << "xa?cx" << true;
    QTest::newRow("hash is literal") << "*#1*" << "Soup #1" << true;
    QTest::newRow("bracket is literal") << "*[a]*" << "x[a]y" << true;
    QTest::newRow("percent is literal") << "*50%*" << "50% rye" << true;
    QTest::newRow("percent not a wildcard") << "*5%*" << "50" << false;
    QTest::newRow("trailing blank kept") << "*pie *" << "apple pie" << false;
    QTest::newRow("trailing blank found") << "*pie *" << "pie crust" << true;
    QTest::newRow("apostrophe") << "*Grandma's*" << "Grandma's Cookies" << true;
    QTest::newRow("only stars match empty") << "**" << "" << true;
    QTest::newRow("empty pattern, empty value") << "" << "" << true;
    QTest::newRow("empty pattern, text") << "" << "x" << false;
    QTest::newRow("line break inside value") << "*b*" << "a\nb" << true;
}

void TestCondition::pattern()
{
    QFETCH(QString, pattern);
    QFETCH(QString, value);
    QFETCH(bool, match);
    QCOMPARE(LikePattern(pattern).matches(value), match);
    // The UTF-8 fast path and the Unicode path must agree.
    QCOMPARE(LikePattern(pattern).matchesFolded(foldForMatch(std::string_view(value.toStdString()))), match);
}

void TestCondition::condition_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("match");

    const QString findBoth = QStringLiteral("FoodCategoryID like '*%1*' or RecipeName like '*%1*'");
    QTest::newRow("find: in name") << findBoth.arg("cake") << "Desserts" << "Carrot Cake" << true;
    QTest::newRow("find: in category only") << findBoth.arg("dess") << "Desserts" << "Carrot Cake" << true;
    QTest::newRow("find: in neither") << findBoth.arg("soup") << "Desserts" << "Carrot Cake" << false;
    QTest::newRow("keywords in any case") << "RecipeName LIKE '*cake*' OR FoodCategoryID Like 'x'"
                                          << "Desserts" << "Carrot Cake" << true;
    QTest::newRow("field name in any case") << "recipename like 'carrot*'" << "" << "Carrot Cake" << true;
    QTest::newRow("doubled apostrophe") << "RecipeName like '*Grandma''s*'" << "" << "Grandma's Pie" << true;
    QTest::newRow("doubled apostrophe, no match") << "RecipeName like '*Grandma''s*'" << "" << "Grandmas Pie"
                                                  << false;
    QTest::newRow("bracketed field") << "[Recipe Description] like '*'" << "" << "" << false;
    QTest::newRow("blanks around") << "  RecipeName   like   'A'  " << "" << "a" << true;
}

void TestCondition::condition()
{
    QFETCH(QString, condition);
    QFETCH(QString, category);
    QFETCH(QString, name);
    QFETCH(bool, match);
    RecipeValues v;
    v[Field::FoodCategoryID] = category;
    v[Field::RecipeName] = name;
    QCOMPARE(SearchCondition::parse(condition).matches(v), match);
}

void TestCondition::malformed_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("reason");
    const QString noLike = QStringLiteral("the word \"like\" is missing after the field name");
    const QString unquoted = QStringLiteral("the pattern must stand in single quotes");
    const QString trailing = QStringLiteral("unexpected text after a pattern");
    QTest::newRow("empty") << "" << "a field name is missing";
    QTest::newRow("unknown field") << "Colour like 'red'" << "there is no field \"Colour\"";
    QTest::newRow("no like") << "RecipeName = 'x'" << noLike;
    QTest::newRow("unquoted pattern") << "RecipeName like x" << unquoted;
    QTest::newRow("unclosed quote") << "RecipeName like 'x" << "the quoted pattern is not closed";
    QTest::newRow("apostrophe ends pattern early") << "RecipeName like '*Grandma's*'" << trailing;
    QTest::newRow("dangling or") << "RecipeName like 'x' or" << "a field name is missing";
    QTest::newRow("and is not supported") << "RecipeName like 'x' and Notes like 'y'" << trailing;
    QTest::newRow("unclosed bracket") << "[Recipe Description like 'x'" << "a field name in brackets is not closed";
    QTest::newRow("likes glued") << "RecipeNamelike 'x'" << "there is no field \"RecipeNamelike\"";
}

void TestCondition::malformed()
{
    QFETCH(QString, condition);
    QFETCH(QString, reason);
    try {
        SearchCondition::parse(condition);
        QFAIL("a malformed condition was accepted");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::BadCondition);
        QCOMPARE(e.message(), QStringLiteral("The search condition \"%1\" cannot be used: %2.").arg(condition, reason));
    }
}

// The conditions a program builds: the text as it is (anyContains), and Find's form, where a
// `*` typed by the user is a wildcard (anyLike), which must answer as its written form did.
void TestCondition::typed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("contains");
    QTest::addColumn<bool>("findMatches");

    QTest::newRow("in name") << "cake" << "Desserts" << "Carrot Cake" << true << true;
    QTest::newRow("in category only") << "dess" << "Desserts" << "Carrot Cake" << true << true;
    QTest::newRow("in neither") << "soup" << "Desserts" << "Carrot Cake" << false << false;
    QTest::newRow("letter case") << "PUMPKIN" << "Soups" << "Pumpkin soup" << true << true;
    QTest::newRow("accents") << "CRÈME" << "Desserts" << "Crème Brûlée" << true << true;
    QTest::newRow("accent is not a plain letter") << "creme" << "Desserts" << "Crème Brûlée" << false << false;
    QTest::newRow("apostrophe") << "Grandma's" << "Pies" << "Grandma's Apple Pie" << true << true;
    QTest::newRow("lone apostrophe") << "'" << "Pies" << "Shepherd's Pie" << true << true;
    QTest::newRow("doubled apostrophe is two") << "''" << "Pies" << "Shepherd's Pie" << false << false;
    QTest::newRow("star between words") << "Grand*Pie" << "Pies" << "Grandma's Apple Pie" << false << true;
    QTest::newRow("star in the value") << "Star*" << "Mains" << "Five-Star* Chili" << true << true;
    QTest::newRow("star in the value, exact") << "r* C" << "Mains" << "Five-Star* Chili" << true << true;
    QTest::newRow("star alone") << "*" << "Mains" << "Chili" << false << true;
    QTest::newRow("empty text") << "" << "" << "" << true << true;
    QTest::newRow("trailing blank kept") << "Chili " << "Mains" << "Five-Star* Chili" << false << false;
    QTest::newRow("percent is not special") << "%" << "Mains" << "Chili" << false << false;
}

void TestCondition::typed()
{
    QFETCH(QString, text);
    QFETCH(QString, category);
    QFETCH(QString, name);
    QFETCH(bool, contains);
    QFETCH(bool, findMatches);
    RecipeValues v;
    v[Field::FoodCategoryID] = category;
    v[Field::RecipeName] = name;
    const std::array both = {Field::FoodCategoryID, Field::RecipeName};
    QCOMPARE(SearchCondition::anyContains(both, text).matches(v), contains);
    QCOMPARE(SearchCondition::anyLike(both, u'*' + text + u'*').matches(v), findMatches);
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    const auto written = QStringLiteral("FoodCategoryID like '*%1*' or RecipeName like '*%1*'").arg(quoted);
    QCOMPARE(SearchCondition::parse(written).matches(v), findMatches);
}

void TestCondition::likeOnOneField_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<bool>("match");
    QTest::newRow("wildcards around") << "*freeze*" << "Freezes well" << true;
    QTest::newRow("wildcard inside") << "fr*ell" << "Freezes well" << true;
    QTest::newRow("no stars: whole value") << "freezes" << "Freezes well" << false;
    QTest::newRow("only in another field") << "*Stew*" << "Freezes well" << false;
}

void TestCondition::likeOnOneField()
{
    QFETCH(QString, pattern);
    QFETCH(QString, notes);
    QFETCH(bool, match);
    RecipeValues v;
    v[Field::RecipeName] = QStringLiteral("Beef Stew");
    v[Field::Notes] = notes;
    const auto condition = SearchCondition::like(Field::Notes, pattern);
    QCOMPARE(condition.matches(v), match);
    QCOMPARE(condition.terms().size(), size_t(1));
    QCOMPARE(condition.terms().front().field, Field::Notes);
}

void TestCondition::noValueNeverMatches()
{
    QVERIFY(!LikePattern(QStringLiteral("*")).matches(std::nullopt));
    QVERIFY(LikePattern(QStringLiteral("*")).matches(QString()));
}

void TestCondition::loose_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("match");

    QTest::newRow("accents") << "creme brulee" << "Crème Brûlée" << true;
    QTest::newRow("accents in the text") << "CRÈME" << "creme" << true;
    QTest::newRow("case") << "CAFE" << "café" << true;
    QTest::newRow("sharp s") << "straße" << "STRASSE" << true;
    QTest::newRow("capital sharp s") << "STRASSE" << "STRAẞE" << true;
    QTest::newRow("combining mark") << "jalapeno" << QString("jalapen\u0303o") << true;
    QTest::newRow("ligature") << "fine" << QString("\uFB01ne") << true;
    QTest::newRow("greek") << "σουπα" << "Σούπα" << true;
    QTest::newRow("no blank for a line break") << "sugar salt" << "sugar\nsalt" << false;
    QTest::newRow("absent") << "leek" << "onion" << false;
    QTest::newRow("star is literal") << "a*b" << "axb" << false;
}

void TestCondition::loose()
{
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(bool, match);
    RecipeValues values;
    values[Field::Notes] = value;
    QCOMPARE(SearchCondition::anyContainsLoosely(allFields, text).matches(values), match);
}

void TestCondition::looseNeverSpansFields()
{
    RecipeValues values;
    values[Field::RecipeName] = QStringLiteral("Crème");
    values[Field::RecipeDescription] = QStringLiteral("Brûlée");
    const auto condition = [](const char* text) {
        return SearchCondition::anyContainsLoosely(allFields, QString::fromUtf8(text));
    };
    QVERIFY(condition("brulee").matches(values));
    QVERIFY(!condition("creme brulee").matches(values));
    QVERIFY(!condition("cremebrulee").matches(values));
}

// Every word of a text found in a value lies inside one of the value's words, once cut to the
// stride; long words come in pieces, so this holds across their seams too.
void TestCondition::wordsHoldEveryPartOfAWord()
{
    const std::string value = foldLoosely("Crème de la crème, 1/2 cup " + std::string(70, 'x') +
                                          "Supercalifragilisticexpialidocious-ish\nend");
    std::vector<std::string> words;
    forEachWord(value, [&](std::string_view w) { words.emplace_back(w); });
    QVERIFY(std::all_of(words.begin(), words.end(), [](const std::string& w) { return w.size() <= MaxWordBytes; }));
    for (std::size_t from = 0; from < value.size(); ++from)
        for (std::size_t size = 1; from + size <= value.size() && size <= 48; ++size)
            forEachWord(value.substr(from, size), [&](std::string_view piece) {
                const std::string part(piece.substr(0, WordStrideBytes));
                if (std::none_of(words.begin(), words.end(),
                                 [&](const std::string& w) { return w.find(part) != std::string::npos; }))
                    QFAIL(part.c_str());
            });
}

QTEST_APPLESS_MAIN(TestCondition)
#include "tst_condition.moc"
