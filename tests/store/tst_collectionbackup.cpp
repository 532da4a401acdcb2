#include "store/CollectionBackup.h"
#include "store/Sqlite.h"
#include "store/StoreError.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pantrio;
using namespace pantrio::test;

namespace {

mode_t modeOf(const QString& path)
{
    struct stat info{};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777 : 0;
}

} // namespace

class TestCollectionBackup : public QObject
{
    Q_OBJECT
private slots:
    void burstWithinOneSecondKeepsTheNewest();
    void copiesStayPrivate();
    void linkToAnotherUsersFolderIsRefused();
};

// Copies made within one second never take an earlier copy's name, and pruning goes by the
// order they were made in ("-10" after "-2"), so the copy just made is never the one deleted.
void TestCollectionBackup::burstWithinOneSecondKeepsTheNewest()
{
    QTemporaryDir dir;
    const QString path =
        makeRecipeFile(dir.path(), {recipe(QStringLiteral("Soups"), QStringLiteral("Leek"))});
    const QString folder = dir.filePath(QStringLiteral("backups"));
    QVERIFY(QDir().mkpath(folder));
    const QStringList earlier = {"Savorix-2026-12-09-101530.mdb", "Savorix-2026-12-09-101530-2.mdb",
                                 "Savorix-2026-12-09-101530-10.mdb"};
    for (const QString& name : earlier) {
        QFile f(QDir(folder).filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    sqlite::Database db(path, SQLITE_OPEN_READWRITE);
    const QDateTime when(QDate(2026, 12, 9), QTime(10, 15, 30));
    QStringList made;
    for (int i = 0; i < 12; ++i) {
        const QString copy = backUpCollection(db.handle(), path, folder, when);
        QVERIFY2(QFileInfo::exists(copy), qPrintable(copy));
        QVERIFY(!made.contains(copy));
        made << QFileInfo(copy).fileName();
    }
    QCOMPARE(made.first(), QStringLiteral("Savorix-2026-12-09-101530-11.mdb"));
    QStringList kept = QDir(folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(kept, made.mid(2)); // the newest ten, listed by name in the order they were made
}

void TestCollectionBackup::copiesStayPrivate()
{
    QTemporaryDir dir;
    const QString path =
        makeRecipeFile(dir.path(), {recipe(QStringLiteral("Soups"), QStringLiteral("Leek"))});
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("backups"));
    QCOMPARE(::mkdir(QFile::encodeName(folder).constData(), 0755), 0); // as an earlier version made it
    sqlite::Database db(path, SQLITE_OPEN_READWRITE);
    const QString copy = backUpCollection(db.handle(), path, folder, QDateTime::currentDateTime());
    QCOMPARE(modeOf(copy), mode_t(0600));
    QCOMPARE(modeOf(folder), mode_t(0700));

    // A new folder is private from the start, and a shared collection stays shared.
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    const QString fresh = dir.filePath(QStringLiteral("fresh"));
    QCOMPARE(modeOf(backUpCollection(db.handle(), path, fresh, QDateTime::currentDateTime())), mode_t(0644));
    QCOMPARE(modeOf(fresh), mode_t(0700));
}

void TestCollectionBackup::linkToAnotherUsersFolderIsRefused()
{
    QTemporaryDir dir;
    const QString path =
        makeRecipeFile(dir.path(), {recipe(QStringLiteral("Soups"), QStringLiteral("Leek"))});
    // Root owns every folder it makes: the other user's folder is given away.
    const QString theirs = dir.filePath(QStringLiteral("theirs"));
    QVERIFY(QDir().mkpath(theirs));
    QCOMPARE(::chmod(QFile::encodeName(theirs).constData(), 0777), 0);
    if (::geteuid() == 0)
        QCOMPARE(::chown(QFile::encodeName(theirs).constData(), 65534, gid_t(-1)), 0);
    const QString target = ::geteuid() == 0 ? theirs : QStringLiteral("/tmp");
    const QString folder = dir.filePath(QStringLiteral("backups"));
    QVERIFY(QFile::link(target, folder));
    sqlite::Database db(path, SQLITE_OPEN_READWRITE);
    const QStringList before = QDir(target).entryList(QDir::Files);
    try {
        backUpCollection(db.handle(), path, folder, QDateTime::currentDateTime());
        QFAIL("copied into a folder of another user");
    } catch (const StoreError& e) {
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(folder)), qPrintable(e.message()));
    }
    QCOMPARE(QDir(target).entryList(QDir::Files), before);
}

QTEST_GUILESS_MAIN(TestCollectionBackup)
#include "tst_collectionbackup.moc"
