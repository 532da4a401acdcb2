#include "support/RecipeHarness.h"

#include "windows/about/AboutWindow.h"
#include "windows/find/FindDialog.h"
#include "store/RecordCursor.h"

#include <QLabel>
#include <QProcess>
#include <QToolButton>

#include <unistd.h>

using namespace pantrio;
using namespace pantrio::test;

namespace {

struct Expected
{
    const char* name;
    const char* caption; // label or button caption; field name for a box
    QRect pixels;
    int tabIndex;
    const char* toolTip;
};

// The two windows as a user sees them, in pixels.
const QList<Expected> FullControls = {
    {"Label1", "Food Category", {8, 16, 81, 17}, 0, ""},
    {"Label2", "Recipe Name", {8, 48, 89, 17}, 2, ""},
    {"Label3", "Recipe Description", {8, 80, 97, 17}, 4, ""},
    {"Label4", "Preperation Time", {8, 112, 89, 17}, 6, ""},
    {"Label5", "Ingredients", {8, 144, 105, 17}, 8, ""},
    {"Label6", "Cooking Instruction's", {8, 264, 105, 17}, 10, ""},
    {"Label7", "Additional Notes", {8, 368, 105, 17}, 12, ""},
    {"Text1", "FoodCategoryID", {120, 16, 105, 25}, 1, ""},
    {"Text2", "RecipeName", {120, 48, 273, 25}, 3, ""},
    {"Text3", "Recipe Description", {120, 80, 273, 25}, 5, ""},
    {"Text4", "TimeToPrepare", {120, 112, 97, 25}, 7, ""},
    {"Text5", "Ingredients", {120, 144, 313, 113}, 9, ""},
    {"Text6", "Instructions", {120, 264, 409, 97}, 11, ""},
    {"Text7", "Notes", {120, 368, 409, 65}, 13, ""},
    {"cmdNew", "&Add New", {144, 448, 73, 25}, 14, "Add a new recipe to the database."},
    {"cmdDelete", "&Delete", {224, 448, 73, 25}, 16, "Remove current recipe from the database."},
    {"cmdRefresh", "&Refresh", {304, 448, 73, 25}, 15, "Refresh the database."},
    {"cmdUpdate", "&Update", {384, 448, 73, 25}, 18, "Update the database after adding a new recipe."},
    {"Command1", "Print", {144, 480, 73, 25}, 22, "Send this recipe to the printer."},
    {"cmdFind", "&Find Recipe", {224, 480, 73, 25}, 19, "Find a recipe."},
    {"cmdFindNext", "Find &Next", {304, 480, 73, 25}, 21, "Find next match"},
    {"cmdClose", "&Close", {384, 480, 73, 25}, 17, "Exit Program"},
    {"cmdAbout", "&About", {464, 480, 65, 25}, 23, "About Pantrio"},
    {"Data1", "Recipe Number", {192, 512, 228, 23}, -1, "Click on the arrows to go to next, or previous recipe."},
};

const QList<Expected> CompactControls = {
    {"Label1", "Food Category", {8, 8, 89, 17}, 0, ""},
    {"Label2", "Recipe Name", {8, 32, 97, 17}, 2, ""},
    {"Label3", "Recipe Description", {8, 64, 97, 17}, 4, ""},
    {"Label4", "Time to Prepare", {8, 96, 89, 17}, 6, ""},
    {"Label5", "Ingredients", {8, 136, 89, 17}, 8, ""},
    {"Label6", "Instruction's", {8, 248, 89, 17}, 10, ""},
    {"Label7", "Additional Notes", {8, 336, 81, 17}, 12, ""},
    {"Text1", "FoodCategoryID", {104, 0, 97, 25}, 1, ""},
    {"Text2", "RecipeName", {104, 32, 233, 25}, 3, ""},
    {"Text3", "Recipe Description", {104, 64, 265, 25}, 5, ""},
    {"Text4", "TimeToPrepare", {104, 96, 97, 25}, 7, ""},
    {"Text5", "Ingredients", {104, 128, 193, 113}, 9, ""},
    {"Text6", "Instructions", {104, 248, 401, 81}, 11, ""},
    {"Text7", "Notes", {104, 336, 401, 49}, 13, ""},
    {"cmdNew", "&Add New", {320, 96, 57, 25}, 14, ""},
    {"cmdDelete", "&Delete", {384, 96, 57, 25}, 15, ""},
    {"cmdRefresh", "&Refresh", {448, 96, 57, 25}, 16, ""},
    {"cmdUpdate", "&Update", {320, 128, 57, 25}, 17, ""},
    {"cmdFind", "&Find", {384, 128, 57, 25}, 18, ""},
    {"cmdFindNext", "Find &Next", {448, 128, 57, 25}, 19, ""},
    {"cmdPrintfrm", "&Print", {320, 160, 57, 25}, 20, ""},
    {"cmdAbout", "A&bout", {384, 160, 57, 25}, 21, ""},
    {"cmdClose", "&Close", {448, 160, 57, 25}, 22, ""},
    {"Data1", "Recipe Number", {320, 200, 209, 23}, -1, ""},
};

} // namespace

