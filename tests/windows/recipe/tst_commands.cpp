#include "support/RecipeHarness.h"

#include "printing/RecipePrintPage.h"
#include "windows/about/AboutWindow.h"
#include "windows/find/FindDialog.h"
#include "store/RecordCursor.h"

#include <QLabel>
#include <QtEndian>

using namespace pantrio;
using namespace pantrio::test;

namespace {

// Names chosen so that searches have known answers: (category, name) in table order.
QList<RecipeValues> searchRows()
{
    return {
        recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup")),                  // 1
        recipe(QStringLiteral("Pies"), QStringLiteral("Shepherd's Pie")),              // 2
        recipe(QStringLiteral("Desserts"), QStringLiteral("Crème Brûlée")),            // 3
        recipe(QStringLiteral("Breads"), QStringLiteral("Soda Bread")),                // 4
        recipe(QStringLiteral("Desserts"), QStringLiteral("Grandma's Apple Pie")),     // 5
        recipe(QStringLiteral("Main Dishes"), QStringLiteral("Five-Star* Chili")),     // 6
        recipe(QStringLiteral("Soups"), QStringLiteral("Pumpkin soup")),               // 7
        recipe(QStringLiteral("Salads"), QStringLiteral("Apple Slaw")),                // 8
    };
}

// Words only the search over every field finds: none is in a name or a category.
QList<RecipeValues> everyFieldRows()
{
    const auto value = [](const char* text) { return FieldValue(QString::fromUtf8(text)); };
    const auto withSteps = [&](const char* category, const char* name, const char* steps) {
        return recipe(QString::fromUtf8(category), QString::fromUtf8(name), {}, {}, value(steps));
    };
    return {
        withSteps("Soups", "Leek Soup", "Simmer gently."),
        recipe(QStringLiteral("Desserts"), QStringLiteral("Custard Tart"),
               value("Much like a Crème Brûlée, without the crust.")),
        withSteps("Breads", "Soda Bread", "BAKE in a hot oven."),
        withSteps("Pies", "Leek Pie", "Bake until golden."),
        withSteps("Cakes", "Pound Cake", "Bake slowly."),
    };
}

// Presses Ctrl+F in box `fromBox` and answers the find dialog. False when the window cannot
// take keys.
bool pressCtrlF(RecipeHarness& h, const QString& text, int fromBox = 1,
                RecipeHarness::Answer how = RecipeHarness::Answer::Enter)
{
    h.window->activateWindow();
    if (!QTest::qWaitForWindowActive(h.window.get()))
        return false;
    QWidget* box = h.textBox(fromBox);
    box->setFocus();
    h.answerFind(text, how);
    QTest::keyClick(box, Qt::Key_F, Qt::ControlModifier);
    return true;
}

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT
private slots:
    void addNewClearsAndFocuses_data() { layouts(); }
    void addNewClearsAndFocuses();
    void addTypeUpdateShowsNewRecipe_data() { layouts(); }
    void addTypeUpdateShowsNewRecipe();
    void updateExisting();
    void updateWithoutRecipeSaysSo();
    void updateSavesOnce();
    void changeByOtherIsChosen_data();
    void changeByOtherIsChosen();
    void deleteConfirmed_data();
    void deleteConfirmed();
    void deleteCancelled();
    void deleteWhileAddingDropsNewRecipe();
    void refreshShowsOtherProgramsRecipes();

    void find_data();
    void find();
    void findTwiceLandsOnFirstMatch();
    void findCancelThenFindNext();
    void findNextWithoutSavedText();
    void findNextCycles_data() { layouts(); }
    void findNextCycles();
    void findNextSingleMatchStays();
    void findNextStartsWhereUserMoved();
    void findNextNoMatchAtAll();
    void searchWithoutCurrentRecipe();
    void findEveryField_data();
    void findEveryField();
    void findEveryFieldInEmptyCollection();
    void findNextContinuesLastSearch_data() { layouts(); }
    void findNextContinuesLastSearch();
    void unloadForgetsEveryFieldText();
    void findField_data();
    void findField();
    void pointerIsDefaultAfterEveryCommand();
    void printCurrentRecipe_data() { layouts(); }
    void printCurrentRecipe();
    void printWithoutRecipe();
    void aboutShowsOneWindow_data() { layouts(); }
    void aboutShowsOneWindow();

private:
    void layouts()
    {
        QTest::addColumn<QString>("layout");
        QTest::newRow("full") << "full";
        QTest::newRow("compact") << "compact";
    }
};

