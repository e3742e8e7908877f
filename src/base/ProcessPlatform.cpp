#include "base/ProcessPlatform.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void PrepareProcess()
{
    // Settings (with passwords), copies, day files and the database are for the program's own user alone; the
    // status file alone is made readable for its group (the monitoring).
    ::umask(0077);
#ifdef __GLIBC__
    // The buffers of a large reply (many megabytes each) go back to the system as soon as they are freed. Without
    // this the C library raises its threshold after the first one and keeps the next ones in its heap, so the peak
    // of an import grows by what was freed before.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
#endif
    // Standard error may be a pipe whose reader went away (a journal restarted, a terminal closed): a write
    // there must fail quietly, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
}

void IgnoreFileSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}

QString RunningProgramFile()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

qint64 ResidentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    static const long page = ::sysconf(_SC_PAGESIZE);
    return fields.size() > 1 ? fields.at(1).toLongLong() * page : 0;
}