class TestRecipeWindow : public QObject
{
    Q_OBJECT
private slots:
    void controls_data();
    void controls();
    void windowProperties_data();
    void windowProperties();
    void tabOrderSkipsLabels_data();
    void tabOrderSkipsLabels();
    void colours();
    void enterKey_data();
    void enterKey();
    void accessKeys_data();
    void accessKeys();
    void escapeDoesNothing_data() { navigation_data(); }
    void escapeDoesNothing();

    void navigation_data();
    void navigation();
    void recordKeys_data();
    void recordKeys();
    void emptyTable();
    void editSavedOnMove();
    void editSavedOnClose();
    void unchangedBoxIsNotWritten();
    void longValuesRoundTrip_data();
    void longValuesRoundTrip();
    void pointerAfterEveryMove();
    void positionDisplayKeepsTextWithoutCursor();

    void unload_data();
    void unload();
    void closeByWindowManagerUnloads();

    void findDialogReopensEmpty();

    void unusableFile_data();
    void unusableFile();
    void saveFailureKeepsTypedText();
    void unsavableEditWayOut_data();
    void unsavableEditWayOut();
    void typedBackIsNoEdit_data();
    void typedBackIsNoEdit();
    void readOnlyFileLetsCloseWithoutSaving();
    void backupFailureToldOnce();
};

void TestRecipeWindow::controls_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QString>("toolTip");
    for (const auto& [layout, list] : {std::pair{"full", &FullControls}, std::pair{"compact", &CompactControls}})
        for (const Expected& e : *list)
            QTest::addRow("%s %s", layout, e.name) << QString::fromLatin1(layout) << e.name << QString::fromUtf8(e.caption)
                                                   << e.pixels << QString::fromUtf8(e.toolTip);
}

void TestRecipeWindow::controls()
{
    QFETCH(QString, layout);
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, pixels);
    QFETCH(QString, toolTip);
    RecipeHarness h;
    RecipeWindow w(layoutNamed(layout), h.services);
    auto* control = w.findChild<QWidget*>(name);
    QVERIFY2(control, qPrintable(name));
    QCOMPARE(control->parentWidget(), &w); // no containers
    QCOMPARE(control->geometry(), pixels);
    QCOMPARE(control->toolTip(), toolTip);
    if (auto* label = qobject_cast<QLabel*>(control)) {
        QCOMPARE(label->text(), caption);
        QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    } else if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), caption);
    } else if (auto* bar = qobject_cast<RecordBar*>(control)) {
        QCOMPARE(bar->findChild<QLabel*>(QStringLiteral("caption"))->text(), caption);
        QCOMPARE(bar->focusPolicy(), Qt::NoFocus);
        const auto arrows = bar->findChildren<QToolButton*>();
        QCOMPARE(arrows.size(), 4);
        for (QToolButton* arrow : arrows)
            QCOMPARE(arrow->focusPolicy(), Qt::NoFocus);
    } else {
        // A bound box: its field is the one the layout row names.
        const int box = name.mid(4).toInt() - 1;
        QCOMPARE(columnName(layoutNamed(layout).boxes[size_t(box)].field), caption.toLatin1());
        QCOMPARE(qobject_cast<QPlainTextEdit*>(control) != nullptr, box >= 4);
        if (auto* multi = qobject_cast<QPlainTextEdit*>(control))
            QCOMPARE(multi->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    }
}

void TestRecipeWindow::windowProperties_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("initialCaption");
    QTest::addColumn<QSize>("client");
    QTest::addColumn<bool>("closeButton");
    QTest::addColumn<QString>("defaultButton");
    QTest::newRow("full") << "full" << "recMain" << "Veltrane's Pantrio" << QSize(558, 543) << false << "cmdFind";
    QTest::newRow("compact") << "compact" << "frm640x480" << "Form1" << QSize(600, 417) << true << "";
}