void TestCommands::addNewClearsAndFocuses()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    h.textBox(5)->setFocus();
    h.button(Command::New)->click();
    for (int i = 0; i < 7; ++i)
        QCOMPARE(h.box(i), QString());
    QCOMPARE(h.window->focusWidget(), h.textBox(0));
    QVERIFY(h.session()->isAdding());
}

void TestCommands::addTypeUpdateShowsNewRecipe()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    h.arrow(2);
    h.button(Command::New)->click();
    h.type(0, QStringLiteral("Breads"));
    h.type(1, QStringLiteral("Focaccia"));
    h.type(4, QStringLiteral("500 g flour"));
    h.button(Command::Update)->click();
    QVERIFY(h.messages.shown.isEmpty());
    QCOMPARE(h.box(1), QStringLiteral("Focaccia"));
    QCOMPARE(h.box(4), QStringLiteral("500 g flour"));
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 13 of 13"));
    h.window->close();
    auto c = RecordCursor::open(h.path(), {});
    QCOMPARE(c->recordCount(), 13);
    c->moveLast();
    QCOMPARE(*c->field(Field::FoodCategoryID), QStringLiteral("Breads"));
    QVERIFY(!c->field(Field::Notes).has_value());
}

void TestCommands::updateExisting()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    h.arrow(2);
    h.arrow(2);
    h.type(3, QStringLiteral("20 minutes"));
    h.button(Command::Update)->click();
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 3 of 12"));
    QCOMPARE(h.box(3), QStringLiteral("20 minutes"));
    QVERIFY(runSqlite(h.path(), QStringLiteral("SELECT count(*) FROM Recipes;")) != 0); // still held exclusively
    h.window->close();
    auto c = RecordCursor::open(h.path(), {});
    c->moveNext();
    c->moveNext();
    QCOMPARE(*c->field(Field::TimeToPrepare), QStringLiteral("20 minutes"));
}

void TestCommands::updateSavesOnce()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    // Shared, so that the engine counts every write transaction in the file's header.
    h.open(RecipeLayout::compact(), &rows);
    const auto changeCounter = [&] {
        QFile f(h.path());
        return f.open(QIODevice::ReadOnly) ? qFromBigEndian<quint32>(f.read(28).constData() + 24) : 0u;
    };
    h.type(6, QStringLiteral("Saved once"));
    const quint32 before = changeCounter();
    h.button(Command::Update)->click();
    QCOMPARE(changeCounter() - before, 1u);
    QCOMPARE(h.box(6), QStringLiteral("Saved once"));
}

void TestCommands::changeByOtherIsChosen_data()
{
    QTest::addColumn<bool>("mine");
    QTest::newRow("overwrite with mine") << true;
    QTest::newRow("take theirs") << false;
}

void TestCommands::changeByOtherIsChosen()
{
    QFETCH(bool, mine);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows);
    QCOMPARE(runSqlite(h.path(), QStringLiteral("UPDATE Recipes SET RecipeName = 'Theirs' WHERE rowid = 1;")),
             0);
    h.type(1, QStringLiteral("Mine"));
    h.messages.answers = {mine ? MessageAnswer::Ok : MessageAnswer::Cancel};
    h.button(Command::Update)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].buttons, MessageButtons::OkCancel);
    const QString kept = mine ? QStringLiteral("Mine") : QStringLiteral("Theirs");
    QCOMPARE(h.box(1), kept);
    QString out;
    QCOMPARE(runSqlite(h.path(), QStringLiteral("SELECT RecipeName FROM Recipes WHERE rowid = 1;"), &out), 0);
    QCOMPARE(out.trimmed(), kept);
}

void TestCommands::updateWithoutRecipeSaysSo()
{
    RecipeHarness h;
    const QList<RecipeValues> none;
    h.open(RecipeLayout::full(), &none);
    for (Command c : {Command::Update, Command::Delete}) {
        h.messages.shown.clear();
        h.button(c)->click();
        QCOMPARE(h.messages.shown.size(), 1);
        QCOMPARE(h.messages.shown[0].icon, MessageIcon::Information);
        QVERIFY(h.messages.shown[0].text.startsWith(QStringLiteral("There is no recipe to")));
    }
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 0 of 0"));
    // Add New still adds the first recipe.
    h.button(Command::New)->click();
    h.type(1, QStringLiteral("First of all"));
    h.button(Command::Update)->click();
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 1"));
}

