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
}

INSTANTIATE_TEST_SUITE_P(Cases, TextListSplit,
                         ::testing::Values(SplitCase{"", {}}, SplitCase{"a", {"a"}}, SplitCase{"a\r\n", {"a"}},
                                           SplitCase{"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                                           SplitCase{"a\n\rb", {"a", "", "b"}}, SplitCase{"a\r\n\r\nb", {"a", "", "b"}},
                                           SplitCase{"\r\n", {""}}, SplitCase{"a\r\r\n", {"a", ""}}));

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
