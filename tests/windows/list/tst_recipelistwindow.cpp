#include "app/RecipeList.h"
#include "support/RecipeHarness.h"
#include "windows/list/RecipeListWindow.h"

#include <QAccessible>
#include <QHeaderView>
#include <QSignalSpy>
#include <QTableView>

using namespace pantrio;
using namespace pantrio::test;

namespace {

// A list window on its own over a session, as the recipe window opens it.
struct ListFixture : RecipeHarness
{
    ListFixture() : session(OpenMode::Shared)
    {
        makeRecipeFile(dir.path(), sampleRows(12));
        session.open(path());
    }
    std::unique_ptr<RecipeListWindow> openList()
    {
        auto list = std::make_unique<RecipeListWindow>(session, services);
        list->show();
        return list;
    }
    RecipeSession session;
};

QTableView* viewOf(QWidget* w)
{
    return w->findChild<QTableView*>(QStringLiteral("lstRecipes"));
}

QLineEdit* filterOf(QWidget* w)
{
    return w->findChild<QLineEdit*>(QStringLiteral("txtFilter"));
}

bool settled(RecipeSession& session)
{
    return session.recipeList()->isLoaded() && !session.recipeList()->isFiltering();
}

} // namespace

class TestRecipeListWindow : public QObject
{
    Q_OBJECT
private slots:
    void typingSelectsTheFirstMatchAndEnterChoosesIt();
    void remembersItsPlaceAndSortColumn();
};

void TestRecipeListWindow::typingSelectsTheFirstMatchAndEnterChoosesIt()
{
    ListFixture f;
    auto window = f.openList();
    QTRY_VERIFY(settled(f.session));
    QTableView* view = viewOf(window.get());
    QCOMPARE(view->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Preperation Time"));
    QSignalSpy chosen(window.get(), &RecipeListWindow::recipeChosen);

    QTest::keyClicks(filterOf(window.get()), QStringLiteral("RECIPE 1"));
    QTRY_VERIFY(settled(f.session));
    // Recipe 1, 10, 11, 12 by name; the first is selected, Down moves on from the box.
    QCOMPARE(view->model()->rowCount(), 4);
    QCOMPARE(view->currentIndex().row(), 0);
    QTest::keyClick(filterOf(window.get()), Qt::Key_Down);
    QCOMPARE(view->currentIndex().row(), 1);
    QCOMPARE(view->model()->data(view->currentIndex(), Qt::AccessibleTextRole).toString(),
             QStringLiteral("Recipe 10, Soups, "));
    QTest::keyClick(filterOf(window.get()), Qt::Key_Return);
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(chosen.at(0).at(0).toLongLong(), 10);
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("lblCount"))->text(),
             QStringLiteral("4 of 12 recipes"));

    QTest::keyClick(filterOf(window.get()), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
}

void TestRecipeListWindow::remembersItsPlaceAndSortColumn()
{
    ListFixture f;
    {
        auto window = f.openList();
        window->setGeometry(40, 50, 420, 330);
        viewOf(window.get())->horizontalHeader()->sectionClicked(1);
        window->close();
    }
    auto window = f.openList();
    QCOMPARE(window->size(), QSize(420, 330));
    QCOMPARE(viewOf(window.get())->horizontalHeader()->sortIndicatorSection(), 1);
    QCOMPARE(f.session.recipeList()->sortColumn(), RecipeList::Column::Category);
}

QTEST_MAIN(TestRecipeListWindow)
#include "tst_recipelistwindow.moc"
