#include "base/FolderLock.h"

#include "base/CheckedFileWrite.h"
#include "base/RegularFile.h"

#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FolderLock::FolderLock(const QString &folder)
    : m_path(QDir(folder).filePath(QLatin1String(kFileName)))
{
}

FolderLock::~FolderLock()
{
    if (m_handle >= 0)
        ::close(int(m_handle)); // closing lets go of the lock; the file stays for the next start
}

bool FolderLock::tryLock()
{
    if (m_handle >= 0)
        return true;
    // An existing lock file is opened as it is: a refused second start changes nothing on disk. A link or a FIFO
    // in its place is refused: its target is never made or locked.
    const int fd = OpenRegularFileDescriptor(m_path, FileOpening::ReadWrite, m_error, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        const QString reason = SystemErrorReason(LastSystemError());
        ::close(fd);
        m_error = error == EWOULDBLOCK ? QString() : reason;
        return false;
    }
    m_handle = fd;
    return true;
}
