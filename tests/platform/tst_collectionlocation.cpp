#include "platform/CollectionLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A program folder "bin", an installed data folder "share" and the user's "data/Pantrio".
struct Folders
{
    Folders()
    {
        QDir(root.path()).mkdir(QStringLiteral("bin"));
        QDir(root.path()).mkdir(QStringLiteral("share"));
        folders = {in("bin"), in("data/Pantrio"), in("share")};
    }
    QString in(const QString& path) const { return root.filePath(path); }

    QTemporaryDir root;
    CollectionFolders folders;
};

} // namespace

class TestCollectionLocation : public QObject
{
    Q_OBJECT
private slots:
    void chooseFolders_data();
    void chooseFolders();
    void firstStartCopiesTheSampleOnce();
    void installedCopyUsesTheDataFolder_data();
    void installedCopyUsesTheDataFolder();
};

void TestCollectionLocation::chooseFolders_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("collection");
    QTest::addColumn<QString>("introduction");
    const QStringList shipped{"share/Savorix.mdb", "share/intro.rtf"};
    QTest::newRow("build folder") << QStringList{} << true << "bin/Savorix.mdb"
                                  << "bin/intro.rtf";
    QTest::newRow("read-only folder with its own files")
        << shipped + QStringList{"bin/Savorix.mdb", "bin/intro.rtf"} << false << "bin/Savorix.mdb"
        << "bin/intro.rtf";
    QTest::newRow("installed copy") << shipped << false << "data/Pantrio/Savorix.mdb"
                                    << "share/intro.rtf";
    // Without any introduction the window shows its empty box, as it always did.
    QTest::newRow("installed without introduction") << QStringList{} << false << "data/Pantrio/Savorix.mdb"
                                                    << "bin/intro.rtf";
}

void TestCollectionLocation::chooseFolders()
{
    QFETCH(QStringList, files);
    QFETCH(bool, writable);
    QFETCH(QString, collection);
    QFETCH(QString, introduction);
    Folders f;
    for (const QString& file : files)
        QVERIFY(writeFile(f.in(file), "x"));
    QStringList asked;
    const auto where = CollectionLocation::choose(f.folders, [&](const QString& folder) {
        asked << folder;
        return writable;
    });
    QCOMPARE(where.collection, f.in(collection));
    QCOMPARE(where.introduction, f.in(introduction));
    // Only a collection in the user's folder is ever filled from the shipped one.
    QCOMPARE(where.sample.isEmpty(), collection.startsWith(QLatin1String("bin/")));
    QVERIFY(asked.isEmpty() || asked == QStringList{f.folders.program});
}

void TestCollectionLocation::firstStartCopiesTheSampleOnce()
{
    Folders f;
    const QString shipped = f.in(QStringLiteral("share/Savorix.mdb"));
    const auto where = CollectionLocation::choose(f.folders, [](const QString&) { return false; });
    QVERIFY(!where.provideSample()); // nothing shipped: nothing to copy, and it says so

    QVERIFY(writeFile(shipped, "sample"));
    QVERIFY(QFile::setPermissions(shipped, QFile::ReadOwner | QFile::ReadOther)); // as a package lays it
    QVERIFY(where.provideSample()); // the user's folder does not exist yet
    QVERIFY(QFileInfo(where.collection).permissions() & QFile::WriteOwner);

    // The user's recipes are never replaced, not even by a newer sample.
    QVERIFY(writeFile(where.collection, "mine"));
    QVERIFY(where.provideSample());
    QFile kept(where.collection);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("mine"));
}

void TestCollectionLocation::installedCopyUsesTheDataFolder_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("installed");
    QTest::newRow("/usr/bin") << "/usr/bin" << true;
    QTest::newRow("/usr/local/bin") << "/usr/local/bin/" << true;
    QTest::newRow("/opt") << "/opt/pantrio/bin" << true;
    QTest::newRow("a build folder") << "" << false;
    QTest::newRow("bin of a home folder") << "/home/cook/bin" << false;
}

// Even for root, who may write there: the recipes of an installed copy are the user's own.
void TestCollectionLocation::installedCopyUsesTheDataFolder()
{
    QFETCH(QString, program);
    QFETCH(bool, installed);
    Folders f;
    if (!program.isEmpty())
        f.folders.program = program;
    QCOMPARE(isSystemProgramFolder(f.folders.program), installed);
    const auto where = CollectionLocation::choose(f.folders, [](const QString&) { return true; });
    QCOMPARE(where.collection, installed ? f.in(QStringLiteral("data/Pantrio/Savorix.mdb"))
                                         : QDir(f.folders.program).filePath(QStringLiteral("Savorix.mdb")));
}

QTEST_GUILESS_MAIN(TestCollectionLocation)
#include "tst_collectionlocation.moc"
