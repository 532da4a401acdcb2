#include "app/RecipeSession.h"
#include "store/RecipeRows.h"
#include "store/Sqlite.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"

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

// A session over a fresh file; `edits()` plays the window's part: the name box, when typed in.
struct Fixture
{
    explicit Fixture(OpenMode mode = OpenMode::Shared) : session(mode)
    {
        path = makeRecipeFile(dir.path(), rows());
        QObject::connect(&session, &RecipeSession::collectionChanged,
                         [this](const CollectionChange& change) { changes.append(change); });
    }
    QString name() const { return session.value(Field::RecipeName).value_or(QString()); }
    RecipeEdits edits() const
    {
        if (edit)
            return {{Field::RecipeName, *edit}};
        return {};
    }

    QTemporaryDir dir;
    QString path;
    RecipeSession session;
    std::optional<QString> edit;
    QList<CollectionChange> changes;
};

} // namespace

class TestRecipeSession : public QObject
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
    void everyObserverHearsWhatChanged();
    void editsHandedDownAreSavedOnce();
};

void TestRecipeSession::opensOnFirstRecipe()
{
    Fixture f;
    QSignalSpy moved(&f.session, &RecipeSession::currentChanged);
    QVERIFY(f.session.open(f.path));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(f.session.position(), 0);
    QCOMPARE(f.session.count(), 4);
    QCOMPARE(f.name(), QStringLiteral("Leek Soup"));
}

void TestRecipeSession::openFailureSaysWhy()
{
    Fixture f;
    QVERIFY(!f.session.open(f.dir.filePath(QStringLiteral("missing.mdb"))));
    QVERIFY(!f.session.isOpen());
    QVERIFY(f.session.openError().contains(QStringLiteral("does not exist")));
    QVERIFY_THROWS_EXCEPTION(StoreError, f.session.moveNext(f.edits()));
}

void TestRecipeSession::arrowsStopAtTheEnds()
{
    Fixture f;
    f.session.open(f.path);
    f.session.movePrevious(f.edits());
    QCOMPARE(f.session.position(), 0);
    f.session.moveLast(f.edits());
    f.session.moveNext(f.edits());
    QCOMPARE(f.session.position(), 3);
    QVERIFY(f.session.hasCurrent());
}

void TestRecipeSession::editsAreSavedBeforeMoving()
{
    Fixture f;
    f.session.open(f.path);
    f.edit = QStringLiteral("Leek and Potato Soup");
    f.session.moveNext(f.edits());
    f.edit.reset();
    f.session.moveFirst(f.edits());
    QCOMPARE(f.name(), QStringLiteral("Leek and Potato Soup"));
}

void TestRecipeSession::saveStandsOnTheNewRecipe()
{
    Fixture f;
    f.session.open(f.path);
    f.session.addNew(f.edits());
    QVERIFY(f.session.isAdding());
    f.edit = QStringLiteral("Bean Stew");
    f.session.save(f.edits());
    QCOMPARE(f.session.count(), 5);
    QCOMPARE(f.session.position(), 4);
    QCOMPARE(f.name(), QStringLiteral("Bean Stew"));
}

void TestRecipeSession::deleteStandsOnThePreviousOrNewFirst_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<QString>("after");
    QTest::newRow("middle") << 2 << "Shepherd's Pie";
    QTest::newRow("first") << 0 << "Shepherd's Pie";
}

void TestRecipeSession::deleteStandsOnThePreviousOrNewFirst()
{
    QFETCH(int, at);
    QFETCH(QString, after);
    Fixture f;
    f.session.open(f.path);
    for (int i = 0; i < at; ++i)
        f.session.moveNext(f.edits());
    f.session.deleteCurrent(f.edits());
    QCOMPARE(f.session.count(), 3);
    QCOMPARE(f.name(), after);
}

