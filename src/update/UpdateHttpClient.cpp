#include "update/UpdateHttpClient.h"

#include "base/AbortToken.h"
#include "link/NetworkConnections.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QNetworkProxy>
#include <QPointer>
#include <QUrl>

namespace
{

constexpr int kMaxRedirects = 5;
constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; ICS)";
constexpr char kAccept[] = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

QString unsupported(const QUrl &url)
{
    return QStringLiteral("Ongeldig of niet ondersteund adres: ") + url.toString();
}

HttpResult failure(int status, const QString &phrase)
{
    HttpResult result;
    result.outcome = HttpResult::Outcome::HttpFailure;
    result.statusCode = status;
    result.reasonPhrase = phrase;
    return result;
}

HttpResult otherError(const QString &text)
{
    HttpResult result;
    result.outcome = HttpResult::Outcome::OtherError;
    result.errorText = text;
    return result;
}

} // namespace

// One request with its redirects.
struct UpdateHttpClient::Hop {
    QByteArray method;
    QUrl current;
    QIODevice *sink = nullptr;
    int redirects = 0;
    QElapsedTimer started; // the overall limit counts from the first request
    QObject *context = nullptr;
    std::function<void(qint64)> onData;
};

UpdateHttpClient::UpdateHttpClient(NetworkConnections &network, AbortToken &stop)
    : m_network(network)
    , m_stop(stop)
{
}

UpdateHttpClient::~UpdateHttpClient()
{
    abort();
    std::shared_ptr<NetworkTransfer> transfer;
    {
        QMutexLocker lock(&m_mutex);
        transfer = m_transfer;
    }
    if (transfer)
        transfer->wait();
}

bool UpdateHttpClient::closing() const
{
    return m_stop.tripped();
}

HttpResult UpdateHttpClient::get(const QString &url, QIODevice *sink)
{
    return run("GET", url, sink);
}

HttpResult UpdateHttpClient::head(const QString &url)
{
    return run("HEAD", url, nullptr);
}

void UpdateHttpClient::abort()
{
    QMutexLocker lock(&m_mutex);
    m_aborted = true;
    if (m_transfer)
        m_transfer->cancel();
}

bool UpdateHttpClient::startRun(const QByteArray &method, const QString &url, QIODevice *sink)
{
    m_received = 0;
    m_aborted = false;
    m_result = HttpResult();
    if (closing()) {
        m_result = failure(404, QStringLiteral("Operation canceled"));
        m_result.closing = true;
        return false;
    }
    m_hop = std::make_unique<Hop>();
    m_hop->method = method;
    m_hop->current = QUrl(url);
    m_hop->sink = sink;
    m_hop->started.start();
    const QString scheme = m_hop->current.scheme().toLower();
    if (!m_hop->current.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        m_result = otherError(unsupported(m_hop->current));
        return false;
    }
    return true;
}

HttpResult UpdateHttpClient::run(const QByteArray &method, const QString &url, QIODevice *sink)
{
    if (!startRun(method, url, sink))
        return m_result;
    for (;;) {
        const std::shared_ptr<NetworkTransfer> transfer = send(nullptr, {});
        const NetworkResult response = transfer->wait();
        {
            QMutexLocker lock(&m_mutex);
            m_transfer.reset();
        }
        if (!nextHop(response))
            return m_result;
    }
}

void UpdateHttpClient::begin(const QString &url, QIODevice *sink, QObject *context,
                             std::function<void(qint64)> onData, std::function<void()> onEnd)
{
    if (!startRun("GET", url, sink)) {
        QMetaObject::invokeMethod(context, onEnd, Qt::QueuedConnection);
        return;
    }
    m_hop->context = context;
    m_hop->onData = std::move(onData);
    beginHop(context, std::move(onEnd));
}

void UpdateHttpClient::beginHop(QObject *context, std::function<void()> onEnd)
{
    send(context, [this, context, onEnd] {
        std::shared_ptr<NetworkTransfer> transfer;
        {
            QMutexLocker lock(&m_mutex);
            transfer = m_transfer;
        }
        // Sent as the transfer ends: its wait returns at once (or within a moment, while the network thread marks
        // it done). None: end() has taken the result already.
        if (!transfer)
            return;
        const NetworkResult response = transfer->wait();
        {
            QMutexLocker lock(&m_mutex);
            m_transfer.reset();
        }
        if (nextHop(response))
            beginHop(context, onEnd);
        else if (onEnd)
            onEnd();
    });
}