void TestRecipeWindow::windowProperties()
{
    QFETCH(QString, layout);
    QFETCH(QString, objectName);
    QFETCH(QString, initialCaption);
    QFETCH(QSize, client);
    QFETCH(bool, closeButton);
    QFETCH(QString, defaultButton);
    RecipeHarness h;
    RecipeWindow w(layoutNamed(layout), h.services);
    QCOMPARE(w.objectName(), objectName);
    QCOMPARE(w.windowTitle(), initialCaption);
    QCOMPARE(w.size(), client);
    QCOMPARE(w.minimumSize(), client);
    QCOMPARE(w.maximumSize(), client);
    const Qt::WindowFlags f = w.windowFlags();
    QVERIFY(!(f & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(f & Qt::WindowMaximizeButtonHint));
    QCOMPARE(bool(f & Qt::WindowCloseButtonHint), closeButton);
    QCOMPARE(w.font().family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(w.font().pointSizeF(), 8.25);
    QStringList defaults;
    for (auto* b : w.findChildren<QPushButton*>())
        if (b->isDefault())
            defaults << b->objectName();
    QCOMPARE(defaults.join(','), defaultButton);

    h.open(layoutNamed(layout), nullptr);
    QCOMPARE(h.window->windowTitle(), QStringLiteral("Veltrane's Pantrio   Version: 2.4"));
}

void TestRecipeWindow::tabOrderSkipsLabels_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("full") << "full"
                          << QStringList{"Text1",     "Text2",      "Text3",    "Text4",   "Text5",
                                         "Text6",     "Text7",      "cmdNew",   "cmdRefresh", "cmdDelete",
                                         "cmdClose",  "cmdUpdate",  "cmdFind",  "cmdFindNext", "Command1",
                                         "cmdAbout",  "Text1"};
    QTest::newRow("compact") << "compact"
                             << QStringList{"Text1",     "Text2",       "Text3",       "Text4",    "Text5",
                                            "Text6",     "Text7",       "cmdNew",      "cmdDelete", "cmdRefresh",
                                            "cmdUpdate", "cmdFind",     "cmdFindNext", "cmdPrintfrm", "cmdAbout",
                                            "cmdClose",  "Text1"};
}

void TestRecipeWindow::tabOrderSkipsLabels()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, order);
    RecipeHarness h;
    h.open(layoutNamed(layout), nullptr);
    h.messages.shown.clear();
    QApplication::setActiveWindow(h.window.get());
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("Text1"));
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, order);
}

void TestRecipeWindow::colours()
{
    RecipeHarness h;
    h.open(RecipeLayout::full(), nullptr);
    QCOMPARE(h.label(0)->palette().color(QPalette::WindowText), QColor(0, 255, 255));
    QCOMPARE(h.textBox(0)->palette().color(QPalette::Text), QColor(255, 0, 0));
    for (int i = 1; i < 7; ++i)
        QCOMPARE(h.textBox(i)->palette().color(QPalette::Text), QColor(0, 0, 192));
    QCOMPARE(h.recordBar()->palette().color(QPalette::Window), QColor(Qt::white));
    QCOMPARE(h.recordBar()->palette().color(QPalette::WindowText), QColor(0, 0, 192));

    RecipeHarness g;
    g.open(RecipeLayout::compact(), nullptr);
    const QPalette standard = QApplication::palette();
    QCOMPARE(g.label(0)->palette().color(QPalette::WindowText), standard.color(QPalette::WindowText));
    QCOMPARE(g.textBox(0)->palette().color(QPalette::Text), standard.color(QPalette::Text));
}

// Enter belongs to the full window's default button, in every box; the compact window has none.
void TestRecipeWindow::enterKey_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("box");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("opensFind");
    QTest::addColumn<QString>("typed"); // what the box then holds
    QTest::newRow("full, one-line box") << "full" << 1 << Qt::KeyboardModifiers() << true << "Recipe 1";
    QTest::newRow("full, multi-line box") << "full" << 4 << Qt::KeyboardModifiers() << true << "1 cups water\n1 onion";
    QTest::newRow("full, ctrl+enter breaks the line")
        << "full" << 4 << Qt::KeyboardModifiers(Qt::ControlModifier) << false << "\n1 cups water\n1 onion";
    QTest::newRow("compact, multi-line box") << "compact" << 5 << Qt::KeyboardModifiers() << false << "\nBoil.\nServe.";
    QTest::newRow("compact, one-line box") << "compact" << 0 << Qt::KeyboardModifiers() << false << "Soups";
}

void TestRecipeWindow::enterKey()
{
    QFETCH(QString, layout);
    QFETCH(int, box);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, opensFind);
    QFETCH(QString, typed);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    QWidget* w = h.textBox(box);
    w->setFocus();
    if (auto* multi = qobject_cast<QPlainTextEdit*>(w))
        multi->moveCursor(QTextCursor::Start);
    if (opensFind)
        h.answerFind(QString(), RecipeHarness::Answer::Escape);
    QTest::keyClick(w, Qt::Key_Return, modifiers);
    QCOMPARE(h.findDialogsSeen, opensFind ? 1 : 0);
    QCOMPARE(h.box(box), typed);
}

