#pragma once

// sqlite3_interrupt of the SQLite that Qt's SQLite driver uses; null when it cannot be had. Linux: looked up in the
// system's shared SQLite the driver loaded (the program needs no SQLite of its own); Windows: from the static SQLite
// the driver plug-in was built from, linked into the program.
using SqliteInterruptFunction = void (*)(void *);
SqliteInterruptFunction LoadedSqliteInterrupt();