void TestRecipeSession::findReturnsToTheMarkWithoutMatch()
{
    Fixture f;
    f.session.open(f.path);
    f.session.moveNext(f.edits());
    QVERIFY(!f.session.find(QStringLiteral("curry"), false, f.edits()));
    QCOMPARE(f.session.position(), 1);
    QVERIFY(f.session.find(QStringLiteral("PIE"), false, f.edits()));
    QCOMPARE(f.name(), QStringLiteral("Shepherd's Pie")); // from the first recipe, not after the current
}

void TestRecipeSession::findNextWraps()
{
    Fixture f;
    f.session.open(f.path);
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(f.session.find(QStringLiteral("soup"), true, {}));
        seen << f.name();
    }
    QCOMPARE(seen, QStringList({QStringLiteral("Pumpkin Soup"), QStringLiteral("Leek Soup"),
                                QStringLiteral("Pumpkin Soup")}));
}

void TestRecipeSession::findFieldRefusesBadPatterns()
{
    Fixture f;
    f.session.open(f.path);
    QVERIFY(f.session.findField(QStringLiteral("*Pie"), QStringLiteral("RecipeName"), {}));
    QCOMPARE(f.name(), QStringLiteral("Shepherd's Pie"));
    QVERIFY(!f.session.findField(QStringLiteral("*"), QStringLiteral("NoSuchField"), {}));
    QVERIFY(!f.session.findField(QStringLiteral("it's"), QStringLiteral("RecipeName"), {}));
    QCOMPARE(f.name(), QStringLiteral("Shepherd's Pie"));
}

void TestRecipeSession::everyObserverHearsWhatChanged()
{
    using Kind = CollectionChange::Kind;
    Fixture f;
    QSignalSpy other(&f.session, &RecipeSession::collectionChanged);
    f.session.open(f.path);
    f.edit = QStringLiteral("Leek and Potato Soup");
    f.session.moveNext(f.edits()); // saves recipe 1
    f.edit.reset();
    f.session.addNew({});
    f.session.save({{Field::RecipeName, QStringLiteral("Bean Stew")}}); // recipe 5
    f.session.deleteCurrent({});
    f.session.transact({}, [](RecipeRows& rows, std::int64_t firstFree) -> std::optional<std::int64_t> {
        RecipeValues imported;
        imported[Field::RecipeName] = QStringLiteral("Imported");
        rows.insert(firstFree, imported);
        return firstFree;
    });
    f.session.refresh({});

    const QList<std::pair<Kind, std::vector<std::int64_t>>> expected = {
        {Kind::Reloaded, {}}, // opened
        {Kind::Saved, {1}},    {Kind::Added, {5}},  {Kind::Deleted, {5}},
        {Kind::Imported, {6}}, {Kind::Reloaded, {}}};
    QCOMPARE(f.changes.size(), expected.size());
    QCOMPARE(other.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QCOMPARE(f.changes[i].kind, expected[i].first);
        QCOMPARE(f.changes[i].ids, expected[i].second);
        QCOMPARE(other[i][0].value<CollectionChange>().ids, expected[i].second);
    }
    QCOMPARE(f.name(), QStringLiteral("Leek and Potato Soup")); // refreshed: on the first again
}

// A window hands down the same boxes until it shows the saved recipe again; only what differs
// from the recipe is written, once.
void TestRecipeSession::editsHandedDownAreSavedOnce()
{
    Fixture f;
    f.session.open(f.path);
    const RecipeEdits edits = {{Field::RecipeName, QStringLiteral("Shepherd's Pie")},
                               {Field::Notes, QStringLiteral("Serves four")}};
    f.session.moveNext({});
    f.session.save(edits);
    f.session.save(edits);
    f.session.moveNext(edits);
    QCOMPARE(f.changes.size(), 2); // opened, and saved once
    QCOMPARE(f.changes[1].ids, std::vector<std::int64_t>{2});
    f.session.movePrevious({});
    QCOMPARE(f.session.value(Field::Notes), FieldValue(QStringLiteral("Serves four")));
}

QTEST_GUILESS_MAIN(TestRecipeSession)
#include "tst_recipesession.moc"