void TestRecipeWindow::accessKeys_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("effect");
    QTest::newRow("full Alt+D") << "full" << int(Qt::Key_D) << "delete asked";
    QTest::newRow("full Alt+U") << "full" << int(Qt::Key_U) << "saved";
    QTest::newRow("full Alt+R") << "full" << int(Qt::Key_R) << "first";
    QTest::newRow("full Alt+N") << "full" << int(Qt::Key_N) << "no search text";
    QTest::newRow("full Alt+F") << "full" << int(Qt::Key_F) << "find dialog";
    QTest::newRow("full Alt+C") << "full" << int(Qt::Key_C) << "ended";
    QTest::newRow("full Alt+P has no button") << "full" << int(Qt::Key_P) << "nothing";
    QTest::newRow("compact Alt+A") << "compact" << int(Qt::Key_A) << "adding";
    QTest::newRow("compact Alt+B") << "compact" << int(Qt::Key_B) << "about";
    QTest::newRow("compact Alt+P") << "compact" << int(Qt::Key_P) << "printed";
    QTest::newRow("compact Alt+F") << "compact" << int(Qt::Key_F) << "find dialog";
    QTest::newRow("compact Alt+C") << "compact" << int(Qt::Key_C) << "ended";
}

void TestRecipeWindow::accessKeys()
{
    QFETCH(QString, layout);
    QFETCH(int, key);
    QFETCH(QString, effect);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    h.arrow(2);
    QApplication::setActiveWindow(h.window.get());
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    h.messages.answers.push_back(MessageAnswer::Cancel);
    if (effect == QLatin1String("find dialog"))
        h.answerFind(QString(), RecipeHarness::Answer::Escape);
    if (effect == QLatin1String("saved"))
        h.type(3, QStringLiteral("7 minutes"));
    h.textBox(0)->setFocus();
    // Through the window, as the platform delivers keys, so that shortcuts take part.
    QTest::keyClick(h.window->windowHandle(), Qt::Key(key), Qt::AltModifier);
    QTest::qWait(400); // a button pressed by its access key clicks after a short animation
    const auto said = [&](const QString& words) {
        return h.messages.shown.size() == 1 && h.messages.shown[0].text.contains(words);
    };
    if (effect == QLatin1String("delete asked"))
        QVERIFY(said(QStringLiteral("permently")));
    else if (effect == QLatin1String("saved"))
        QCOMPARE(h.session()->value(Field::TimeToPrepare), FieldValue(QStringLiteral("7 minutes")));
    else if (effect == QLatin1String("first"))
        QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 12"));
    else if (effect == QLatin1String("no search text"))
        QVERIFY(said(QStringLiteral("Click the find button")));
    else if (effect == QLatin1String("find dialog"))
        QCOMPARE(h.findDialogsSeen, 1);
    else if (effect == QLatin1String("ended"))
        QCOMPARE(h.ended, 1);
    else if (effect == QLatin1String("adding"))
        QVERIFY(h.session()->isAdding());
    else if (effect == QLatin1String("about"))
        QVERIFY(topLevelNamed(QStringLiteral("frmAbout")));
    else if (effect == QLatin1String("printed"))
        QCOMPARE(h.printer.pages.size(), 1);
    else {
        QVERIFY(h.messages.shown.isEmpty());
        QCOMPARE(h.printer.pages.size(), 0);
        QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 2 of 12"));
    }
    if (topLevelNamed(QStringLiteral("frmAbout")))
        topLevelNamed(QStringLiteral("frmAbout"))->close();
}

void TestRecipeWindow::escapeDoesNothing()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    QApplication::setActiveWindow(h.window.get());
    h.type(1, QStringLiteral("Typed"));
    QTest::keyClick(h.textBox(1), Qt::Key_Escape);
    QTest::keyClick(h.button(Command::New), Qt::Key_Escape);
    QVERIFY(h.window->isVisible());
    QCOMPARE(h.box(1), QStringLiteral("Typed"));
    QCOMPARE(h.ended, 0);
    QVERIFY(h.messages.shown.isEmpty());
}

void TestRecipeWindow::navigation_data()
{
    QTest::addColumn<QString>("layout");
    QTest::newRow("full") << "full";
    QTest::newRow("compact") << "compact";
}

