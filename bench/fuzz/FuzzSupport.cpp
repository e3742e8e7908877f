#include "FuzzSupport.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

void fuzzCheck(bool condition, const char *what)
{
    if (condition)
        return;
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
}

QByteArray fuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

FuzzSplit fuzzSplit(const QByteArray &bytes)
{
    const qsizetype lf = bytes.indexOf('\n');
    if (lf < 0)
        return {QByteArray(), bytes};
    return {bytes.left(lf), bytes.mid(lf + 1)};
}

QString fuzzFile(const QByteArray &bytes)
{
    static const int fd = memfd_create("fuzz-input", 0);
    fuzzCheck(fd >= 0, "memfd_create");
    fuzzCheck(ftruncate(fd, 0) == 0, "ftruncate");
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        fuzzCheck(n > 0, "pwrite");
        done += n;
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}
