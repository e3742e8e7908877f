#include "link/SoapTransport.h"

#include "base/VoranoError.h"
#include "link/SoapEnvelope.h"
#include "settings/MemoryControls.h"
#include "settings/ServiceEndpoints.h"

#include "OstrelSim.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QFile>
#include <QTcpServer>
#include <QTimer>

#include <gtest/gtest.h>

namespace
{

class SoapTransport : public ::testing::Test
{
  protected:
    void SetUp() override { ASSERT_TRUE(sim.start()) << sim.errorString().toStdString(); }

    QString call(const QString &kwp, int timeoutMs = 60000)
    {
        ServiceProxyOptions options;
        options.noProgressTimeoutMs = timeoutMs;
        return CreateServiceProxy(sim.url(), options)->xmlRequest(kwp);
    }

    // The message of the error a call raises; fails the test when it raises none or another type.
    template <typename Error> QString failure(const QString &kwp, int timeoutMs = 60000)
    {
        try {
            call(kwp, timeoutMs);
        } catch (const VoranoError &e) {
            if constexpr (!std::is_same_v<Error, VoranoError>) {
                if (!dynamic_cast<const Error *>(&e))
                    ADD_FAILURE() << "other error type: " << e.message().toStdString();
            }
            return e.message();
        }
        ADD_FAILURE() << "no error";
        return {};
    }

    QString networkForm(const QString &text) const
    {
        return QStringLiteral("%1 - URL:%2 - SOAPAction:\"\"").arg(text, sim.url());
    }