void TestRecipeWindow::navigation()
{
    QFETCH(QString, layout);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 12"));
    QCOMPARE(h.box(1), QStringLiteral("Recipe 1"));
    QCOMPARE(h.box(6), QStringLiteral("Note 1"));
    h.arrow(1); // previous on the first stays there
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 12"));
    h.arrow(2);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 2 of 12"));
    QCOMPARE(h.box(1), QStringLiteral("Recipe 2"));
    QCOMPARE(h.box(6), QString()); // no notes: an empty box
    QCOMPARE(h.box(4), QStringLiteral("2 cups water\n1 onion"));
    h.arrow(3);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 12 of 12"));
    h.arrow(2); // next on the last stays there
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 12 of 12"));
    QCOMPARE(h.box(1), QStringLiteral("Recipe 12"));
    h.arrow(0);
    QCOMPARE(h.box(1), QStringLiteral("Recipe 1"));
    QVERIFY(h.messages.shown.isEmpty());
}

void TestRecipeWindow::recordKeys_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("focusBox");
    for (const char* layout : {"full", "compact"})
        for (int box : {1, 4}) // a one-line box, and a multi-line one that knows Ctrl+Home itself
            QTest::addRow("%s, in box %d", layout, box + 1) << QString::fromLatin1(layout) << box;
}

void TestRecipeWindow::recordKeys()
{
    QFETCH(QString, layout);
    QFETCH(int, focusBox);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(layoutNamed(layout), &rows);
    h.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    QWidget* box = h.textBox(focusBox);
    box->setFocus();

    const std::pair<QKeyCombination, QString> steps[] = {
        {Qt::CTRL | Qt::Key_End, QStringLiteral("12")},     {Qt::CTRL | Qt::Key_PageUp, QStringLiteral("11")},
        {Qt::CTRL | Qt::Key_Home, QStringLiteral("1")},     {Qt::CTRL | Qt::Key_PageUp, QStringLiteral("1")},
        {Qt::CTRL | Qt::Key_PageDown, QStringLiteral("2")},
    };
    for (const auto& [keys, position] : steps) {
        QTest::keyClick(box, keys.key(), keys.keyboardModifiers());
        QCOMPARE(h.caption(), QStringLiteral("Recipe Number: %1 of 12").arg(position));
    }
    // The keys go the arrows' way: an edit is kept on leaving the recipe.
    h.type(focusBox, QStringLiteral("typed"));
    QTest::keyClick(box, Qt::Key_PageDown, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(h.box(focusBox), QStringLiteral("typed"));
    QVERIFY(h.messages.shown.isEmpty());
}

void TestRecipeWindow::emptyTable()
{
    RecipeHarness h;
    const QList<RecipeValues> none;
    h.open(RecipeLayout::full(), &none);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 0 of 0"));
    for (int i = 0; i < 7; ++i)
        QCOMPARE(h.box(i), QString());
    for (int i = 0; i < 4; ++i)
        h.arrow(i);
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 0 of 0"));
    QVERIFY(h.messages.shown.isEmpty());
}

void TestRecipeWindow::editSavedOnMove()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    h.arrow(2);
    h.type(1, QStringLiteral("Leek Soup"));
    h.type(5, QStringLiteral("Chop"));
    QTest::keyClick(h.textBox(5), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(h.textBox(5), QStringLiteral("Simmer"));
    h.arrow(2);
    QCOMPARE(h.box(1), QStringLiteral("Recipe 3"));
    h.arrow(1);
    QCOMPARE(h.box(1), QStringLiteral("Leek Soup"));
    QCOMPARE(h.box(5), QStringLiteral("Chop\nSimmer"));
    h.window->close();
    auto c = RecordCursor::open(h.path(), {});
    c->moveNext();
    QCOMPARE(*c->field(Field::RecipeName), QStringLiteral("Leek Soup"));
    QCOMPARE(*c->field(Field::Instructions), QStringLiteral("Chop\nSimmer"));
}

void TestRecipeWindow::editSavedOnClose()
{
    for (const bool viaButton : {true, false}) {
        RecipeHarness h;
        const auto rows = sampleRows();
        h.open(RecipeLayout::full(), &rows);
        h.type(6, QStringLiteral("Typed just before closing"));
        if (viaButton)
            h.button(Command::Close)->click();
        else
            h.window->close(); // Alt+F4 or logging out
        QCOMPARE(h.ended, 1);
        auto c = RecordCursor::open(h.path(), {});
        QCOMPARE(*c->field(Field::Notes), QStringLiteral("Typed just before closing"));
    }
}

void TestRecipeWindow::unchangedBoxIsNotWritten()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    h.arrow(2); // Recipe 2 has no notes: the box shows empty, the field holds no value
    h.type(1, QStringLiteral("Renamed"));
    h.arrow(2);
    h.window->close();
    auto c = RecordCursor::open(h.path(), {});
    c->moveNext();
    QCOMPARE(*c->field(Field::RecipeName), QStringLiteral("Renamed"));
    QVERIFY(!c->field(Field::Notes).has_value());
}

