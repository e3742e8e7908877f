#include "db/DispatchDb.h"
#include "db/StatementTable.h"
#include "settings/MemoryControls.h"
#include "support/PgServer.h"
#include "support/TempProgramDir.h"

#include <gtest/gtest.h>

namespace
{

TEST(StatementTable, RunsOnPostgreSql)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    TempProgramDir dir;
    MemoryControls controls;
    pg.applyTo(controls);
    DispatchDb db(controls, dir.path());
    ASSERT_EQ(db.dialect().name(), QStringLiteral("PostgreSQL"));
    db.open();
    seedStatementTable(db);
    runStatementTable(db);
}

} // namespace
