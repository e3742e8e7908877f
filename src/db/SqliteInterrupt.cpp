#include "db/SqliteInterrupt.h"

#include <dlfcn.h>

SqliteInterruptFunction LoadedSqliteInterrupt()
{
    void *library = ::dlopen("libsqlite3.so.0", RTLD_LAZY | RTLD_NOLOAD);
    return library ? reinterpret_cast<SqliteInterruptFunction>(::dlsym(library, "sqlite3_interrupt")) : nullptr;
}