void TestRecipeWindow::longValuesRoundTrip_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("value");
    QString lines;
    while (lines.size() < (4 << 20))
        lines += QStringLiteral("Fold in the egg whites, one spoonful at a time, %1.\n").arg(lines.size());
    QTest::newRow("one-line box, 40,000 characters") << 1 << QString(40000, QLatin1Char('n'));
    QTest::newRow("one-line box, 1 MB without a line break") << 2 << QString(1 << 20, QLatin1Char('d'));
    QTest::newRow("multi-line box, 4 MB of lines") << 5 << lines;
    QTest::newRow("multi-line box, 1 MB without a break") << 6 << QString(1 << 20, QLatin1Char('o'));
}

void TestRecipeWindow::longValuesRoundTrip()
{
    QFETCH(int, box);
    QFETCH(QString, value);
    RecipeHarness h;
    auto rows = sampleRows(3);
    const Field field = RecipeLayout::full().boxes[size_t(box)].field;
    rows[1][field] = value;
    h.open(RecipeLayout::full(), &rows);
    h.arrow(2);
    QCOMPARE(h.box(box), value); // shown whole
    // Typed at the very end, saved, and still whole after moving off and back.
    QWidget* w = h.textBox(box);
    w->setFocus();
    QTest::keyClick(w, Qt::Key_End, qobject_cast<QLineEdit*>(w) ? Qt::NoModifier : Qt::ControlModifier);
    QTest::keyClicks(w, QStringLiteral("!"));
    h.button(Command::Update)->click();
    QVERIFY(h.messages.shown.isEmpty());
    h.arrow(2);
    h.arrow(1);
    QCOMPARE(h.box(box), value + QLatin1Char('!'));
    h.window->close();
    auto c = RecordCursor::open(h.path(), {});
    c->moveNext();
    QCOMPARE(*c->field(field), value + QLatin1Char('!'));
}

void TestRecipeWindow::pointerAfterEveryMove()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    bool busyDuringMove = false;
    QObject::connect(h.session(), &RecipeSession::currentChanged, h.window.get(),
                     [&] { busyDuringMove = h.pointer.isBusy(); });
    for (int i : {2, 2, 3, 1, 0}) {
        busyDuringMove = false;
        h.arrow(i);
        QVERIFY(busyDuringMove);
        QVERIFY(!h.pointer.isBusy());
    }
}

void TestRecipeWindow::positionDisplayKeepsTextWithoutCursor()
{
    RecipeHarness h;
    h.open(RecipeLayout::full(), nullptr); // no file: no cursor
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number"));
    QVERIFY(!h.pointer.isBusy());
}

void TestRecipeWindow::unload_data()
{
    QTest::addColumn<QString>("saved"); // "<none>": nothing stored
    QTest::addColumn<bool>("sectionAfter");
    QTest::newRow("text saved") << "soup" << false;
    QTest::newRow("blank saved") << " " << false;
    QTest::newRow("empty saved") << "" << true;
    QTest::newRow("nothing saved") << "<none>" << false;
}

void TestRecipeWindow::unload()
{
    QFETCH(QString, saved);
    QFETCH(bool, sectionAfter);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    if (saved != QLatin1String("<none>"))
        saveSearchText(h.settings, saved);
    h.settings.write(QStringLiteral("Pantrio"), QStringLiteral("Other"), QStringLiteral("Kept"), QStringLiteral("x"));
    h.button(Command::FindNext)->click(); // leaves the find dialog existing, hidden
    h.messages.shown.clear();
    QVERIFY(topLevelNamed(QStringLiteral("frmFind")));
    h.button(Command::Close)->click();
    QCOMPARE(h.ended, 1);
    QVERIFY(!topLevelNamed(QStringLiteral("frmFind")));
    QCOMPARE(h.settings.hasSection(QStringLiteral("Pantrio"), QStringLiteral("Find Next")), sectionAfter);
    QVERIFY(h.settings.has(QStringLiteral("Pantrio"), QStringLiteral("Other"), QStringLiteral("Kept")));
    QVERIFY(!h.session()->isOpen());
    // The file is free again.
    QCOMPARE(runSqlite(h.path(), QStringLiteral("SELECT count(*) FROM Recipes;")), 0);
}

void TestRecipeWindow::closeByWindowManagerUnloads()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows);
    saveSearchText(h.settings, QStringLiteral("x"));
    QVERIFY(h.window->close());
    QCOMPARE(h.ended, 1);
    QVERIFY(!h.settings.hasSection(QStringLiteral("Pantrio"), QStringLiteral("Find Next")));
    h.window->close(); // a second close does not run the unload again
    QCOMPARE(h.ended, 1);
}

