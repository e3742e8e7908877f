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
        // Text that only looks like an escape, and characters beyond Latin-1, stay as they are.
        {QString::fromUtf8("C:\\n\\Łódź 東京 €"), QString::fromUtf8("C:\\n\\Łódź 東京 €")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EscapeLogText(c.in), c.out) << c.in.toStdString();
}
