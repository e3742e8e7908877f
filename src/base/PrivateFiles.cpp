#include "base/PrivateFiles.h"

#include <QCryptographicHash>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool MakePrivateFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & 07777) == 0700 || ::chmod(path.constData(), 0700) == 0;
}

QString RegularFileSha256(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    struct stat st = {};
    QByteArray hash;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && file.open(fd, QIODevice::ReadOnly)) {
        QCryptographicHash sha(QCryptographicHash::Sha256);
        if (sha.addData(&file))
            hash = sha.result().toHex();
        file.close();
    }
    ::close(fd);
    return QString::fromLatin1(hash);
}