void TestRecipeWindow::findDialogReopensEmpty()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    h.find(QStringLiteral("Recipe 4"));
    QCOMPARE(h.box(1), QStringLiteral("Recipe 4"));
    QVERIFY(!topLevelNamed(QStringLiteral("frmFind"))); // unloaded once the text was collected
    h.find(QStringLiteral("Recipe 5"));
    QCOMPARE(h.findDialogsSeen, 2);
    QCOMPARE(h.findDialogTexts, QStringList({QString(), QString()}));
}

void TestRecipeWindow::unusableFile_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing") << "missing" << "does not exist";
    QTest::newRow("not a database") << "text" << "not a recipe database";
    QTest::newRow("locked") << "locked" << "in use by another program";
}

void TestRecipeWindow::unusableFile()
{
    QFETCH(QString, setup);
    QFETCH(QString, cause);
    RecipeHarness h;
    std::unique_ptr<RecordCursor> holder;
    if (setup == QLatin1String("text")) {
        QFile f(h.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not recipes");
    } else if (setup == QLatin1String("locked")) {
        makeRecipeFile(h.dir.path(), sampleRows());
        holder = RecordCursor::open(h.path(), {OpenMode::Exclusive, 100});
    }
    h.open(RecipeLayout::full(), nullptr);
    QCOMPARE(h.messages.shown.size(), 1);
    QVERIFY(h.messages.shown[0].text.contains(h.path()));
    QVERIFY2(h.messages.shown[0].text.contains(cause), qPrintable(h.messages.shown[0].text));
    QVERIFY(h.window->isVisible());
    QVERIFY(!h.pointer.isBusy());
    // Commands say why they cannot work instead of failing.
    h.button(Command::New)->click();
    QCOMPARE(h.messages.shown.size(), 2);
    QVERIFY(h.messages.shown[1].text.contains(cause));
    h.button(Command::Close)->click();
    QCOMPARE(h.ended, 1);
    QCOMPARE(h.messages.shown.size(), 2);
    if (setup == QLatin1String("missing"))
        QVERIFY(!QFile::exists(h.path()));
}

void TestRecipeWindow::saveFailureKeepsTypedText()
{
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows); // shared, so another program can hold a lock
    h.type(1, QStringLiteral("Typed"));
    // Another program holds a write transaction; our save waits, then fails.
    QProcess other;
    other.start(QStringLiteral("sqlite3"), {h.path()});
    QVERIFY(other.waitForStarted());
    // It waits out the brief read locks of the search index loading after the open.
    other.write(".timeout 5000\nBEGIN EXCLUSIVE;\nSELECT 'locked';\n");
    QVERIFY(other.waitForReadyRead(10000));
    h.arrow(2);
    QCOMPARE(h.messages.shown.size(), 1);
    QVERIFY2(h.messages.shown[0].text.contains(QStringLiteral("in use by another program")),
             qPrintable(h.messages.shown[0].text));
    QVERIFY(h.messages.shown[0].text.contains(QStringLiteral("still in the window")));
    QCOMPARE(h.box(1), QStringLiteral("Typed"));
    QCOMPARE(h.caption(), QStringLiteral("Recipe Number: 1 of 12"));
    QVERIFY(!h.pointer.isBusy());
    other.write("ROLLBACK;\n.quit\n");
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
    h.arrow(2); // free again: the same edit is saved now
    QCOMPARE(h.box(1), QStringLiteral("Recipe 2"));
    h.arrow(1);
    QCOMPARE(h.box(1), QStringLiteral("Typed"));
}

void TestRecipeWindow::unsavableEditWayOut_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<bool>("goesOn");
    QTest::newRow("close, OK ends") << "close" << true << true;
    QTest::newRow("close, Cancel stays") << "close" << false << false;
    QTest::newRow("arrow, OK stays") << "arrow" << true << false;
    QTest::newRow("arrow, Cancel discards") << "arrow" << false << true;
    QTest::newRow("add new, Cancel discards") << "new" << false << true;
    QTest::newRow("find, Cancel discards") << "find" << false << true;
    QTest::newRow("refresh, Cancel discards") << "refresh" << false << true;
}

