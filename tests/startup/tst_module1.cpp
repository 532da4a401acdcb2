#include "support/RecipeHarness.h"
#include "startup/FirstRun.h"
#include "startup/Module1.h"

using namespace pantrio;
using namespace pantrio::test;

namespace {
const QString App = QStringLiteral("DezoruDozazor");
const QString Section = QStringLiteral("Counts");
const QString Key = QStringLiteral("FirstTime");
} // namespace

class TestModule1 : public QObject
{
    Q_OBJECT
private slots:
    void firstRunFlag_data();
    void firstRunFlag();
    void windowChoice_data();
    void windowChoice();
    void introOkOpensRecipeWindow();
    void introClosedEndsWithFlagSet();
    void secondStartSkipsIntro();
};

void TestModule1::firstRunFlag_data()
{
    QTest::addColumn<QString>("flag"); // "<none>": not stored at all
    QTest::addColumn<QString>("opens"); // "intro", "recipe" or "nothing"
    QTest::addColumn<bool>("message");
    QTest::newRow("not stored") << "<none>" << "intro" << false;
    QTest::newRow("empty") << "" << "intro" << false;
    QTest::newRow("1") << "1" << "recipe" << false;
    QTest::newRow("1.0") << "1.0" << "recipe" << false;
    QTest::newRow("blanks around 1") << " 1 " << "recipe" << false;
    QTest::newRow("2") << "2" << "nothing" << false;
    QTest::newRow("0") << "0" << "nothing" << false;
    QTest::newRow("-1") << "-1" << "nothing" << false;
    QTest::newRow("a word") << "yes" << "nothing" << true;
    QTest::newRow("number and word") << "1 time" << "nothing" << true;
}

void TestModule1::firstRunFlag()
{
    QFETCH(QString, flag);
    QFETCH(QString, opens);
    QFETCH(bool, message);
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    if (flag != QLatin1String("<none>"))
        h.settings.write(App, Section, Key, flag);
    Module1 start(h.services);
    start.Main();
    QCOMPARE(start.introWindow() != nullptr, opens == QLatin1String("intro"));
    QCOMPARE(start.recipeWindow() != nullptr, opens == QLatin1String("recipe"));
    QCOMPARE(start.hasOpenWindow(), opens != QLatin1String("nothing"));
    QCOMPARE(h.messages.shown.size(), message ? 1 : 0);
    if (message) {
        QVERIFY(h.messages.shown[0].text.contains(flag));
        QCOMPARE(h.messages.shown[0].icon, MessageIcon::Critical);
    }
    // The flag is "1" from the moment the introduction shows; otherwise it is left alone.
    const QString expected = opens == QLatin1String("intro") ? QStringLiteral("1") : flag;
    if (flag != QLatin1String("<none>") || opens == QLatin1String("intro"))
        QCOMPARE(h.settings.read(App, Section, Key), expected);
}

void TestModule1::windowChoice_data()
{
    QTest::addColumn<float>("heightTwips");
    QTest::addColumn<float>("perPixelX");
    QTest::addColumn<float>("perPixelY");
    QTest::addColumn<QString>("window");
    QTest::newRow("480 pixels") << 7200.0f << 15.0f << 15.0f << "frm640x480";
    QTest::newRow("600 pixels") << 9000.0f << 15.0f << 15.0f << "recMain";
    QTest::newRow("768 pixels") << 11520.0f << 15.0f << 15.0f << "recMain";
    QTest::newRow("479 pixels") << 7185.0f << 15.0f << 15.0f << "recMain";
    QTest::newRow("481 pixels") << 7215.0f << 15.0f << 15.0f << "recMain";
    QTest::newRow("horizontal factor decides: 640") << 9600.0f << 15.0f << 20.0f << "recMain";
    QTest::newRow("horizontal factor decides: 480") << 9600.0f << 20.0f << 15.0f << "frm640x480";
    QTest::newRow("480 at 120 dpi") << 5760.0f << 12.0f << 12.0f << "frm640x480";
}

void TestModule1::windowChoice()
{
    QFETCH(float, heightTwips);
    QFETCH(float, perPixelX);
    QFETCH(float, perPixelY);
    QFETCH(QString, window);
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    h.screen = FakeScreenMetrics(heightTwips, perPixelX, perPixelY);
    h.settings.write(App, Section, Key, QStringLiteral("1"));
    Module1 start(h.services);
    start.Main();
    QVERIFY(start.recipeWindow());
    QCOMPARE(start.recipeWindow()->objectName(), window);
    QVERIFY(start.recipeWindow()->isVisible());
    QCOMPARE(start.recipeWindow()->findChild<QLabel*>(QStringLiteral("caption"))->text(), QStringLiteral("Recipe Number: 1 of 12"));
    // Only one recipe window exists in a run.
    start.OpenRecipeWindow();
    int recipeWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        recipeWindows += qobject_cast<RecipeWindow*>(w) != nullptr;
    QCOMPARE(recipeWindows, 1);
}

void TestModule1::introOkOpensRecipeWindow()
{
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    Module1 start(h.services);
    start.Main();
    QPointer<FirstRun> intro = start.introWindow();
    QVERIFY(intro);
    QVERIFY(!start.recipeWindow());
    intro->Command1->click();
    QVERIFY(start.recipeWindow());
    QVERIFY(start.recipeWindow()->isVisible());
    QTRY_VERIFY(!intro); // destroyed
    QCOMPARE(h.settings.read(App, Section, Key), QStringLiteral("1"));
    QVERIFY(start.hasOpenWindow());
}

void TestModule1::introClosedEndsWithFlagSet()
{
    RecipeHarness h;
    Module1 start(h.services);
    start.Main();
    QPointer<FirstRun> intro = start.introWindow();
    QVERIFY(intro);
    intro->close();
    QTRY_VERIFY(!intro);
    QVERIFY(!start.recipeWindow());
    QVERIFY(!start.hasOpenWindow());
    QCOMPARE(h.settings.read(App, Section, Key), QStringLiteral("1"));
}

void TestModule1::secondStartSkipsIntro()
{
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    {
        Module1 first(h.services);
        first.Main();
        QVERIFY(first.introWindow());
    }
    Module1 second(h.services);
    second.Main();
    QVERIFY(!second.introWindow());
    QVERIFY(second.recipeWindow());
}

QTEST_MAIN(TestModule1)
#include "tst_module1.moc"
