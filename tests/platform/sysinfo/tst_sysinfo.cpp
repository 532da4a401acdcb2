#include "WatchedRegistry.h"
#include "support/FakeLauncher.h"
#include "support/TestSupport.h"

#include "platform/sysinfo/SysInfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;

namespace {

enum class Lookup { Present, KeyMissing, ValueMissing };
enum class Tool { None, File, Folder }; // what "MSINFO32.EXE" is in the temporary folder

const QByteArray SomeKey = "SOFTWARE\\Veltrane\\Pantrio";
const QByteArray SomeValue = "Setting";

QByteArray dword(quint32 n)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian(n, bytes.data());
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Lookup)
Q_DECLARE_METATYPE(Tool)

class TestSysInfo : public QObject
{
    Q_OBJECT

private slots:
    void getKeyValue_data();
    void getKeyValue();
    void getKeyValueOpensWithFullRights();
    void startSysInfo_data();
    void startSysInfo();
};

void TestSysInfo::getKeyValue_data()
{
    QTest::addColumn<Lookup>("lookup");
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("text");

    const QString before = QStringLiteral("before");
    const auto S = Registry::String;
    const auto P = Lookup::Present;

    QTest::newRow("string with terminating zero")
        << P << S << QByteArray("/usr/bin/hardinfo\0", 18) << true << QStringLiteral("/usr/bin/hardinfo");
    QTest::newRow("string without terminating zero")
        << P << S << QByteArray("/usr/bin/hardinfo") << true << QStringLiteral("/usr/bin/hardinfo");
    QTest::newRow("only one trailing zero dropped")
        << P << S << QByteArray("ab\0\0", 4) << true << QString::fromLatin1("ab\0", 3);
    QTest::newRow("string of a single zero") << P << S << QByteArray(1, '\0') << true << QString();
    QTest::newRow("local 8-bit text")
        << P << S << QByteArray("/opt/caf\xc3\xa9/tool\0", 15) << true << QStringLiteral("/opt/caf\u00e9/tool");
    QTest::newRow("1024 bytes, without zero")
        << P << S << QByteArray(1024, 'x') << true << QString(1024, QLatin1Char('x'));
    QTest::newRow("1024 bytes, with zero")
        << P << S << QByteArray(1023, 'x') + '\0' << true << QString(1023, QLatin1Char('x'));
    QTest::newRow("1025 bytes") << P << S << QByteArray(1025, 'x') << false << QString();
    QTest::newRow("number") << P << Registry::Dword << dword(12345) << true << QStringLiteral("12345");
    QTest::newRow("number with a zero high byte")
        << P << Registry::Dword << dword(0x00010203) << true << QStringLiteral("66051");
    QTest::newRow("number zero") << P << Registry::Dword << dword(0) << true << QStringLiteral("0");
    QTest::newRow("number above the signed range")
        << P << Registry::Dword << dword(0xFFFFFFFFu) << true << QStringLiteral("4294967295");
    QTest::newRow("other type leaves text") << P << Registry::Binary << QByteArray("\x01\x02", 2) << true << before;
    QTest::newRow("empty string value") << P << S << QByteArray() << false << QString();
    QTest::newRow("empty number value") << P << Registry::Dword << QByteArray() << false << QString();
    QTest::newRow("key missing") << Lookup::KeyMissing << S << QByteArray("x") << false << QString();
    QTest::newRow("value missing") << Lookup::ValueMissing << S << QByteArray("x") << false << QString();
}

void TestSysInfo::getKeyValue()
{
    QFETCH(Lookup, lookup);
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);
    QFETCH(bool, result);
    QFETCH(QString, text);

    test::WatchedRegistry registry;
    if (lookup == Lookup::Present)
        registry.setValue(Registry::LocalMachine, SomeKey, SomeValue, type, data);
    else if (lookup == Lookup::ValueMissing)
        registry.setValue(Registry::LocalMachine, SomeKey, "Other", type, data);
    // A key of the same path under another root must not answer.
    if (lookup == Lookup::KeyMissing)
        registry.setValue(0x80000001u, SomeKey, SomeValue, type, data);

    QString value = QStringLiteral("before");
    QCOMPARE(GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(SomeKey),
                         QString::fromLatin1(SomeValue), value),
             result);
    QCOMPARE(value, text);
    QVERIFY(registry.open.isEmpty());
}

