#include "link/SoapTransport.h"

#include "base/AbortToken.h"
#include "base/BlockingWait.h"
#include "base/ProcessPlatform.h"
#include "base/ProcessSockets.h"
#include "base/VoranoError.h"
#include "link/ReplyLimits.h"
#include "link/SoapEnvelope.h"
#include "settings/Controls.h"
#include "settings/ServiceEndpoints.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QSslError>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>

namespace
{

// A chunked body that floods the connection can keep the platform's HTTP reader from handing anything over while
// it buffers on. The call then fails once the process has grown, beyond the body it holds, by twice the reply
// limit and this slack (room for whatever else the process does meanwhile).
constexpr qint64 kBufferSlack = qint64(16) * 1024 * 1024;
constexpr int kMemoryCheckMs = 200;

// TCP keep-alive on the connections to the service: a path that drops connections idle for half a minute or more
// sees traffic while the service takes its time over an answer, and a peer that has gone is noticed.
constexpr int kKeepAliveIdleSeconds = 10;
constexpr int kKeepAliveIntervalSeconds = 5;
constexpr int kKeepAliveProbes = 3;

// The platform's HTTP client owns its sockets; the ones connected to the service's port get keep-alive with the
// times above (the system's own idle time before the first probe is two hours).
void enableKeepAlive(quint16 peerPort)
{
    EnableKeepAlive(peerPort, kKeepAliveIdleSeconds, kKeepAliveIntervalSeconds, kKeepAliveProbes);
}

constexpr const char *kNetworkFailure = "%1 - URL:%2 - SOAPAction:%3";
constexpr const char *kHttpFailure = "%1 (%2) - '%3'";
constexpr const char *kNoProgress = "Geen reactie van de server binnen %1 seconden";
constexpr const char *kCallLimit = "Het antwoord was na %1 seconden nog niet compleet";
constexpr const char *kTooLarge = "Het antwoord is groter dan %1 MB; het lezen is gestopt";
constexpr const char *kIncomplete = "Het antwoord is onvolledig: %1 van de aangekondigde %2 bytes ontvangen";
constexpr const char *kClosedBeforeReply =
    "De verbinding werd verbroken voordat het antwoord binnen was; het verzoek is niet opnieuw verstuurd";

// What the worker thread brings back; read on the calling thread after the worker has finished.
struct Exchange {
    bool networkFailed = false;
    bool timedOut = false;
    QString errorText;
    int status = 0;
    QString reasonPhrase;
    QString contentType;
    QByteArray body;
};

// The system's proxy settings, per manager (not application-wide).
class SystemProxyFactory : public QNetworkProxyFactory
{
  public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        // A service on this machine is reached directly, whatever proxy the environment names.
        const QString host = query.peerHostName();
        if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(host).isLoopback())
            return {QNetworkProxy(QNetworkProxy::NoProxy)};
        return systemProxyForQuery(query);
    }
};

// The certificate faults the relaxed mode lets pass. Anything else (a bad signature, a revoked or blacklisted
// certificate) still fails the call.
bool relaxable(QSslError::SslError error)
{
    switch (error) {
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::CertificateUntrusted:
    case QSslError::HostNameMismatch:
    case QSslError::CertificateExpired:
    case QSslError::CertificateNotYetValid:
    case QSslError::OcspNoResponseFound:
    case QSslError::OcspStatusUnknown:
        return true;
    default:
        return false;
    }
}

QString withoutTrailingLineBreaks(QString text)
{
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}

// The request body as a device that can be read once only. With it the network layer cannot send the request a
// second time by itself (it would resend a POST whose connection closed before the reply, and the service would
// receive a status event or confirmation twice); such a case fails the call instead.
class OneShotBody : public QIODevice
{
  public:
    explicit OneShotBody(QByteArray data)
        : m_data(std::move(data))
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_data.size() - m_pos + QIODevice::bytesAvailable(); }
    bool reset() override { return false; }

  protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 n = std::min<qint64>(maxSize, m_data.size() - m_pos);
        std::memcpy(data, m_data.constData() + m_pos, size_t(n));
        m_pos += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

  private:
    QByteArray m_data;
    qint64 m_pos = 0;
};

