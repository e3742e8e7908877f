#include "link/KwpDocument.h"
#include "link/MarkupLimits.h"

#include "base/VoranoError.h"
#include "settings/MemoryControls.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

TEST(KwpDocument, BuildsTheOneLineFrame)
{
    EXPECT_EQ(BuildRequest(QStringLiteral("3.8"), QStringLiteral("RetrieveTrips"), QStringLiteral("taxi"),
                           QStringLiteral("geheim"), QStringLiteral("<p>1</p>")),
              QStringLiteral("<kwp version=\"3.8\"><header><username>taxi</username><password>geheim</password>"
                             "</header><body><action><name>RetrieveTrips</name><p>1</p></action></body></kwp>"));
}

TEST(KwpDocument, CredentialsAreEscapedAndEmptyOnesKeepTheirElements)
{
    MemoryControls controls;
    controls.setText(Control::xInlognaam, QString());
    controls.setText(Control::xPaswoord, QString());
    EXPECT_EQ(BuildRetrieveRequest(controls, QStringLiteral("RetrieveProducts")),
              QStringLiteral("<kwp version=\"1.0\"><header><username></username><password></password></header>"
                             "<body><action><name>RetrieveProducts</name></action></body></kwp>"));
    controls.setText(Control::xInlognaam, QStringLiteral("Jansen & Zn"));
    controls.setText(Control::xPaswoord, QStringLiteral("a<b"));
    EXPECT_EQ(
        BuildRetrieveRequest(controls, QStringLiteral("RetrieveTrips")),
        QStringLiteral("<kwp version=\"3.8\"><header><username>Jansen &amp; Zn</username><password>a&lt;b</password>"
                       "</header><body><action><name>RetrieveTrips</name></action></body></kwp>"));
}

TEST(KwpDocument, MaskPasswordHidesEveryPasswordAndNothingElse)
{
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {BuildRequest(QStringLiteral("2.3"), QStringLiteral("SendStatus"), QStringLiteral("taxi"),
                      QStringLiteral("g&e<h>eim ł"), QStringLiteral("<triplist/>")),
         QStringLiteral("<kwp version=\"2.3\"><header><username>taxi</username><password>********</password>"
                        "</header><body><action><name>SendStatus</name><triplist/></action></body></kwp>")},
        {QStringLiteral("<password></password>\r\n<a/><password>x</password>"),
         QStringLiteral("<password>********</password>\r\n<a/><password>********</password>")},
        {QStringLiteral("<header><password>open tot het einde"), QStringLiteral("<header><password>********")},
        {QStringLiteral("<kwp><status>200</status></kwp>"), QStringLiteral("<kwp><status>200</status></kwp>")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MaskPassword(c.in), c.out) << c.in.toStdString();
}

TEST(KwpDocument, EveryActionHasItsVersion)
{
    const std::pair<const char *, const char *> table[] = {
        {KwpAction::RetrieveTrips, "3.8"},
        {KwpAction::ConfirmTrips, "1.0"},
        {KwpAction::SendStatus, "2.3"},
        {KwpAction::processTrips, "1.2"},
        {KwpAction::RetrieveVehicleTypes, "1.0"},
        {KwpAction::RetrieveIndications, "1.0"},
        {KwpAction::RetrieveAccessibilityEquipments, "1.0"},
        {KwpAction::RetrieveProducts, "1.0"},
    };
    for (const auto &[action, version] : table)
        EXPECT_EQ(KwpVersion(QLatin1String(action)), QLatin1String(version)) << action;
    EXPECT_EQ(KwpVersion(QStringLiteral("retrievetrips")), QString());
}

struct AcceptCase {
    const char *reply;
    bool compareName;
    bool accepted;
};

class ReplyCheck : public ::testing::TestWithParam<AcceptCase>
{
};

