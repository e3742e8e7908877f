#include "link/SoapTransport.h"

#include "base/VoranoError.h"
#include "link/SoapEnvelope.h"
#include "settings/Controls.h"
#include "settings/ServiceEndpoints.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QThread>
#include <QTimer>

#include <cstring>

namespace
{

constexpr const char *kNetworkFailure = "%1 - URL:%2 - SOAPAction:%3";
constexpr const char *kHttpFailure = "%1 (%2) - '%3'";
constexpr const char *kNoProgress = "Geen reactie van de server binnen %1 seconden";
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

// Runs one HTTP exchange in the calling thread's own event loop; called on the worker thread only.
Exchange runExchange(const QUrl &url, const QByteArray &envelope, const ServiceProxyOptions &options)
{
    Exchange result;
    QNetworkAccessManager manager;
    manager.setProxyFactory(new SystemProxyFactory);
    manager.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);

    QNetworkRequest request(url);
    request.setRawHeader("SOAPAction", SoapWire::SoapActionHeader);
    request.setRawHeader("Content-Type", SoapWire::RequestContentType);
    request.setRawHeader("User-Agent", SoapWire::UserAgent);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setHeader(QNetworkRequest::ContentLengthHeader, envelope.size());

    QEventLoop loop;
    OneShotBody body(envelope);
    QNetworkReply *reply = manager.post(request, &body);
    QTimer idle;
    idle.setSingleShot(true);
    idle.setInterval(options.noProgressTimeoutMs);
    QObject::connect(&idle, &QTimer::timeout, reply, [&] {
        result.timedOut = true;
        reply->abort();
    });
    const auto progress = [&idle] { idle.start(); };
    QObject::connect(reply, &QNetworkReply::uploadProgress, &idle, progress);
    QObject::connect(reply, &QNetworkReply::downloadProgress, &idle, progress);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &idle, progress);
    QObject::connect(reply, &QNetworkReply::encrypted, &idle, progress);
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [&](const QList<QSslError> &errors) {
        if (!options.ignoreCertificateErrors)
            return;
        for (const QSslError &error : errors) {
            if (!relaxable(error.error()))
                return;
        }
        reply->ignoreSslErrors(errors);
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    idle.start();
    if (!reply->isFinished())
        loop.exec();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (result.timedOut || !status.isValid()) {
        result.networkFailed = true;
        if (result.timedOut)
            result.errorText = QLatin1String(kNoProgress).arg(QString::number(options.noProgressTimeoutMs / 1000.0));
        else if (reply->error() == QNetworkReply::ContentReSendError)
            result.errorText = QLatin1String(kClosedBeforeReply);
        else
            result.errorText = withoutTrailingLineBreaks(reply->errorString());
    } else {
        result.status = status.toInt();
        result.reasonPhrase = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        result.contentType = QString::fromLatin1(reply->rawHeader("Content-Type"));
        result.body = reply->readAll();
    }
    delete reply;
    return result;
}

// One stub per call. The call blocks the calling thread without running its event loop: the exchange runs on a
// worker thread with its own network manager and event loop, and the caller waits for that thread to end. So no
// timer, click or repaint of the caller's thread is handled during a call (the window does not repaint while a
// call is under way; the no-progress limit bounds that), and no operation can start inside another through a
// call. A nested event loop on the caller's thread would have let all of those in.
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
        const QByteArray envelope = BuildSoapEnvelope(xml);
        // The URL goes to the network as it stands; one that is not a valid URL fails there with the
        // platform's message.
        const QUrl url(m_url);
        Exchange exchange;
        std::unique_ptr<QThread> worker(QThread::create([&] { exchange = runExchange(url, envelope, m_options); }));
        worker->setObjectName(QStringLiteral("xmlRequest"));
        worker->start();
        worker->wait();

        if (exchange.networkFailed)
            throw TransportError(QLatin1String(kNetworkFailure)
                                     .arg(exchange.errorText, m_url, QLatin1String(SoapWire::SoapActionHeader)));
        if (exchange.status >= 300 && exchange.status != 500)
            throw TransportError(
                QLatin1String(kHttpFailure).arg(exchange.reasonPhrase).arg(exchange.status).arg(m_url));
        CheckReplyContentType(exchange.contentType);
        return ReadSoapReply(exchange.body, exchange.contentType);
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
