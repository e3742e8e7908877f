#include "link/SoapTransport.h"

#include "base/AbortToken.h"
#include "base/VoranoError.h"
#include "link/NetworkConnections.h"
#include "link/ReplyLimits.h"
#include "link/SoapEnvelope.h"
#include "settings/Controls.h"
#include "settings/ServiceEndpoints.h"

#include <memory>

namespace
{

constexpr const char *kNetworkFailure = "%1 - URL:%2 - SOAPAction:%3";
constexpr const char *kHttpFailure = "%1 (%2) - '%3'";
constexpr const char *kNoProgress = "Geen reactie van de server binnen %1 seconden";
constexpr const char *kCallLimit = "Het antwoord was na %1 seconden nog niet compleet";
constexpr const char *kTooLarge = "Het antwoord is groter dan %1 MB; het lezen is gestopt";
constexpr const char *kIncomplete = "Het antwoord is onvolledig: %1 van de aangekondigde %2 bytes ontvangen";
constexpr const char *kClosedBeforeReply =
    "De verbinding werd verbroken voordat het antwoord binnen was; het verzoek is niet opnieuw verstuurd";

QString stopText(NetworkResult::Stop stop, const ServiceProxyOptions &options)
{
    switch (stop) {
    case NetworkResult::Stop::NoProgress:
        return QLatin1String(kNoProgress).arg(QString::number(options.noProgressTimeoutMs / 1000.0));
    case NetworkResult::Stop::Overall:
        return QLatin1String(kCallLimit).arg(QString::number(options.callLimitMs / 1000.0));
    case NetworkResult::Stop::TooLarge:
        return QLatin1String(kTooLarge).arg(QString::number(options.maxReplyBytes / 1048576.0));
    case NetworkResult::Stop::Aborted:
    case NetworkResult::Stop::Cancelled:
    case NetworkResult::Stop::WriteFailed:
        return AbortToken::abortedText();
    case NetworkResult::Stop::None:
        break;
    }
    return {};
}

// A kept connection that failed before the whole request had gone out: the service cannot have acted on a request
// it did not receive whole, so the call is sent once more, on a new connection. Once the last byte has gone, a
// connection that ends without an answer says nothing about whether the service acted (a path may forward the
// request and drop the answer): the call fails, and the caller's next tick decides.
bool failedBeforeTheRequestWentOut(const NetworkResult &result)
{
    return result.reusedConnection && !result.requestWritten && !result.answerBegun && result.networkFailed &&
           (result.stop == NetworkResult::Stop::None || result.stop == NetworkResult::Stop::NoProgress);
}

// The text of a call that failed on the way (no reply to read).
QString failureText(const NetworkResult &result, const ServiceProxyOptions &options)
{
    if (result.stop != NetworkResult::Stop::None)
        return stopText(result.stop, options);
    if (result.resendRefused)
        return QLatin1String(kClosedBeforeReply);
    if (!result.networkFailed && result.announcedLength >= 0 && result.identityEncoding &&
        result.announcedLength != result.body.size())
        // A body that ended before its Content-Length is not a reply, whatever its bytes parse as.
        return QLatin1String(kIncomplete)
            .arg(QString::number(result.body.size()), QString::number(result.announcedLength));
    return result.errorText;
}

NetworkResult runExchange(NetworkConnections &net, const QUrl &url, const QByteArray &envelope,
                          const ServiceProxyOptions &options)
{
    NetworkRequest request;
    request.url = url;
    request.headers = {{"SOAPAction", SoapWire::SoapActionHeader},
                       {"Content-Type", SoapWire::RequestContentType},
                       {"User-Agent", SoapWire::UserAgent}};
    request.body = envelope;
    request.relaxedCertificates = options.ignoreCertificateErrors;
    request.keepConnections = options.keepConnections;
    request.idleConnectionLimitMs = options.idleConnectionLimitMs;
    NetworkLimits limits;
    limits.noProgressMs = options.noProgressTimeoutMs;
    limits.overallMs = options.callLimitMs;
    limits.maxBytes = options.maxReplyBytes;
    limits.stop = options.abortToken;
    limits.stopGraceMs = options.stopGraceMs;

    NetworkResult result = net.exchange(request, limits);
    if (failedBeforeTheRequestWentOut(result) && !(options.abortToken && options.abortToken->tripped())) {
        // The failed call's connections go (or have gone already), so this one connects afresh.
        net.forgetKeptConnections(options.ignoreCertificateErrors);
        result = net.exchange(request, limits);
    }
    return result;
}

// One stub per call. The call blocks the calling thread without running its event loop: the exchange runs on the
// network thread, and the caller waits for it to end. So no timer, click or repaint of the caller's thread is
// handled during a call (the window does not repaint while a call is under way; the limits and the abort token
// bound that), and no operation can start inside another through a call. A nested event loop on the caller's
// thread would have let all of those in.
class SoapStub : public External_
{
  public:
    SoapStub(NetworkConnections &net, QString url, ServiceProxyOptions options)
        : m_net(net)
        , m_url(std::move(url))
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
        NetworkResult exchange = runExchange(m_net, QUrl(m_url), BuildSoapEnvelope(xml), options);

        const QString failure = failureText(exchange, options);
        if (exchange.networkFailed || !failure.isEmpty())
            throw TransportError(QLatin1String(kNetworkFailure)
                                     .arg(failure, m_url, QLatin1String(SoapWire::SoapActionHeader)));
        if (exchange.status >= 300 && exchange.status != 500)
            throw TransportError(
                QLatin1String(kHttpFailure).arg(exchange.reasonPhrase).arg(exchange.status).arg(m_url));
        CheckReplyContentType(exchange.contentType);
        return ReadSoapReply(std::move(exchange.body), exchange.contentType);
    }

  private:
    NetworkConnections &m_net;
    QString m_url;
    ServiceProxyOptions m_options;
};

} // namespace

std::unique_ptr<External_> CreateServiceProxy(NetworkConnections &net, const QString &url,
                                              bool ignoreCertificateErrors)
{
    ServiceProxyOptions options;
    options.ignoreCertificateErrors = ignoreCertificateErrors;
    return CreateServiceProxy(net, url, options);
}

std::unique_ptr<External_> CreateServiceProxy(NetworkConnections &net, const QString &url,
                                              const ServiceProxyOptions &options)
{
    return std::make_unique<SoapStub>(net, EffectiveServiceUrl(url), options);
}

QString EffectiveServiceUrl(const QString &url)
{
    return url.isEmpty() ? QLatin1String(kBuiltInServiceEndpoint) : url;
}

ServiceFactory MakeServiceFactory(const Controls &controls, NetworkConnections &net, AbortToken *stop)
{
    return [&controls, &net, stop](const QString &url) {
        ServiceProxyOptions options;
        options.ignoreCertificateErrors = controls.checked(Control::xCertNegeren);
        options.abortToken = stop;
        return CreateServiceProxy(net, url, options);
    };
}
