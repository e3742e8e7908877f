#include "link/SoapEnvelope.h"

#include "base/VoranoError.h"
#include "link/MarkupLimits.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

TEST(SoapEnvelope, RequestIsWrittenToTheByte)
{
    const QByteArray expected =
        "<?xml version=\"1.0\"?>\r\n"
        "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\">"
        "<SOAP-ENV:Body SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
        "<NS1:xmlRequest xmlns:NS1=\"http://_external\"><xml xsi:type=\"xsd:string\">"
        "&lt;kwp version=\"3.8\"&gt;&lt;name&gt;Jansen &amp; Zn 'x' \xc3\xa9&lt;/name&gt;&lt;/kwp&gt;"
        "</xml></NS1:xmlRequest></SOAP-ENV:Body></SOAP-ENV:Envelope>";
    EXPECT_EQ(BuildSoapEnvelope(QString::fromUtf8("<kwp version=\"3.8\"><name>Jansen & Zn 'x' \xc3\xa9</name></kwp>")),
              expected);
}

QByteArray envelope(const QByteArray &body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope "
           "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
           "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>" +
           body + "</soapenv:Body></soapenv:Envelope>";
}

struct ReplyCase {
    const char *label;
    QByteArray body;
    const char *contentType;
    QString expected;
};

class ReadReply : public ::testing::TestWithParam<ReplyCase>
{
};

TEST_P(ReadReply, TakesTheStringOfTheResponseElement)
{
    const ReplyCase &c = GetParam();
    EXPECT_EQ(ReadSoapReply(c.body, QString::fromLatin1(c.contentType)), c.expected) << c.label;
}

const char *kUtf8 = "text/xml; charset=utf-8";

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadReply,
    ::testing::Values(
        ReplyCase{"axis return",
                  envelope("<ns1:xmlRequestResponse xmlns:ns1=\"http://_external\"><xmlRequestReturn "
                           "xsi:type=\"xsd:string\">&lt;kwp&gt;&lt;a&gt;Jansen &amp;amp; Zn&lt;/a&gt;&lt;/kwp&gt;"
                           "</xmlRequestReturn></ns1:xmlRequestResponse>"),
                  kUtf8, QStringLiteral("<kwp><a>Jansen &amp; Zn</a></kwp>")},
        ReplyCase{"one child of any name", envelope("<r><whatever>x &gt; y</whatever></r>"), kUtf8,
                  QStringLiteral("x > y")},
        ReplyCase{"several children: Return", envelope("<r><a>1</a><RETURN>2</RETURN><b>3</b></r>"), kUtf8,
                  QStringLiteral("2")},
        ReplyCase{"several children: Result", envelope("<r><a>1</a><p:result xmlns:p=\"u\">2</p:result></r>"), kUtf8,
                  QStringLiteral("2")},
        ReplyCase{"several children, none named so", envelope("<r><a>1</a><b>2</b></r>"), kUtf8, QStringLiteral("1")},
        ReplyCase{"nil", envelope("<r><xmlRequestReturn xsi:type=\"xsd:string\" xsi:nil=\"true\"/></r>"), kUtf8,
                  QString()},
        ReplyCase{"no child", envelope("<r/>"), kUtf8, QString()},
        ReplyCase{"header before body",
                  "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Header><x/></e:Header>"
                  "<e:Body><r><v>ok</v></r></e:Body></e:Envelope>",
                  kUtf8, QStringLiteral("ok")},
        ReplyCase{"iso-8859-1 charset", envelope("<r><v>caf\xe9</v></r>").replace("UTF-8", "ISO-8859-1"),
                  "text/xml; charset=\"ISO-8859-1\"", QString::fromUtf8("caf\xc3\xa9")},
        ReplyCase{"no charset: the parser decides", envelope("<r><v>caf\xc3\xa9</v></r>"), "text/xml",
                  QString::fromUtf8("caf\xc3\xa9")},
        ReplyCase{"charset the platform does not know", envelope("<r><v>v</v></r>"), "text/xml; charset=x-none",
                  QStringLiteral("v")}));

struct FaultCase {
    QByteArray body;
    bool cfc;
    const char *message;
};

class ReadFault : public ::testing::TestWithParam<FaultCase>
{
};

