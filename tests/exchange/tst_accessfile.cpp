#include "exchange/AccessConversion.h"
#include "store/RecordCursor.h"
#include "store/StoreError.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;

namespace {

QString data(const char* name)
{
    return QStringLiteral(PANTRIO_EXCHANGE_DATA "/access/") + QLatin1StringView(name);
}

AccessReading reader()
{
    AccessReading how;
    how.reader = QStringLiteral(PANTRIO_ACCESS_READER);
    return how;
}

QByteArray digest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestAccessFile : public QObject
{
    Q_OBJECT

private slots:
    void readsText_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Jet 3 text") << data("testV1997.mdb") << "Table1"
                                    << "B" << 1 << "hijklmnop";
        QTest::newRow("Jet 4 compressed, Finnish") << data("testUnicodeCompV2003.mdb") << "Table"
                                                   << "Unicode" << 1 << "ääkkösiä";
        QTest::newRow("Jet 4 compressed, Russian") << data("testUnicodeCompV2003.mdb") << "Table"
                                                   << "Unicode" << 2 << "Мир";
        QTest::newRow("Jet 4 compressed, polytonic Greek")
            << data("testUnicodeCompV2003.mdb") << "Table"
            << "Unicode" << 3 // as stored: oxia accents, not tonos
            << "\u03F0\u03B1\u1F76 \u03C4\u1F79\u03C4' \u1F10\u03B3\u1F7C "
               "\u039A\u1F7B\u03F0\u03BB\u03C9\u03C0\u03B1";
        QTest::newRow("Jet 4 pound sign") << data("test2V2000.mdb") << "MSP_PROJECTS"
                                          << "PROJ_OPT_CURRENCY_SYMBOL" << 0 << "£";
    }

    void readsText()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(int, row);
        QFETCH(QString, expected);
        int at = 0;
        std::optional<QString> got;
        const auto take = [&](const QStringList& columns, const QList<FieldValue>& values) {
            if (at++ == row)
                got = values.value(columns.indexOf(column)).value_or(QStringLiteral("(none)"));
            return true;
        };
        QVERIFY(readAccessTable(file, table, take, reader()));
        QCOMPARE(got, expected);
    }

    // A long Memo text comes out whole, not cut at a bind buffer's size.
    void readsLongMemo()
    {
        QString author;
        readAccessTable(
            data("test2V2000.mdb"), QStringLiteral("MSP_PROJECTS"),
            [&](const QStringList& columns, const QList<FieldValue>& v) {
                author = v.value(columns.indexOf(QStringLiteral("PROJ_PROP_AUTHOR"))).value_or(QString());
                return false;
            },
            reader());
        QCOMPARE(author.size(), 348);
        QVERIFY(author.startsWith(QStringLiteral("Jon Iles this is a")));
    }

    void mapsColumnsToFieldsInTableOrder()
    {
        AccessLayout layout;
        layout.table = QStringLiteral("Table");
        layout.columns[fieldIndex(Field::RecipeName)] = QStringLiteral("unicode"); // letter case ignored
        layout.columns[fieldIndex(Field::Notes)] = QStringLiteral("ID");
        QList<RecipeValues> recipes;
        ReadEvents events;
        events.recipe = [&](RecipeValues&& r, std::int64_t) {
            recipes << r;
            return true;
        };
        readAccess(data("testUnicodeCompV2003.mdb"), events, layout, reader());
        QCOMPARE(recipes.size(), 8);
        QCOMPARE(recipes[2][Field::RecipeName], QStringLiteral("Мир"));
        QCOMPARE(recipes[2][Field::Notes], QStringLiteral("3"));
        QCOMPARE(recipes[2][Field::Instructions], std::nullopt); // no such column
    }

    void fileWithoutRecipesIsRefused()
    {
        ReadEvents events;
        events.recipe = [](RecipeValues&&, std::int64_t) { return true; };
        try {
            readAccess(data("testV1997.mdb"), events, {}, reader());
            QFAIL("no error");
        } catch (const ReadError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("\"Recipes\"")), qPrintable(e.message()));
        }
    }

    void convertsKeepingTheOriginal()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Savorix.mdb"));
        QVERIFY(QFile::copy(data("testUnicodeCompV2003.mdb"), path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        // a name already taken is never overwritten
        QFile taken(dir.filePath(QStringLiteral("Savorix (Access).mdb")));
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.close();
        AccessLayout layout;
        layout.table = QStringLiteral("Table");
        layout.columns[fieldIndex(Field::RecipeName)] = QStringLiteral("Unicode");

        const QString kept = convertAccessCollection(path, reader(), layout);
        QCOMPARE(QFileInfo(kept).fileName(), QStringLiteral("Savorix (Access 2).mdb"));
        QCOMPARE(digest(kept), digest(data("testUnicodeCompV2003.mdb")));
        QCOMPARE(QFileInfo(taken).size(), 0);
        auto cursor = RecordCursor::open(path, {OpenMode::Exclusive, 0});
        QStringList names;
        for (int i = 0; i < cursor->recordCount(); ++i, cursor->moveNext())
            names << cursor->field(Field::RecipeName).value_or(QString());
        QCOMPARE(names.size(), 8);
        QCOMPARE(names.mid(0, 3), (QStringList{QStringLiteral("only ascii chars"), QStringLiteral("ääkkösiä"),
                                               QStringLiteral("Мир")}));
    }

    void failedConversionLeavesTheFileAsItWas_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<bool>("cancel");
        QTest::newRow("no recipe table") << "Recipes" << false;
        QTest::newRow("cancelled at the first recipe") << "Table" << true;
    }

    void failedConversionLeavesTheFileAsItWas()
    {
        QFETCH(QString, table);
        QFETCH(bool, cancel);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Savorix.mdb"));
        QVERIFY(QFile::copy(data("testUnicodeCompV2003.mdb"), path));
        AccessReading how = reader();
        if (cancel)
            how.progress = [](std::int64_t, std::int64_t) { return false; };
        AccessLayout layout;
        layout.table = table;
        if (cancel)
            QCOMPARE(convertAccessCollection(path, how, layout), QString());
        else
            QVERIFY_THROWS_EXCEPTION(StoreError, convertAccessCollection(path, how, layout));
        QCOMPARE(digest(path), digest(data("testUnicodeCompV2003.mdb")));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Savorix.mdb")});
    }
};

QTEST_GUILESS_MAIN(TestAccessFile)
#include "tst_accessfile.moc"
