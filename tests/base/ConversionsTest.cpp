#include "base/Conversions.h"
#include "base/WallDateTime.h"

#include "base/VoranoError.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace
{

struct IntCase {
    const char *text;
    qint32 value;
};

class LeadingIntCases : public ::testing::TestWithParam<IntCase>
{
};

TEST_P(LeadingIntCases, ReadsTheLeadingDigits)
{
    EXPECT_EQ(LeadingInt(QString::fromUtf8(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeadingIntCases,
    ::testing::Values(IntCase{"12abc", 12}, IntCase{"abc", 0}, IntCase{" 7", 7}, IntCase{"1.50", 1}, IntCase{"", 0},
                      IntCase{"   ", 0}, IntCase{"-3", -3}, IntCase{"+4", 4}, IntCase{"- 4", 0}, IntCase{"0012", 12},
                      IntCase{"$1F", 31}, IntCase{"x10", 16}, IntCase{"X10", 16}, IntCase{"0x1f", 31},
                      IntCase{"0XFF", 255}, IntCase{"-$10", -16}, IntCase{"0", 0}, IntCase{"0x", 0}, IntCase{"$g", 0},
                      IntCase{"2147483647", 2147483647}, IntCase{"2147483648", 2147483647},
                      IntCase{"99999999999999999999999", 2147483647}, IntCase{"-2147483648", -2147483647 - 1},
                      IntCase{"-99999999999999999999", -2147483647 - 1}, IntCase{"$FFFFFFFFFF", 2147483647},
                      IntCase{"\xd9\xa3", 0} /* Arabic-Indic three is not a decimal digit here */));

TEST(Conversions, NormalizeNumberWritesLeadingIntInDecimal)
{
    EXPECT_EQ(NormalizeNumber(QStringLiteral("0012")), QStringLiteral("12"));
    EXPECT_EQ(NormalizeNumber(QString()), QStringLiteral("0"));
    EXPECT_EQ(NormalizeNumber(QStringLiteral("-3")), QStringLiteral("-3"));
    EXPECT_EQ(NormalizeNumber(QStringLiteral("$10")), QStringLiteral("16"));
}

TEST(Conversions, StripSeparatorsKeepsTheLength)
{
    EXPECT_EQ(StripSeparators(QStringLiteral("O'Brien, Jan")), QStringLiteral("O Brien  Jan"));
    EXPECT_EQ(StripSeparators(QString()), QString());
}

struct DateCase {
    const char *text;
    QDateTime expected;
};

class TripDateTimeCases : public ::testing::TestWithParam<DateCase>
{
};

TEST_P(TripDateTimeCases, ReadsDateAndMinute)
{
    EXPECT_EQ(ParseTripDateTime(QString::fromUtf8(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, TripDateTimeCases,
                         ::testing::Values(DateCase{"201305141530", WallDateTime(QDate(2013, 5, 14), QTime(15, 30))},
                                           DateCase{"20130514", WallDateTime(QDate(2013, 5, 14), QTime(0, 0))},
                                           DateCase{"20130514153059", WallDateTime(QDate(2013, 5, 14), QTime(15, 30))},
                                           DateCase{"20120229235900", WallDateTime(QDate(2012, 2, 29), QTime(23, 59))},
                                           DateCase{"2013051415", WallDateTime(QDate(2013, 5, 14), QTime(15, 0))}));

struct DateErrorCase {
    const char *text;
    const char *message;
};

class TripDateTimeErrors : public ::testing::TestWithParam<DateErrorCase>
{
};

TEST_P(TripDateTimeErrors, RaisesTheConversionError)
{
    try {
        ParseTripDateTime(QString::fromUtf8(GetParam().text));
        FAIL() << "no error for " << GetParam().text;
    } catch (const ConversionError &e) {
        EXPECT_EQ(e.message(), QString::fromUtf8(GetParam().message));
    }
}

constexpr const char *kDate = "Invalid argument to date encode";
constexpr const char *kTime = "Invalid argument to time encode";

INSTANTIATE_TEST_SUITE_P(Cases, TripDateTimeErrors,
                         ::testing::Values(DateErrorCase{"", kDate}, DateErrorCase{"201302301200", kDate},
                                           DateErrorCase{"201305142460", kTime}, DateErrorCase{"201305142400", kTime},
                                           DateErrorCase{"00000101", kDate}, DateErrorCase{"20131301", kDate},
                                           DateErrorCase{"2013", kDate}, DateErrorCase{"20130229", kDate},
                                           DateErrorCase{"2013-5-1", kDate}, DateErrorCase{"2013050112-1", kTime}));

} // namespace
