#include "link/ReadXmlTag.h"
#include "link/TextList.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

struct TagCase {
    const char *text;
    const char *tag;
    const char *expected;
};

class ReadXmlTagCases : public ::testing::TestWithParam<TagCase>
{
};

TEST_P(ReadXmlTagCases, ReadsBetweenFirstOpeningAndFirstClosingTag)
{
    const TagCase &c = GetParam();
    EXPECT_EQ(ReadXMLTag(QString::fromUtf8(c.text), QString::fromUtf8(c.tag)), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadXmlTagCases,
    ::testing::Values(TagCase{"<r><a>1</a><a>2</a></r>", "a", "1"}, TagCase{"<r><a/></r>", "a", ""},
                      TagCase{"<r><b>1</b></r>", "a", ""}, TagCase{"<r><a></a></r>", "a", ""},
                      TagCase{"<r><a x=\"1\">v</a></r>", "a", ""}, TagCase{"</a><a>v", "a", ""},
                      TagCase{"<a>Jansen &amp; Zn</a>", "a", "Jansen &amp; Zn"}, TagCase{"<a> x </a>", "a", " x "},
                      TagCase{"<A>x</A><a>y</a>", "a", "y"}, TagCase{"<a><b>1</b></a>", "a", "<b>1</b>"},
                      // Nesting is not respected: the first closing tag ends the element.
                      TagCase{"<a><a>1</a>2</a>", "a", "<a>1"},
                      // The closing tag's search starts at the beginning, not after the opening tag.
                      TagCase{"<a>1</a><b>x</a>2</b>", "b", "x</a>2"}, TagCase{"", "a", ""},
                      // "b>" also ends "<ab>": only "<b>" and "</b>" count.
                      TagCase{"<ab>x</ab><b>y</b>", "b", "y"}, TagCase{"<b>y</ab></b>", "b", "y</ab>"},
                      TagCase{"<>x</>", "", "x"}, TagCase{"</a>", "/a", ""}, TagCase{"<b></b>", "b", ""},
                      // An empty element is the first of its name: the next one belongs to another element.
                      TagCase{"<r><a/><b><a>3</a></b></r>", "a", ""}, TagCase{"<r><a>1</a><a/></r>", "a", "1"},
                      TagCase{"<r><ab/><a>1</a></r>", "a", "1"}, TagCase{"<r><a />2<a>1</a></r>", "a", "1"}));

TEST(ReadXmlTag, ReadsTheJoinedTextOfAList)
{
    TextList list(QStringLiteral("<kwp><note>een\ntwee</note>\n<status>200</status></kwp>"));
    EXPECT_EQ(ReadXMLTag(list, QStringLiteral("note")), QStringLiteral("een\r\ntwee"));
    EXPECT_EQ(ReadXMLTag(list, QStringLiteral("status")), QStringLiteral("200"));
}

TEST(ReadXmlTag, NameOfTheActionComesFirstInAWholeReply)
{
    const QString reply = QStringLiteral("<kwp><body><action><name>RetrieveVehicleTypes</name><status>200</status>"
                                         "<vehicletypes><vehicletype><id>1</id><name>Taxi</name></vehicletype>"
                                         "</vehicletypes></action></body></kwp>");
    EXPECT_EQ(ReadXMLTag(reply, QStringLiteral("name")), QStringLiteral("RetrieveVehicleTypes"));
    EXPECT_EQ(
        ReadXMLTag(QStringLiteral("<vehicletype><id>1</id><name>Taxi</name></vehicletype>"), QStringLiteral("name")),
        QStringLiteral("Taxi"));
}

// The text between the first "<tag>" and the first "</tag>", searched separately: the plain reading of the rule,
// with an empty-element "<tag/>" before the first "<tag>" making the first element of that name empty.
QString naiveReadXmlTag(const QString &text, const QString &tag)
{
    const QString open = u'<' + tag + u'>';
    const qsizetype a = text.indexOf(open);
    const qsizetype b = text.indexOf(QLatin1String("</") + tag + u'>');
    if (a < 0 || b < 0 || b - a - open.size() <= 0)
        return {};
    const qsizetype empty = text.indexOf(u'<' + tag + QLatin1String("/>"));
    if (!tag.isEmpty() && empty >= 0 && empty < a)
        return {};
    return text.mid(a + open.size(), b - a - open.size());
}

TEST(ReadXmlTag, AgreesWithSeparateSearchesOnRandomTexts)
{
    // Texts over a tiny alphabet hit every ordering of opening and closing tags, nesting and near misses.
    const char16_t alphabet[] = u"<>/ab";
    const QString tags[] = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("ab"), QStringLiteral("/a"),
                            QString()};
    quint32 state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7fff;
    };
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int length = int(next() % 24);
        for (int j = 0; j < length; ++j)
            text += QChar(alphabet[next() % 5]);
        for (const QString &tag : tags) {
            const QString expected = naiveReadXmlTag(text, tag);
            ASSERT_EQ(ReadXMLTag(text, tag), expected) << text.toStdString() << " / " << tag.toStdString();
            ASSERT_EQ(TakeXMLTag(QString(text.constData(), text.size()), tag), expected)
                << text.toStdString() << " / " << tag.toStdString();
        }
    }
}

