#include "support/RecipeHarness.h"
#include "platform/SettingsKeys.h"
#include "startup/IntroWindow.h"
#include "startup/Startup.h"

using namespace pantrio;
using namespace pantrio::test;

namespace {

// The open windows of a type; the start routine keeps its own to itself.
template<typename Window>
QList<Window*> openWindows()
{
    QList<Window*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* window = qobject_cast<Window*>(w))
            found << window;
    return found;
}

template<typename Window>
Window* theWindow()
{
    const QList<Window*> found = openWindows<Window>();
    return found.size() == 1 ? found.front() : nullptr;
}

} // namespace

class TestStartup : public QObject
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

void TestStartup::firstRunFlag_data()
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
    QTest::newRow("a megabyte of text") << QString(1 << 20, QLatin1Char('z')) << "nothing" << true;
}

void TestStartup::firstRunFlag()
{
    QFETCH(QString, flag);
    QFETCH(QString, opens);
    QFETCH(bool, message);
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    if (flag != QLatin1String("<none>"))
        pantrio::setFirstRunFlag(h.settings, flag);
    Startup start(h.services);
    start.run();
    QCOMPARE(theWindow<IntroWindow>() != nullptr, opens == QLatin1String("intro"));
    QCOMPARE(theWindow<RecipeWindow>() != nullptr, opens == QLatin1String("recipe"));
    QCOMPARE(start.hasOpenWindow(), opens != QLatin1String("nothing"));
    QCOMPARE(h.messages.shown.size(), message ? 1 : 0);
    if (message) {
        // The value is quoted, but never more than fits a message box.
        QVERIFY(h.messages.shown[0].text.contains(flag.left(20)));
        QVERIFY2(h.messages.shown[0].text.size() < 400, qPrintable(h.messages.shown[0].text.left(400)));
        QCOMPARE(h.messages.shown[0].icon, MessageIcon::Critical);
    }
    // The flag is "1" from the moment the introduction shows; otherwise it is left alone.
    const QString expected = opens == QLatin1String("intro") ? QStringLiteral("1") : flag;
    if (flag != QLatin1String("<none>") || opens == QLatin1String("intro"))
        QCOMPARE(pantrio::firstRunFlag(h.settings), expected);
}

void TestStartup::windowChoice_data()
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

void TestStartup::windowChoice()
{
    QFETCH(float, heightTwips);
    QFETCH(float, perPixelX);
    QFETCH(float, perPixelY);
    QFETCH(QString, window);
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    h.screen = FakeScreenMetrics(heightTwips, perPixelX, perPixelY);
    pantrio::setFirstRunFlag(h.settings, QStringLiteral("1"));
    Startup start(h.services);
    start.run();
    QVERIFY(theWindow<RecipeWindow>());
    QCOMPARE(theWindow<RecipeWindow>()->objectName(), window);
    QVERIFY(theWindow<RecipeWindow>()->isVisible());
    QCOMPARE(theWindow<RecipeWindow>()->findChild<QLabel*>(QStringLiteral("caption"))->text(), QStringLiteral("Recipe Number: 1 of 12"));
    // Only one recipe window exists in a run.
    start.openRecipeWindow();
    QCOMPARE(openWindows<RecipeWindow>().size(), 1);
}

void TestStartup::introOkOpensRecipeWindow()
{
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    Startup start(h.services);
    start.run();
    QPointer<IntroWindow> intro = theWindow<IntroWindow>();
    QVERIFY(intro);
    QVERIFY(!theWindow<RecipeWindow>());
    intro->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QVERIFY(theWindow<RecipeWindow>());
    QVERIFY(theWindow<RecipeWindow>()->isVisible());
    QTRY_VERIFY(!intro); // destroyed
    QCOMPARE(pantrio::firstRunFlag(h.settings), QStringLiteral("1"));
    QVERIFY(start.hasOpenWindow());
}

void TestStartup::introClosedEndsWithFlagSet()
{
    RecipeHarness h;
    Startup start(h.services);
    start.run();
    QPointer<IntroWindow> intro = theWindow<IntroWindow>();
    QVERIFY(intro);
    intro->close();
    QTRY_VERIFY(!intro);
    QVERIFY(!theWindow<RecipeWindow>());
    QVERIFY(!start.hasOpenWindow());
    QCOMPARE(pantrio::firstRunFlag(h.settings), QStringLiteral("1"));
}

void TestStartup::secondStartSkipsIntro()
{
    RecipeHarness h;
    makeRecipeFile(h.dir.path(), sampleRows());
    {
        Startup first(h.services);
        first.run();
        QVERIFY(theWindow<IntroWindow>());
    }
    Startup second(h.services);
    second.run();
    QVERIFY(!theWindow<IntroWindow>());
    QVERIFY(theWindow<RecipeWindow>());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