TEST_P(ReadFault, RaisesTheFaultstring)
{
    const FaultCase &c = GetParam();
    try {
        ReadSoapReply(c.body, QString::fromLatin1(kUtf8));
        FAIL();
    } catch (const CFCInvocationException &e) {
        EXPECT_TRUE(c.cfc);
        EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
    } catch (const SoapFault &e) {
        EXPECT_FALSE(c.cfc);
        EXPECT_EQ(e.message(), QString::fromUtf8(c.message));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadFault,
    ::testing::Values(
        FaultCase{envelope("<soapenv:Fault><faultcode>soapenv:Server.userException</faultcode>"
                           "<faultstring>Ongeldige gebruiker &amp; wachtwoord</faultstring><detail>"
                           "<ns1:CFCInvocationException xmlns:ns1=\"http://rpc.xml.coldfusion\"/></detail>"
                           "</soapenv:Fault>"),
                  true, "Ongeldige gebruiker & wachtwoord"},
        FaultCase{envelope("<soapenv:Fault><faultcode>soapenv:Server</faultcode><faultstring>kapot</faultstring>"
                           "<detail><x>y</x></detail></soapenv:Fault>"),
                  false, "kapot"},
        FaultCase{envelope("<soapenv:Fault><faultcode>soapenv:Client</faultcode></soapenv:Fault>"), false, ""},
        FaultCase{envelope("<soapenv:Fault><soapenv:Code><soapenv:Value>Server</soapenv:Value></soapenv:Code>"
                           "<soapenv:Reason><soapenv:Text>TypeError: x</soapenv:Text></soapenv:Reason>"
                           "</soapenv:Fault>"),
                  false, "TypeError: x"}));

struct ErrorCase {
    QByteArray body;
    const char *contentType;
    const char *messageStart;
};

class ReadErrors : public ::testing::TestWithParam<ErrorCase>
{
};

TEST_P(ReadErrors, RaiseAParseErrorWithTheParsersMessage)
{
    const ErrorCase &c = GetParam();
    try {
        ReadSoapReply(c.body, QString::fromLatin1(c.contentType));
        FAIL() << c.body.left(80).constData();
    } catch (const XmlParseError &e) {
        EXPECT_TRUE(e.message().startsWith(QString::fromUtf8(c.messageStart))) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadErrors,
    ::testing::Values(ErrorCase{"", kUtf8, "Premature end of document."},
                      ErrorCase{envelope("<r><v>x</v></r>").left(120), kUtf8, "Premature end of document."},
                      ErrorCase{"\x00\x01\x02garbage\xff\xfe", "text/xml", ""},
                      ErrorCase{envelope("<r><v>\xff\xfe</v></r>"), kUtf8,
                                "Het antwoord is niet geldig in de tekenset"},
                      ErrorCase{envelope("<r><v>\xff\xfe</v></r>"), "text/xml", "Encountered incorrectly encoded"},
                      ErrorCase{"<html><body>fout</body></html>", kUtf8, "Het antwoord is geen SOAP-envelope"},
                      ErrorCase{"<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"/>", kUtf8,
                                "Het SOAP-antwoord heeft geen Body"},
                      ErrorCase{envelope(""), kUtf8, "Het SOAP-antwoord heeft geen antwoordelement"},
                      ErrorCase{envelope("<r><v>x</v></r>") + "<extra/>", kUtf8, "Extra content"}));

TEST(SoapEnvelope, ContentTypeCheckRefusesPlainTextAndHtml)
{
    for (const char *type : {"text/html", "TEXT/HTML; charset=iso-8859-1", "text/plain"}) {
        try {
            CheckReplyContentType(QString::fromLatin1(type));
            FAIL() << type;
        } catch (const TransportError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Received content of invalid Content-Type setting: %1 - SOAP "
                                                  "expects \"text/xml\"")
                                       .arg(QString::fromLatin1(type)));
        }
    }
    for (const char *type : {"text/xml; charset=utf-8", "application/soap+xml", ""})
        EXPECT_NO_THROW(CheckReplyContentType(QString::fromLatin1(type))) << type;
}

} // namespace

namespace
{

// Large replies reach the parser in slices of a megabyte: characters of several bytes, entities and texts that
// straddle a cut come out whole, in every charset path, and nesting is refused beyond the depth limit.
TEST(SoapEnvelope, LargeAndDeepRepliesReadWhole)
{
    // "é" (2 bytes), "€" (3 bytes), "𝄞" (4 bytes, a surrogate pair) and "&amp;" at every offset around each cut.
    QString expected;
    QByteArray escaped;
    const QString piece = QString::fromUtf8("ab\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9e&<");
    const QByteArray pieceEscaped = "ab\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9e&amp;&lt;";
    while (escaped.size() < 3 * (1 << 20) + 100) {
        expected += piece;
        escaped += pieceEscaped;
    }
    const QByteArray body = envelope("<ns1:xmlRequestResponse xmlns:ns1=\"http://_external\"><r>" + escaped +
                                     "</r></ns1:xmlRequestResponse>");
    for (const char *contentType : {"text/xml; charset=utf-8", "text/xml", "text/xml; charset=\"UTF-8\""})
        EXPECT_EQ(ReadSoapReply(body, QLatin1String(contentType)), expected) << contentType;

    // A faulty byte far beyond the first slice is still found.
    QByteArray broken = body;
    broken[broken.size() - 200] = '\xff';
    EXPECT_THROW(ReadSoapReply(broken, QStringLiteral("text/xml; charset=utf-8")), XmlParseError);

    // Markup within the string counts against the depth limit with the envelope's four levels around it.
    const auto deep = [](int levels) {
        return envelope("<ns1:x xmlns:ns1=\"http://_external\"><r>" + QByteArray("<a>").repeated(levels) + "diep" +
                        QByteArray("</a>").repeated(levels) + "</r></ns1:x>");
    };
    EXPECT_EQ(ReadSoapReply(deep(kMaxDepth - 4), QStringLiteral("text/xml")), QStringLiteral("diep"));
    for (const int levels : {kMaxDepth - 3, 100000}) {
        try {
            ReadSoapReply(deep(levels), QStringLiteral("text/xml"));
            FAIL() << levels;
        } catch (const XmlParseError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Het antwoord is dieper genest dan 256 niveaus (regel 1) en wordt "
                                                  "niet gelezen"));
        }
    }
}

} // namespace
