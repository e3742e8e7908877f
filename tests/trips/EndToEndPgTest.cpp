#include "EndToEnd.h"
#include "ImportHarness.h"
#include "RepeatedTrips.h"
#include "TripSequences.h"

#include "support/PgServer.h"

#include <gtest/gtest.h>

TEST(EndToEnd, SimulatorAndPostgreSqlOverOdbc)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    ImportHarness h;
    pg.applyTo(h.controls);
    RunEndToEndCycles(h);
    EXPECT_EQ(h.db.dialect().name(), QStringLiteral("PostgreSQL"));
}

TEST(OneRidePerTrip, PostgreSqlOverOdbc)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    ImportHarness h;
    pg.applyTo(h.controls);
    RunRepeatedTrips(h);
    EXPECT_EQ(h.db.dialect().name(), QStringLiteral("PostgreSQL"));
}

TEST(TripSequences, PostgreSqlOverOdbc)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    ImportHarness h;
    pg.applyTo(h.controls);
    RunTripSequences(h);
    RunTwoOwners(h);
    RunOwnerCodeChanged(h);
    RunBadTripsInTheMiddle(h);
    RunFailedThenLaterActions(h);
    RunLineBreaksAndRefusedTransactions(h);
    RunHeldRide(h);
    RunRefusedTripOfferedEveryMinute(h); // moves the clock on
    RunWithoutTheCancelledColumn(h);
    EXPECT_EQ(h.db.dialect().name(), QStringLiteral("PostgreSQL"));
}
