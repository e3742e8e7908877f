#include "link/TextList.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

struct SplitCase {
    const char *text;
    QStringList lines;
};

class TextListSplit : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(TextListSplit, SplitsAtEveryKindOfLineBreak)
{
    const SplitCase &c = GetParam();
    TextList list(QString::fromUtf8(c.text));
    EXPECT_EQ(list.lines(), c.lines);
    // A text handed over is joined in place, to the same result.
    TextList moved;
    moved.setText(QString::fromUtf8(c.text));
    EXPECT_EQ(moved.text(), list.text()) << c.text;
    EXPECT_EQ(moved.lines(), c.lines) << c.text;
}

INSTANTIATE_TEST_SUITE_P(Cases, TextListSplit,
                         ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}}, SplitCase{"a\r\n", {"a"}},
                                           SplitCase{"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                                           SplitCase{"a\n\rb", {"a", "", "b"}}, SplitCase{"a\r\n\r\nb", {"a", "", "b"}},
                                           SplitCase{"\r\n", {""}}, SplitCase{"a\r\r\n", {"a", ""}},
                                           SplitCase{"\n", {""}}, SplitCase{"\r", {""}},
                                           SplitCase{"\n\na\rb", {"", "", "a", "b"}},
                                           SplitCase{"\xc5\x81\xc3\xb3" "d\xc5\xba\n\xf0\x9f\x9a\x95",
                                                     {"\xc5\x81\xc3\xb3" "d\xc5\xba", "\xf0\x9f\x9a\x95"}}));

TEST(TextList, JoinsEachLineFollowedByCrLf)
{
    TextList list(QStringLiteral("a\nb"));
    EXPECT_EQ(list.text(), QStringLiteral("a\r\nb\r\n"));
    list.setLines({QStringLiteral("x")});
    EXPECT_EQ(list.text(), QStringLiteral("x\r\n"));
    list.clear();
    EXPECT_EQ(list.text(), QString());
    EXPECT_TRUE(list.isEmpty());
}

} // namespace
