#include "db/SqliteInterrupt.h"

extern "C" void sqlite3_interrupt(void *);

SqliteInterruptFunction LoadedSqliteInterrupt()
{
    // Qt's SQLite driver holds SQLite inside it and exports none of it. The program links the very library the
    // driver was linked from (the Qt prefix's libsqlite3.a, see src/db/CMakeLists.txt), so its sqlite3_interrupt
    // knows the driver's connections: setting their interrupt flag is all it does.
    return &sqlite3_interrupt;
}
