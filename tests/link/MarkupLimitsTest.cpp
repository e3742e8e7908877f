#include "link/MarkupLimits.h"

#include "base/VoranoError.h"
#include "link/KwpDocument.h"
#include "link/SoapEnvelope.h"

#include "support/QtPrinters.h"

#include <QFile>
#include <QStringEncoder>

#include <functional>

#include <gtest/gtest.h>

namespace
{

const QString kOneElement =
    QStringLiteral("Het antwoord heeft een element met meer dan 256 attributen (regel %1) en wordt niet gelezen");
const QString kInAll = QStringLiteral("Het antwoord heeft meer dan 100000 attributen (regel %1) en wordt niet gelezen");

// " a0=\"1\" a1=\"1\" ..."
QString attributes(int count, const QString &name = QStringLiteral("a"))
{
    QString out;
    for (int i = 0; i < count; ++i)
        out += QStringLiteral(" %1%2=\"1\"").arg(name).arg(i);
    return out;
}

QString kwp(const QString &body)
{
    return QStringLiteral("<kwp version=\"3.8\"><header></header><body><status>200</status>") + body +
           QStringLiteral("</body></kwp>");
}

QByteArray envelope(const QString &envelopeAttributes, const QString &kwpText)
{
    QString escaped = kwpText;
    escaped.replace(u'&', QLatin1String("&amp;")).replace(u'<', QLatin1String("&lt;"));
    return (QStringLiteral("<?xml version=\"1.0\"?><e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"") +
            envelopeAttributes +
            QStringLiteral("><e:Body><r:xmlRequestResponse xmlns:r=\"http://_external\"><return>") + escaped +
            QStringLiteral("</return></r:xmlRequestResponse></e:Body></e:Envelope>"))
        .toUtf8();
}

QString refusal(const std::function<void()> &read)
{
    try {
        read();
    } catch (const XmlParseError &e) {
        return e.message();
    }
    return {};
}

} // namespace

// The shape that kept Qt's reader busy for minutes: 300,000 attributes on one element, 3.5 MB. It is refused
// whether it stands in the kwp document or on the envelope, before a reader sees it.
TEST(MarkupLimits, TheAttributeFloodIsRefusedWhereverItStands)
{
    const QString flood = QStringLiteral("<trip") + attributes(300000) + QStringLiteral("/>");
    ASSERT_GT(flood.size(), 3'400'000); // about 3.5 MB
    const QString document = kwp(QStringLiteral("\n<triplist>") + flood + QStringLiteral("</triplist>"));

    EXPECT_EQ(refusal([&] { NormalizeReply(document); }), kOneElement.arg(2));
    // In the envelope the document is text; it is read out and refused when it is read as a document.
    QString carried;
    EXPECT_EQ(refusal([&] { carried = ReadSoapReply(envelope({}, document), QStringLiteral("text/xml")); }), QString());
    EXPECT_EQ(carried, document);
    EXPECT_EQ(refusal([&] { NormalizeReply(carried); }), kOneElement.arg(2));

    const QByteArray onTheEnvelope = envelope(attributes(300000), kwp({}));
    for (const char *contentType : {"text/xml", "text/xml; charset=utf-8", "text/xml; charset=iso-8859-1"})
        EXPECT_EQ(refusal([&] { ReadSoapReply(onTheEnvelope, QString::fromLatin1(contentType)); }), kOneElement.arg(1))
            << contentType;
    // In units of two and four bytes the markup is counted just as well.
    const QString asText = QString::fromUtf8(onTheEnvelope);
    const struct {
        const char *charset;
        QStringConverter::Encoding encoding;
        bool bom;
    } wide[] = {
        {"utf-16", QStringConverter::Utf16LE, true},    {"utf-16", QStringConverter::Utf16BE, true},
        {"", QStringConverter::Utf16LE, true},          {"", QStringConverter::Utf16BE, false},
        {"utf-16le", QStringConverter::Utf16LE, false}, {"utf-32", QStringConverter::Utf32LE, true},
        {"", QStringConverter::Utf32BE, false},
    };
    for (const auto &w : wide) {
        QStringEncoder encoder(w.encoding, w.bom ? QStringEncoder::Flag::WriteBom : QStringEncoder::Flag::Default);
        const QByteArray body = encoder.encode(asText);
        const QString contentType = *w.charset ? QStringLiteral("text/xml; charset=%1").arg(QLatin1String(w.charset))
                                               : QStringLiteral("text/xml");
        EXPECT_EQ(refusal([&] { ReadSoapReply(body, contentType); }), kOneElement.arg(1))
            << contentType.toStdString() << " bom " << w.bom << " encoding " << int(w.encoding);
    }
}

// What counts: the attributes of one start tag, and the defaults a document type declares; not what only looks
// like an attribute in a comment, a CDATA section, a processing instruction, a value or a text.
TEST(MarkupLimits, CountsTheAttributesOfOneElementAndOfTheWhole)
{
    const QString many = attributes(300);
    const QString manyElements = QStringLiteral("<x") + attributes(200) + QStringLiteral("/>");
    const struct {
        const char *what;
        QString text;
        QString refusal;
    } cases[] = {
        {"256 on one element", kwp(QStringLiteral("<a") + attributes(256) + QStringLiteral(">x</a>")), {}},
        {"257 on one element", kwp(QStringLiteral("<a") + attributes(257) + QStringLiteral(">x</a>")),
         kOneElement.arg(1)},
        {"namespace declarations count",
         kwp(QStringLiteral("<a") + attributes(257, QStringLiteral("xmlns:n")) + QStringLiteral("/>")),
         kOneElement.arg(1)},
        {"in a comment", kwp(QStringLiteral("<!-- <a") + many + QStringLiteral("> -->")), {}},
        {"in CDATA", kwp(QStringLiteral("<c><![CDATA[<a") + many + QStringLiteral(">]]></c>")), {}},
        {"in a processing instruction", QStringLiteral("<?pi <a") + many + QStringLiteral("?>") + kwp({}), {}},
        {"in a value", kwp(QStringLiteral("<a b=\"") + many.toHtmlEscaped() + QStringLiteral("\" c='>=>'/>")), {}},
        {"in text", kwp(QStringLiteral("<a>") + QString(1000, u'=') + QStringLiteral("</a>")), {}},
        {"spread over elements", kwp(manyElements.repeated(400)), {}},
        {"too many in all", kwp(QStringLiteral("\n") + manyElements.repeated(501)), kInAll.arg(2)},
        {"declared defaults",
         QStringLiteral("<!DOCTYPE kwp [<!ELEMENT kwp ANY>\n<!ATTLIST kwp") +
             QStringLiteral(" d CDATA 'x'").repeated(300) + QStringLiteral(">]>") + kwp({}),
         kOneElement.arg(2)},
        {"a document type without defaults", QStringLiteral("<!DOCTYPE kwp [<!ELEMENT kwp ANY>]>") + kwp({}), {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refusal([&] { CheckMarkupLimits(QStringView(c.text)); }), c.refusal);
        EXPECT_EQ(refusal([&] { CheckMarkupLimits(c.text.toUtf8(), QString()); }), c.refusal);
    }
}

// What counts as depth: elements open at once. Not an element written as <x/>, nor elements closed before the next
// opens, nor what only looks like a tag in a comment, a CDATA section, a processing instruction or a value.
TEST(MarkupLimits, CountsTheElementsOpenAtOnce)
{
    const QString kTooDeep = QStringLiteral("Het antwoord is dieper genest dan 256 niveaus (regel %1) en wordt niet "
                                            "gelezen");
    const auto nested = [](int depth, const QString &inner = {}) {
        return QStringLiteral("<a x=\"1\">").repeated(depth) + inner + QStringLiteral("</a>").repeated(depth);
    };
    const QString opens = QStringLiteral("<a>").repeated(300);
    const struct {
        const char *what;
        QString text;
        QString refusal;
    } cases[] = {
        {"256 open at once", nested(256), {}},
        {"257 open at once", nested(257), kTooDeep.arg(1)},
        {"the innermost written as <x/>", nested(255, QStringLiteral("<b/><b />")), {}},
        {"siblings", QStringLiteral("<r>") + QStringLiteral("<a><b/></a>").repeated(1000) + QStringLiteral("</r>"), {}},
        {"in a comment", nested(250, QStringLiteral("<!--") + opens + QStringLiteral("-->")), {}},
        {"in CDATA", nested(250, QStringLiteral("<![CDATA[") + opens + QStringLiteral("]]>")), {}},
        {"in a processing instruction", nested(250, QStringLiteral("<?pi ") + opens + QStringLiteral("?>")), {}},
        {"a value with a slash before >", nested(256, QStringLiteral("<b c=\"/\">x</b>")), kTooDeep.arg(1)},
        {"on a later line", QStringLiteral("<r>\n\n") + nested(256) + QStringLiteral("</r>"), kTooDeep.arg(3)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(refusal([&] { CheckMarkupLimits(QStringView(c.text)); }), c.refusal);
        EXPECT_EQ(refusal([&] { CheckMarkupLimits(c.text.toUtf8(), QString()); }), c.refusal);
    }
}

// A reply the service really sends still reads as before.
TEST(MarkupLimits, AnOrdinaryReplyStillReads)
{
    QFile seed(QStringLiteral(VORANO_SOURCE_DIR "/bench/fuzz/corpus/link_xml_fuzz/reply"));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    const QString reply = QString::fromUtf8(seed.readAll());
    const QString normalized = NormalizeReply(reply);
    EXPECT_TRUE(normalized.contains(QStringLiteral("<id>4711</id>")));
    EXPECT_EQ(ReadSoapReply(envelope(QStringLiteral(" a=\"1\""), reply), QStringLiteral("text/xml")), reply);
}
