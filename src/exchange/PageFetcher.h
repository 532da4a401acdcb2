#pragma once

#include <chrono>
#include <functional>
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace pantrio::exchange {

// Why a page could not be fetched.
enum class FetchFailure {
    None,
    NotWebAddress, // not http:// or https://
    NotFound,      // 404, 410
    ServerError,   // 5xx
    HttpError,     // any other refusal by the server (403, 401, ...)
    ConnectionRefused,
    NoNetwork,
    UnknownHost,
    Certificate,
    TooManyRedirects,
    InsecureRedirect, // https:// sending on to http://
    NoAnswer,         // nothing arrived for the stall limit
    TooLarge,
    Cancelled,
    Other,
};

struct FetchResult
{
    FetchFailure failure = FetchFailure::None;
    QString problem; // a sentence for the user when it failed
    QUrl address;    // where the page was found, after redirects
    QByteArray body;
    QString charset; // as the server declared it, or empty
    bool ok() const { return failure == FetchFailure::None; }
};

// Fetches one web page without blocking: `progress` as bytes arrive, `finished` once (also
// after cancel() and for an address refused outright). At most MaxRedirects redirects; a body
// over MaxBody is refused; it gives up when nothing arrives for `stallLimit`. No cookie is
// kept from one fetch to the next.
class PageFetcher : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxRedirects = 5;
    static constexpr qint64 MaxBody = 10 * 1024 * 1024;
    static constexpr std::chrono::milliseconds DefaultStallLimit{20000};

    explicit PageFetcher(std::chrono::milliseconds stallLimit = DefaultStallLimit, QObject* parent = nullptr);
    ~PageFetcher() override;

    // A message when `address` is not one Pantrio fetches (another scheme, no host); else empty.
    static QString addressProblem(const QUrl& address);
    static QString userAgent();

    void start(const QUrl& address);
    void cancel();
    bool isRunning() const { return !reply_.isNull(); }
    const FetchResult& result() const { return result_; }

signals:
    void progress(qint64 received, qint64 total); // total is -1 when the server does not say
    void finished();

private:
    void onReadyRead();
    void onFinished();
    void fail(FetchFailure failure, const QString& problem);
    void finish();

    std::chrono::milliseconds stallLimit_;
    QNetworkAccessManager* network_;
    QPointer<QNetworkReply> reply_;
    QTimer stall_;
    FetchResult result_;
    QString sslProblem_;
};

// Fetches a page and waits for it, running an event loop; `keepGoing` is told the bytes
// received so far a few times a second, and false cancels. For programs without windows.
FetchResult fetchPage(const QUrl& address, std::chrono::milliseconds stallLimit,
                      const std::function<bool(qint64 received)>& keepGoing);

} // namespace pantrio::exchange
