#include "link/NetworkConnections.h"

#include "base/AbortToken.h"
#include "base/BlockingWait.h"
#include "base/ProcessPlatform.h"
#include "base/ProcessSockets.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSet>
#include <QSslConfiguration>
#include <QSslError>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>

namespace
{

// A chunked body that floods the connection can keep the platform's HTTP reader from handing anything over while
// it buffers on. A collecting request then fails once the process has grown, beyond the body it holds, by twice
// its limit and this slack (room for whatever else the process does meanwhile).
constexpr qint64 kBufferSlack = qint64(16) * 1024 * 1024;
constexpr int kMemoryCheckMs = 200;

// TCP keep-alive on the connections the program opens: a path that drops connections idle for half a minute or
// more sees traffic while the peer takes its time over an answer, and a peer that has gone is noticed.
constexpr int kKeepAliveIdleSeconds = 10;
constexpr int kKeepAliveIntervalSeconds = 5;
constexpr int kKeepAliveProbes = 3;

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
// certificate) still fails the request.
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

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The request body as a device that can be read once only: see NetworkRequest::body.
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

// Qt's HTTP errors that only repeat the status line (404, 500, 407, ...): the status decides those requests.
// Anything else after the status line (a connection closed or reset in the middle of the body, a broken chunk) is
// a transfer error and fails the request.
bool statusMapping(QNetworkReply::NetworkError error)
{
    if (error == QNetworkReply::ContentReSendError)
        return false;
    if (error >= QNetworkReply::ContentAccessDenied && error <= QNetworkReply::UnknownContentError)
        return true;
    if (error == QNetworkReply::ProtocolInvalidOperationError ||
        error == QNetworkReply::ProxyAuthenticationRequiredError)
        return true;
    return error >= QNetworkReply::InternalServerError && error <= QNetworkReply::UnknownServerError;
}

QNetworkAccessManager *newManager(QObject *parent, const std::optional<QNetworkProxy> &proxy)
{
    auto *manager = new QNetworkAccessManager(parent);
    if (proxy)
        manager->setProxy(*proxy);
    else
        manager->setProxyFactory(new SystemProxyFactory);
    manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    return manager;
}

} // namespace

class NetworkConnections::Thread
{
  public:
    struct Call;

    Thread()
    {
        m_thread.setObjectName(QStringLiteral("xmlRequest"));
        m_context = new QObject;
        m_context->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
        m_thread.start();
    }

    ~Thread();

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
            slot.manager = newManager(m_context, std::nullopt);
        return slot.manager;
    }

    // Whether a request to origin on this manager goes over a connection kept from an earlier one.
    bool keptConnection(QNetworkAccessManager *manager, const QString &origin) const
    {
        for (const Slot &slot : m_managers) {
            if (slot.manager == manager)
                return slot.keptOrigins.contains(origin);
        }
        return false;
    }

    // A request on the manager has begun (its connection is busy) or ended (kept: the server keeps the connection
    // for the next request).
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

    // The next requests get a manager of their own, and the old one goes with its connections once the transfer
    // that made it go has ended (a reply whose server closes its connections, with nothing to keep) or has been
    // aborted (a request that had to be stopped). Kept until the program ends, every stopped request would leave
    // a socket behind.
    void retire(QNetworkAccessManager *manager)
    {
        if (Slot *slot = find(manager))
            *slot = Slot();
        manager->deleteLater();
    }

    void forget(bool relaxed)
    {
        if (QNetworkAccessManager *manager = m_managers[relaxed ? 1 : 0].manager)
            retire(manager);
    }

    void start(const std::shared_ptr<Call> &call);
    void complete(const std::shared_ptr<Call> &call);
    void endUnsent(const std::shared_ptr<Call> &call);

  private:
    struct Slot {
        QNetworkAccessManager *manager = nullptr;
        QElapsedTimer idle;        // since the last request on it ended; invalid while one runs
        QSet<QString> keptOrigins; // scheme, host and port of the connections kept for the next request
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
    // The requests under way (network thread only): aborted when the connections go.
    std::set<std::shared_ptr<Call>> m_running;
};

// One request in flight. The caller waits on done; everything else belongs to the network thread.
struct NetworkConnections::Thread::Call : NetworkTransfer {
    using Stop = NetworkResult::Stop;

