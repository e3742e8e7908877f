#include "update/UpdateHttpClient.h"

#include "base/AbortToken.h"

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <memory>

namespace
{

constexpr int kMaxRedirects = 5;
constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; ICS)";
constexpr char kAccept[] = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Errors of the connection itself (host, connection, proxy, time-out, abort), as opposed to errors derived from the
// status code.
bool isNetworkFailure(QNetworkReply::NetworkError e)
{
    return e != QNetworkReply::NoError && e < QNetworkReply::ContentAccessDenied &&
           e != QNetworkReply::ProxyAuthenticationRequiredError;
}

QString unsupported(const QUrl &url)
{
    return QStringLiteral("Ongeldig of niet ondersteund adres: ") + url.toString();
}

} // namespace

UpdateHttpClient::UpdateHttpClient() = default;

UpdateHttpClient::~UpdateHttpClient() = default;

bool UpdateHttpClient::closing()
{
    return AbortToken::program().tripped();
}

HttpResult UpdateHttpClient::get(const QString &url, QIODevice *sink, std::function<void(qint64)> onData)
{
    return run("GET", url, sink, onData);
}

HttpResult UpdateHttpClient::head(const QString &url)
{
    return run("HEAD", url, nullptr, {});
}

void UpdateHttpClient::abort()
{
    QMutexLocker lock(&m_mutex);
    m_aborted = true;
    if (m_reply)
        QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
}

HttpResult UpdateHttpClient::run(const QByteArray &method, const QString &url, QIODevice *sink,
                                 const std::function<void(qint64)> &onData)
{
    m_received = 0;
    m_aborted = false;
    m_timedOut = false;
    HttpResult result;
    if (closing()) {
        result.outcome = HttpResult::Outcome::HttpFailure;
        result.statusCode = 404;
        result.reasonPhrase = QStringLiteral("Operation canceled");
        result.closing = true;
        return result;
    }
    QObject progressContext; // progress reports are delivered to the caller's thread while it lives
    QObject *context = onData ? &progressContext : nullptr;
    std::unique_ptr<QThread> worker(QThread::create([&] { result = perform(method, url, sink, context, onData); }));
    QEventLoop loop;
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker->start();
    {
        // The program closes: the request that waits ends now.
        const AbortToken::Watch watch(AbortToken::program(), [this] { abort(); });
        loop.exec();
    }
    // The loop also ends when the application quits (then it does not even start): the request must not outlive
    // the wait, or the program would hang on it while it ends.
    if (!worker->isFinished())
        abort();
    worker->wait();
    if (m_aborted && closing())
        result.closing = true;
    return result;
}

