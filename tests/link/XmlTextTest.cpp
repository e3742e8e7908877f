#include "link/XmlText.h"

#include "link/ReadXmlTag.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

struct DecodeCase {
    const char *written; // element content as a document holds it (UTF-8)
    const char *meant;   // the text it stands for
};

class DecodeCases : public ::testing::TestWithParam<DecodeCase>
{
};

TEST_P(DecodeCases, GiveTheTextAnElementStandsFor)
{
    EXPECT_EQ(DecodeXmlText(QString::fromUtf8(GetParam().written)), QString::fromUtf8(GetParam().meant))
        << GetParam().written;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeCases,
    ::testing::Values(DecodeCase{"Van &amp; Co", "Van & Co"}, DecodeCase{"A &lt;B&gt; straat", "A <B> straat"},
                      DecodeCase{"&quot;Hoek&quot; &apos;t Veld", "\"Hoek\" 't Veld"},
                      DecodeCase{"Caf&#233; &#xE9;&#x20AC;", "Café é€"}, DecodeCase{"&#x141;&#xF3;d&#x17A;", "Łódź"},
                      DecodeCase{"&#x1F695; taxi", "🚕 taxi"},
                      DecodeCase{"<![CDATA[Let op: <b> & \"x\"]]>", "Let op: <b> & \"x\""},
                      DecodeCase{"voor <![CDATA[&amp;]]> na &amp;", "voor &amp; na &"},
                      DecodeCase{"<![CDATA[a]]><![CDATA[b]]>", "ab"},
                      // Decoded once: a written entity stays an entity.
                      DecodeCase{"&amp;lt; &amp;#233;", "&lt; &#233;"},
                      // What is no reference stays as written.
                      DecodeCase{"Jansen & Zn", "Jansen & Zn"}, DecodeCase{"&nbsp;&unknown;", "&nbsp;&unknown;"},
                      DecodeCase{"&#;&#x;&#12a;&#X41;", "&#;&#x;&#12a;&#X41;"},
                      DecodeCase{"&#0;&#xD800;&#x110000;", "&#0;&#xD800;&#x110000;"}, DecodeCase{"&amp", "&amp"},
                      DecodeCase{"<![CDATA[open", "<![CDATA[open"}, DecodeCase{"", ""},
                      DecodeCase{"geen markup", "geen markup"}));

TEST(XmlText, EscapeIsUndoneByDecode)
{
    for (const char *text : {"Van & Co", "A <B> straat", "&amp;", "]]>", "geen", "", "Łódź €"}) {
        const QString t = QString::fromUtf8(text);
        EXPECT_EQ(DecodeXmlText(EscapeXmlText(t)), t) << text;
    }
    EXPECT_EQ(EscapeXmlText(QStringLiteral("A&B <c> \"d\" 'e'")), QStringLiteral("A&amp;B &lt;c&gt; \"d\" 'e'"));
}

TEST(XmlText, ValuesAreDecodedAndPartsStayXml)
{
    const QString trip =
        QStringLiteral("<trip><id>12&amp;3</id><client><lastname>Van &amp; Co</lastname></client></trip>");
    EXPECT_EQ(ReadXMLValue(trip, QStringLiteral("id")), QStringLiteral("12&3"));
    EXPECT_EQ(ReadXMLTag(trip, QStringLiteral("client")), QStringLiteral("<lastname>Van &amp; Co</lastname>"));
    EXPECT_EQ(ReadXMLValue(ReadXMLTag(trip, QStringLiteral("client")), QStringLiteral("lastname")),
              QStringLiteral("Van & Co"));
    EXPECT_EQ(ReadXMLValue(trip, QStringLiteral("missing")), QString());
}

} // namespace
