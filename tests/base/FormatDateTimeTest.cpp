#include "base/FormatDateTime.h"

#include <gtest/gtest.h>

namespace
{

struct PatternCase {
    const char *pattern;
    const char *expected;
};

class FormatDateTimeTest : public ::testing::TestWithParam<PatternCase>
{
};

TEST_P(FormatDateTimeTest, GivesTheResultOfThePattern)
{
    const QDateTime at(QDate(2015, 3, 31), QTime(7, 5, 9));
    EXPECT_EQ(FormatDateTime(QLatin1String(GetParam().pattern), at), QLatin1String(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Patterns, FormatDateTimeTest,
                         ::testing::Values(PatternCase{kLogLinePattern, "31-03-2015 07:05 "},
                                           PatternCase{kCancelRemarkPattern, "31-03 07:05"},
                                           PatternCase{kTripFilePattern, "3103070509"},
                                           PatternCase{kReplyFilePattern, "310307050939"},
                                           PatternCase{kStatusDateTimePattern, "20150331070509"},
                                           PatternCase{kTempKeyPattern, "2015033107050939"}));

TEST(FormatDateTime, MonthAndSecondWithoutLeadingZeroInTwoDigitMonths)
{
    const QDateTime at(QDate(2015, 12, 1), QTime(23, 59, 45));
    EXPECT_EQ(FormatDateTime(QLatin1String(kReplyFilePattern), at), QLatin1String("01122359451245"));
}

} // namespace
