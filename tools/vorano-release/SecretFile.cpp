#include "SecretFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int OpenNewSecretFile(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

namespace
{

QString systemError(const QString &path)
{
    return path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const QByteArray &content)
{
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return ::fsync(fd) == 0;
}

} // namespace

QString WriteSecretFile(const QString &path, const QByteArray &content, bool overwrite)
{
    const QString newPath = overwrite ? path + QStringLiteral(".new") : path;
    const int fd = OpenNewSecretFile(newPath);
    if (fd < 0) {
        if (errno == EEXIST && !overwrite)
            return path + QStringLiteral(" exists; a key is never overwritten without --force");
        return systemError(newPath);
    }
    const bool written = writeAll(fd, content);
    const int savedErrno = errno;
    ::close(fd);
    if (!written) {
        ::unlink(QFile::encodeName(newPath).constData());
        errno = savedErrno;
        return systemError(newPath);
    }
    if (overwrite && ::rename(QFile::encodeName(newPath).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString error = systemError(path);
        ::unlink(QFile::encodeName(newPath).constData());
        return error;
    }
    return {};
}