HttpResult UpdateHttpClient::perform(const QByteArray &method, const QString &url, QIODevice *sink,
                                     QObject *progressContext, const std::function<void(qint64)> &onData)
{
    HttpResult result;
    QUrl current(url);
    const QString scheme = current.scheme().toLower();
    if (!current.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        result.errorText = unsupported(current);
        return result;
    }

    QNetworkAccessManager nam;
    if (ProxyHost.isEmpty())
        nam.setProxy(QNetworkProxy::NoProxy);
    else
        nam.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, ProxyHost, ProxyPort.toUShort()));

    // The whole request, redirects included, ends after overallTimeoutMs however slowly the server trickles.
    QTimer overall;
    overall.setSingleShot(true);
    QObject::connect(&overall, &QTimer::timeout, &overall, [this] {
        m_timedOut = true;
        QMutexLocker lock(&m_mutex);
        if (m_reply)
            m_reply->abort();
    });
    if (overallTimeoutMs > 0)
        overall.start(overallTimeoutMs);

    qint64 received = 0;
    for (int redirects = 0;; ++redirects) {
        QNetworkRequest request(current);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
        request.setRawHeader("User-Agent", kUserAgent);
        request.setRawHeader("Accept", kAccept);
        request.setRawHeader("Pragma", "no-cache");
        request.setTransferTimeout(transferTimeoutMs);
        if (!extraCaCertificates.isEmpty()) {
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.addCaCertificates(extraCaCertificates);
            request.setSslConfiguration(tls);
        }

        std::unique_ptr<QNetworkReply> reply(method == "HEAD" ? nam.head(request) : nam.get(request));
        {
            QMutexLocker lock(&m_mutex);
            m_reply = reply.get();
            if (m_aborted || m_timedOut)
                QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
        }
        const auto statusOf = [&] { return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(); };
        const auto followed = [&] {
            return redirects < kMaxRedirects && isRedirect(statusOf()) && reply->hasRawHeader("Location");
        };
        bool writeFailed = false;
        bool tooLarge = false;
        const bool limited = maxBodyBytes >= 0 && method != "HEAD";
        // A body announced larger than the limit is not even started.
        QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), [&] {
            const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
            if (limited && !followed() && length.isValid() && length.toLongLong() > maxBodyBytes) {
                tooLarge = true;
                reply->abort();
            }
        });
        QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
            const QByteArray data = reply->readAll();
            if (followed() || writeFailed || tooLarge)
                return;
            if (limited && received + data.size() > maxBodyBytes) {
                tooLarge = true;
                reply->abort();
                return;
            }
            if (sink && sink->write(data) != data.size()) {
                writeFailed = true;
                reply->abort();
                return;
            }
            received += data.size();
            m_received = received;
            if (progressContext)
                QMetaObject::invokeMethod(
                    progressContext, [onData, received] { onData(received); }, Qt::QueuedConnection);
        });
        if (!reply->isFinished()) {
            QEventLoop loop;
            QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
            loop.exec();
        }
        {
            QMutexLocker lock(&m_mutex);
            m_reply = nullptr;
        }

        const int status = statusOf();
        const QNetworkReply::NetworkError error = reply->error();
        result.statusCode = status;
        result.headerLines.clear();
        for (const auto &[name, value] : reply->rawHeaderPairs())
            result.headerLines.append(name + ": " + value);
        result.bodyBytes = received;

        if (tooLarge) {
            result.outcome = HttpResult::Outcome::OtherError;
            result.tooLarge = true;
            result.errorText =
                QStringLiteral("Meer dan %1 bytes ontvangen van %2").arg(maxBodyBytes).arg(current.toString());
            return result;
        }
        if (writeFailed) {
            result.outcome = HttpResult::Outcome::OtherError;
            result.errorText = QStringLiteral("Het bestand kan niet worden geschreven: ") + sink->errorString();
            return result;
        }
        if (m_timedOut) {
            result.outcome = HttpResult::Outcome::HttpFailure;
            result.statusCode = 404;
            result.reasonPhrase = QStringLiteral("Geen antwoord binnen %1 seconden").arg(overallTimeoutMs / 1000);
            return result;
        }
        if (m_aborted || isNetworkFailure(error)) {
            result.outcome = HttpResult::Outcome::HttpFailure;
            result.statusCode = 404;
            result.reasonPhrase = reply->errorString();
            return result;
        }
        if (status == 0) {
            result.outcome = HttpResult::Outcome::OtherError;
            result.errorText = reply->errorString();
            return result;
        }
        if (followed()) {
            const bool wasHttps = current.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
            current = current.resolved(QUrl::fromEncoded(reply->rawHeader("Location")));
            const QString next = current.scheme().toLower();
            if (next != QLatin1String("http") && next != QLatin1String("https")) {
                result.outcome = HttpResult::Outcome::OtherError;
                result.errorText = unsupported(current);
                return result;
            }
            if (wasHttps && next != QLatin1String("https")) {
                result.outcome = HttpResult::Outcome::OtherError;
                result.errorText = QStringLiteral("Doorverwijzing van https naar een onbeveiligd adres geweigerd: ") +
                                   current.toString();
                return result;
            }
            continue;
        }
        result.reasonPhrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.outcome = status >= 400 && status != 401 && status != 407 ? HttpResult::Outcome::HttpFailure
                                                                         : HttpResult::Outcome::Ok;
        return result;
    }
}
