#include "support/TestSupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio::test;

class TestCompact : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
};

void TestCompact::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // part of what it prints

    QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: pantrio-compact FILE";
    QTest::newRow("help among files")
        << QStringList{"Savorix.mdb", "-h"} << 0 << "Usage: pantrio-compact FILE";
    QTest::newRow("unknown option") << QStringList{"--page-size=8192", "Savorix.mdb"} << 2
                                    << "unknown option";
    QTest::newRow("no file") << QStringList{} << 2 << "name one recipe file";
    QTest::newRow("two files") << QStringList{"Savorix.mdb", "Other.mdb"} << 2 << "name one recipe file";
    QTest::newRow("missing file") << QStringList{"Other.mdb"} << 1 << "Other.mdb";
    QTest::newRow("a collection") << QStringList{"Savorix.mdb"} << 0 << "Compacted";
    QTest::newRow("a file after --") << QStringList{"--", "Savorix.mdb"} << 0 << "Compacted";
}

void TestCompact::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, output);

    QTemporaryDir dir;
    makeRecipeFile(dir.path(), {recipe(QStringLiteral("Soups"), QStringLiteral("Leek soup"))});
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(PANTRIO_COMPACT), args);
    QVERIFY(p.waitForFinished(30000));
    const QString printed = QString::fromLocal8Bit(p.readAll());
    QCOMPARE(p.exitCode(), exitCode);
    QVERIFY2(printed.contains(output), qPrintable(printed));
}

QTEST_GUILESS_MAIN(TestCompact)
#include "tst_compact.moc"
