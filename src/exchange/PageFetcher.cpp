#include "PageFetcher.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QNetworkInterface>
#include <QNetworkReply>
#include <QRegularExpression>

namespace pantrio::exchange {

namespace {

// Without an interface that is up and not the loopback, a failed name lookup means no network.
bool hasNetwork()
{
    const auto interfaces = QNetworkInterface::allInterfaces();
    return std::any_of(interfaces.begin(), interfaces.end(), [](const QNetworkInterface& i) {
        return i.flags().testFlag(QNetworkInterface::IsUp) &&
               i.flags().testFlag(QNetworkInterface::IsRunning) &&
               !i.flags().testFlag(QNetworkInterface::IsLoopBack) && !i.addressEntries().isEmpty();
    });
}

QString declaredCharset(const QNetworkReply& reply)
{
    static const QRegularExpression charset(QStringLiteral("charset\\s*=\\s*[\"']?([^\"';\\s]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    return charset.match(reply.header(QNetworkRequest::ContentTypeHeader).toString()).captured(1);
}

QString statusText(const QNetworkReply& reply)
{
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed();
    return reason.isEmpty() ? QStringLiteral("HTTP %1").arg(status)
                            : QStringLiteral("HTTP %1 %2").arg(status).arg(reason);
}

} // namespace

PageFetcher::PageFetcher(std::chrono::milliseconds stallLimit, QObject* parent)
    : QObject(parent), stallLimit_(stallLimit), network_(new QNetworkAccessManager(this))
{
    stall_.setSingleShot(true);
    connect(&stall_, &QTimer::timeout, this, [this] {
        fail(FetchFailure::NoAnswer,
             tr("the server sent nothing for %1 seconds").arg(double(stallLimit_.count()) / 1000));
    });
}

PageFetcher::~PageFetcher()
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

QString PageFetcher::addressProblem(const QUrl& address)
{
    if (!address.isValid())
        return tr("it is not a valid address");
    const QString scheme = address.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return tr("only http:// and https:// addresses can be fetched, not %1:").arg(scheme);
    if (address.host().isEmpty())
        return tr("the address names no server");
    return {};
}

QString PageFetcher::userAgent()
{
    return QStringLiteral("Pantrio/%1.%2.%3 (recipe import)")
        .arg(PANTRIO_VERSION_MAJOR)
        .arg(PANTRIO_VERSION_MINOR)
        .arg(PANTRIO_VERSION_REVISION);
}

void PageFetcher::start(const QUrl& address)
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
    result_ = FetchResult();
    result_.address = address;
    sslProblem_.clear();
    if (const QString problem = addressProblem(address); !problem.isEmpty()) {
        result_.failure = FetchFailure::NotWebAddress;
        result_.problem = problem;
        QMetaObject::invokeMethod(this, &PageFetcher::finished, Qt::QueuedConnection);
        return;
    }
    // A jar of this fetch's own: a site that sets a cookie and redirects to check it works,
    // and nothing is left for the next fetch.
    network_->setCookieJar(new QNetworkCookieJar);
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setRawHeader("Accept", "text/html,application/xhtml+xml,application/ld+json;q=0.9,*/*;q=0.8");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    reply_ = network_->get(request);
    const auto alive = [this] { stall_.start(stallLimit_); };
    connect(reply_, &QNetworkReply::readyRead, this, &PageFetcher::onReadyRead);
    connect(reply_, &QNetworkReply::redirected, this, alive);
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this, alive] {
        alive();
        const QVariant length = reply_->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxBody)
            fail(FetchFailure::TooLarge, tr("the page is larger than %1 MB").arg(MaxBody / (1024 * 1024)));
    });
    connect(reply_, &QNetworkReply::downloadProgress, this,
            [this](qint64 received, qint64 total) { emit progress(received, total); });
#if QT_CONFIG(ssl)
    connect(reply_, &QNetworkReply::sslErrors, this, [this](const QList<QSslError>& errors) {
        if (!errors.isEmpty())
            sslProblem_ = errors.first().errorString();
    });
