#include "base/ProcessPlatform.h"

#include <QDir>

#include <cstdio>

#include <windows.h>

#include <psapi.h>

void PrepareProcess()
{
    // An unattended program must never wait for someone to close a "no disk" or crash dialog. What it writes is
    // protected by the folder's access list (the installer's data folder, or the program folder).
    ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // The window program has no console of its own: started from one (--version, --check, --help), it writes its
    // lines there. Output that is redirected already stays where it goes.
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

void IgnoreFileSizeLimit()
{
    // Windows has no file-size limit signal: a write that does not fit fails with an error already.
}

QString RunningProgramFile()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return QDir::fromNativeSeparators(QString::fromWCharArray(buffer.data(), qsizetype(length)));
        buffer.resize(buffer.size() * 2);
    }
}

qint64 ResidentBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return qint64(counters.WorkingSetSize);
}