void TestSysInfo::getKeyValueOpensWithFullRights()
{
    test::WatchedRegistry registry;
    registry.setValue(Registry::LocalMachine, SomeKey, SomeValue, Registry::String, "x");
    QString value;
    QVERIFY(GetKeyValue(registry, Registry::LocalMachine, QString::fromLatin1(SomeKey),
                        QString::fromLatin1(SomeValue), value));
    QCOMPARE(registry.lastAccess, 0x2003Fu);
}

// Entry 1 holds a path; entry 2 a folder. "<dir>" stands for a temporary folder.
void TestSysInfo::startSysInfo_data()
{
    QTest::addColumn<QByteArray>("entry1");
    QTest::addColumn<QByteArray>("entry2");
    QTest::addColumn<Tool>("tool");
    QTest::addColumn<bool>("startSucceeds");
    QTest::addColumn<QString>("started"); // empty: nothing started
    QTest::addColumn<bool>("message");

    const QByteArray absent("<absent>");
    const QByteArray missingTool("/no/such/folder/hardinfo\0", 25);
    const QString dirTool = QStringLiteral("<dir>/MSINFO32.EXE");

    QTest::newRow("entry 1, started without existence test")
        << missingTool << absent << Tool::None << true << QStringLiteral("/no/such/folder/hardinfo") << false;
    QTest::newRow("entry 1, start fails")
        << missingTool << absent << Tool::None << false << QStringLiteral("/no/such/folder/hardinfo") << true;
    QTest::newRow("entry 1 wins over entry 2")
        << QByteArray("/usr/bin/kinfocenter") << QByteArray("<dir>") << Tool::File << true
        << QStringLiteral("/usr/bin/kinfocenter") << false;
    QTest::newRow("entry 2 with the file") << absent << QByteArray("<dir>\0", 6) << Tool::File << true << dirTool << false;
    QTest::newRow("entry 2 with the file, start fails")
        << absent << QByteArray("<dir>") << Tool::File << false << dirTool << true;
    QTest::newRow("entry 2 without the file")
        << absent << QByteArray("<dir>") << Tool::None << true << QString() << true;
    QTest::newRow("entry 2, the file is a folder")
        << absent << QByteArray("<dir>") << Tool::Folder << true << QString() << true;
    QTest::newRow("entry 2 names no folder")
        << absent << QByteArray("<dir>/missing") << Tool::None << true << QString() << true;
    QTest::newRow("entry 1 empty, entry 2 tried")
        << QByteArray() << QByteArray("<dir>") << Tool::File << true << dirTool << false;
    QTest::newRow("both absent") << absent << absent << Tool::File << true << QString() << true;
}

void TestSysInfo::startSysInfo()
{
    QFETCH(QByteArray, entry1);
    QFETCH(QByteArray, entry2);
    QFETCH(Tool, tool);
    QFETCH(bool, startSucceeds);
    QFETCH(QString, started);
    QFETCH(bool, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString toolPath = dir.filePath(QStringLiteral("MSINFO32.EXE"));
    if (tool == Tool::File) {
        QFile file(toolPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else if (tool == Tool::Folder) {
        QVERIFY(QDir().mkdir(toolPath));
    }
    const QByteArray dirBytes = QFile::encodeName(dir.path());

    test::WatchedRegistry registry;
    if (entry1 != "<absent>")
        registry.setValue(Registry::LocalMachine, ToolPathKey, ToolPathValue, Registry::String, entry1);
    if (entry2 != "<absent>")
        registry.setValue(Registry::LocalMachine, ToolFolderKey, ToolFolderValue, Registry::String,
                          QByteArray(entry2).replace("<dir>", dirBytes));
    test::FakeLauncher launcher;
    launcher.succeed = startSucceeds;
    test::FakeMessageBoxes messages;

    StartSysInfo(registry, launcher, messages, QStringLiteral("Veltrane's Pantrio"));

    const QStringList expectedStarts =
        started.isEmpty() ? QStringList() : QStringList{QString(started).replace(QStringLiteral("<dir>"), dir.path())};
    QCOMPARE(launcher.started, expectedStarts);
    QCOMPARE(messages.shown.size(), message ? 1 : 0);
    if (message) {
        const test::ShownMessage& shown = messages.shown.front();
        QCOMPARE(shown.text, QStringLiteral("System Information Is Unavailable At This Time"));
        QCOMPARE(shown.title, QStringLiteral("Veltrane's Pantrio"));
        QCOMPARE(shown.icon, MessageIcon::None);
        QCOMPARE(shown.buttons, MessageButtons::Ok);
    }
    QVERIFY(registry.open.isEmpty());
}

QTEST_GUILESS_MAIN(TestSysInfo)
#include "tst_sysinfo.moc"
