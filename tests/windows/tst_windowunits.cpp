#include "ui/WindowUnits.h"

#include <QtTest>

using namespace pantrio;

class TestWindowUnits : public QObject
{
    Q_OBJECT
private slots:
    void twipsToPixels_data();
    void twipsToPixels();
    void placeConvertsEachSide();
    void fonts();
};

void TestWindowUnits::twipsToPixels_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("an inch") << 1440 << 96;
    QTest::newRow("just under half") << 7 << 0;
    QTest::newRow("just over half") << 8 << 1;
    QTest::newRow("About separator's right end") << 5654 << 377;
    QTest::newRow("negative") << -8 << -1;
}

void TestWindowUnits::twipsToPixels()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(pantrio::twipsToPixels(twips), pixels);
}

void TestWindowUnits::placeConvertsEachSide()
{
    QCOMPARE((Twips{120, 240, 1455, 375}.toPixels()), QRect(8, 16, 97, 25));
    QCOMPARE(pantrio::twipsToPixels(QSize(8370, 8145)), QSize(558, 543));
}

void TestWindowUnits::fonts()
{
    QCOMPARE(windowFont().family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(windowFont().pointSizeF(), 8.25);
    QCOMPARE(serifTextFont().family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(serifTextFont().pointSizeF(), 9.75);
    QCOMPARE(printPageFont().family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(printPageFont().pixelSize(), 15);
}

QTEST_MAIN(TestWindowUnits)
#include "tst_windowunits.moc"
