// The command line of pantrio-make-sample, run as the user runs it.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestMakeSample : public QObject
{
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
};

void TestMakeSample::commandLine_data()
{
    QTest::addColumn<QStringList>("args"); // "FILE" stands for a new file's path
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("written"); // the file that must exist afterwards, if any
    QTest::newRow("help") << QStringList{"--help"} << 0 << QString();
    QTest::newRow("short help") << QStringList{"-h"} << 0 << QString();
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << QString();
    QTest::newRow("unknown option before a file") << QStringList{"-x", "FILE"} << 2 << QString();
    QTest::newRow("a file") << QStringList{"FILE"} << 0 << "FILE";
    QTest::newRow("a file named like an option") << QStringList{"--", "-x.mdb"} << 0 << "-x.mdb";
}

void TestMakeSample::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, written);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Savorix.mdb"));
    args.replaceInStrings(QStringLiteral("FILE"), file);
    if (written == QLatin1String("FILE"))
        written = file;
    QProcess tool;
    tool.setWorkingDirectory(dir.path());
    tool.start(QStringLiteral(PANTRIO_MAKE_SAMPLE), args);
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QCOMPARE(tool.exitCode(), exitCode);
    if (exitCode == 2)
        QVERIFY(tool.readAllStandardError().contains("Usage:"));
    if (args.first().startsWith(QLatin1String("-h")) || args.first() == QLatin1String("--help"))
        QVERIFY(tool.readAllStandardOutput().contains("Usage:"));
    // Nothing but the expected file appears: an option never becomes a file name.
    const QStringList expected =
        written.isEmpty() ? QStringList() : QStringList{QFileInfo(written).fileName()};
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), expected);
}

QTEST_GUILESS_MAIN(TestMakeSample)
#include "tst_makesample.moc"