    Thread *thread = nullptr;
    NetworkRequest request;
    NetworkLimits limits;
    NetworkSink sink;
    QObject *endContext = nullptr;
    std::function<void()> onEnd;
    std::unique_ptr<AbortToken::Watch> stopWatch; // while the request runs

    mutable std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    NetworkResult result;

    QNetworkReply *reply = nullptr;
    QNetworkAccessManager *sharedManager = nullptr;
    QNetworkAccessManager *ownManager = nullptr;
    bool completing = false;
    bool onTheWire = false; // a byte of the request has gone out
    bool redirect = false;  // the response is a redirect whose body goes nowhere
    QString origin;

    void abort(Stop why)
    {
        if (!reply || result.stop != Stop::None)
            return;
        result.stop = why;
        reply->abort();
    }

    void cancel() override
    {
        std::weak_ptr<Call> self = std::static_pointer_cast<Call>(shared());
        thread->post([self] {
            if (auto call = self.lock())
                call->abort(Stop::Cancelled);
        });
    }

    NetworkResult wait() override
    {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return done; });
        return std::move(result);
    }

    bool finished() const override
    {
        std::lock_guard lock(mutex);
        return done;
    }

    // Ends the wait. The stop watch and the end context are let go of first: once the caller's wait has returned it
    // may destroy the token and the context.
    void finish()
    {
        stopWatch.reset();
        if (onEnd && endContext)
            QMetaObject::invokeMethod(endContext, onEnd, Qt::QueuedConnection);
        {
            std::lock_guard lock(mutex);
            done = true;
        }
        ended.notify_all();
    }

    // The shared pointer this call is held by (set by begin).
    std::weak_ptr<NetworkTransfer> self;
    std::shared_ptr<NetworkTransfer> shared() const { return self.lock(); }

    // Moves what has arrived to the sink, or into the one body buffer, which holds the response once (reserved at
    // its announced size).
    void takeBody()
    {
        const qint64 available = reply->bytesAvailable();
        if (available <= 0)
            return;
        if (redirect) {
            reply->skip(available);
            return;
        }
        if (limits.maxBytes >= 0 && result.received + available > limits.maxBytes) {
            abort(Stop::TooLarge);
            return;
        }
        if (sink.write) {
            const QByteArray data = reply->read(available);
            result.received += data.size();
            if (!sink.write(data)) {
                abort(Stop::WriteFailed);
                return;
            }
        } else {
            QByteArray &body = result.body;
            const qsizetype old = body.size();
            body.resize(old + available);
            const qint64 got = reply->read(body.data() + old, available);
            body.resize(old + std::max<qint64>(got, 0));
            result.received = body.size();
        }
        if (sink.progress)
            sink.progress(result.received);
    }
};