// Qt's HTTP errors that only repeat the status line (404, 500, ...): the status decides those calls. Anything else
// after the status line (a connection closed or reset in the middle of the body, a broken chunk) is a transfer
// error and fails the call.
bool statusMapping(QNetworkReply::NetworkError error)
{
    if (error == QNetworkReply::ContentReSendError)
        return false;
    if (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        return true;
    if (error == QNetworkReply::ProtocolInvalidOperationError)
        return true;
    return error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError;
}

QNetworkAccessManager *newManager(QObject *parent)
{
    auto *manager = new QNetworkAccessManager(parent);
    manager->setProxyFactory(new SystemProxyFactory);
    manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    return manager;
}

// The thread that owns the long-lived network managers, so kept-alive connections and TLS sessions outlive the
// calls (the calling thread blocks during a call and cannot keep them). One manager per certificate mode: a
// connection whose certificate faults were let pass is never reused by a call that checks in full. The managers'
// event loop runs between calls too, so a connection the server closes is noticed (and not reused) before the
// next request goes out. Stopped when the application object goes.
class NetworkThread
{
  public:
    static NetworkThread &get()
    {
        std::lock_guard lock(s_mutex);
        if (!s_instance) {
            s_instance = new NetworkThread;
            qAddPostRoutine(&NetworkThread::shutdown);
        }
        return *s_instance;
    }

    template <typename F> void post(F &&f)
    {
        QMetaObject::invokeMethod(m_context, std::forward<F>(f), Qt::QueuedConnection);
    }

    // On the network thread only. A manager whose connections have been idle longer than idleLimitMs is not used
    // again: a path that drops idle connections without a word (NAT, firewalls) would swallow the next request.
    QNetworkAccessManager *manager(bool relaxed, int idleLimitMs)
    {
        Slot &slot = m_managers[relaxed ? 1 : 0];
        if (slot.manager && slot.idle.isValid() && slot.idle.hasExpired(idleLimitMs))
            retire(slot.manager);
        if (!slot.manager)
            slot.manager = newManager(m_context);
        return slot.manager;
    }

    // The next call does not use this manager (nor its connections).
    void forget(QNetworkAccessManager *manager)
    {
        if (find(manager))
            retire(manager);
    }

    // Whether a call to origin on this manager goes over a connection kept from an earlier call.
    bool keptConnection(QNetworkAccessManager *manager, const QString &origin) const
    {
        for (const Slot &slot : m_managers) {
            if (slot.manager == manager)
                return slot.keptOrigins.contains(origin);
        }
        return false;
    }

    // A call on the manager has begun (its connection is busy) or ended (kept: the server keeps the connection
    // for the next call).
    void callBegins(QNetworkAccessManager *manager)
    {
        if (Slot *slot = find(manager))
            slot->idle.invalidate();
    }
    void callEnds(QNetworkAccessManager *manager, const QString &origin, bool kept)
    {
        if (Slot *slot = find(manager)) {
            slot->idle.start();
            if (kept)
                slot->keptOrigins.insert(origin);
            else
                slot->keptOrigins.remove(origin);
        }
    }

    // The next calls get a manager of their own, and the old one goes with its thread and its connections once
    // the transfer that made it go has ended (a reply whose server closes its connections, with nothing to keep)
    // or has been aborted (a call that had to be stopped). Kept until the program ends, every stopped call would
    // leave a thread and a socket behind.
    void retire(QNetworkAccessManager *manager)
    {
        if (Slot *slot = find(manager))
            *slot = Slot();
        manager->deleteLater();
    }

  private:
    NetworkThread()
    {
        m_thread.setObjectName(QStringLiteral("xmlRequest"));
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
        m_thread.start();
    }

    static void shutdown()
    {
        NetworkThread *instance = nullptr;
        {
            std::lock_guard lock(s_mutex);
            std::swap(instance, s_instance);
        }
        if (!instance)
            return;
        // The context and its managers go with the thread's end (finished -> deleteLater), on their own thread.
        instance->m_thread.quit();
        instance->m_thread.wait();
        delete instance;
    }

    struct Slot {
        QNetworkAccessManager *manager = nullptr;
        QElapsedTimer idle;        // since the last call on it ended; invalid while a call runs
        QSet<QString> keptOrigins; // scheme, host and port of the connections kept for the next call
    };

    Slot *find(QNetworkAccessManager *manager)
    {
        for (Slot &slot : m_managers) {
            if (slot.manager == manager)
                return &slot;
        }
        return nullptr;
    }

    QThread m_thread;
    QObject *m_context = nullptr;
    Slot m_managers[2];
    static inline std::mutex s_mutex;
    static inline NetworkThread *s_instance = nullptr;
};

// One call in flight. The calling thread waits on done; everything else belongs to the network thread.
struct Call {
    enum class Stop { None, NoProgress, CallLimit, TooLarge, Aborted };

    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Exchange result;

    QNetworkReply *reply = nullptr;
    QNetworkAccessManager *sharedManager = nullptr;
    QNetworkAccessManager *ownManager = nullptr;
    Stop stop = Stop::None;
    bool completing = false;
    bool onTheWire = false;        // a byte of the request has gone out
    bool requestWritten = false;   // the last byte of the request has gone to the connection
    bool stopAsked = false;        // the abort token tripped during the call
    bool reusedConnection = false; // the request went over a connection kept from an earlier call
    bool answerBegun = false;      // a byte of the answer has arrived
    QString origin;

    void abort(Stop why)
    {
        if (!reply || stop != Stop::None)
            return;
        stop = why;
        reply->abort();
    }
};

QString stopText(Call::Stop stop, const ServiceProxyOptions &options)
{
    switch (stop) {
    case Call::Stop::NoProgress:
        return QLatin1String(kNoProgress).arg(QString::number(options.noProgressTimeoutMs / 1000.0));
    case Call::Stop::CallLimit:
        return QLatin1String(kCallLimit).arg(QString::number(options.callLimitMs / 1000.0));
    case Call::Stop::TooLarge:
        return QLatin1String(kTooLarge).arg(QString::number(options.maxReplyBytes / 1048576.0));
    case Call::Stop::Aborted:
        return AbortToken::abortedText();
    case Call::Stop::None:
        break;
    }
    return {};
}

// Moves what has arrived into the one body buffer, which holds the reply once (reserved at its announced size).
void takeBody(Call &call, const ServiceProxyOptions &options)
{
    QNetworkReply *reply = call.reply;
    QByteArray &body = call.result.body;
    const qint64 available = reply->bytesAvailable();
    if (available <= 0)
        return;
    if (body.size() + available > options.maxReplyBytes) {
        call.abort(Call::Stop::TooLarge);
        return;
    }
    const qsizetype old = body.size();
    body.resize(old + available);
    const qint64 got = reply->read(body.data() + old, available);
    body.resize(old + std::max<qint64>(got, 0));
}

void complete(NetworkThread &net, const std::shared_ptr<Call> &call, const ServiceProxyOptions &options)
{
    QNetworkReply *reply = call->reply;
    Exchange &result = call->result;
    call->completing = true;
    if (call->stop == Call::Stop::None)
        takeBody(*call, options);

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    if (call->stop != Call::Stop::None) {
        result.networkFailed = true;
        result.errorText = stopText(call->stop, options);
    } else if (!status.isValid()) {
        result.networkFailed = true;
        if (reply->error() == QNetworkReply::ContentReSendError)
            result.errorText = QLatin1String(kClosedBeforeReply);
        else
            result.errorText = withoutTrailingLineBreaks(reply->errorString());
    } else if (reply->error() != QNetworkReply::NoError && !statusMapping(reply->error())) {
        result.networkFailed = true;
        result.errorText = withoutTrailingLineBreaks(reply->errorString());
    } else if (announced.isValid() && (encoding.isEmpty() || encoding == "identity") &&
               announced.toLongLong() != result.body.size()) {
        // A body that ended before its Content-Length is not a reply, whatever its bytes parse as.
        result.networkFailed = true;
        result.errorText = QLatin1String(kIncomplete)
                               .arg(QString::number(result.body.size()), QString::number(announced.toLongLong()));
    } else {
        result.status = status.toInt();
        result.reasonPhrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.contentType = QString::fromLatin1(reply->rawHeader("Content-Type"));
    }
    if (result.networkFailed)
        result.body = QByteArray();

    // A server that closes every connection gains nothing from a kept manager, and the platform's HTTP client
    // then spends a delayed acknowledgement on the next request to it; so such a manager is not kept.
    const bool serverCloses = reply->rawHeader("Connection").toLower().contains("close") ||
                              reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isNull();
    call->reply = nullptr;
    reply->deleteLater();
    if (call->sharedManager && (call->stop != Call::Stop::None || serverCloses))
        net.retire(call->sharedManager);
    else if (call->sharedManager)
        net.callEnds(call->sharedManager, call->origin, !result.networkFailed);
    if (call->ownManager)
        call->ownManager->deleteLater();
    {
        std::lock_guard lock(call->mutex);
        call->done = true;
    }
    call->finished.notify_all();
}

// Starts the exchange; on the network thread only.
void start(NetworkThread &net, const std::shared_ptr<Call> &call, const QUrl &url, const QByteArray &envelope,
           const ServiceProxyOptions &options)
{
    QNetworkAccessManager *manager = nullptr;
    call->origin = url.scheme() + QLatin1String("://") + url.host() + QLatin1Char(':') +
                   QString::number(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
    if (options.keepConnections) {
        manager = net.manager(options.ignoreCertificateErrors, options.idleConnectionLimitMs);
        call->sharedManager = manager;
        call->reusedConnection = net.keptConnection(manager, call->origin);
        net.callBegins(manager);
    } else {
        call->ownManager = newManager(nullptr);
        manager = call->ownManager;
    }

    QNetworkRequest request(url);
    request.setRawHeader("SOAPAction", SoapWire::SoapActionHeader);
    request.setRawHeader("Content-Type", SoapWire::RequestContentType);
    request.setRawHeader("User-Agent", SoapWire::UserAgent);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setHeader(QNetworkRequest::ContentLengthHeader, envelope.size());
    // The platform's HTTP client closes a kept connection once it has idled this long (a manager idle for longer is
    // not used again either).
    request.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute,
                         std::max(1, options.idleConnectionLimitMs / 1000));

    auto *body = new OneShotBody(envelope);
    QNetworkReply *reply = manager->post(request, body);
    body->setParent(reply);
    call->reply = reply;

    auto *idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(options.noProgressTimeoutMs);
    QObject::connect(idle, &QTimer::timeout, reply, [call] { call->abort(Call::Stop::NoProgress); });
    auto *overall = new QTimer(reply);
    overall->setSingleShot(true);
    overall->setInterval(options.callLimitMs);
    QObject::connect(overall, &QTimer::timeout, reply, [call] { call->abort(Call::Stop::CallLimit); });

    const auto progress = [idle] { idle->start(); };
    const quint16 port = quint16(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
    QObject::connect(reply, &QNetworkReply::uploadProgress, idle, [call, idle, port](qint64 sent, qint64 total) {
        idle->start();
        if (sent > 0 && !call->onTheWire) {
            call->onTheWire = true;
            enableKeepAlive(port);
        }
        if (total > 0 && sent >= total)
            call->requestWritten = true;
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, idle, progress);
    QObject::connect(reply, &QNetworkReply::encrypted, idle, progress);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [call, options, idle] {
        idle->start();
        call->answerBegun = true;
        QNetworkReply *r = call->reply;
        if (!r)
            return;
        const QVariant announced = r->header(QNetworkRequest::ContentLengthHeader);
        if (!announced.isValid())
            return;
        if (announced.toLongLong() > options.maxReplyBytes)
            call->abort(Call::Stop::TooLarge);
        else if (announced.toLongLong() > 0)
            call->result.body.reserve(qsizetype(announced.toLongLong()));
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [call, options, idle] {
        idle->start();
        call->answerBegun = true;
        if (call->reply && call->stop == Call::Stop::None)
            takeBody(*call, options);
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [call, options](const QList<QSslError> &errors) {
        if (!options.ignoreCertificateErrors || !call->reply)
            return;
        for (const QSslError &error : errors) {
            if (!relaxable(error.error()))
                return;
        }
        call->reply->ignoreSslErrors(errors);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [&net, call, options] {
        if (call->reply && !call->completing)
            complete(net, call, options);
    });
    auto *memory = new QTimer(reply);
    memory->setInterval(kMemoryCheckMs);
    const qint64 residentAtStart = ResidentBytes();
    QObject::connect(memory, &QTimer::timeout, reply, [call, options, residentAtStart] {
        const qint64 grown = ResidentBytes() - residentAtStart - call->result.body.capacity();
        if (residentAtStart > 0 && grown > 2 * options.maxReplyBytes + kBufferSlack)
            call->abort(Call::Stop::TooLarge);
    });

    idle->start();
    overall->start();
    memory->start();
    if (reply->isFinished() && call->reply && !call->completing)
        complete(net, call, options);
}

// Runs one exchange on the network thread and waits for it without running the caller's event loop. The
// program's abort token (or the one in the options) ends the wait within a moment.
std::shared_ptr<Call> runOnce(NetworkThread &net, AbortToken &token, const QUrl &url, const QByteArray &envelope,
                              const ServiceProxyOptions &options)
{
    auto call = std::make_shared<Call>();
    net.post([&net, call, url, envelope, options] { start(net, call, url, envelope, options); });
    // The call limit and the grace of a stop bound the wait (a margin for the network thread to end it).
    const BlockingWait waiting(qint64(options.callLimitMs) + options.stopGraceMs + 10000);
    // A request already on the wire may still be answered within the grace of a stop, so that its answer can be
    // recorded; one that has not gone out is abandoned at once.
    const int grace = options.stopGraceMs;
    AbortToken::Watch watch(token, [&net, call, grace] {
        net.post([call, grace] {
            if (!call->reply || call->stopAsked)
                return;
            call->stopAsked = true;
            if (!call->onTheWire || grace <= 0)
                call->abort(Call::Stop::Aborted);
            else
                QTimer::singleShot(grace, call->reply, [call] { call->abort(Call::Stop::Aborted); });
        });
    });
    std::unique_lock lock(call->mutex);
    call->finished.wait(lock, [&] { return call->done; });
    return call;
}

// A kept connection that failed before the whole request had gone out: the service cannot have acted on a request
// it did not receive whole, so the call is sent once more, on a new connection. Once the last byte has gone, a
// connection that ends without an answer says nothing about whether the service acted (a path may forward the
// request and drop the answer): the call fails, and the caller's next tick decides.
bool failedBeforeTheRequestWentOut(const Call &call)
{
    return call.reusedConnection && !call.requestWritten && !call.answerBegun && call.result.networkFailed &&
           (call.stop == Call::Stop::None || call.stop == Call::Stop::NoProgress);
}

Exchange runExchange(const QUrl &url, const QByteArray &envelope, const ServiceProxyOptions &options)
{
    AbortToken &token = options.abortToken ? *options.abortToken : AbortToken::program();
    Exchange aborted;
    aborted.networkFailed = true;
    aborted.errorText = AbortToken::abortedText();
    if (token.tripped())
        return aborted;

    NetworkThread &net = NetworkThread::get();
    std::shared_ptr<Call> call = runOnce(net, token, url, envelope, options);
    if (failedBeforeTheRequestWentOut(*call) && !token.tripped()) {
        // The failed call's manager has gone with its connections (or goes now), so this one connects afresh.
        if (call->sharedManager)
            net.post([&net, manager = call->sharedManager] { net.forget(manager); });
        call = runOnce(net, token, url, envelope, options);
    }
    return std::move(call->result);
}

// One stub per call. The call blocks the calling thread without running its event loop: the exchange runs on the
// network thread, and the caller waits for it to end. So no timer, click or repaint of the caller's thread is
// handled during a call (the window does not repaint while a call is under way; the limits and the abort token
// bound that), and no operation can start inside another through a call. A nested event loop on the caller's
// thread would have let all of those in.
class SoapStub : public External_
{
  public:
    SoapStub(QString url, ServiceProxyOptions options)
        : m_url(std::move(url))
        , m_options(options)
    {
    }

    QString xmlRequest(const QString &xml) override
    {
        // The URL goes to the network as it stands; one that is not a valid URL fails there with the
        // platform's message.
        // The reply may be as large as the action asks for (ReplyLimits), within the stub's own limit.
        ServiceProxyOptions options = m_options;
        options.maxReplyBytes = MaxReplyBytesFor(xml, options.maxReplyBytes);
        Exchange exchange = runExchange(QUrl(m_url), BuildSoapEnvelope(xml), options);

        if (exchange.networkFailed)
            throw TransportError(QLatin1String(kNetworkFailure)
                                     .arg(exchange.errorText, m_url, QLatin1String(SoapWire::SoapActionHeader)));
        if (exchange.status >= 300 && exchange.status != 500)
            throw TransportError(
                QLatin1String(kHttpFailure).arg(exchange.reasonPhrase).arg(exchange.status).arg(m_url));
        CheckReplyContentType(exchange.contentType);
        return ReadSoapReply(std::move(exchange.body), exchange.contentType);
    }

  private:
    QString m_url;
    ServiceProxyOptions m_options;
};

} // namespace

std::unique_ptr<External_> CreateServiceProxy(const QString &url, bool ignoreCertificateErrors)
{
    ServiceProxyOptions options;
    options.ignoreCertificateErrors = ignoreCertificateErrors;
    return CreateServiceProxy(url, options);
}

std::unique_ptr<External_> CreateServiceProxy(const QString &url, const ServiceProxyOptions &options)
{
    return std::make_unique<SoapStub>(EffectiveServiceUrl(url), options);
}

QString EffectiveServiceUrl(const QString &url)
{
    return url.isEmpty() ? QLatin1String(kBuiltInServiceEndpoint) : url;
}

ServiceFactory MakeServiceFactory(const Controls &controls)
{
    return [&controls](const QString &url) { return CreateServiceProxy(url, controls.checked(Control::xCertNegeren)); };
}
