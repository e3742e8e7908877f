#pragma once

// The ODBC API (SQLCancel, statement attributes). Windows' headers need the system's basic types declared first;
// unixODBC's bring their own.
#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

#include <sql.h>
#include <sqlext.h>