#endif
    connect(reply_, &QNetworkReply::finished, this, &PageFetcher::onFinished);
    alive();
}

void PageFetcher::cancel()
{
    if (reply_)
        fail(FetchFailure::Cancelled, tr("the fetch was cancelled"));
}

void PageFetcher::onReadyRead()
{
    stall_.start(stallLimit_);
    result_.body += reply_->readAll();
    if (result_.body.size() > MaxBody)
        fail(FetchFailure::TooLarge, tr("the page is larger than %1 MB").arg(MaxBody / (1024 * 1024)));
}

void PageFetcher::onFinished()
{
    QNetworkReply& reply = *reply_;
    result_.body += reply.readAll();
    result_.address = reply.url();
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString host = reply.url().host();
    if (status == 404 || status == 410)
        return fail(FetchFailure::NotFound, tr("the page was not found (%1)").arg(statusText(reply)));
    if (status >= 500)
        return fail(FetchFailure::ServerError, tr("the server had an error (%1)").arg(statusText(reply)));
    if (status >= 400)
        return fail(FetchFailure::HttpError, tr("the server refused the page (%1)").arg(statusText(reply)));
    switch (reply.error()) {
    case QNetworkReply::NoError:
        if (result_.body.size() > MaxBody)
            return fail(FetchFailure::TooLarge,
                        tr("the page is larger than %1 MB").arg(MaxBody / (1024 * 1024)));
        result_.charset = declaredCharset(reply);
        return finish();
    case QNetworkReply::ConnectionRefusedError:
        return fail(FetchFailure::ConnectionRefused, tr("%1 refused the connection").arg(host));
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        if (!hasNetwork())
            return fail(FetchFailure::NoNetwork, tr("there is no network connection"));
        if (reply.error() == QNetworkReply::HostNotFoundError)
            return fail(FetchFailure::UnknownHost, tr("no server is known by the name %1").arg(host));
        break;
    case QNetworkReply::SslHandshakeFailedError:
        return fail(FetchFailure::Certificate,
                    tr("the site's certificate is not valid (%1)")
                        .arg(sslProblem_.isEmpty() ? reply.errorString() : sslProblem_));
    case QNetworkReply::TooManyRedirectsError:
        return fail(FetchFailure::TooManyRedirects,
                    tr("the page redirects more than %1 times").arg(MaxRedirects));
    case QNetworkReply::InsecureRedirectError:
        return fail(FetchFailure::InsecureRedirect,
                    tr("the secure address redirects to one that is not secure (%1)")
                        .arg(reply.url().toDisplayString()));
    case QNetworkReply::ProtocolUnknownError:
        return fail(FetchFailure::NotWebAddress,
                    tr("the page redirects to an address that is not a web page"));
    case QNetworkReply::TimeoutError:
        return fail(FetchFailure::NoAnswer, tr("the server did not answer"));
    default:
        break;
    }
    fail(FetchFailure::Other, reply.errorString());
}

void PageFetcher::fail(FetchFailure failure, const QString& problem)
{
    result_.failure = failure;
    result_.problem = problem;
    result_.body.clear();
    finish();
}

void PageFetcher::finish()
{
    stall_.stop();
    if (QNetworkReply* reply = reply_) {
        reply_ = nullptr;
        reply->disconnect(this);
        if (reply->isRunning())
            reply->abort();
        reply->deleteLater();
    }
    emit finished();
}

FetchResult fetchPage(const QUrl& address, std::chrono::milliseconds stallLimit,
                      const std::function<bool(qint64 received)>& keepGoing)
{
    PageFetcher fetcher(stallLimit);
    QEventLoop loop;
    bool done = false;
    QObject::connect(&fetcher, &PageFetcher::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    qint64 received = 0;
    QObject::connect(&fetcher, &PageFetcher::progress, &loop,
                     [&](qint64 bytes, qint64) { received = bytes; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &fetcher, [&] {
        if (keepGoing && !keepGoing(received))
            fetcher.cancel();
    });
    poll.start(100);
    fetcher.start(address);
    if (!done)
        loop.exec();
    return fetcher.result();
}

} // namespace pantrio::exchange
