// Run once under Europe/Amsterdam and once under UTC: the results must not differ.
#include "base/WallDateTime.h"

#include "base/Conversions.h"
#include "base/FormatDateTime.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <ostream>

namespace
{

TEST(WallDateTime, TheZoneOfTheRunIsInEffect)
{
    // Without the zone data the Amsterdam run would silently test UTC twice.
    const QByteArray zone = qgetenv("TZ");
    const QDateTime summer(QDate(2026, 7, 1), QTime(12, 0));
    if (zone == "Europe/Amsterdam") {
        EXPECT_EQ(summer.offsetFromUtc(), 7200);
        EXPECT_FALSE(QDateTime(QDate(2026, 3, 29), QTime(2, 30)).isValid()) << "the skipped hour";
    } else if (zone == "UTC") {
        EXPECT_EQ(summer.offsetFromUtc(), 0);
    }
}

struct TripDateCase {
    const char *name;
    const char *text;     // as a trip carries it
    const char *status;   // the same value in a status document
    const char *database; // the same value as the embedded database keeps it
};

const TripDateCase kTripDates[] = {
    {"skipped hour", "202603290230", "20260329023000", "2026-03-29 02:30:00"},
    {"end of the skipped hour", "202603290259", "20260329025900", "2026-03-29 02:59:00"},
    {"repeated hour", "202610250230", "20261025023000", "2026-10-25 02:30:00"},
    {"midnight", "202603290000", "20260329000000", "2026-03-29 00:00:00"},
    {"year end", "202612312359", "20261231235900", "2026-12-31 23:59:00"},
    {"new year", "20270101", "20270101000000", "2027-01-01 00:00:00"},
    {"zero date", "189912300000", "18991230000000", "1899-12-30 00:00:00"},
};

void PrintTo(const TripDateCase &c, std::ostream *os)
{
    *os << c.name;
}

class TripDates : public ::testing::TestWithParam<TripDateCase>
{
};

TEST_P(TripDates, AreReadAndWrittenAsTheWallTime)
{
    const TripDateCase &c = GetParam();
    const QDateTime value = ParseTripDateTime(QLatin1String(c.text));
    ASSERT_TRUE(value.isValid()) << c.name;
    EXPECT_EQ(FormatDateTime(QLatin1String(kStatusDateTimePattern), value), QLatin1String(c.status)) << c.name;
    EXPECT_EQ(FormatWallDateTime(value), QLatin1String(c.database)) << c.name;
    EXPECT_EQ(ParseWallDateTime(QLatin1String(c.database)), value) << c.name;
    // An hour later is an hour later on the wall, also across a change of summer time.
    EXPECT_EQ(FormatWallDateTime(value.addSecs(3600)).mid(11, 2),
              QString::number((value.time().hour() + 1) % 24).rightJustified(2, u'0'))
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(Cases, TripDates, ::testing::ValuesIn(kTripDates));

TEST(WallDateTime, LocalValuesKeepTheirWallTime)
{
    // QODBC and the clock hand out local values; inside the skipped hour Qt calls them invalid but keeps the
    // fields, and those are what counts.
    const QDateTime skipped(QDate(2026, 3, 29), QTime(2, 30, 15));
    EXPECT_EQ(FormatWallDateTime(ToWallDateTime(skipped)), QStringLiteral("2026-03-29 02:30:15"));
    const QDateTime repeated(QDate(2026, 10, 25), QTime(2, 30));
    EXPECT_EQ(FormatWallDateTime(ToWallDateTime(repeated)), QStringLiteral("2026-10-25 02:30:00"));
    EXPECT_EQ(FormatDateTime(QLatin1String(kLogLinePattern), repeated), QStringLiteral("25-10-2026 02:30 "));
    EXPECT_TRUE(ToWallDateTime(QDateTime()).isNull());
}

struct TextCase {
    const char *text;
    const char *read; // FormatWallDateTime of the result, or nullptr when it is no date-time
};

void PrintTo(const TextCase &c, std::ostream *os)
{
    *os << '"' << c.text << '"';
}

class DatabaseTexts : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(DatabaseTexts, AreReadAsWallTimes)
{
    const QDateTime value = ParseWallDateTime(QLatin1String(GetParam().text));
    if (!GetParam().read) {
        EXPECT_TRUE(value.isNull()) << GetParam().text;
        return;
    }
    EXPECT_EQ(FormatWallDateTime(value), QLatin1String(GetParam().read)) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, DatabaseTexts,
                         ::testing::Values(TextCase{"2026-03-29 02:30:00", "2026-03-29 02:30:00"},
                                           TextCase{"2026-03-29T02:30:00", "2026-03-29 02:30:00"},
                                           TextCase{"2026-03-29 02:30:00.123", "2026-03-29 02:30:00"},
                                           TextCase{"2026-03-29 02:30", "2026-03-29 02:30:00"},
                                           TextCase{"2026-03-29", "2026-03-29 00:00:00"},
                                           TextCase{" 1899-12-30 00:00:00 ", "1899-12-30 00:00:00"},
                                           TextCase{"gisteren", nullptr}, TextCase{"2026-02-30 10:00:00", nullptr},
                                           TextCase{"2026-03-29 24:00:00", nullptr},
                                           TextCase{"2026-03-29 02:30:00+01", nullptr}, TextCase{"2026-3-29", nullptr},
                                           TextCase{"", nullptr}));

} // namespace
