#include "store/Condition.h"
#include "store/StoreError.h"

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
    void noValueNeverMatches();
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
    v[0] = category;
    v[1] = name;
    QCOMPARE(Condition::parse(condition).matches(v), match);
}

void TestCondition::malformed_data()
{
    QTest::addColumn<QString>("condition");
    QTest::newRow("empty") << "";
    QTest::newRow("unknown field") << "Colour like 'red'";
    QTest::newRow("no like") << "RecipeName = 'x'";
    QTest::newRow("unquoted pattern") << "RecipeName like x";
    QTest::newRow("unclosed quote") << "RecipeName like 'x";
    QTest::newRow("apostrophe ends pattern early") << "RecipeName like '*Grandma's*'";
    QTest::newRow("dangling or") << "RecipeName like 'x' or";
    QTest::newRow("and is not supported") << "RecipeName like 'x' and Notes like 'y'";
    QTest::newRow("unclosed bracket") << "[Recipe Description like 'x'";
    QTest::newRow("likes glued") << "RecipeNamelike 'x'";
}

void TestCondition::malformed()
{
    QFETCH(QString, condition);
    try {
        Condition::parse(condition);
        QFAIL("a malformed condition was accepted");
    } catch (const StoreError& e) {
        QCOMPARE(e.kind(), StoreError::Kind::BadCondition);
        QVERIFY(e.message().contains(condition));
    }
}

void TestCondition::noValueNeverMatches()
{
    QVERIFY(!LikePattern(QStringLiteral("*")).matches(std::nullopt));
    QVERIFY(LikePattern(QStringLiteral("*")).matches(QString()));
}

QTEST_APPLESS_MAIN(TestCondition)
#include "tst_condition.moc"