NetworkConnections::Thread::~Thread()
{
    // What still runs ends now (its callers see a stop), then the managers go with the thread's end.
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            const auto running = m_running;
            for (const auto &call : running)
                call->abort(Call::Stop::Aborted);
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void NetworkConnections::Thread::complete(const std::shared_ptr<Call> &call)
{
    QNetworkReply *reply = call->reply;
    NetworkResult &result = call->result;
    call->completing = true;
    if (result.stop == Call::Stop::None)
        call->takeBody();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray encoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    result.announcedLength = announced.isValid() ? announced.toLongLong() : -1;
    result.identityEncoding = encoding.isEmpty() || encoding == "identity";
    result.headerLines.clear();
    for (const auto &[name, value] : reply->rawHeaderPairs())
        result.headerLines.append(name + ": " + value);
    result.location = reply->rawHeader("Location");
    if (result.stop != Call::Stop::None) {
        result.networkFailed = true;
    } else if (!status.isValid()) {
        result.networkFailed = true;
        result.resendRefused = reply->error() == QNetworkReply::ContentReSendError;
        result.errorText = withoutTrailingLineBreaks(reply->errorString());
    } else if (reply->error() != QNetworkReply::NoError && !statusMapping(reply->error())) {
        result.networkFailed = true;
        result.errorText = withoutTrailingLineBreaks(reply->errorString());
    }
    if (!result.networkFailed) {
        result.status = status.toInt();
        result.reasonPhrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.contentType = QString::fromLatin1(reply->rawHeader("Content-Type"));
    }

    // A server that closes every connection gains nothing from a kept manager, and the platform's HTTP client
    // then spends a delayed acknowledgement on the next request to it; so such a manager is not kept.
    result.serverCloses = reply->rawHeader("Connection").toLower().contains("close") || !status.isValid();
    call->reply = nullptr;
    reply->deleteLater();
    if (call->sharedManager && (result.stop != Call::Stop::None || result.serverCloses))
        retire(call->sharedManager);
    else if (call->sharedManager)
        callEnds(call->sharedManager, call->origin, !result.networkFailed);
    if (call->ownManager)
        call->ownManager->deleteLater();
    m_running.erase(call);
    if (result.networkFailed)
        result.body = QByteArray();
    call->finish();
}

void NetworkConnections::Thread::endUnsent(const std::shared_ptr<Call> &call)
{
    call->result.networkFailed = true;
    call->result.stop = Call::Stop::Aborted;
    call->result.stopAsked = true;
    call->finish();
}

void NetworkConnections::Thread::start(const std::shared_ptr<Call> &call)
{
    // A stop that came before the request went out: it does not go out.
    if (call->limits.stop && call->limits.stop->tripped()) {
        endUnsent(call);
        return;
    }
    const NetworkRequest &r = call->request;
    const NetworkLimits &limits = call->limits;
    const QUrl &url = r.url;
    const quint16 port = quint16(url.port(url.scheme() == QLatin1String("https") ? 443 : 80));
    QNetworkAccessManager *manager = nullptr;
    call->origin = url.scheme() + QLatin1String("://") + url.host() + QLatin1Char(':') + QString::number(port);
    if (r.keepConnections && !r.proxy) {
        manager = this->manager(r.relaxedCertificates, r.idleConnectionLimitMs);
        call->sharedManager = manager;
        call->result.reusedConnection = keptConnection(manager, call->origin);
        callBegins(manager);
    } else {
        call->ownManager = newManager(nullptr, r.proxy);
        manager = call->ownManager;
    }
    m_running.insert(call);

    QNetworkRequest request(url);
    for (const auto &[name, value] : r.headers)
        request.setRawHeader(name, value);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    if (!r.extraCaCertificates.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(r.extraCaCertificates);
        request.setSslConfiguration(tls);
    }
    // The platform's HTTP client closes a kept connection once it has idled this long (a manager idle for longer
    // is not used again either).
    request.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute,
                         std::max(1, r.idleConnectionLimitMs / 1000));

    QNetworkReply *reply = nullptr;
    if (r.method == "POST") {
        request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
        request.setHeader(QNetworkRequest::ContentLengthHeader, r.body.size());
        auto *body = new OneShotBody(r.body);
        reply = manager->post(request, body);
        body->setParent(reply);
    } else if (r.method == "HEAD") {
        reply = manager->head(request);
    } else {
        reply = manager->get(request);
    }
    call->reply = reply;

    auto *idle = new QTimer(reply);
    idle->setSingleShot(true);
    idle->setInterval(limits.noProgressMs);
    QObject::connect(idle, &QTimer::timeout, reply, [call] { call->abort(Call::Stop::NoProgress); });
    auto *overall = new QTimer(reply);
    overall->setSingleShot(true);
    overall->setInterval(limits.overallMs);
    QObject::connect(overall, &QTimer::timeout, reply, [call] { call->abort(Call::Stop::Overall); });

    const auto progress = [idle] { idle->start(); };
    QObject::connect(reply, &QNetworkReply::uploadProgress, idle, [call, idle, port](qint64 sent, qint64 total) {
        idle->start();
        if (sent > 0 && !call->onTheWire) {
            call->onTheWire = true;
            EnableKeepAlive(port, kKeepAliveIdleSeconds, kKeepAliveIntervalSeconds, kKeepAliveProbes);
        }
        if (total > 0 && sent >= total)
            call->result.requestWritten = true;
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, idle, progress);
    QObject::connect(reply, &QNetworkReply::encrypted, idle, progress);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [call, idle] {
        idle->start();
        call->result.answerBegun = true;
        QNetworkReply *r = call->reply;
        if (!r)
            return;
        const int status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        call->redirect = call->request.discardRedirectBodies && isRedirect(status) && r->hasRawHeader("Location");
        const QVariant announced = r->header(QNetworkRequest::ContentLengthHeader);
        if (!announced.isValid() || call->redirect)
            return;
        if (call->limits.maxBytes >= 0 && announced.toLongLong() > call->limits.maxBytes)
            call->abort(Call::Stop::TooLarge);
        else if (announced.toLongLong() > 0 && !call->sink.write)
            call->result.body.reserve(qsizetype(announced.toLongLong()));
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [call, idle] {
        idle->start();
        call->result.answerBegun = true;
        if (call->reply && call->result.stop == Call::Stop::None)
            call->takeBody();
    });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [call](const QList<QSslError> &errors) {
        if (!call->request.relaxedCertificates || !call->reply)
            return;
        for (const QSslError &error : errors) {
            if (!relaxable(error.error()))
                return;
        }
        call->reply->ignoreSslErrors(errors);
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, call] {
        if (call->reply && !call->completing)
            complete(call);
    });
    if (!call->sink.write && limits.maxBytes >= 0) {
        auto *memory = new QTimer(reply);
        memory->setInterval(kMemoryCheckMs);
        const qint64 residentAtStart = ResidentBytes();
        QObject::connect(memory, &QTimer::timeout, reply, [call, residentAtStart] {
            const qint64 grown = ResidentBytes() - residentAtStart - call->result.body.capacity();
            if (residentAtStart > 0 && grown > 2 * call->limits.maxBytes + kBufferSlack)
                call->abort(Call::Stop::TooLarge);
        });
        memory->start();
    }

    idle->start();
    if (limits.overallMs > 0)
        overall->start();
    if (reply->isFinished() && call->reply && !call->completing)
        complete(call);
}

