#include "store/RecordCursor.h"
#include "support/HttpServer.h"
#include "support/TestSupport.h"

#include <csignal>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace pantrio;

namespace {

QString data(const char* name)
{
    return QStringLiteral(PANTRIO_EXCHANGE_DATA "/") + QLatin1StringView(name);
}

struct Result
{
    int status = -1;
    QString out, err;
};

Result run(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(PANTRIO_RECIPES_TOOL), args);
    if (!p.waitForFinished(60000))
        qFatal("pantrio-recipes did not finish");
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

int recipeCount(const QString& path)
{
    return RecordCursor::open(path, {OpenMode::Shared, 0})->recordCount();
}

} // namespace

class TestPantrioRecipes : public QObject
{
    Q_OBJECT

private slots:
    void statusAndSummary_data()
    {
        QTest::addColumn<QStringList>("args"); // COLLECTION stands for a new collection's path
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("recipes"); // in the collection afterwards; -1: it does not exist
        const QString c = QStringLiteral("COLLECTION");
        QTest::newRow("all imported") << QStringList{"import", "--collection", c, data("recipe.json")} << 0
                                      << "Imported 1 recipe, 0 duplicates skipped, 0 refused." << 1;
        QTest::newRow("a recipe refused") << QStringList{"import", "--collection", c, data("cookbook.mmf")}
                                          << 1 << "cookbook.mmf:59: a recipe was refused" << 3;
        QTest::newRow("nothing readable creates nothing")
            << QStringList{"import", "--collection", c, data("shopping.txt")} << 1
            << "shopping.txt\" was refused: nothing in it is a recipe Pantrio can read." << -1;
        QTest::newRow("dry run") << QStringList{"import", "--dry-run", "--collection", c, data("page.html")}
                                 << 0 << "Dry run, nothing changed: would import 1 recipe" << -1;
        QTest::newRow("no files") << QStringList{"import", "--collection", c} << 2 << "name at least one file"
                                  << -1;
        QTest::newRow("export without format") << QStringList{"export", "--collection", c, "-"} << 2
                                               << "--format mealmaster, json or html" << -1;
        QTest::newRow("unknown command") << QStringList{"merge"} << 2 << "unknown command \"merge\"" << -1;
        QTest::newRow("export of a missing collection")
            << QStringList{"export", "--collection", c, "--format", "json", "-"} << 3 << "does not exist"
            << -1;
        QTest::newRow("export into a folder")
            << QStringList{"export", "--collection", c, "--format", "json", data("access")} << 3
            << "access\" is a folder" << -1;
        QTest::newRow("export into a device")
            << QStringList{"export", "--collection", c, "--format", "json", "/dev/null"} << 3
            << "\"/dev/null\" is a device, not a file" << -1;
        QTest::newRow("export of an Access file")
            << QStringList{"export", "--collection", data("access/testV1997.mdb"), "--format", "json", "-"}
            << 3 << "is an Access file of an earlier version: open it in Pantrio to convert it, or import it"
            << -1;
    }