TEST_P(ReplyCheck, NeedsStatus200AndWhenAskedTheActionName)
{
    const AcceptCase &c = GetParam();
    EXPECT_EQ(ReplyAccepted(QString::fromUtf8(c.reply), QStringLiteral("RetrieveTrips"), c.compareName), c.accepted)
        << c.reply;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyCheck,
    ::testing::Values(AcceptCase{"<kwp><name>RetrieveTrips</name><status>200</status></kwp>", true, true},
                      AcceptCase{"<kwp><name>RetrieveTrips</name><status> 200</status></kwp>", true, false},
                      AcceptCase{"<kwp><name>RetrieveTrips</name><status>200\r\n</status></kwp>", true, false},
                      AcceptCase{"<kwp><name>RetrieveTrips</name><status>500</status></kwp>", false, false},
                      AcceptCase{"<kwp><name>ConfirmTrips</name><status>200</status></kwp>", true, false},
                      AcceptCase{"<kwp><name>ConfirmTrips</name><status>200</status></kwp>", false, true},
                      AcceptCase{"<kwp><status>200</status><trip><status>500</status></trip></kwp>", false, true},
                      AcceptCase{"<kwp><status code=\"1\">200</status></kwp>", false, false},
                      AcceptCase{"", false, false}));

struct NormalizeCase {
    const char *input;
    const char *output;
};

class Normalize : public ::testing::TestWithParam<NormalizeCase>
{
};

// The text and its UTF-8 bytes give the same document.
TEST_P(Normalize, WritesTheParsedDocumentBack)
{
    EXPECT_EQ(NormalizeReply(QString::fromUtf8(GetParam().input)), QString::fromUtf8(GetParam().output));
    EXPECT_EQ(NormalizeReply(QByteArray(GetParam().input)), QString::fromUtf8(GetParam().output));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Normalize,
    ::testing::Values(
        // Indentation and line breaks between elements go; each list starts with its first item.
        NormalizeCase{"<kwp>\r\n  <triplist>\n    <trip><id>1</id></trip>\n  </triplist>\n</kwp>\n",
                      "<kwp><triplist><trip><id>1</id></trip></triplist></kwp>"},
        // Empty content and whitespace-only content both give the empty-element form.
        NormalizeCase{"<a><b></b><c>  </c><d/></a>", "<a><b/><c/><d/></a>"},
        NormalizeCase{"<a>Jansen &amp; Zn &lt;b&gt;</a>", "<a>Jansen &amp; Zn &lt;b></a>"},
        NormalizeCase{"<a>&apos;t &quot;Hof&quot; &#233;&#x20AC;</a>", "<a>'t \"Hof\" \xc3\xa9\xe2\x82\xac</a>"},
        // A character reference for "&" or "<" still has to be escaped.
        NormalizeCase{"<a>&#38;&#60;</a>", "<a>&amp;&lt;</a>"}, NormalizeCase{"<a>x]]&gt;y</a>", "<a>x]]&gt;y</a>"},
        // Text around elements keeps its blanks; only whitespace-only text goes.
        NormalizeCase{"<a> x <b/> y </a>", "<a> x <b/> y </a>"},
        NormalizeCase{"<a>een\r\ntwee</a>", "<a>een\ntwee</a>"},
        NormalizeCase{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kwp/>", "<?xml version=\"1.0\"?><kwp/>"},
        // A declaration naming another encoding does not change text that was decoded already.
        NormalizeCase{"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><a>\xc5\x81\xc3\xb3" "d\xc5\xba \xf0\x9f\x9a\x95</a>",
                      "<?xml version=\"1.0\"?><a>\xc5\x81\xc3\xb3" "d\xc5\xba \xf0\x9f\x9a\x95</a>"},
        NormalizeCase{"<?xml version='1.0' encoding='windows-1252' standalone='yes'?><a>\xe2\x82\xac</a>",
                      "<?xml version=\"1.0\" standalone=\"yes\"?><a>\xe2\x82\xac</a>"},
        NormalizeCase{"<a x='1&amp;\"' y=\"2\"/>", "<a x=\"1&amp;&quot;\" y=\"2\"/>"},
        NormalizeCase{"<p:a xmlns:p=\"urn:x\" p:b=\"1\"><p:c/></p:a>", "<p:a xmlns:p=\"urn:x\" p:b=\"1\"><p:c/></p:a>"},
        NormalizeCase{"<a><!-- c --><![CDATA[<x>]]><?pi data?></a>", "<a><!-- c --><![CDATA[<x>]]><?pi data?></a>"}));

// A character whose UTF-8 bytes are parted between two of the slices the reader is handed stays whole.
TEST(NormalizeReply, BytesPartedBetweenSlicesStayOneCharacter)
{
    for (int shift : {1, 2, 3}) {
        const QString text = QStringLiteral("<a>") + QString((1 << 20) - 3 - shift, u'x') +
                             QStringLiteral("\u0141\U0001F695</a>");
        EXPECT_EQ(NormalizeReply(text.toUtf8()), text) << shift;
    }
}

