#include "store/CollectionAddress.h"
#include "support/RecipeHarness.h"

#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

namespace {

// Runs `answer` on the next modal dialog or popup menu the window opens, then closes it.
void onNextWindow(const std::function<void(QWidget*)>& answer, int attempts = 100)
{
    QTimer::singleShot(10, [answer, attempts] {
        QWidget* w = QApplication::activePopupWidget();
        if (!w)
            w = QApplication::activeModalWidget();
        if (!w) {
            if (attempts > 0)
                onNextWindow(answer, attempts - 1);
            return;
        }
        answer(w);
        if (w->isVisible())
            w->close();
    });
}

// Right-clicks `target`, as a mouse would.
void rightClick(QWidget* target)
{
    const QPoint at = target->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QCoreApplication::sendEvent(target, &event);
}

// Keys reach only the active window.
bool activate(RecipeHarness& h)
{
    h.window->activateWindow();
    return QTest::qWaitForWindowActive(h.window.get());
}

QStringList entryNames(const QWidget* menu)
{
    QStringList names;
    for (const QAction* a : menu->actions())
        if (a->objectName().endsWith(QLatin1String("Entry")))
            names << a->objectName();
    return names;
}

const QStringList AllEntries = {QStringLiteral("recipeListEntry"),
                                QStringLiteral("findEveryFieldEntry"),
                                QStringLiteral("importEntry"),
                                QStringLiteral("exportEntry"),
                                QStringLiteral("useSharedCollectionEntry"),
                                QStringLiteral("useLocalCollectionEntry"),
                                QStringLiteral("restoreBackupEntry"),
                                QStringLiteral("keysEntry")};

} // namespace

class TestMenu : public QObject
{
    Q_OBJECT

private slots:
    void menuOpensEverywhere_data();
    void menuOpensEverywhere();
    void entriesReachTheirCommands_data();
    void entriesReachTheirCommands();
    void exportSavesTheEditThenRestoreTakesItBack();
    void choosingFromTheListKeepsTheEdit();
    void sharedCollectionComesAndGoes();
};

void TestMenu::menuOpensEverywhere_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("editMenu");
    for (const char* layout : {"full", "compact"}) {
        QTest::addRow("%s, label", layout) << layout << "Label2" << false;
        QTest::addRow("%s, record bar", layout) << layout << "caption" << false;
        QTest::addRow("%s, one-line box", layout) << layout << "Text2" << true;
        QTest::addRow("%s, many-line box", layout) << layout << "Text5" << true;
    }
}

void TestMenu::menuOpensEverywhere()
{
    QFETCH(QString, layout);
    QFETCH(QString, target);
    QFETCH(bool, editMenu);
    RecipeHarness h;
    const auto rows = sampleRows(3);
    h.open(layoutNamed(layout), &rows);
    QWidget* widget = h.window->findChild<QWidget*>(target);
    QVERIFY(widget);
    if (auto* multi = qobject_cast<QPlainTextEdit*>(widget))
        widget = multi->viewport(); // where a click lands
    QStringList entries;
    int others = -1;
    onNextWindow([&](QWidget* menu) {
        entries = entryNames(menu);
        others = int(menu->actions().size()) - int(entries.size());
    });
    rightClick(widget);
    QCOMPARE(entries, AllEntries);
    // A box keeps its own edit menu (Undo, Cut, Copy... and a separator) above the entries.
    QCOMPARE(others > 1, editMenu);
}

void TestMenu::entriesReachTheirCommands_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<QString>("opens"); // the window the entry opens
    for (const char* layout : {"full", "compact"}) {
        QTest::addRow("%s, Ctrl+F", layout) << layout << QKeySequence(Qt::CTRL | Qt::Key_F) << "frmFind";
        QTest::addRow("%s, Ctrl+I", layout)
            << layout << QKeySequence(Qt::CTRL | Qt::Key_I) << "importDialog";
        QTest::addRow("%s, Ctrl+E", layout)
            << layout << QKeySequence(Qt::CTRL | Qt::Key_E) << "exportDialog";
        QTest::addRow("%s, F1", layout) << layout << QKeySequence(Qt::Key_F1) << "keysWindow";
        QTest::addRow("%s, Ctrl+L", layout)
            << layout << QKeySequence(Qt::CTRL | Qt::Key_L) << "frmRecipeList";
        QTest::addRow("%s, Shift+F10", layout) << layout << QKeySequence(Qt::SHIFT | Qt::Key_F10) << "";
    }
}

void TestMenu::entriesReachTheirCommands()
{
    QFETCH(QString, layout);
    QFETCH(QKeySequence, key);
    QFETCH(QString, opens);
    RecipeHarness h;
    const auto rows = sampleRows(3);
    h.open(layoutNamed(layout), &rows);
    QVERIFY(activate(h));
    h.textBox(4)->setFocus(); // keys work from inside a box too
    if (opens == QLatin1String("keysWindow") || opens == QLatin1String("frmRecipeList")) { // not modal
        QTest::keySequence(h.textBox(4), key);
        QWidget* keys = h.window->findChild<QWidget*>(opens);
        QVERIFY(keys && keys->isVisible());
        keys->close();
        return;
    }
    QString opened = QStringLiteral("nothing");
    onNextWindow([&](QWidget* w) { opened = qobject_cast<QMenu*>(w) ? QString() : w->objectName(); });
    QTest::keySequence(h.textBox(4), key);
    QTRY_COMPARE(opened, opens);
}

