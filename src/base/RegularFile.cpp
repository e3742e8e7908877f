#include "base/RegularFile.h"

#include "base/CheckedFileWrite.h"
#include "base/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

PathKind kindOf(mode_t mode)
{
    return S_ISREG(mode)   ? PathKind::RegularFile
           : S_ISDIR(mode) ? PathKind::Folder
           : S_ISLNK(mode) ? PathKind::Link
                           : PathKind::Other;
}

int openFlags(FileOpening how)
{
    switch (how) {
    case FileOpening::Read:
        return O_RDONLY;
    case FileOpening::Append:
        return O_WRONLY | O_APPEND | O_CREAT;
    case FileOpening::ReadWrite:
        return O_RDWR | O_CREAT;
    case FileOpening::CreateNew:
        break;
    }
    return O_WRONLY | O_CREAT | O_EXCL;
}

int modeOf(QFileDevice::Permissions permissions)
{
    int mode = 0;
    const std::pair<QFileDevice::Permission, int> bits[] = {
        {QFileDevice::ReadOwner, 0400}, {QFileDevice::WriteOwner, 0200}, {QFileDevice::ExeOwner, 0100},
        {QFileDevice::ReadGroup, 0040}, {QFileDevice::WriteGroup, 0020}, {QFileDevice::ExeGroup, 0010},
        {QFileDevice::ReadOther, 0004}, {QFileDevice::WriteOther, 0002}, {QFileDevice::ExeOther, 0001},
    };
    for (const auto &[permission, bit] : bits) {
        if (permissions & permission)
            mode |= bit;
    }
    return mode;
}

// The descriptor, with the exact mode for a file made now when exactMode is 0 or more.
int openRegular(const QString &path, FileOpening how, QString &reason, int mode, bool exactMode)
{
    const QByteArray name = QFile::encodeName(path);
    // Looked at first, so that not even an open reaches a device or a FIFO; the fstat below closes the gap between
    // the two.
    const PathKind before = KindAt(path);
    if (before != PathKind::Missing && before != PathKind::RegularFile) {
        reason = RefusedPathReason(before);
        return -1;
    }
    ClearSystemError();
    const int fd = ::open(name.constData(), openFlags(how) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode_t(mode));
    if (fd < 0) {
        const int error = errno;
        const PathKind now = KindAt(path);
        // ELOOP: a link came in the meantime; ENXIO: a FIFO without a reader; EEXIST: anything in the way of a new
        // file.
        if (error == ELOOP || error == ENXIO || (error == EEXIST && now != PathKind::RegularFile)) {
            reason = RefusedPathReason(now == PathKind::Missing ? PathKind::Other : now);
        } else {
            errno = error;
            reason = SystemErrorReason(LastSystemError());
        }
        return -1;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = RefusedPathReason(kindOf(st.st_mode) == PathKind::RegularFile ? PathKind::Other : kindOf(st.st_mode));
        return -1;
    }
    // Reads and writes of a regular file wait as they always do.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (exactMode && how == FileOpening::CreateNew)
        ::fchmod(fd, mode_t(mode));
    return fd;
}

} // namespace

PathKind KindAt(const QString &path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return PathKind::Missing;
    return kindOf(st.st_mode);
}

int OpenRegularFileDescriptor(const QString &path, FileOpening how, QString &reason, int mode)
{
    return openRegular(path, how, reason, mode, false);
}

bool OpenRegularFile(QFile &file, const QString &path, FileOpening how, QString &reason,
                     QFileDevice::Permissions permissions)
{
    const bool exact = permissions != QFileDevice::Permissions();
    const int fd = openRegular(path, how, reason, exact ? modeOf(permissions) : 0666, exact);
    if (fd < 0)
        return false;
    QIODevice::OpenMode mode = QIODevice::Unbuffered;
    switch (how) {
    case FileOpening::Read:
        mode |= QIODevice::ReadOnly;
        break;
    case FileOpening::Append:
        mode |= QIODevice::WriteOnly | QIODevice::Append;
        break;
    case FileOpening::ReadWrite:
        mode |= QIODevice::ReadWrite;
        break;
    case FileOpening::CreateNew:
        mode |= QIODevice::WriteOnly;
        break;
    }
    if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
        reason = SystemErrorReason(SystemError::Other, &file);
        ::close(fd);
        return false;
    }
    return true;
}

bool SyncToDisk(QFile &file)
{
    return ::fsync(file.handle()) == 0;
}

std::optional<PathStatus> StatusAt(const QString &path)
{
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return PathStatus{kindOf(st.st_mode), uint(st.st_uid), uint(st.st_mode & 07777)};
}

uint RunningUser()
{
    return uint(::geteuid());
}