class NormalizeErrors : public ::testing::TestWithParam<const char *>
{
};

TEST_P(NormalizeErrors, RaiseTheParsersMessage)
{
    try {
        NormalizeReply(QString::fromUtf8(GetParam()));
        FAIL() << "no error for " << GetParam();
    } catch (const XmlParseError &e) {
        EXPECT_FALSE(e.message().isEmpty());
        EXPECT_TRUE(e.message().contains(QStringLiteral("(regel "))) << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, NormalizeErrors,
                         ::testing::Values("", "   ", "<a>", "<a><b></a>", "<a>&foo;</a>", "<a>x & y</a>", "<a/><b/>",
                                           "text", "<a x=1/>", "<p:a/>", "<a>\x01</a>",
                                           "<kwp><status>200</status><triplist><trip><id>1</id></trip>"));

TEST(NormalizeReply, ErrorNamesTheProblemAndWhere)
{
    try {
        NormalizeReply(QStringLiteral("<a>\n<b></a>"));
        FAIL();
    } catch (const XmlParseError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("Opening and ending tag mismatch. (regel 2, positie 7)"));
    }
}

TEST(NormalizeReply, RefusesEntityExpansionBombs)
{
    QString bomb = QStringLiteral("<!DOCTYPE a [<!ENTITY e0 \"xxxxxxxxxx\">");
    for (int i = 1; i < 10; ++i)
        bomb +=
            QStringLiteral("<!ENTITY e%1 \"&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;&e%2;\">").arg(i).arg(i - 1);
    bomb += QStringLiteral("]><a>&e9;</a>");
    EXPECT_THROW(NormalizeReply(bomb), XmlParseError);
}

// Bad replies: each fails with the parser's message, none crashes or hangs.
TEST(NormalizeReply, BadInputFailsWithTheParsersMessage)
{
    QString garbage;
    quint32 state = 7;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        garbage += QChar::fromLatin1(char(state >> 24));
    }
    QString hundredMegabytes = QStringLiteral("<kwp><status>200</status><triplist>");
    const QString trip = QStringLiteral("<trip><id>1</id><fromcity>Utrecht</fromcity></trip>");
    hundredMegabytes.reserve(100 * 1024 * 1024 / 2 + trip.size());
    while (hundredMegabytes.size() * 2 < 100 * 1024 * 1024)
        hundredMegabytes += trip;

    const std::pair<const char *, QString> cases[] = {
        {"binary garbage", garbage},
        {"a control character", QString::fromUtf8("<a>\xff\xfe\x01</a>")},
        {"a non-character", QStringLiteral("<a>") + QChar(0xffff) + QStringLiteral("</a>")},
        {"100 MB without its end", hundredMegabytes},
    };
    for (const auto &[label, text] : cases) {
        try {
            NormalizeReply(text);
            ADD_FAILURE() << label;
        } catch (const XmlParseError &e) {
            EXPECT_TRUE(e.message().contains(QStringLiteral("(regel "))) << label;
        }
    }
}

struct WalkCase {
    const char *content;
    QStringList items;
};

class Walk : public ::testing::TestWithParam<WalkCase>
{
};

TEST_P(Walk, YieldsTheItemTextsInOrder)
{
    const WalkCase &c = GetParam();
    EXPECT_EQ(WalkItems(QString::fromUtf8(c.content), QStringLiteral("trip")), c.items);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Walk,
    ::testing::Values(WalkCase{"<trip><id>1</id></trip><trip><id>2</id></trip><trip><id>3</id></trip>",
                               {"<trip><id>1</id></trip>", "<trip><id>2</id></trip>", "<trip><id>3</id></trip>"}},
                      WalkCase{"", {}}, WalkCase{"<other/>", {}},
                      WalkCase{"x<trip>1</trip> y <trip>2</trip>z", {"<trip>1</trip>", "<trip>2</trip>"}},
                      WalkCase{"<trip>1</trip><trip/><trip>2</trip>", {"<trip>1</trip>", "<trip>2</trip>"}},
                      WalkCase{"<trip x=\"1\">a</trip><trip>2</trip>", {"<trip>2</trip>"}}, WalkCase{"<trip>1", {}},
                      WalkCase{"<trip><trip>1</trip></trip>", {"<trip><trip>1</trip>"}}));

