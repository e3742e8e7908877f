#include "base/LogLineText.h"

#include <gtest/gtest.h>

TEST(EscapeLogText, ControlCharactersAndLineSeparatorsBecomeEscapes)
{
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("Geen verbinding"), QStringLiteral("Geen verbinding")},
        {QStringLiteral("a\r\nb\nc\rd"), QStringLiteral("a\\r\\nb\\nc\\rd")},
        {QStringLiteral("tab\there"), QStringLiteral("tab\\there")},
        {QString::fromUtf8("esc\x1b[31m del\x7f nul") + QChar(0), QStringLiteral("esc\\x1B[31m del\\x7F nul\\x00")},
        {QString::fromUtf8("nel\xc2\x85 ls\xe2\x80\xa8 ps\xe2\x80\xa9 rlo\xe2\x80\xae"),
         QStringLiteral("nel\\u0085 ls\\u2028 ps\\u2029 rlo\\u202E")},
        // Every bidirectional control: they could make a line read as something else than it holds.
        {QString::fromUtf8("lrm\u200E rlm\u200F alm\u061C lre\u202A rle\u202B pdf\u202C lro\u202D rlo\u202E "
                           "lri\u2066 rli\u2067 fsi\u2068 pdi\u2069"),
         QStringLiteral("lrm\\u200E rlm\\u200F alm\\u061C lre\\u202A rle\\u202B pdf\\u202C lro\\u202D rlo\\u202E "
                        "lri\\u2066 rli\\u2067 fsi\\u2068 pdi\\u2069")},
        // Arabic and Hebrew letters themselves, and the joiners beside the marks, are text.
        {QString::fromUtf8("\u0627\u0644 \u05E9\u05DC\u05D5\u05DD zwj\u200D zwnj\u200C"),
         QString::fromUtf8("\u0627\u0644 \u05E9\u05DC\u05D5\u05DD zwj\u200D zwnj\u200C")},
        // Text that only looks like an escape, and characters beyond Latin-1, stay as they are.
        {QString::fromUtf8("C:\\n\\Łódź 東京 €"), QString::fromUtf8("C:\\n\\Łódź 東京 €")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EscapeLogText(c.in), c.out) << c.in.toStdString();
}

TEST(LogMessageText, ALongMessageIsCutWithAMark)
{
    const QString mark = QString::fromUtf8("… [ingekort]");
    const QString emoji = QString::fromUtf8("🚕");
    const struct {
        const char *what;
        QString in;
        QString out;
    } cases[] = {
        {"short", QStringLiteral("Geen verbinding"), QStringLiteral("Geen verbinding")},
        {"exactly the most", QString(4000, QLatin1Char('a')), QString(4000, QLatin1Char('a'))},
        {"one more", QString(4001, QLatin1Char('a')), QString(4000 - mark.size(), QLatin1Char('a')) + mark},
        // Escapes make the line longer: the escaped text is what counts.
        {"escapes", QString(1001, QLatin1Char('\x1b')), QStringLiteral("\\x1B").repeated(997) + mark},
        // A character of two code units is kept whole or not at all.
        {"surrogate pair at the cut", QString(3987, QLatin1Char('a')) + emoji.repeated(10),
         QString(3987, QLatin1Char('a')) + mark},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString out = LogMessageText(c.in);
        EXPECT_EQ(out, c.out);
        EXPECT_LE(out.size(), 4000);
    }
}