    OstrelSim sim;
    const QString request = QStringLiteral("<kwp version=\"3.8\"><header><username>a</username><password>b"
                                           "</password></header><body><action><name>RetrieveTrips</name></action>"
                                           "</body></kwp>");
};

TEST_F(SoapTransport, SendsTheEnvelopeWithTheHeadersAndReturnsTheReply)
{
    const QString reply = QString::fromUtf8("<kwp><name>RetrieveTrips</name><status>200</status><a>Caf\xc3\xa9 "
                                            "&amp; Zn &lt; 'x' \"y\" &gt;</a></kwp>");
    sim.queueReply(QStringLiteral("RetrieveTrips"), reply);
    EXPECT_EQ(call(request), reply);

    ASSERT_EQ(sim.requestCount(), 1);
    const OstrelSim::Request r = sim.requests().at(0);
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/_external/external.cfc");
    EXPECT_EQ(r.header("SOAPAction"), "\"\"");
    EXPECT_EQ(r.header("Content-Type"), "text/xml; charset=\"utf-8\"");
    EXPECT_EQ(r.header("User-Agent"), "Borland SOAP 1.2");
    EXPECT_EQ(r.body, BuildSoapEnvelope(request));
    EXPECT_EQ(r.kwp, request);
    EXPECT_EQ(r.action, QStringLiteral("RetrieveTrips"));
}

TEST_F(SoapTransport, ValuesWithMarkupCharactersArriveUnchanged)
{
    const QString kwp = QString::fromUtf8("<kwp><name>SendStatus</name><v>Jansen & Zn <b> ]]> \xe2\x82\xac</v></kwp>");
    call(kwp);
    EXPECT_EQ(sim.requests().at(0).kwp, kwp);
}

struct FailureCase {
    const char *label;
    OstrelSim::RawReply raw;
    const char *message; // %1: the URL
    friend void PrintTo(const FailureCase &c, std::ostream *os) { *os << c.label; }
};

class SoapTransportFailures : public SoapTransport, public ::testing::WithParamInterface<FailureCase>
{
};

TEST_P(SoapTransportFailures, FailWithTheMessageOfTheirKind)
{
    const FailureCase &c = GetParam();
    sim.queueRaw(QString(), c.raw);
    QString expected = QString::fromUtf8(c.message);
    expected.replace(QStringLiteral("%1"), sim.url());
    EXPECT_EQ(failure<VoranoError>(request), expected) << c.label;
}

OstrelSim::RawReply raw(int status, QByteArray reason, QByteArray type, QByteArray body)
{
    OstrelSim::RawReply r;
    r.status = status;
    r.reason = std::move(reason);
    r.contentType = std::move(type);
    r.body = std::move(body);
    return r;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoapTransportFailures,
    ::testing::Values(
        FailureCase{"404", raw(404, "Not Found", "text/html", "<html>weg</html>"), "Not Found (404) - '%1'"},
        FailureCase{"301 is not followed", raw(301, "Moved Permanently", "text/html", ""),
                    "Moved Permanently (301) - '%1'"},
        FailureCase{"503", raw(503, "Service Unavailable", "text/xml", ""), "Service Unavailable (503) - '%1'"},
        FailureCase{"500 with an HTML page", raw(500, "Internal Server Error", "text/html; charset=utf-8", "<html/>"),
                    "Received content of invalid Content-Type setting: text/html; charset=utf-8 - SOAP expects "
                    "\"text/xml\""},
        FailureCase{"200 as plain text", raw(200, "OK", "text/plain", "<kwp/>"),
                    "Received content of invalid Content-Type setting: text/plain - SOAP expects \"text/xml\""},
        FailureCase{"200 with an empty body", raw(200, "OK", "text/xml; charset=utf-8", ""),
                    "Premature end of document. (regel 1, positie 0)"},
        FailureCase{
            "200 with a truncated envelope",
            raw(200, "OK", "text/xml; charset=utf-8", OstrelSim::responseEnvelope(QStringLiteral("<kwp/>")).left(150)),
            "Premature end of document. (regel 1, positie 150)"}));

TEST_F(SoapTransport, A500FaultRaisesItsFaultstring)
{
    sim.queueFault(QString(), QStringLiteral("Gebruiker onbekend"));
    EXPECT_EQ(failure<CFCInvocationException>(request), QStringLiteral("Gebruiker onbekend"));
    sim.queueFault(QString(), QStringLiteral("Andere fout"), false);
    EXPECT_EQ(failure<SoapFault>(request), QStringLiteral("Andere fout"));
}

TEST_F(SoapTransport, ANilReturnGivesTheEmptyText)
{
    sim.queueNil(QString());
    EXPECT_EQ(call(request), QString());
}

TEST_F(SoapTransport, ACallWithoutProgressFailsAfterTheTimeOut)
{
    sim.queueHang(QString());
    EXPECT_EQ(failure<TransportError>(request, 300),
              networkForm(QStringLiteral("Geen reactie van de server binnen 0.3 seconden")));
}

TEST_F(SoapTransport, ASlowReplyWithinTheTimeOutArrives)
{
    sim.queueReply(QString(), QStringLiteral("<kwp>laat</kwp>"), 200);
    EXPECT_EQ(call(request, 2000), QStringLiteral("<kwp>laat</kwp>"));
}

TEST_F(SoapTransport, ADroppedConnectionFailsInTheNetworkForm)
{
    sim.queueDrop(QString());
    const QString message = failure<TransportError>(request);
    // Sent once only: the network layer must not send the POST again by itself.
    EXPECT_EQ(sim.requestCount(), 1);
    EXPECT_EQ(message, networkForm(QStringLiteral("De verbinding werd verbroken voordat het antwoord binnen was; het "
                                                  "verzoek is niet opnieuw verstuurd")));
}

TEST_F(SoapTransport, ARefusedConnectionFailsInTheNetworkForm)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const QString url = QStringLiteral("http://127.0.0.1:%1/_external/external.cfc").arg(closed.serverPort());
    closed.close();
    try {
        CreateServiceProxy(url)->xmlRequest(request);
        FAIL();
    } catch (const TransportError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Connection refused - URL:%1 - SOAPAction:\"\"").arg(url));
    }
}

TEST_F(SoapTransport, AnInvalidUrlIsUsedAsItStandsAndFailsWithThePlatformText)
{
    const QString url = QStringLiteral("geen url");
    try {
        CreateServiceProxy(url)->xmlRequest(request);
        FAIL();
    } catch (const TransportError &e) {
        EXPECT_TRUE(e.message().endsWith(QStringLiteral(" - URL:geen url - SOAPAction:\"\"")))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().startsWith(QStringLiteral(" - URL:")));
    }
}

TEST_F(SoapTransport, TheCallerThreadRunsNoEventsDuringACall)
{
    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    sim.queueReply(QString(), QStringLiteral("<kwp/>"), 100);
    call(request);
    EXPECT_FALSE(fired);
    QCoreApplication::processEvents();
    EXPECT_TRUE(fired);
}