TEST(ItemWalk, NextKeepsReturningFalseAfterTheEnd)
{
    ItemWalk walk(QStringLiteral("<v>1</v>"), QStringLiteral("v"));
    QString item;
    ASSERT_TRUE(walk.next(item));
    EXPECT_EQ(item, QStringLiteral("<v>1</v>"));
    EXPECT_FALSE(walk.next(item));
    EXPECT_FALSE(walk.next(item));
}

} // namespace

namespace
{

// The normalisation reads a large reply in slices: texts and whitespace that straddle a cut are judged whole.
TEST(NormalizeReply, LargeRepliesComeOutAsIfReadAtOnce)
{
    QString text = QStringLiteral("<kwp><status>200</status><triplist>");
    QString expected = text;
    for (int i = 0; text.size() < 3 * (1 << 20); ++i) {
        const QString spaces(i % 13, u' ');
        text += QStringLiteral("<trip><id>%1</id>\n\t<t>a%2b&amp;c</t>%2</trip>").arg(i).arg(spaces);
        expected += QStringLiteral("<trip><id>%1</id><t>a%2b&amp;c</t></trip>").arg(i).arg(spaces);
        text += QString::fromUtf8("<x>\xf0\x9d\x84\x9e</x>");
        expected += QString::fromUtf8("<x>\xf0\x9d\x84\x9e</x>");
    }
    text += QStringLiteral("</triplist></kwp>");
    expected += QStringLiteral("</triplist></kwp>");
    EXPECT_EQ(NormalizeReply(text), expected);

    // One text and one CDATA section of megabytes: the reader is handed them in pieces, and they come out as one,
    // whatever stands where a piece ends (a reference, a "]]>" to escape, a line break of two characters).
    const QString piece = QString::fromUtf8("ab]]&gt;c\r\nd&amp;\xc3\xa9\xf0\x9d\x84\x9e ");
    const QString pieceOut = QString::fromUtf8("ab]]&gt;c\nd&amp;\xc3\xa9\xf0\x9d\x84\x9e ");
    const QString cdata = QString::fromUtf8("x]y]]z>\xc3\xa9 ");
    const int times = 3 * (1 << 20) / int(piece.size());
    const QString longText = QStringLiteral("<kwp><t>  ") + piece.repeated(times) + QStringLiteral("</t><c><![CDATA[") +
                             cdata.repeated(times) + QStringLiteral("]]></c></kwp>");
    const QString longExpected = QStringLiteral("<kwp><t>  ") + pieceOut.repeated(times) +
                                 QStringLiteral("</t><c><![CDATA[") + cdata.repeated(times) +
                                 QStringLiteral("]]></c></kwp>");
    EXPECT_EQ(NormalizeReply(longText), longExpected);
    EXPECT_EQ(NormalizeReply(longText.toUtf8()), longExpected);

    // A text that is whitespace for megabytes before its first other character is kept whole; one that is
    // whitespace only is dropped, however long.
    const QString spaces(3 << 20, u' ');
    EXPECT_EQ(NormalizeReply(QStringLiteral("<kwp><a>") + spaces + QStringLiteral("x</a><b>") + spaces +
                             QStringLiteral("</b></kwp>")),
              QStringLiteral("<kwp><a>") + spaces + QStringLiteral("x</a><b/></kwp>"));
}

// Nesting up to the depth limit reads; one level more is refused before the reader sees it, with its line.
TEST(NormalizeReply, NestingBeyondTheDepthLimitIsRefused)
{
    const auto nested = [](int depth) {
        return QStringLiteral("<kwp>\n") + QStringLiteral("<a>").repeated(depth - 1) +
               QStringLiteral("</a>").repeated(depth - 1) + QStringLiteral("</kwp>");
    };
    EXPECT_EQ(NormalizeReply(nested(kMaxDepth)).size(), 5 + (kMaxDepth - 2) * 7 + 4 + 6);
    for (int depth : {kMaxDepth + 1, 100000}) {
        try {
            NormalizeReply(nested(depth));
            FAIL() << depth;
        } catch (const XmlParseError &e) {
            EXPECT_EQ(e.message(), QStringLiteral("Het antwoord is dieper genest dan 256 niveaus (regel 2) en wordt "
                                                  "niet gelezen"));
        }
    }
}

} // namespace
