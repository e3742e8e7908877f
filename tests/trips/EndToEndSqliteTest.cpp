#include "EndToEnd.h"
#include "ImportHarness.h"

#include <gtest/gtest.h>

TEST(EndToEnd, SimulatorAndEmbeddedDatabase)
{
    ImportHarness h;
    RunEndToEndCycles(h);
}