// The recipe on screen was deleted by another program, so the edit can never be saved.
void TestRecipeWindow::unsavableEditWayOut()
{
    QFETCH(QString, command);
    QFETCH(bool, ok);
    QFETCH(bool, goesOn);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows);
    h.arrow(2);
    QCOMPARE(runSqlite(h.path(), QStringLiteral("DELETE FROM Recipes WHERE RecipeName = 'Recipe 2';")), 0);
    saveSearchText(h.settings, QStringLiteral("soup"));
    h.type(1, QStringLiteral("Typed"));
    h.messages.answers = {ok ? MessageAnswer::Ok : MessageAnswer::Cancel};
    if (command == QLatin1String("close"))
        h.button(Command::Close)->click();
    else if (command == QLatin1String("arrow"))
        h.arrow(2);
    else if (command == QLatin1String("new"))
        h.button(Command::New)->click();
    else if (command == QLatin1String("find"))
        h.find(QStringLiteral("Recipe 5"));
    else
        h.button(Command::Refresh)->click();
    QCOMPARE(h.messages.shown.size(), 1);
    QCOMPARE(h.messages.shown[0].buttons, MessageButtons::OkCancel);
    QVERIFY2(h.messages.shown[0].text.contains(QStringLiteral("deleted")),
             qPrintable(h.messages.shown[0].text));
    QCOMPARE(h.box(1) == QStringLiteral("Typed"), !goesOn);
    QCOMPARE(h.ended, command == QLatin1String("close") && goesOn ? 1 : 0);
    // The saved search goes only when the program really ends.
    QCOMPARE(h.settings.hasSection(QStringLiteral("Pantrio"), QStringLiteral("Find Next")), h.ended == 0);
    QVERIFY(!h.pointer.isBusy());
}

void TestRecipeWindow::typedBackIsNoEdit_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("typedBack");
    QTest::newRow("text typed back") << 1 << "Recipe 2";
    QTest::newRow("emptied over no value") << 6 << "";
}

// Were it an edit, the move would have to save the recipe another program deleted, and fail.
void TestRecipeWindow::typedBackIsNoEdit()
{
    QFETCH(int, box);
    QFETCH(QString, typedBack);
    RecipeHarness h;
    const auto rows = sampleRows();
    h.open(RecipeLayout::compact(), &rows);
    h.arrow(2);
    QCOMPARE(runSqlite(h.path(), QStringLiteral("DELETE FROM Recipes WHERE RecipeName = 'Recipe 2';")), 0);
    h.type(box, QStringLiteral("Typed"));
    h.type(box, typedBack);
    if (typedBack.isEmpty())
        QTest::keyClick(h.textBox(box), Qt::Key_Backspace);
    h.arrow(2);
    QCOMPARE(h.messages.shown.size(), 0);
    QCOMPARE(h.box(1), QStringLiteral("Recipe 3"));
}

void TestRecipeWindow::readOnlyFileLetsCloseWithoutSaving()
{
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("PANTRIO_TEST_AS_USER")) {
        // Root may write to a read-only file: this test runs again as an ordinary user.
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PANTRIO_TEST_AS_USER"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                     QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                     QStringLiteral("readOnlyFileLetsCloseWithoutSaving")});
        if (!child.waitForStarted())
            QSKIP("setpriv is missing, and as root a read-only file is writable");
        QVERIFY(child.waitForFinished(120000));
        const QByteArray out = child.readAll();
        if (child.exitCode() != 0 && out.contains("Permission denied"))
            QSKIP("the user nobody cannot run this test from where it lies");
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, out.constData());
        return;
    }
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    QVERIFY(QFile::setPermissions(h.path(), QFile::ReadOwner | QFile::ReadUser));
    h.open(RecipeLayout::full(), nullptr);
    h.type(1, QStringLiteral("Typed"));
    h.messages.answers = {MessageAnswer::Cancel};
    h.button(Command::Close)->click();
    QCOMPARE(h.ended, 0);
    QVERIFY2(h.messages.shown.last().text.contains(QStringLiteral("read-only")),
             qPrintable(h.messages.shown.last().text));
    QCOMPARE(h.box(1), QStringLiteral("Typed"));
    h.button(Command::Close)->click(); // OK, the default, closes without saving
    QCOMPARE(h.ended, 1);
}

void TestRecipeWindow::backupFailureToldOnce()
{
    RecipeHarness h;
    QFile blocker(h.program.backupFolder); // a file where the folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    const auto rows = sampleRows();
    h.open(RecipeLayout::full(), &rows);
    for (const QString& text : {QStringLiteral("One"), QStringLiteral("Two")}) {
        h.type(6, text);
        h.button(Command::Update)->click();
        QCoreApplication::processEvents();
    }
    QCOMPARE(h.messages.shown.size(), 1);
    QVERIFY2(h.messages.shown[0].text.contains(QDir::toNativeSeparators(h.program.backupFolder)),
             qPrintable(h.messages.shown[0].text));
    h.window->close();
    auto c = RecordCursor::open(h.path(), {});
    QCOMPARE(*c->field(Field::Notes), QStringLiteral("Two"));
}

QTEST_MAIN(TestRecipeWindow)
#include "tst_recipewindow.moc"
