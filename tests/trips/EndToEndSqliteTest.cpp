#include "EndToEnd.h"
#include "ImportHarness.h"
#include "RepeatedTrips.h"
#include "TripSequences.h"

#include <gtest/gtest.h>

TEST(EndToEnd, SimulatorAndEmbeddedDatabase)
{
    ImportHarness h;
    RunEndToEndCycles(h);
}

TEST(OneRidePerTrip, EmbeddedDatabase)
{
    ImportHarness h;
    RunRepeatedTrips(h);
}

TEST(TripSequences, EmbeddedDatabase)
{
    ImportHarness h;
    RunTripSequences(h);
    RunTwoOwners(h);
    RunOwnerCodeChanged(h);
    RunBadTripsInTheMiddle(h);
    RunFailedThenLaterActions(h);
    RunLineBreaksAndRefusedTransactions(h);
    RunRefusedTripOfferedEveryMinute(h); // moves the clock on
    RunWithoutTheCancelledColumn(h);
}
