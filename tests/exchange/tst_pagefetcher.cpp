#include "exchange/PageFetcher.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace pantrio::exchange;
using namespace std::chrono_literals;

namespace {

// A web server with canned answers, one request a connection.
class CannedServer : public QObject
{
public:
    CannedServer()
    {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }

    QString url(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1StringView(path));
    }

    QByteArray lastUserAgent;

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = requests_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        for (const QByteArray& line : request.split('\n'))
            if (line.toLower().startsWith("user-agent:"))
                lastUserAgent = line.mid(11).trimmed();
        const auto reply = [&](const QByteArray& status, const QByteArray& headers, const QByteArray& body) {
            socket->write("HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers +
                          "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        };
        if (path == "/page")
            reply("200 OK", "Content-Type: text/html; charset=ISO-8859-1\r\n", "<html>recipe</html>");
        else if (path == "/first")
            reply("302 Found", "Location: /second\r\n", {});
        else if (path == "/second")
            reply("301 Moved Permanently", "Location: " + url("/page").toLatin1() + "\r\n", {});
        else if (path == "/loop")
            reply("302 Found", "Location: /loop\r\n", {});
        else if (path == "/broken")
            reply("503 Service Unavailable", {}, "down");
        else if (path == "/huge")
            reply("200 OK", {}, QByteArray(PageFetcher::MaxBody + 1, 'x'));
        else if (path == "/silent")
            return; // the connection stays open, and nothing comes
        else
            reply("404 Not Found", {}, "no such page");
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> requests_;
};

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
        CannedServer server;
        const QUrl address(path.startsWith(u'/') ? server.url(path.toLatin1().constData()) : path);
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
            QCOMPARE(result.address, QUrl(server.url("/page")));
            QVERIFY(server.lastUserAgent.startsWith("Pantrio/"));
        } else {
            QVERIFY(result.body.isEmpty());
        }
    }

    void cancel()
    {
        CannedServer server;
        PageFetcher fetcher;
        QSignalSpy finished(&fetcher, &PageFetcher::finished);
        fetcher.start(QUrl(server.url("/silent")));
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