void TestCommands::deleteConfirmed_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("at");          // zero-based
    QTest::addColumn<QString>("shownAfter"); // name shown afterwards, empty for none
    QTest::addColumn<QString>("display");
    QTest::newRow("middle") << 12 << 5 << "Recipe 5" << "Recipe Number: 5 of 11";
    QTest::newRow("first") << 12 << 0 << "Recipe 2" << "Recipe Number: 1 of 11";
    QTest::newRow("last") << 12 << 11 << "Recipe 11" << "Recipe Number: 11 of 11";
    QTest::newRow("only") << 1 << 0 << "" << "Recipe Number: 0 of 0";
}

void TestCommands::deleteConfirmed()
{
    QFETCH(int, count);
    QFETCH(int, at);
    QFETCH(QString, shownAfter);
    QFETCH(QString, display);
    RecipeHarness h;
    const auto rows = sampleRows(count);
    h.open(RecipeLayout::full(), &rows);
    for (int i = 0; i < at; ++i)
        h.arrow(2);
    const QString gone = h.box(1);
    h.button(Command::Delete)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    const ShownMessage& ask = h.messages.shown[0];
    QCOMPARE(ask.text, QStringLiteral("Do you want to permently delete this recipe?"));
    QCOMPARE(ask.title, QStringLiteral("Delete Record"));
    QCOMPARE(ask.icon, MessageIcon::None);
    QCOMPARE(ask.buttons, MessageButtons::OkCancel);
    QCOMPARE(h.box(1), shownAfter);
    QCOMPARE(h.caption(), display);
    QVERIFY(!h.pointer.isBusy());
    h.window->close();
    QString out;
    QCOMPARE(runSqlite(h.path(), QStringLiteral("SELECT count(*) FROM Recipes WHERE RecipeName = '%1';").arg(gone), &out), 0);
    QCOMPARE(out.trimmed(), QStringLiteral("0"));
}

void TestCommands::deleteCancelled()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows);
    h.arrow(2);
    h.messages.answers.push_back(MessageAnswer::Cancel);
    h.button(Command::Delete)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.box(1), QStringLiteral("Recipe 2"));
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 2 of 12"));
    QCOMPARE(h.session()->count(), 12);
}

void TestCommands::deleteWhileAddingDropsNewRecipe()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    h.arrow(2);
    h.button(Command::New)->click();
    h.type(1, QStringLiteral("Changed my mind"));
    h.button(Command::Delete)->click();
    QCOMPARE(h.box(1), QStringLiteral("Recipe 2"));
    QCOMPARE(h.session()->count(), 12);
}

void TestCommands::refreshShowsOtherProgramsRecipes()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows);
    h.arrow(3);
    QString out;
    QCOMPARE(runSqlite(h.path(), QStringLiteral("SELECT count(*) FROM Recipes;"), &out), 0);
    QCOMPARE(out.trimmed(), QStringLiteral("12"));
    QCOMPARE(runSqlite(h.path(), QStringLiteral("INSERT INTO Recipes (FoodCategoryID, RecipeName) "
                                                "VALUES ('Soups', 'Borscht'), ('Soups', 'Ramen');")),
             0);
    h.button(Command::Refresh)->click();
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 14"));
    QCOMPARE(h.box(1), QStringLiteral("Recipe 1"));
    h.arrow(3);
    QCOMPARE(h.box(1), QStringLiteral("Ramen"));
}

