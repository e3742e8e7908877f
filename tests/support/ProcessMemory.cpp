#include "support/ProcessMemory.h"

#include <QDir>
#include <QFile>

namespace
{

// The number after "key" in a line of /proc/self/status ("VmRSS:	  1234 kB").
long statusKiB(const QList<QByteArray> &lines, const char *key)
{
    for (const QByteArray &line : lines) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace

ProcessMemory ReadProcessMemory()
{
    ProcessMemory m;
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return m;
    const QList<QByteArray> lines = f.readAll().split('\n');
    m.residentKiB = statusKiB(lines, "VmRSS:");
    m.peakResidentKiB = statusKiB(lines, "VmHWM:");
    return m;
}

int OpenDescriptors()
{
    QDir fds(QStringLiteral("/proc/self/fd"));
    return fds.exists() ? int(fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size()) : -1;
}

int ThreadCount()
{
    QDir tasks(QStringLiteral("/proc/self/task"));
    return tasks.exists() ? int(tasks.entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size()) : -1;
}
