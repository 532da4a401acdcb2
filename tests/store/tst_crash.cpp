#include "support/TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::test;

// Kills a process in the middle of its saves, again and again: the file must stay sound and
// keep every save the process saw complete. PANTRIO_CRASH_RUNS sets the number of kills.
class TestCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileSaving();
};

void TestCrash::killedWhileSaving()
{
    const int runs = qEnvironmentVariableIsSet("PANTRIO_CRASH_RUNS")
                         ? qEnvironmentVariableIntValue("PANTRIO_CRASH_RUNS")
                         : 20;
    QRandomGenerator random(QRandomGenerator::global()->generate());
    int saves = 0;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir dir;
        const QString path =
            makeRecipeFile(dir.path(), {recipe(QStringLiteral("Soups"), QStringLiteral("First"))});
        QProcess child;
        const QString backups = dir.filePath(QStringLiteral("backups"));
        child.start(QStringLiteral(PANTRIO_CRASH_CHILD), {path, backups});
        QVERIFY(child.waitForReadyRead(30000)); // "ready": the file is open
        QThread::usleep(random.bounded(200'000));
        child.kill(); // SIGKILL
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const QStringList lines = QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char('\n'));
        int added = 0;
        int edited = 0;
        for (const QString& line : lines) {
            const auto m = QRegularExpression(QStringLiteral("^(add|edit) (\\d+)$")).match(line);
            if (m.hasMatch())
                (m.captured(1) == QLatin1String("add") ? added : edited) = m.captured(2).toInt();
        }
        saves += added + edited;

        QString out;
        QCOMPARE(runSqlite(path, QStringLiteral("PRAGMA integrity_check;"), &out), 0);
        QCOMPARE(out.trimmed(), QStringLiteral("ok"));
        // Each reported recipe is there once; at most the one in flight besides.
        QCOMPARE(runSqlite(path,
                           QStringLiteral(
                               "SELECT count(DISTINCT RecipeName), max(CAST(substr(RecipeName, 7) AS INT)) "
                               "FROM Recipes WHERE RecipeName LIKE 'Saved %';"),
                           &out),
                 0);
        const QStringList counts = out.trimmed().split(QLatin1Char('|'));
        const int present = counts.value(0).toInt();
        QVERIFY2(
            present == added || present == added + 1,
            qPrintable(QStringLiteral("run %1: %2 saved, %3 reported").arg(run).arg(present).arg(added)));
        QCOMPARE(counts.value(1).toInt(), present);
        // The first recipe holds the last reported edit, or the one in flight.
        QCOMPARE(
            runSqlite(path,
                      QStringLiteral("SELECT coalesce(substr(Notes, 6), 0) FROM Recipes WHERE rowid = 1;"),
                      &out),
            0);
        const int note = out.trimmed().toInt();
        QVERIFY2(
            note == edited || note == edited + 1,
            qPrintable(QStringLiteral("run %1: edit %2 saved, %3 reported").arg(run).arg(note).arg(edited)));
        // A copy cut short by the kill is never left under a copy's name.
        for (const QString& copy : QDir(backups).entryList({QStringLiteral("*.mdb")}, QDir::Files)) {
            QCOMPARE(runSqlite(QDir(backups).filePath(copy), QStringLiteral("PRAGMA integrity_check;"), &out), 0);
            QCOMPARE(out.trimmed(), QStringLiteral("ok"));
        }
    }
    qInfo("%d kills, %d saves reported done", runs, saves);
}

QTEST_GUILESS_MAIN(TestCrash)
#include "tst_crash.moc"