void TestCommands::find_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found"); // empty: no match
    for (const char* layout : {"full", "compact"}) {
        const QString l = QString::fromLatin1(layout);
        QTest::addRow("%s: middle of a name", layout) << l << "epherd" << "Shepherd's Pie";
        QTest::addRow("%s: category only", layout) << l << "salad" << "Apple Slaw";
        QTest::addRow("%s: letter case", layout) << l << "PUMPKIN" << "Pumpkin soup";
        QTest::addRow("%s: accents", layout) << l << "CRÈME" << "Crème Brûlée";
        QTest::addRow("%s: star is a wildcard", layout) << l << "Grand*Pie" << "Grandma's Apple Pie";
        QTest::addRow("%s: literal star found", layout) << l << "Star*" << "Five-Star* Chili";
        QTest::addRow("%s: apostrophe", layout) << l << "Grandma's" << "Grandma's Apple Pie";
        QTest::addRow("%s: lone apostrophe", layout) << l << "'" << "Shepherd's Pie";
        QTest::addRow("%s: trailing blank kept", layout) << l << "Chili " << "";
        QTest::addRow("%s: blank inside", layout) << l << "soda b" << "Soda Bread";
        QTest::addRow("%s: no match", layout) << l << "Lasagne" << "";
        QTest::addRow("%s: percent is not special", layout) << l << "%" << "";
    }
}

void TestCommands::find()
{
    QFETCH(QString, layout);
    QFETCH(QString, text);
    QFETCH(QString, found);
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(layoutNamed(layout), &rows);
    h.arrow(2);
    h.arrow(2); // on "Crème Brûlée"
    h.find(text);
    QCOMPARE(h.savedSearch(), text);
    QVERIFY(!h.pointer.isBusy());
    if (found.isEmpty()) {
        QCOMPARE(h.messages.shown.size(), 1);
        QCOMPARE(h.messages.shown[0].text, QStringLiteral("No record found."));
        QCOMPARE(h.messages.shown[0].title, QStringLiteral("Record not found"));
        QCOMPARE(h.messages.shown[0].icon, MessageIcon::Exclamation);
        QCOMPARE(h.box(1), QStringLiteral("Crème Brûlée"));
        QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 3 of 8"));
    } else {
        QVERIFY(h.messages.shown.isEmpty());
        QCOMPARE(h.box(1), found);
    }
}

void TestCommands::findTwiceLandsOnFirstMatch()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::full(), &rows);
    h.find(QStringLiteral("apple"));
    QCOMPARE(h.box(1), QStringLiteral("Grandma's Apple Pie"));
    h.find(QStringLiteral("apple"));
    QCOMPARE(h.box(1), QStringLiteral("Grandma's Apple Pie"));
}

void TestCommands::findCancelThenFindNext()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::full(), &rows);
    saveSearchText(h.settings, QStringLiteral("soup"));
    h.arrow(2);
    h.answerFind(QStringLiteral("soup"), RecipeHarness::Answer::Cancel);
    h.button(Command::Find)->click();
    QCOMPARE(h.findDialogsSeen, 1);
    QVERIFY(h.messages.shown.isEmpty());
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 2 of 8"));
    QCOMPARE(h.savedSearch(), QString()); // the earlier text is overwritten
    h.button(Command::FindNext)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].text, QStringLiteral("Click the find button to search the database"));
    QCOMPARE(h.messages.shown[0].title, QStringLiteral("No Search Data Specified"));
    QCOMPARE(h.messages.shown[0].icon, MessageIcon::Information);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 2 of 8"));
}

void TestCommands::findNextWithoutSavedText()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::compact(), &rows);
    h.button(Command::FindNext)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].title, QStringLiteral("No Search Data Specified"));
    QVERIFY(topLevelNamed(QStringLiteral("frmFind")));
    QVERIFY(topLevelNamed(QStringLiteral("frmFind"))->isHidden());
}

void TestCommands::findNextCycles()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(layoutNamed(layout), &rows);
    h.find(QStringLiteral("apple"));
    QStringList visited{h.box(1)};
    for (int i = 0; i < 4; ++i) {
        h.button(Command::FindNext)->click();
        visited << h.box(1);
    }
    QCOMPARE(visited, QStringList({"Grandma's Apple Pie", "Apple Slaw", "Grandma's Apple Pie", "Apple Slaw",
                                   "Grandma's Apple Pie"}));
    QVERIFY(h.messages.shown.isEmpty()); // wrapping says nothing
    QCOMPARE(h.findDialogsSeen, 1);
}

void TestCommands::findNextSingleMatchStays()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::full(), &rows);
    h.find(QStringLiteral("Leek"));
    h.button(Command::FindNext)->click();
    h.button(Command::FindNext)->click();
    QCOMPARE(h.box(1), QStringLiteral("Leek Soup"));
    QVERIFY(h.messages.shown.isEmpty());
}