HttpResult UpdateHttpClient::end()
{
    std::shared_ptr<NetworkTransfer> transfer;
    {
        QMutexLocker lock(&m_mutex);
        transfer = m_transfer;
    }
    // The caller's event loop may have ended before the run did (the program quits): the request must not
    // outlive the wait, or the program would hang on it while it ends.
    if (transfer) {
        if (!transfer->finished())
            abort();
        const NetworkResult response = transfer->wait();
        {
            QMutexLocker lock(&m_mutex);
            m_transfer.reset();
        }
        if (nextHop(response)) {
            // A redirect whose next request was never made: the run ends here.
            m_result = failure(404, QStringLiteral("Operation canceled"));
        }
    }
    if (m_aborted && closing())
        m_result.closing = true;
    return m_result;
}

std::shared_ptr<NetworkTransfer> UpdateHttpClient::send(QObject *context, std::function<void()> onEnd)
{
    Hop &hop = *m_hop;
    NetworkRequest request;
    request.method = hop.method;
    request.url = hop.current;
    request.headers = {{"User-Agent", kUserAgent}, {"Accept", kAccept}, {"Pragma", "no-cache"}};
    request.extraCaCertificates = extraCaCertificates;
    request.proxy = ProxyHost.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy)
                                        : QNetworkProxy(QNetworkProxy::HttpProxy, ProxyHost, ProxyPort.toUShort());
    request.discardRedirectBodies = hop.redirects < kMaxRedirects;

    NetworkLimits limits;
    limits.noProgressMs = transferTimeoutMs;
    // The whole run, redirects included, ends after overallTimeoutMs however slowly the server trickles.
    limits.overallMs = overallTimeoutMs > 0 ? int(std::max<qint64>(1, overallTimeoutMs - hop.started.elapsed())) : 0;
    limits.maxBytes = hop.method == "HEAD" ? -1 : maxBodyBytes;
    limits.stop = &m_stop;

    NetworkSink sink;
    QIODevice *target = hop.sink;
    sink.write = [target](const QByteArray &data) { return !target || target->write(data) == data.size(); };
    QPointer<QObject> progressContext = hop.context;
    sink.progress = [this, progressContext, onData = hop.onData](qint64 received) {
        m_received = received;
        if (onData && progressContext)
            QMetaObject::invokeMethod(
                progressContext.data(), [onData, received] { onData(received); }, Qt::QueuedConnection);
    };

    QMutexLocker lock(&m_mutex);
    m_transfer = m_network.begin(request, limits, std::move(sink), context, std::move(onEnd));
    if (m_aborted)
        m_transfer->cancel();
    return m_transfer;
}

bool UpdateHttpClient::nextHop(const NetworkResult &response)
{
    Hop &hop = *m_hop;
    using Stop = NetworkResult::Stop;
    HttpResult &result = m_result;
    result = HttpResult();
    result.statusCode = response.status;
    result.headerLines = response.headerLines;
    result.bodyBytes = response.received;
    switch (response.stop) {
    case Stop::TooLarge:
        result.outcome = HttpResult::Outcome::OtherError;
        result.tooLarge = true;
        result.errorText = QStringLiteral("Meer dan %1 bytes ontvangen van %2").arg(maxBodyBytes).arg(hop.current.toString());
        return false;
    case Stop::WriteFailed:
        result.outcome = HttpResult::Outcome::OtherError;
        result.errorText = QStringLiteral("Het bestand kan niet worden geschreven: ") + hop.sink->errorString();
        return false;
    case Stop::Overall:
        result = failure(404, QStringLiteral("Geen antwoord binnen %1 seconden").arg(overallTimeoutMs / 1000));
        return false;
    case Stop::NoProgress:
        result = failure(404, QStringLiteral("Geen reactie van de server binnen %1 seconden").arg(transferTimeoutMs / 1000));
        return false;
    case Stop::Aborted:
    case Stop::Cancelled:
        result = failure(404, QStringLiteral("Operation canceled"));
        result.closing = response.stopAsked || closing();
        return false;
    case Stop::None:
        break;
    }
    if (response.networkFailed) {
        result = failure(404, response.errorText);
        return false;
    }
    const int status = response.status;
    if (hop.redirects < kMaxRedirects && isRedirect(status) && !response.location.isEmpty()) {
        const bool wasHttps = hop.current.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
        hop.current = hop.current.resolved(QUrl::fromEncoded(response.location));
        ++hop.redirects;
        const QString next = hop.current.scheme().toLower();
        if (next != QLatin1String("http") && next != QLatin1String("https")) {
            result = otherError(unsupported(hop.current));
            return false;
        }
        if (wasHttps && next != QLatin1String("https")) {
            result = otherError(QStringLiteral("Doorverwijzing van https naar een onbeveiligd adres geweigerd: ") +
                                hop.current.toString());
            return false;
        }
        if (closing() || m_aborted) {
            result = failure(404, QStringLiteral("Operation canceled"));
            result.closing = closing();
            return false;
        }
        return true;
    }
    result.reasonPhrase = response.reasonPhrase;
    result.outcome =
        status >= 400 && status != 401 && status != 407 ? HttpResult::Outcome::HttpFailure : HttpResult::Outcome::Ok;
    return false;
}
