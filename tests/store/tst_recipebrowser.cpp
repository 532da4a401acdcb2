#include "support/TestSupport.h"

#include "store/RecipeBrowser.h"
#include "store/StoreError.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace {

QList<RecipeValues> rows()
{
    return {recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup")),
            recipe(QStringLiteral("Pies"), QStringLiteral("Shepherd's Pie")),
            recipe(QStringLiteral("Desserts"), QStringLiteral("Apple Pie")),
            recipe(QStringLiteral("Soups"), QStringLiteral("Pumpkin Soup"))};
}

// A browser over a fresh file; `edit` plays the window's part when the browser validates.
struct Fixture
{
    explicit Fixture(OpenMode mode = OpenMode::Shared) : browser(mode)
    {
        path = makeRecipeFile(dir.path(), rows());
        QObject::connect(&browser, &RecipeBrowser::validating, [this] {
            if (edit)
                browser.stage(Field::RecipeName, *edit);
        });
    }
    QString name() const { return browser.value(Field::RecipeName).value_or(QString()); }

    QTemporaryDir dir;
    QString path;
    RecipeBrowser browser;
    std::optional<QString> edit;
};

} // namespace

class TestRecipeBrowser : public QObject
{
    Q_OBJECT
private slots:
    void opensOnFirstRecipe();
    void openFailureSaysWhy();
    void arrowsStopAtTheEnds();
    void editsAreSavedBeforeMoving();
    void saveStandsOnTheNewRecipe();
    void deleteStandsOnThePreviousOrNewFirst_data();
    void deleteStandsOnThePreviousOrNewFirst();
    void findReturnsToTheMarkWithoutMatch();
    void findNextWraps();
    void findFieldRefusesBadPatterns();
};

void TestRecipeBrowser::opensOnFirstRecipe()
{
    Fixture f;
    QSignalSpy moved(&f.browser, &RecipeBrowser::positionChanged);
    QVERIFY(f.browser.open(f.path));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(f.browser.position(), 0);
    QCOMPARE(f.browser.count(), 4);
    QCOMPARE(f.name(), QStringLiteral("Leek Soup"));
}

void TestRecipeBrowser::openFailureSaysWhy()
{
    Fixture f;
    QVERIFY(!f.browser.open(f.dir.filePath(QStringLiteral("missing.mdb"))));
    QVERIFY(!f.browser.isOpen());
    QVERIFY(f.browser.openError().contains(QStringLiteral("does not exist")));
    QVERIFY_THROWS_EXCEPTION(StoreError, f.browser.moveNext());
}

void TestRecipeBrowser::arrowsStopAtTheEnds()
{
    Fixture f;
    f.browser.open(f.path);
    f.browser.movePrevious();
    QCOMPARE(f.browser.position(), 0);
    f.browser.moveLast();
    f.browser.moveNext();
    QCOMPARE(f.browser.position(), 3);
    QVERIFY(f.browser.hasCurrent());
}

void TestRecipeBrowser::editsAreSavedBeforeMoving()
{
    Fixture f;
    f.browser.open(f.path);
    f.edit = QStringLiteral("Leek and Potato Soup");
    f.browser.moveNext();
    f.edit.reset();
    f.browser.moveFirst();
    QCOMPARE(f.name(), QStringLiteral("Leek and Potato Soup"));
}

void TestRecipeBrowser::saveStandsOnTheNewRecipe()
{
    Fixture f;
    f.browser.open(f.path);
    f.browser.addNew();
    QVERIFY(f.browser.isAdding());
    f.edit = QStringLiteral("Bean Stew");
    f.browser.save();
    QCOMPARE(f.browser.count(), 5);
    QCOMPARE(f.browser.position(), 4);
    QCOMPARE(f.name(), QStringLiteral("Bean Stew"));
}

void TestRecipeBrowser::deleteStandsOnThePreviousOrNewFirst_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<QString>("after");
    QTest::newRow("middle") << 2 << "Shepherd's Pie";
    QTest::newRow("first") << 0 << "Shepherd's Pie";
}

void TestRecipeBrowser::deleteStandsOnThePreviousOrNewFirst()
{
    QFETCH(int, at);
    QFETCH(QString, after);
    Fixture f;
    f.browser.open(f.path);
    for (int i = 0; i < at; ++i)
        f.browser.moveNext();
    f.browser.deleteCurrent();
    QCOMPARE(f.browser.count(), 3);
    QCOMPARE(f.name(), after);
}

void TestRecipeBrowser::findReturnsToTheMarkWithoutMatch()
{
    Fixture f;
    f.browser.open(f.path);
    f.browser.moveNext();
    int told = 0;
    QVERIFY(!f.browser.find(QStringLiteral("curry"), [&] { ++told; }));
    QCOMPARE(told, 1);
    QCOMPARE(f.browser.position(), 1);
    QVERIFY(f.browser.find(QStringLiteral("PIE"), [&] { ++told; }));
    QCOMPARE(f.name(), QStringLiteral("Shepherd's Pie")); // from the first recipe, not after the current
    QCOMPARE(told, 1);
}

void TestRecipeBrowser::findNextWraps()
{
    Fixture f;
    f.browser.open(f.path);
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(f.browser.findNext(QStringLiteral("soup"), {}));
        seen << f.name();
    }
    QCOMPARE(seen, QStringList({QStringLiteral("Pumpkin Soup"), QStringLiteral("Leek Soup"), QStringLiteral("Pumpkin Soup")}));
}

void TestRecipeBrowser::findFieldRefusesBadPatterns()
{
    Fixture f;
    f.browser.open(f.path);
    QVERIFY(f.browser.findField(QStringLiteral("*Pie"), QStringLiteral("RecipeName")));
    QCOMPARE(f.name(), QStringLiteral("Shepherd's Pie"));
    QVERIFY(!f.browser.findField(QStringLiteral("*"), QStringLiteral("NoSuchField")));
    QVERIFY(!f.browser.findField(QStringLiteral("it's"), QStringLiteral("RecipeName")));
    QCOMPARE(f.name(), QStringLiteral("Shepherd's Pie"));
}

QTEST_GUILESS_MAIN(TestRecipeBrowser)
#include "tst_recipebrowser.moc"