void TestCommands::findNextStartsWhereUserMoved()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::full(), &rows);
    h.find(QStringLiteral("soup"));
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 8"));
    h.arrow(2);
    h.arrow(2);
    h.arrow(2);
    h.arrow(2);
    h.arrow(2);
    h.arrow(2);
    h.arrow(2); // past the last "soup"
    h.button(Command::FindNext)->click();
    QCOMPARE(h.box(1), QStringLiteral("Leek Soup")); // wrapped
    h.arrow(2);
    h.button(Command::FindNext)->click();
    QCOMPARE(h.box(1), QStringLiteral("Pumpkin soup"));
}

void TestCommands::findNextNoMatchAtAll()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::compact(), &rows);
    saveSearchText(h.settings, QStringLiteral("Lasagne"));
    h.arrow(3);
    h.button(Command::FindNext)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].text, QStringLiteral("No more records found. Click Find again to do another search."));
    QCOMPARE(h.messages.shown[0].title, QStringLiteral("End of Database."));
    QCOMPARE(h.messages.shown[0].icon, MessageIcon::Exclamation);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 8 of 8"));
    QVERIFY(!h.pointer.isBusy());
}

// After the last recipe was deleted, or in an empty table, there is no place to come back to.
void TestCommands::searchWithoutCurrentRecipe()
{
    RecipeHarness h;
    const auto rows = searchRows().mid(0, 1);
    h.open(RecipeLayout::full(), &rows);
    h.button(Command::Delete)->click();
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 0 of 0"));
    h.messages.shown.clear();
    h.find(QStringLiteral("leek"));
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].text, QStringLiteral("No record found."));
    h.button(Command::FindNext)->click();
    QCOMPARE(h.messages.shown.size(), 2);
    QCOMPARE(h.messages.shown[1].title, QStringLiteral("End of Database."));
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 0 of 0"));

    // With recipes but none current (the only match found from the first).
    RecipeHarness g;
    const auto more = searchRows();
    g.open(RecipeLayout::full(), &more);
    g.arrow(3);
    g.button(Command::Delete)->click(); // stands on the one before
    saveSearchText(g.settings, QStringLiteral("soup"));
    g.button(Command::FindNext)->click();
    QCOMPARE(g.box(1), QStringLiteral("Leek Soup"));
    QVERIFY(g.messages.shown.size() == 1); // only the delete confirmation
}

void TestCommands::findEveryField_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("fromBox");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("shown"); // the recipe shown afterwards
    QTest::addColumn<bool>("noMatch"); // told so
    const QString stays = QStringLiteral("Leek Pie");
    for (const char* layout : {"full", "compact"}) {
        const QString l = QString::fromLatin1(layout);
        QTest::addRow("%s: notes, accents and case", layout)
            << l << 6 << "creme BRULEE" << false << "Custard Tart" << false;
        QTest::addRow("%s: instructions, from the first", layout)
            << l << 0 << "bake" << false << "Soda Bread" << false;
        QTest::addRow("%s: no match", layout) << l << 4 << "Lasagne" << false << stays << true;
        QTest::addRow("%s: empty text", layout) << l << 1 << "" << false << stays << false;
        QTest::addRow("%s: cancelled", layout) << l << 3 << "bake" << true << stays << false;
    }
}

void TestCommands::findEveryField()
{
    QFETCH(QString, layout);
    QFETCH(int, fromBox);
    QFETCH(QString, text);
    QFETCH(bool, cancel);
    QFETCH(QString, shown);
    QFETCH(bool, noMatch);
    RecipeHarness h;
    const auto rows = everyFieldRows();
    h.open(layoutNamed(layout), &rows);
    h.arrow(3);
    h.arrow(1); // on "Leek Pie", which holds "bake" itself
    using Answer = RecipeHarness::Answer;
    QVERIFY(pressCtrlF(h, text, fromBox, cancel ? Answer::Cancel : Answer::Enter));
    QCOMPARE(h.findDialogsSeen, 1);
    QCOMPARE(h.box(1), shown);
    QVERIFY(!h.pointer.isBusy());
    QCOMPARE(FindDialog::savedText(h.settings, FindScope::EveryField), cancel ? QString() : text);
    QVERIFY(!h.settings.has(SavedSearchKey.app, SavedSearchKey.section, SavedSearchKey.name));
    QCOMPARE(h.messages.shown.size(), noMatch ? 1 : 0);
    if (noMatch) {
        QCOMPARE(h.messages.shown[0].text, QStringLiteral("No record found."));
        QCOMPARE(h.messages.shown[0].title, QStringLiteral("Record not found"));
        QCOMPARE(h.messages.shown[0].icon, MessageIcon::Exclamation);
    }
}