// A trip's own value: the child of that name of the first element, never a deeper one, and an empty child is
// empty rather than the next element of that name.
TEST(ReadXmlChild, ReadsTheElementsOwnChildOnly)
{
    const struct {
        const char *what;
        const char *element;
        const char *expected;
    } cases[] = {
        {"own id", "<trip><id>500</id><vehicletype><id>3</id></vehicletype></trip>", "500"},
        {"own id after a nested one", "<trip><vehicletype><id>3</id></vehicletype><id>500</id></trip>", "500"},
        {"empty", "<trip><id></id><vehicletype><id>3</id></vehicletype></trip>", ""},
        {"blank", "<trip><id> </id><vehicletype><id>3</id></vehicletype></trip>", " "},
        {"self-closing", "<trip><id/><vehicletype><id>3</id></vehicletype><id>4</id></trip>", ""},
        {"only nested ids",
         "<trip><vehicletype><id>3</id></vehicletype><extrafields><extrafield><id>c1</id>"
         "</extrafield></extrafields></trip>",
         ""},
        {"nested self-closing, own later", "<trip><vehicletype><id/></vehicletype><id>7</id></trip>", "7"},
        {"inside an empty sibling", "<trip><client/><id>8</id></trip>", "8"},
        {"indented", "\n\t<trip>\n\t\t<client><id>77</id></client>\n\t\t<id>500</id>\n\t</trip>", "500"},
        {"the first of two", "<trip><id>1</id><id>2</id></trip>", "1"},
        {"with an attribute: not exactly <id>", "<trip><id x=\"1\">5</id></trip>", ""},
        {"a sibling's attribute holds markup", "<trip><note a=\"<id>9</id>\" b='>'/><id>10</id></trip>", "10"},
        {"in a comment", "<trip><!-- <id>9</id> --><id>10</id></trip>", "10"},
        {"in CDATA", "<trip><c><![CDATA[</c><id>9</id>]]></c><id>10</id></trip>", "10"},
        {"after the element", "<trip><a>1</a></trip><id>9</id>", ""},
        {"the element itself", "<id><x>1</x></id>", ""},
        {"nested child kept as XML", "<trip><id><b>1</b>2</id></trip>", "<b>1</b>2"},
        {"declaration first", "<?xml version=\"1.0\"?><trip><id>11</id></trip>", "11"},
        {"cut off", "<trip><a b=\"<id>", ""},
        {"no element", "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ReadXMLChild(QString::fromUtf8(c.element), QStringLiteral("id")), QString::fromUtf8(c.expected))
            << c.what;
    }
    EXPECT_EQ(ReadXMLChildValue(QStringLiteral("<trip><id>1&amp;2</id></trip>"), QStringLiteral("id")),
              QStringLiteral("1&2"));
}

} // namespace
