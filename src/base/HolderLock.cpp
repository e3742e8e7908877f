#include "base/HolderLock.h"

#include "base/CheckedFileWrite.h"
#include "base/RegularFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace
{

constexpr int kMaxHolderBytes = 4096;

} // namespace

HolderLock::HolderLock(QString path)
    : m_path(std::move(path))
{
}

HolderLock::~HolderLock()
{
    unlock();
}

bool HolderLock::fail(int error)
{
    errno = error;
    m_error = SystemErrorReason(LastSystemError());
    return false;
}

bool HolderLock::take(qintptr handle)
{
    const int fd = int(handle);
    m_holder.clear();
    m_error.clear();
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return true;
    const int error = errno;
    if (error != EWOULDBLOCK)
        return fail(error);
    char buffer[kMaxHolderBytes];
    const ssize_t n = ::pread(fd, buffer, sizeof buffer, 0);
    m_holder = QString::fromUtf8(buffer, n > 0 ? n : 0).trimmed();
    return false;
}

void HolderLock::unlock()
{
    if (m_fd >= 0)
        ::close(int(m_fd));
    m_fd = -1;
}

bool HolderLock::probe()
{
    if (m_fd >= 0)
        return true;
    if (KindAt(m_path) == PathKind::Missing)
        return true;
    const int fd = OpenRegularFileDescriptor(m_path, FileOpening::Read, m_error);
    if (fd < 0)
        return false;
    const bool free = take(fd);
    ::close(fd);
    return free;
}

bool HolderLock::tryLock(const QString &holder)
{
    if (m_fd >= 0)
        return true;
    const int fd = OpenRegularFileDescriptor(m_path, FileOpening::ReadWrite, m_error, 0640);
    if (fd < 0)
        return false;
    if (!take(fd)) {
        ::close(fd);
        return false;
    }
    // The name is only for the log line of another process: a failure to write it does not undo the lock.
    const QByteArray text = holder.toUtf8() + '\n';
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.constData(), size_t(text.size()), 0);
    }
    m_fd = fd;
    return true;
}