void TestCommands::findEveryFieldInEmptyCollection()
{
    RecipeHarness h;
    const QList<RecipeValues> none;
    h.open(RecipeLayout::full(), &none);
    h.find(QStringLiteral("leek"));
    QVERIFY(pressCtrlF(h, QStringLiteral("leek")));
    QCOMPARE(h.messages.shown.size(), 2);
    QCOMPARE(h.messages.shown[1].text, h.messages.shown[0].text);
    QCOMPARE(h.messages.shown[1].title, h.messages.shown[0].title);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 0 of 0"));
    QVERIFY(!h.pointer.isBusy());
}

void TestCommands::findNextContinuesLastSearch()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = everyFieldRows();
    h.open(layoutNamed(layout), &rows);
    QStringList visited;
    const auto next = [&](int times) {
        for (int i = 0; i < times; ++i) {
            h.button(Command::FindNext)->click();
            visited << h.box(1);
        }
    };
    h.find(QStringLiteral("leek"));
    visited << h.box(1);
    QVERIFY(pressCtrlF(h, QStringLiteral("bake")));
    visited << h.box(1);
    next(3);
    QCOMPARE(h.savedSearch(), QStringLiteral("leek"));
    h.find(QStringLiteral("leek"));
    visited << h.box(1);
    next(2);
    QCOMPARE(visited, QStringList({"Leek Soup", "Soda Bread", "Leek Pie", "Pound Cake", "Soda Bread", //
                                   "Leek Soup", "Leek Pie", "Leek Soup"}));
    QVERIFY(h.messages.shown.isEmpty());

    // A cancelled search is the last one all the same, with nothing saved: as after a cancelled Find.
    QVERIFY(pressCtrlF(h, QStringLiteral("bake"), 1, RecipeHarness::Answer::Cancel));
    h.button(Command::FindNext)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].text, QStringLiteral("Click the find button to search the database"));
    QCOMPARE(h.box(1), QStringLiteral("Leek Soup"));
}

// Nothing was ever saved under "Find", yet the section goes.
void TestCommands::unloadForgetsEveryFieldText()
{
    RecipeHarness h;
    const auto rows = everyFieldRows();
    h.open(RecipeLayout::compact(), &rows);
    QVERIFY(pressCtrlF(h, QStringLiteral("bake")));
    h.button(Command::Close)->click();
    QCOMPARE(h.ended, 1);
    QVERIFY(!h.settings.hasSection(SavedSearchKey.app, SavedSearchKey.section));
}

void TestCommands::findField_data()
{
    QTest::addColumn<int>("startAt");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("landsAt");
    QTest::newRow("whole value") << 0 << "Soda Bread" << "RecipeName" << true << 3;
    QTest::newRow("part of a value needs stars") << 0 << "Soda" << "RecipeName" << false << 0;
    QTest::newRow("next after current") << 1 << "*apple*" << "RecipeName" << true << 4;
    QTest::newRow("wraps to the first") << 6 << "*soup*" << "RecipeName" << true << 0;
    QTest::newRow("after the last match wraps") << 7 << "Desserts" << "FoodCategoryID" << true << 2;
    QTest::newRow("no match stays") << 5 << "*Lasagne*" << "RecipeName" << false << 5;
    QTest::newRow("unknown field") << 2 << "*" << "Colour" << false << 2;
    QTest::newRow("bracketed field with a blank") << 0 << "*" << "[Recipe Description]" << false << 0;
}

