#include "support/RecipeHarness.h"
#include "windows/about/AboutWindow.h"

#include <QLabel>
#include <QToolButton>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

// Run at twice the size (QT_SCALE_FACTOR=2): pictures are drawn from pixels of their own,
// not enlarged from the small ones.
class TestHighDpi : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }
    void recordBarArrowsAreSharp_data();
    void recordBarArrowsAreSharp();
    void aboutIconIsSharp();
};

void TestHighDpi::recordBarArrowsAreSharp_data()
{
    QTest::addColumn<QString>("arrow");
    for (const char* name : {"first", "previous", "next", "last"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestHighDpi::recordBarArrowsAreSharp()
{
    QFETCH(QString, arrow);
    RecipeHarness h;
    h.open(RecipeLayout::full(), nullptr);
    const auto* button = h.recordBar()->findChild<QToolButton*>(arrow);
    const QSize drawn = button->icon().actualSize(button->iconSize());
    const QPixmap shown = button->icon().pixmap(drawn, button->devicePixelRatio());
    QCOMPARE(shown.devicePixelRatio(), 2.0);
    QCOMPARE(shown.deviceIndependentSize().toSize(), drawn);
}

void TestHighDpi::aboutIconIsSharp()
{
    RecipeHarness h;
    AboutWindow about(h.services);
    const auto* icon = about.findChild<QLabel*>(QStringLiteral("picIcon"));
    const QPixmap shown = icon->pixmap();
    QCOMPARE(shown.devicePixelRatio(), 2.0);
    // The same place as at 1x: 32 pixels and the frame.
    QCOMPARE(shown.deviceIndependentSize().toSize(), QSize(32, 32));
    QCOMPARE(icon->size(), QSize(32, 32) + QSize(2, 2) * icon->frameWidth());
}

QTEST_MAIN(TestHighDpi)
#include "tst_highdpi.moc"