TEST_F(SoapTransport, AReplyThatIsNotUtf8FailsWithAClearError)
{
    sim.queueRaw(QString(), raw(200, "OK", "text/xml; charset=utf-8",
                                OstrelSim::responseEnvelope(QStringLiteral("<kwp>X</kwp>")).replace("X", "\xe9t\xe9")));
    EXPECT_EQ(failure<XmlParseError>(request), QStringLiteral("Het antwoord is niet geldig in de tekenset 'utf-8'"));
}

TEST_F(SoapTransport, AHundredMegabyteGarbageReplyFailsWithoutACrash)
{
    QByteArray garbage(100 * 1024 * 1024, 'x');
    for (qsizetype i = 0; i < garbage.size(); i += 4099)
        garbage[i] = char(i % 251);
    garbage[0] = '<';
    sim.queueRaw(QString(), raw(200, "OK", "text/xml", garbage));
    const QString message = failure<XmlParseError>(request);
    EXPECT_FALSE(message.isEmpty());
}

QByteArray readTestFile(const char *name)
{
    QFile file(QStringLiteral(VORANO_TEST_DATA_DIR "/link/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing " << name;
    return file.readAll();
}

// The simulator over TLS with a self-signed certificate for "localhost", reached as 127.0.0.1: an unknown issuer
// and another host name, the faults xCertNegeren lets pass.
class SoapTransportTls : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.startTls(readTestFile("sim-localhost.crt"), readTestFile("sim-localhost.key")))
            << sim.errorString().toStdString();
    }
    OstrelSim sim;
    MemoryControls controls;
    const QString request = QStringLiteral("<kwp><name>SendStatus</name><password>geheim</password></kwp>");
};

TEST_F(SoapTransportTls, ARefusedCertificateFailsTheCallBeforeTheDocumentIsSent)
{
    ASSERT_TRUE(sim.url().startsWith(QStringLiteral("https://")));
    EXPECT_FALSE(controls.checked(Control::xCertNegeren)); // checks apply by default
    try {
        MakeServiceFactory(controls)(sim.url())->xmlRequest(request);
        FAIL();
    } catch (const TransportError &e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("SSL handshake failed"))) << e.message().toStdString();
        EXPECT_TRUE(e.message().endsWith(QStringLiteral(" - URL:%1 - SOAPAction:\"\"").arg(sim.url())));
    }
    EXPECT_EQ(sim.requestCount(), 0);
}

TEST_F(SoapTransportTls, WithCertNegerenTheRelaxedChecksLetTheCallThrough)
{
    controls.setChecked(Control::xCertNegeren, true);
    const ServiceFactory factory = MakeServiceFactory(controls);
    EXPECT_EQ(factory(sim.url())->xmlRequest(request), OstrelSim::acceptedReply(QStringLiteral("SendStatus")));
    EXPECT_EQ(sim.requests().at(0).kwp, request);
    // Read when the stub is made, not when the factory is.
    controls.setChecked(Control::xCertNegeren, false);
    EXPECT_THROW(factory(sim.url())->xmlRequest(request), TransportError);
}

TEST(SoapTransportEndpoint, AnEmptySettingSelectsTheBuiltInDefault)
{
    EXPECT_EQ(EffectiveServiceUrl(QString()), QLatin1String(kBuiltInServiceEndpoint));
    EXPECT_TRUE(QString::fromLatin1(kBuiltInServiceEndpoint).startsWith(QStringLiteral("http://")));
    EXPECT_TRUE(QString::fromLatin1(kBuiltInServiceEndpoint).endsWith(QStringLiteral("/_external/external.cfc")));
    EXPECT_TRUE(QString::fromLatin1(kStartupServiceEndpoint).startsWith(QStringLiteral("https://")));
    EXPECT_EQ(EffectiveServiceUrl(QStringLiteral("x")), QStringLiteral("x"));
}

TEST(SoapTransportFactory, StubsCallTheUrlTheyAreGiven)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start());
    MemoryControls controls;
    const ServiceFactory factory = MakeServiceFactory(controls);
    factory(sim.url())->xmlRequest(QStringLiteral("<kwp><name>SendStatus</name></kwp>"));
    ASSERT_EQ(sim.requestCount(), 1);
    EXPECT_EQ(sim.requests().at(0).action, QStringLiteral("SendStatus"));
}

} // namespace