void TestCommands::findField()
{
    QFETCH(int, startAt);
    QFETCH(QString, pattern);
    QFETCH(QString, field);
    QFETCH(bool, result);
    QFETCH(int, landsAt);
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::full(), &rows);
    for (int i = 0; i < startAt; ++i)
        h.arrow(2);
    QCOMPARE(h.window->FindField(pattern, field), result);
    QCOMPARE(h.session()->position(), landsAt);
    QVERIFY(h.messages.shown.isEmpty());
    QVERIFY(!h.pointer.isBusy());
}

void TestCommands::pointerIsDefaultAfterEveryCommand()
{
    RecipeHarness h;
    const auto rows = searchRows();
    h.open(RecipeLayout::full(), &rows);
    h.find(QStringLiteral("apple"));
    QVERIFY(!h.pointer.isBusy());
    h.button(Command::FindNext)->click();
    QVERIFY(!h.pointer.isBusy());
    h.find(QStringLiteral("nothing here"));
    QVERIFY(!h.pointer.isBusy());
    h.button(Command::New)->click();
    QVERIFY(!h.pointer.isBusy());
    h.type(1, QStringLiteral("x"));
    h.button(Command::Update)->click();
    QVERIFY(!h.pointer.isBusy());
    h.button(Command::Delete)->click();
    QVERIFY(!h.pointer.isBusy());
    h.button(Command::Refresh)->click();
    QVERIFY(!h.pointer.isBusy());
    QVERIFY(h.pointer.changes > 0);
}

void TestCommands::printCurrentRecipe()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    QVERIFY(!topLevelNamed(QStringLiteral("frmCopyTxt"))); // made on the first print only
    h.button(Command::Print)->click();
    QCOMPARE(h.printer.pages.size(), 1);
    QWidget* copy = topLevelNamed(QStringLiteral("frmCopyTxt"));
    QVERIFY(copy);
    QVERIFY(!copy->isVisible());
    QCOMPARE(copy->findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral("Recipe 1"));
    QCOMPARE(copy->findChild<QPlainTextEdit*>(QStringLiteral("Text3"))->toPlainText(), QStringLiteral("1 cups water\n1 onion"));
    QVERIFY(!copy->findChild<QPlainTextEdit*>(QStringLiteral("Text5"))->isHidden()); // Recipe 1 has notes
    QCOMPARE(copy->findChild<QPlainTextEdit*>(QStringLiteral("Text5"))->toPlainText(), QStringLiteral("Note 1"));
    h.arrow(2);
    h.button(Command::Print)->click();
    QCOMPARE(h.printer.pages.size(), 2);
    QCOMPARE(topLevelNamed(QStringLiteral("frmCopyTxt")), copy); // the same window, refilled
    QCOMPARE(copy->findChild<QLineEdit*>(QStringLiteral("Text2"))->text(), QStringLiteral("Recipe 2"));
    QVERIFY(copy->findChild<QPlainTextEdit*>(QStringLiteral("Text5"))->isHidden());
    QVERIFY(copy->findChild<QLabel*>(QStringLiteral("Label5"))->isHidden());
    QVERIFY(h.messages.shown.isEmpty());
    // The two pages differ where the recipes differ.
    QVERIFY(h.printer.pages[0] != h.printer.pages[1]);
}

void TestCommands::printWithoutRecipe()
{
    RecipeHarness h;
    const QList<RecipeValues> none;
    h.open(RecipeLayout::compact(), &none);
    h.button(Command::Print)->click();
    QVERIFY(h.printer.pages.isEmpty());
    QCOMPARE(h.messages.shown.size(), 1);
    QVERIFY(h.messages.shown[0].text.contains(QStringLiteral("no recipe"), Qt::CaseInsensitive));
}

void TestCommands::aboutShowsOneWindow()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    h.button(Command::About)->click();
    QWidget* about = topLevelNamed(QStringLiteral("frmAbout"));
    QVERIFY(about);
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("About Veltrane's Pantrio"));
    h.button(Command::About)->click();
    QCOMPARE(topLevelNamed(QStringLiteral("frmAbout")), about);
    int abouts = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        abouts += qobject_cast<AboutWindow*>(w) && w->isVisible();
    QCOMPARE(abouts, 1);
    // The recipe window stays usable while About is open.
    h.arrow(2);
    QCOMPARE(h.box(1), QStringLiteral("Recipe 2"));
    about->close();
    QTRY_VERIFY(!topLevelNamed(QStringLiteral("frmAbout")));
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
