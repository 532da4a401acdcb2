#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

namespace pantrio::test {

// A web server on the loopback with canned answers: one request a connection, the answer
// to a path that `answers` lacks is a 404, and to an empty answer nothing at all.
class HttpServer : public QObject
{
public:
    HttpServer()
    {
        server_.listen(QHostAddress::LocalHost);
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            }
        });
    }

    static QByteArray response(const QByteArray& status, const QByteArray& headers, const QByteArray& body)
    {
        return "HTTP/1.1 " + status + "\r\nConnection: close\r\n" + headers +
               "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }

    QString url(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(QLatin1StringView(path));
    }

    QHash<QByteArray, QByteArray> answers; // by path
    QByteArray lastUserAgent;

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = requests_[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        for (const QByteArray& line : request.split('\n'))
            if (line.toLower().startsWith("user-agent:"))
                lastUserAgent = line.mid(11).trimmed();
        const QByteArray answer =
            answers.value(request.split(' ').value(1), response("404 Not Found", {}, "no such page"));
        if (answer.isEmpty())
            return; // the connection stays open, and nothing comes
        socket->write(answer);
        socket->disconnectFromHost();
    }

    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> requests_;
};

} // namespace pantrio::test
