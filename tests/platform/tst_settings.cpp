#include "platform/SettingsKeys.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace pantrio;

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void missingGivesDefault();
    void deleteSection();
    void fileIsReadableByHand();
    void unwritableStoreSaysSo();
    void keysKeepTheirStoredNames();
};

void TestSettings::roundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("one") << "1";
    QTest::newRow("empty") << "";
    QTest::newRow("blanks kept") << "  soup ";
    QTest::newRow("apostrophe and quotes") << "Grandma's \"best\"";
    QTest::newRow("equals and semicolon") << "a=b; c";
    QTest::newRow("accents") << "crème brûlée";
}

void TestSettings::roundTrip()
{
    QFETCH(QString, value);
    QTemporaryDir dir;
    {
        IniSettingsStore store(dir.path());
        QVERIFY(store.write(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Find"), value));
    }
    IniSettingsStore again(dir.path()); // another run of the program
    QCOMPARE(again.read(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Find"),
                        QStringLiteral("<default>")),
             value);
}

void TestSettings::missingGivesDefault()
{
    QTemporaryDir dir;
    IniSettingsStore store(dir.filePath(QStringLiteral("not-yet")));
    QCOMPARE(store.read(QStringLiteral("DezoruDozazor"), QStringLiteral("Counts"), QStringLiteral("FirstTime")),
             QString());
    QVERIFY(store.write(QStringLiteral("DezoruDozazor"), QStringLiteral("Counts"), QStringLiteral("Other"),
                        QStringLiteral("x")));
    QCOMPARE(store.read(QStringLiteral("DezoruDozazor"), QStringLiteral("Counts"), QStringLiteral("FirstTime"),
                        QStringLiteral("d")),
             QStringLiteral("d"));
}

void TestSettings::deleteSection()
{
    QTemporaryDir dir;
    IniSettingsStore store(dir.path());
    store.write(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Find"), QStringLiteral("x"));
    store.write(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Other"), QStringLiteral("y"));
    store.write(QStringLiteral("Pantrio"), QStringLiteral("Kept"), QStringLiteral("Key"), QStringLiteral("z"));
    QVERIFY(store.deleteSection(QStringLiteral("Pantrio"), QStringLiteral("Find Next")));
    QCOMPARE(store.read(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Find"),
                        QStringLiteral("gone")),
             QStringLiteral("gone"));
    QCOMPARE(store.read(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Other"),
                        QStringLiteral("gone")),
             QStringLiteral("gone"));
    QCOMPARE(store.read(QStringLiteral("Pantrio"), QStringLiteral("Kept"), QStringLiteral("Key")), QStringLiteral("z"));
    QVERIFY(store.deleteSection(QStringLiteral("Nobody"), QStringLiteral("Nothing")));
}

void TestSettings::fileIsReadableByHand()
{
    QTemporaryDir dir;
    IniSettingsStore store(dir.path());
    store.write(QStringLiteral("DezoruDozazor"), QStringLiteral("Counts"), QStringLiteral("FirstTime"),
                QStringLiteral("1"));
    QFile f(store.fileFor(QStringLiteral("DezoruDozazor")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()).trimmed(), QStringLiteral("[Counts]\nFirstTime=1"));
    // And a value changed by hand is read back.
    f.close();
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("; changed by hand\n[Counts]\nFirstTime = 2\n");
    f.close();
    QCOMPARE(store.read(QStringLiteral("DezoruDozazor"), QStringLiteral("Counts"), QStringLiteral("FirstTime")),
             QStringLiteral("2"));
}

void TestSettings::unwritableStoreSaysSo()
{
    QTemporaryDir dir;
    // A plain file where the settings folder should be: nothing can be created below it.
    const QString blocked = dir.filePath(QStringLiteral("blocked"));
    QFile f(blocked);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    IniSettingsStore store(blocked + QStringLiteral("/Pantrio"));
    QVERIFY(!store.write(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Find"),
                         QStringLiteral("x")));
    QCOMPARE(store.read(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Find"),
                        QStringLiteral("d")),
             QStringLiteral("d"));
}

void TestSettings::keysKeepTheirStoredNames()
{
    // Existing installations have these files; the accessors must find them.
    QTemporaryDir dir;
    IniSettingsStore store(dir.path());
    QCOMPARE(firstRunFlag(store), QString());
    QCOMPARE(savedSearchText(store), QString());

    QVERIFY(setFirstRunFlag(store));
    QVERIFY(saveSearchText(store, QStringLiteral("soup")));
    QFile counts(dir.filePath(QStringLiteral("DezoruDozazor.ini")));
    QVERIFY(counts.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(counts.readAll()).trimmed(), QStringLiteral("[Counts]\nFirstTime=1"));
    QFile find(dir.filePath(QStringLiteral("Pantrio.ini")));
    QVERIFY(find.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(find.readAll()).trimmed(), QStringLiteral("[Find%20Next]\nFind=soup"));

    QVERIFY(setFirstRunFlag(store, QStringLiteral("2")));
    QCOMPARE(firstRunFlag(store), QStringLiteral("2"));
    QCOMPARE(savedSearchText(store), QStringLiteral("soup"));

    store.write(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Other"), QStringLiteral("y"));
    QVERIFY(forgetSavedSearch(store));
    QCOMPARE(savedSearchText(store), QString());
    QCOMPARE(store.read(QStringLiteral("Pantrio"), QStringLiteral("Find Next"), QStringLiteral("Other")), QString());
    QCOMPARE(firstRunFlag(store), QStringLiteral("2"));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