// Export saves what was typed first, as a move does; a backup then takes the collection back to
// the copy made before that first change, and keeps the changed file aside.
void TestMenu::exportSavesTheEditThenRestoreTakesItBack()
{
    RecipeHarness h;
    const auto rows = sampleRows(4);
    h.open(RecipeLayout::full(), &rows);
    QVERIFY(activate(h));
    h.type(1, QStringLiteral("Renamed Soup"));
    const QString file = h.dir.filePath(QStringLiteral("out.mmf"));
    onNextWindow([&](QWidget* dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("exportDialog"));
        dialog->findChild<QLineEdit*>(QStringLiteral("txtFile"))->setText(file);
        dialog->findChild<QPushButton*>(QStringLiteral("cmdExport"))->click();
    });
    QTest::keySequence(h.textBox(0), QKeySequence(Qt::CTRL | Qt::Key_E));
    QTRY_VERIFY(QFileInfo::exists(file));
    QFile exported(file);
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QVERIFY(exported.readAll().contains("Renamed Soup"));
    QCOMPARE(h.messages.shown.last().text, QStringLiteral("Exported 4 recipe(s) to \"%1\".").arg(file));

    h.type(1, QStringLiteral("Renamed Again"));
    QString dialogName;
    onNextWindow([&](QWidget* menu) {
        onNextWindow([&](QWidget* dialog) {
            dialogName = dialog->objectName();
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::keyClick(menu, Qt::Key_R);
    });
    rightClick(h.label(0));
    QTRY_VERIFY(h.messages.shown.last().text.startsWith(QStringLiteral("The recipe file is now the copy")));
    QCOMPARE(dialogName, QStringLiteral("restoreBackupDialog"));
    QCOMPARE(h.box(1), QStringLiteral("Recipe 1")); // as before the first change
    QCOMPARE(h.session()->count(), 4);
    const QStringList kept =
        QDir(h.dir.path()).entryList({QStringLiteral("Savorix (before restore *).mdb")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    // What was typed last was saved into the file now kept aside, not lost.
    auto old = RecordCursor::open(h.dir.filePath(kept.first()), {OpenMode::Shared, 200});
    QCOMPARE(old->field(Field::RecipeName), FieldValue(QStringLiteral("Renamed Again")));
}

// The list's choice goes through the same path as a move: what was typed is saved first.
void TestMenu::choosingFromTheListKeepsTheEdit()
{
    RecipeHarness h;
    const auto rows = sampleRows(12);
    h.open(RecipeLayout::full(), &rows);
    QVERIFY(activate(h));
    h.type(6, QStringLiteral("Keep this note"));
    QTest::keySequence(h.textBox(6), QKeySequence(Qt::CTRL | Qt::Key_L));
    auto* list = h.window->findChild<QWidget*>(QStringLiteral("frmRecipeList"));
    QVERIFY(list && list->isVisible());
    auto* filter = list->findChild<QLineEdit*>(QStringLiteral("txtFilter"));
    QVERIFY(filter);
    QTest::keyClicks(filter, QStringLiteral("Recipe 11"));
    QTRY_COMPARE(list->findChild<QLabel*>(QStringLiteral("lblCount"))->text().left(2), QStringLiteral("1 "));
    QTest::keyClick(filter, Qt::Key_Return);
    QTRY_COMPARE(h.box(1), QStringLiteral("Recipe 11"));
    QCOMPARE(h.session()->position(), 10);
    h.session()->moveFirst({});
    QCOMPARE(h.box(6), QStringLiteral("Keep this note"));
}

// Chosen from the menu, a shared collection is tested, opened and remembered; the window then
// goes back to the file, with the edit typed before leaving it saved there.
void TestMenu::sharedCollectionComesAndGoes()
{
    const QString server = test::newServerDatabase();
    if (server.isEmpty())
        QSKIP("PANTRIO_TEST_POSTGRES is not set");
    RecipeHarness h;
    const auto rows = sampleRows(4);
    h.open(RecipeLayout::full(), &rows);
    h.type(1, QStringLiteral("Typed Before Leaving"));
    onNextWindow([&](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("addressBox"))->setText(server);
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    h.window->findChild<QAction*>(QStringLiteral("useSharedCollectionEntry"))->trigger();
    QCOMPARE(h.session()->location(), server);
    QCOMPARE(h.session()->count(), 0);
    QCOMPARE(h.settings.values.value(QStringLiteral("Pantrio/Shared Collection/Address")),
             withoutPassword(server));

    h.window->findChild<QAction*>(QStringLiteral("useLocalCollectionEntry"))->trigger();
    QCOMPARE(h.session()->location(), h.path());
    QCOMPARE(h.session()->count(), 4);
    QCOMPARE(h.box(1), QStringLiteral("Typed Before Leaving"));
    QVERIFY(!h.settings.hasSection(QStringLiteral("Pantrio"), QStringLiteral("Shared Collection")));
}

QTEST_MAIN(TestMenu)
#include "tst_menu.moc"