NetworkConnections::NetworkConnections()
    : m_thread(std::make_unique<Thread>())
{
}

NetworkConnections::~NetworkConnections() = default;

std::shared_ptr<NetworkTransfer> NetworkConnections::begin(const NetworkRequest &request, const NetworkLimits &limits,
                                                           NetworkSink sink, QObject *context,
                                                           std::function<void()> onEnd)
{
    using Call = Thread::Call;
    auto call = std::make_shared<Call>();
    call->self = call;
    call->thread = m_thread.get();
    call->request = request;
    call->limits = limits;
    call->sink = std::move(sink);
    call->endContext = context;
    call->onEnd = std::move(onEnd);
    Thread *thread = m_thread.get();
    if (limits.stop) {
        // A request already on the wire may still be answered within the grace of a stop, so that its answer can
        // be recorded; one that has not gone out is abandoned at once.
        std::weak_ptr<Call> weak = call;
        call->stopWatch = std::make_unique<AbortToken::Watch>(*limits.stop, [thread, weak] {
            thread->post([weak] {
                const auto call = weak.lock();
                if (!call || !call->reply || call->result.stopAsked)
                    return;
                call->result.stopAsked = true;
                if (!call->onTheWire || call->limits.stopGraceMs <= 0)
                    call->abort(Call::Stop::Aborted);
                else
                    QTimer::singleShot(call->limits.stopGraceMs, call->reply,
                                       [call] { call->abort(Call::Stop::Aborted); });
            });
        });
    }
    thread->post([thread, call] { thread->start(call); });
    return call;
}

NetworkResult NetworkConnections::exchange(const NetworkRequest &request, const NetworkLimits &limits,
                                           NetworkSink sink)
{
    const std::shared_ptr<NetworkTransfer> transfer = begin(request, limits, std::move(sink));
    // The limits and the grace of a stop bound the wait (a margin for the network thread to end it).
    const BlockingWait waiting(qint64(limits.overallMs > 0 ? limits.overallMs : limits.noProgressMs) +
                               limits.stopGraceMs + 10000);
    return transfer->wait();
}

void NetworkConnections::forgetKeptConnections(bool relaxedCertificates)
{
    Thread *thread = m_thread.get();
    thread->post([thread, relaxedCertificates] { thread->forget(relaxedCertificates); });
}
