#include "exchange/PageFetcher.h"
#include "support/HttpServer.h"

#include <QSignalSpy>
#include <QtTest>

using namespace pantrio;
using namespace pantrio::exchange;
using namespace std::chrono_literals;

namespace {

// The answers the fetcher meets.
std::unique_ptr<test::HttpServer> cannedServer()
{
    auto server = std::make_unique<test::HttpServer>();
    const auto response = test::HttpServer::response;
    server->answers = {
        {"/page",
         response("200 OK", "Content-Type: text/html; charset=ISO-8859-1\r\n", "<html>recipe</html>")},
        {"/first", response("302 Found", "Location: /second\r\n", {})},
        {"/second",
         response("301 Moved Permanently", "Location: " + server->url("/page").toLatin1() + "\r\n", {})},
        {"/loop", response("302 Found", "Location: /loop\r\n", {})},
        {"/broken", response("503 Service Unavailable", {}, "down")},
        {"/huge", response("200 OK", {}, QByteArray(PageFetcher::MaxBody + 1, 'x'))},
        {"/silent", {}},
    };
    return server;
}

} // namespace

Q_DECLARE_METATYPE(pantrio::exchange::FetchFailure)

class TestPageFetcher : public QObject
{
    Q_OBJECT

private slots:
    void fetch_data()
    {
        QTest::addColumn<QString>("path"); // on the test's server, or a whole address
        QTest::addColumn<FetchFailure>("failure");
        QTest::addColumn<QString>("problem");
        QTest::newRow("page") << "/page" << FetchFailure::None << "";
        QTest::newRow("two redirects") << "/first" << FetchFailure::None << "";
        QTest::newRow("redirect loop")
            << "/loop" << FetchFailure::TooManyRedirects << "the page redirects more than 5 times";
        QTest::newRow("missing") << "/missing" << FetchFailure::NotFound
                                 << "the page was not found (HTTP 404 Not Found)";
        QTest::newRow("server error") << "/broken" << FetchFailure::ServerError
                                      << "the server had an error (HTTP 503 Service Unavailable)";
        QTest::newRow("no answer") << "/silent" << FetchFailure::NoAnswer
                                   << "the server sent nothing for 0.3 seconds";
        QTest::newRow("too large") << "/huge" << FetchFailure::TooLarge << "the page is larger than 10 MB";
        QTest::newRow("other scheme") << "ftp://127.0.0.1/page" << FetchFailure::NotWebAddress
                                      << "only http:// and https:// addresses can be fetched, not ftp:";
        QTest::newRow("refused connection")
            << "http://127.0.0.1:1/" << FetchFailure::ConnectionRefused << "127.0.0.1 refused the connection";
    }

    void fetch()
    {
        QFETCH(QString, path);
        QFETCH(FetchFailure, failure);
        QFETCH(QString, problem);
        const auto server = cannedServer();
        const QUrl address(path.startsWith(u'/') ? server->url(path.toLatin1().constData()) : path);
        PageFetcher fetcher(300ms);
        QSignalSpy finished(&fetcher, &PageFetcher::finished);
        fetcher.start(address);
        QVERIFY(finished.wait(10000));
        QTest::qWait(20); // a second signal would come by now
        QCOMPARE(finished.size(), 1);
        const FetchResult& result = fetcher.result();
        QCOMPARE(result.failure, failure);
        QCOMPARE(result.problem, problem);
        QCOMPARE(result.ok(), failure == FetchFailure::None);
        if (result.ok()) {
            QCOMPARE(result.body, "<html>recipe</html>");
            QCOMPARE(result.charset, u"ISO-8859-1"_qs);
            QCOMPARE(result.address, QUrl(server->url("/page")));
            QVERIFY(server->lastUserAgent.startsWith("Pantrio/"));
        } else {
            QVERIFY(result.body.isEmpty());
        }
    }

    void cancel()
    {
        const auto server = cannedServer();
        PageFetcher fetcher;
        QSignalSpy finished(&fetcher, &PageFetcher::finished);
        fetcher.start(QUrl(server->url("/silent")));
        QTest::qWait(50);
        QVERIFY(fetcher.isRunning());
        fetcher.cancel();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(fetcher.result().failure, FetchFailure::Cancelled);
        QVERIFY(!fetcher.isRunning());
    }
};

QTEST_GUILESS_MAIN(TestPageFetcher)
#include "tst_pagefetcher.moc"
