#include "EndToEnd.h"
#include "ImportHarness.h"
#include "RepeatedTrips.h"

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
