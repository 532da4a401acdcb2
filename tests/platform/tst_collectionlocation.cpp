#include "platform/CollectionLocation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace pantrio;

namespace {

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// A program folder, a user data folder and an installed data folder in one temporary folder.
struct Folders
{
    Folders()
    {
        for (const char* name : {"bin", "data", "share"})
            QDir(root.path()).mkdir(QLatin1String(name));
        folders = {root.filePath(QStringLiteral("bin")), root.filePath(QStringLiteral("data/Pantrio")),
                   root.filePath(QStringLiteral("share"))};
    }
    QString in(const QString& folder, const char* name) const
    {
        return QDir(folder).filePath(QLatin1String(name));
    }

    QTemporaryDir root;
    CollectionFolders folders;
};

} // namespace

class TestCollectionLocation : public QObject
{
    Q_OBJECT
private slots:
    void collectionFolder_data();
    void collectionFolder();
    void introductionFolder_data();
    void introductionFolder();
    void firstStartCopiesTheSample();
    void existingCollectionIsNeverReplaced();
    void missingSampleFails();
    void writableAsTheSystemDecides();
};

void TestCollectionLocation::collectionFolder_data()
{
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("staysBeside");
    QTest::newRow("build folder") << false << true << true;
    QTest::newRow("read-only folder with a collection") << true << false << true;
    QTest::newRow("writable folder with a collection") << true << true << true;
    QTest::newRow("installed copy") << false << false << false;
}

void TestCollectionLocation::collectionFolder()
{
    QFETCH(bool, besideProgram);
    QFETCH(bool, writable);
    QFETCH(bool, staysBeside);
    Folders f;
    if (besideProgram)
        QVERIFY(writeFile(f.in(f.folders.program, "Savorix.mdb"), "x"));
    QString asked;
    const auto where = CollectionLocation::choose(f.folders, [&](const QString& folder) {
        asked = folder;
        return writable;
    });

    const QString folder = staysBeside ? f.folders.program : f.folders.userData;
    QCOMPARE(where.collection, f.in(folder, "Savorix.mdb"));
    // Only a collection in the user's folder is ever filled from the shipped one.
    QCOMPARE(where.sample.isEmpty(), staysBeside);
    if (!besideProgram)
        QCOMPARE(asked, f.folders.program);
}

void TestCollectionLocation::introductionFolder_data()
{
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("expectedFolder");
    QTest::newRow("beside wins") << true << true << "bin";
    QTest::newRow("installed only") << false << true << "share";
    // With neither, the introduction window shows its empty box as it always did.
    QTest::newRow("neither") << false << false << "bin";
}

void TestCollectionLocation::introductionFolder()
{
    QFETCH(bool, besideProgram);
    QFETCH(bool, installed);
    QFETCH(QString, expectedFolder);
    Folders f;
    if (besideProgram)
        QVERIFY(writeFile(f.in(f.folders.program, "intro.rtf"), "{\\rtf1 a}"));
    if (installed)
        QVERIFY(writeFile(f.in(f.folders.installedData, "intro.rtf"), "{\\rtf1 b}"));
    const auto where = CollectionLocation::choose(f.folders, [](const QString&) { return false; });
    QCOMPARE(where.introduction, f.root.filePath(expectedFolder + QStringLiteral("/intro.rtf")));
}

void TestCollectionLocation::firstStartCopiesTheSample()
{
    Folders f;
    const QString shipped = f.in(f.folders.installedData, "Savorix.mdb");
    QVERIFY(writeFile(shipped, "sample"));
    QVERIFY(QFile::setPermissions(shipped, QFile::ReadOwner | QFile::ReadOther)); // as a package lays it
    const auto where = CollectionLocation::choose(f.folders, [](const QString&) { return false; });

    QVERIFY(where.provideSample()); // the user's folder does not exist yet
    QCOMPARE(readFile(where.collection), QByteArray("sample"));
    QVERIFY(QFileInfo(where.collection).permissions() & QFile::WriteOwner);
}

void TestCollectionLocation::existingCollectionIsNeverReplaced()
{
    Folders f;
    QVERIFY(writeFile(f.in(f.folders.installedData, "Savorix.mdb"), "sample"));
    const auto where = CollectionLocation::choose(f.folders, [](const QString&) { return false; });
    QVERIFY(QDir().mkpath(f.folders.userData));
    QVERIFY(writeFile(where.collection, "mine"));

    QVERIFY(where.provideSample());
    QCOMPARE(readFile(where.collection), QByteArray("mine"));
}

void TestCollectionLocation::missingSampleFails()
{
    Folders f;
    const auto where = CollectionLocation::choose(f.folders, [](const QString&) { return false; });
    QVERIFY(!where.provideSample());
    QVERIFY(!QFile::exists(where.collection));
}

void TestCollectionLocation::writableAsTheSystemDecides()
{
    QTemporaryDir dir;
    QVERIFY(folderIsWritable(dir.path()));
    QVERIFY(!folderIsWritable(dir.filePath(QStringLiteral("missing"))));
    if (::geteuid() == 0)
        QSKIP("the superuser may write into any folder");
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    QVERIFY(!folderIsWritable(dir.path()));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_GUILESS_MAIN(TestCollectionLocation)
#include "tst_collectionlocation.moc"
