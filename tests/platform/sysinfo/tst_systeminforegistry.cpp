#include "platform/sysinfo/QtLauncher.h"
#include "platform/sysinfo/SysInfo.h"
#include "platform/sysinfo/SystemInfoRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;

namespace {

// Creates `name` in `folder`, executable or not.
bool makeProgram(const QString& folder, const QString& name, bool executable = true,
                 const QByteArray& script = "#!/bin/sh\nexit 0\n")
{
    QFile file(QDir(folder).filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(script) != script.size())
        return false;
    file.close();
    QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner;
    if (executable)
        permissions |= QFile::ExeOwner;
    return file.setPermissions(permissions);
}

QString toolPath(Registry& registry, bool* found)
{
    QString path;
    *found = GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(ToolPathKey),
                         QString::fromLatin1(ToolPathValue), path);
    return path;
}

} // namespace

class TestSystemInfoRegistry : public QObject
{
    Q_OBJECT

private slots:
    void findsTool_data();
    void findsTool();
    void toolPathIsStringWithTerminatingZero();
    void noFolderEntry();
    void emptySearchPathFindsNothing();
    void seesToolInstalledLater();
    void systemSearchPathSplitsPath();
    void launcherStartsProgram();
    void launcherFailures_data();
    void launcherFailures();
};

// "first:" and "second:" put a file in the first or second search folder; "-x" makes it not executable.
void TestSystemInfoRegistry::findsTool_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("expected"); // "folder:name", or empty for none

    QTest::newRow("hardinfo") << QStringList{"first:hardinfo"} << "first:hardinfo";
    QTest::newRow("kinfocenter") << QStringList{"second:kinfocenter"} << "second:kinfocenter";
    QTest::newRow("lshw-gtk") << QStringList{"first:lshw-gtk"} << "first:lshw-gtk";
    QTest::newRow("hardinfo before kinfocenter")
        << QStringList{"first:kinfocenter", "second:hardinfo"} << "second:hardinfo";
    QTest::newRow("kinfocenter before lshw-gtk")
        << QStringList{"first:lshw-gtk", "first:kinfocenter"} << "first:kinfocenter";
    QTest::newRow("first folder wins for one name")
        << QStringList{"second:hardinfo", "first:hardinfo"} << "first:hardinfo";
    QTest::newRow("not executable is skipped")
        << QStringList{"first:hardinfo-x", "second:lshw-gtk"} << "second:lshw-gtk";
    QTest::newRow("other programs only") << QStringList{"first:msinfo32", "second:hardinf"} << QString();
    QTest::newRow("nothing") << QStringList{} << QString();
}

void TestSystemInfoRegistry::findsTool()
{
    QFETCH(QStringList, files);
    QFETCH(QString, expected);

    QTemporaryDir first, second;
    QVERIFY(first.isValid() && second.isValid());
    const auto folderOf = [&](const QString& entry) {
        return entry.startsWith(QLatin1String("first:")) ? first.path() : second.path();
    };
    const auto nameOf = [](const QString& entry) { return entry.section(QLatin1Char(':'), 1); };
    for (const QString& entry : files) {
        QString name = nameOf(entry);
        const bool executable = !name.endsWith(QLatin1String("-x"));
        if (!executable)
            name.chop(2);
        QVERIFY(makeProgram(folderOf(entry), name, executable));
    }

    SystemInfoRegistry registry({first.path(), second.path()});
    bool found = false;
    const QString path = toolPath(registry, &found);
    QCOMPARE(found, !expected.isEmpty());
    QCOMPARE(path, expected.isEmpty() ? QString() : QDir(folderOf(expected)).filePath(nameOf(expected)));
}

void TestSystemInfoRegistry::toolPathIsStringWithTerminatingZero()
{
    QTemporaryDir folder;
    QVERIFY(makeProgram(folder.path(), QStringLiteral("hardinfo")));
    SystemInfoRegistry registry({folder.path()});

    Registry::Key key = 0;
    QCOMPARE(registry.openKey(Registry::LocalMachine, ToolPathKey, KeyAccess, key), Registry::Success);
    quint32 type = 0;
    quint32 size = 0;
    QCOMPARE(registry.queryValue(key, ToolPathValue, type, nullptr, size), Registry::Success);
    QCOMPARE(type, Registry::String);
    QByteArray data(int(size), 'x');
    QCOMPARE(registry.queryValue(key, ToolPathValue, type, data.data(), size), Registry::Success);
    QCOMPARE(data, QFile::encodeName(QDir(folder.path()).filePath(QStringLiteral("hardinfo"))) + '\0');

    // A buffer one byte short is refused and told the size needed.
    quint32 shortSize = size - 1;
    QCOMPARE(registry.queryValue(key, ToolPathValue, type, data.data(), shortSize), Registry::MoreData);
    QCOMPARE(shortSize, size);
    QCOMPARE(registry.closeKey(key), Registry::Success);
    QCOMPARE(registry.closeKey(key), Registry::InvalidHandle);
}