    void statusAndSummary()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(int, recipes);
        QTemporaryDir dir;
        const QString collection = dir.filePath(QStringLiteral("Savorix.mdb"));
        args.replaceInStrings(QStringLiteral("COLLECTION"), collection);
        const Result r = run(args);
        QVERIFY2((r.out + r.err).contains(message), qPrintable(r.out + r.err));
        QCOMPARE(r.status, status);
        QCOMPARE(QFileInfo::exists(collection) ? recipeCount(collection) : -1, recipes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(),
                 recipes < 0 ? 0 : 1); // no temporary left over
    }

    // A new collection that cannot be completed (here: a file size limit, as a full disk) leaves
    // nothing behind, and the message names the collection asked for.
    void failedNewCollectionLeavesNothing()
    {
        QTemporaryDir dir;
        QJsonArray recipes;
        for (int i = 0; i < 2000; ++i)
            recipes.append(QJsonObject{{"@type", "Recipe"},
                                       {"name", QStringLiteral("Stew %1").arg(i)},
                                       {"recipeInstructions", QString(2000, QLatin1Char('a' + i % 26))}});
        QFile list(dir.filePath(QStringLiteral("many.json")));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write(QJsonDocument(recipes).toJson());
        list.close();
        const QString collection = dir.filePath(QStringLiteral("Savorix.mdb"));
        QProcess p;
        p.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("trap '' XFSZ; ulimit -f 2048; exec \"$0\" \"$@\""),
                 QStringLiteral(PANTRIO_RECIPES_TOOL), QStringLiteral("import"),
                 QStringLiteral("--collection"), collection, list.fileName()});
        QVERIFY(p.waitForFinished(60000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QCOMPARE(p.exitCode(), 3);
        QVERIFY2(err.contains(QStringLiteral("\"%1\"").arg(collection)), qPrintable(err));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("many.json")});
    }

    void collectionHeldByTheWindowIsInUse()
    {
        QTemporaryDir dir;
        const QString path = test::makeRecipeFile(
            dir.path(), {test::recipe(QStringLiteral("Soups"), QStringLiteral("Leek Soup"))});
        auto held = RecordCursor::open(path, {OpenMode::Exclusive, 0});
        const Result r =
            run({QStringLiteral("import"), QStringLiteral("--collection"), path, data("recipe.json")});
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.contains(QStringLiteral("in use")), qPrintable(r.err));
        held.reset();
        QCOMPARE(recipeCount(path), 1);
    }

    // The Access library loops for ever on this copy cut in half; Ctrl+C still ends it at once,
    // before the reader's own time limit, and none of the library's warnings come through.
    void interruptEndsALoopingAccessRead()
    {
        QTemporaryDir dir;
        QFile good(data("access/test2V2000.mdb")), cut(dir.filePath(QStringLiteral("cut.mdb")));
        QVERIFY(good.open(QIODevice::ReadOnly) && cut.open(QIODevice::WriteOnly));
        cut.write(good.read(good.size() / 2));
        cut.close();
        const QString collection = dir.filePath(QStringLiteral("new.mdb"));
        QProcess p;
        p.start(QStringLiteral(PANTRIO_RECIPES_TOOL),
                {QStringLiteral("import"), QStringLiteral("--collection"), collection, cut.fileName()});
        QVERIFY(p.waitForStarted());
        QTest::qWait(1500);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(8000));
        QCOMPARE(p.exitCode(), 130);
        QCOMPARE(QString::fromLocal8Bit(p.readAllStandardError()).trimmed(),
                 QStringLiteral("pantrio-recipes: interrupted; nothing was imported."));
        QVERIFY(!QFileInfo::exists(collection));
    }

    void importsFromAddresses()
    {
        test::HttpServer server;
        QFile page(data("page.html"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        server.answers["/shakshuka"] =
            test::HttpServer::response("200 OK", "Content-Type: text/html\r\n", page.readAll());
        server.answers["/about"] = test::HttpServer::response("200 OK", {}, "<html><p>About us</p></html>");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Savorix.mdb"));
        // The server answers from this process's event loop while the tool runs.
        QProcess tool;
        tool.start(QStringLiteral(PANTRIO_RECIPES_TOOL),
                   {"import", "--collection", path, server.url("/shakshuka"), server.url("/gone"),
                    server.url("/about"), "file:///etc/passwd"});
        QSignalSpy done(&tool, &QProcess::finished);
        QVERIFY(done.wait(60000));
        const QString err = QString::fromLocal8Bit(tool.readAllStandardError());
        QCOMPARE(QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed(),
                 u"Imported 1 recipe, 0 duplicates skipped, 3 refused."_qs);
        QCOMPARE(tool.exitCode(), 1);
        for (const char* problem : {"/gone\" was refused: the page was not found (HTTP 404 Not Found).",
                                    "/about\" was refused: the page holds no recipe Pantrio can read.",
                                    "\"file:///etc/passwd\" was refused: only http:// and https://"})
            QVERIFY2(err.contains(QLatin1StringView(problem)), qPrintable(err));
        QCOMPARE(recipeCount(path), 1);
    }

    void exportsToStandardOutput()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Savorix.mdb"));
        QCOMPARE(
            run({QStringLiteral("import"), QStringLiteral("--collection"), path, data("list.json")}).status,
            1);
        const Result r = run({QStringLiteral("export"), QStringLiteral("--collection"), path,
                              QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("-")});
        QCOMPARE(r.status, 0);
        const QJsonArray recipes = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QCOMPARE(recipes.size(), 2);
        QCOMPARE(recipes[1][QStringLiteral("name")].toString(), QStringLiteral("Cucumber Raita"));
        QCOMPARE(r.err.trimmed(), QStringLiteral("Exported 2 recipes."));
        // never over an existing file
        const QString existing = data("recipe.json");
        QCOMPARE(run({QStringLiteral("export"), QStringLiteral("--collection"), path,
                      QStringLiteral("--format"), QStringLiteral("mealmaster"), existing})
                     .status,
                 3);
    }

    // A cookbook the tool writes, the tool reads back as the same collection.
    void cookbookImportsBack()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath(QStringLiteral("first.mdb")),
                      second = dir.filePath(QStringLiteral("second.mdb"));
        const QString cookbook = dir.filePath(QStringLiteral("Cookbook.html"));
        run({QStringLiteral("import"), QStringLiteral("--collection"), first, data("list.json"),
             data("page.html")});
        QCOMPARE(run({QStringLiteral("export"), QStringLiteral("--collection"), first,
                      QStringLiteral("--format"), QStringLiteral("html"), cookbook})
                     .status,
                 0);
        QCOMPARE(run({QStringLiteral("import"), QStringLiteral("--collection"), second, cookbook}).status, 0);
        const auto json = [&](const QString& collection) {
            return run({QStringLiteral("export"), QStringLiteral("--collection"), collection,
                        QStringLiteral("--format"), QStringLiteral("json"), QStringLiteral("-")})
                .out;
        };
        QVERIFY(recipeCount(first) > 1);
        QCOMPARE(json(second), json(first));
    }
};

QTEST_GUILESS_MAIN(TestPantrioRecipes)
#include "tst_pantriorecipes.moc"
