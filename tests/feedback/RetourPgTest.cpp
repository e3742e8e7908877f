#include "RetourScenario.h"

#include "db/DispatchDb.h"
#include "settings/MemoryControls.h"
#include "support/PgServer.h"
#include "support/TempProgramDir.h"

#include "OstrelSim.h"

#include <gtest/gtest.h>

namespace
{

TEST(RetourPgTest, OneCycleEndToEndOnPostgreSqlOverOdbc)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    MemoryControls controls;
    pg.applyTo(controls);
    TempProgramDir dir;
    DispatchDb db(controls, dir.path());
    RunRetourScenario(controls, db, sim, dir.folders());
}

} // namespace