void TestSystemInfoRegistry::noFolderEntry()
{
    QTemporaryDir folder;
    QVERIFY(makeProgram(folder.path(), QStringLiteral("MSINFO32.EXE")));
    QVERIFY(makeProgram(folder.path(), QStringLiteral("hardinfo")));
    SystemInfoRegistry registry({folder.path()});
    QString text;
    QVERIFY(!GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(ToolFolderKey),
                         QString::fromLatin1(ToolFolderValue), text));
    // The tool's key answers nothing else, nor under another root.
    QVERIFY(!GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(ToolPathKey),
                         QStringLiteral("MSINFO"), text));
    QVERIFY(!GetKeyValue(registry, 0x80000001u, QString::fromLatin1(ToolPathKey),
                         QString::fromLatin1(ToolPathValue), text));
}

void TestSystemInfoRegistry::emptySearchPathFindsNothing()
{
    // Must not fall back to the real PATH, where a tool may well be installed.
    SystemInfoRegistry registry(QStringList{});
    bool found = true;
    QCOMPARE(toolPath(registry, &found), QString());
    QVERIFY(!found);
}

void TestSystemInfoRegistry::seesToolInstalledLater()
{
    QTemporaryDir folder;
    SystemInfoRegistry registry({folder.path()});
    bool found = true;
    toolPath(registry, &found);
    QVERIFY(!found);

    QVERIFY(makeProgram(folder.path(), QStringLiteral("kinfocenter")));
    QCOMPARE(toolPath(registry, &found), QDir(folder.path()).filePath(QStringLiteral("kinfocenter")));
    QVERIFY(found);

    QVERIFY(QFile::remove(QDir(folder.path()).filePath(QStringLiteral("kinfocenter"))));
    toolPath(registry, &found);
    QVERIFY(!found);
}

void TestSystemInfoRegistry::systemSearchPathSplitsPath()
{
    const QByteArray saved = qgetenv("PATH");
    qputenv("PATH", "/one::/two/three:");
    const QStringList folders = SystemInfoRegistry::systemSearchPath();
    qputenv("PATH", saved);
    QCOMPARE(folders, (QStringList{"/one", "/two/three"}));
}

void TestSystemInfoRegistry::launcherStartsProgram()
{
    QTemporaryDir folder;
    const QString marker = QDir(folder.path()).filePath(QStringLiteral("ran"));
    const QByteArray script = "#!/bin/sh\necho ran > '" + QFile::encodeName(marker) + "'\n";
    QVERIFY(makeProgram(folder.path(), QStringLiteral("tool with space"), true, script));

    QtLauncher launcher;
    QVERIFY(launcher.start(QDir(folder.path()).filePath(QStringLiteral("tool with space"))));
    QTRY_VERIFY(QFile::exists(marker));
}

void TestSystemInfoRegistry::launcherFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("create");
    QTest::addColumn<bool>("executable");

    QTest::newRow("empty path") << QString() << false << false;
    QTest::newRow("missing file") << QStringLiteral("hardinfo") << false << false;
    QTest::newRow("not executable") << QStringLiteral("hardinfo") << true << false;
}

void TestSystemInfoRegistry::launcherFailures()
{
    QFETCH(QString, name);
    QFETCH(bool, create);
    QFETCH(bool, executable);

    QTemporaryDir folder;
    if (create)
        QVERIFY(makeProgram(folder.path(), name, executable));
    QtLauncher launcher;
    QVERIFY(!launcher.start(name.isEmpty() ? QString() : QDir(folder.path()).filePath(name)));
}

QTEST_GUILESS_MAIN(TestSystemInfoRegistry)
#include "tst_systeminforegistry.moc"
