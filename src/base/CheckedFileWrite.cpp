#include "base/CheckedFileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>

namespace
{

const QString kFolderInTheWay = QStringLiteral("op die plaats staat een map");
const QString kDiskFull = QStringLiteral("de schijf is vol");
const QString kQuota = QStringLiteral("het schijfquotum is op");
const QString kSizeLimit = QStringLiteral("het bestand wordt groter dan is toegestaan");
const QString kReadOnly = QStringLiteral("het bestandssysteem is alleen-lezen");
const QString kDiskFailing = QStringLiteral("lees- of schrijffout van de schijf");

// The reason of a failed step: the system's error number where it says more than Qt's text, in Dutch.
QString reason(int error, const QFileDevice &file)
{
    switch (error) {
    case ENOSPC:
        return kDiskFull;
    case EDQUOT:
        return kQuota;
    case EFBIG:
        return kSizeLimit;
    case EROFS:
        return kReadOnly;
    case EACCES:
    case EPERM:
        return QStringLiteral("geen toestemming");
    case ENOENT:
        return QStringLiteral("de map bestaat niet");
    case ENOTDIR:
        return QStringLiteral("een deel van het pad is geen map");
    case EISDIR:
        return kFolderInTheWay;
    case EIO:
        return kDiskFailing;
    default:
        break;
    }
    if (file.error() == QFileDevice::ResourceError)
        return kDiskFull;
    if (file.error() == QFileDevice::NoError)
        return QStringLiteral("niet alles kon worden geschreven");
    return file.errorString();
}

} // namespace

bool IsDiskReason(const QString &reason)
{
    return reason == kDiskFull || reason == kQuota || reason == kSizeLimit || reason == kReadOnly ||
           reason == kDiskFailing;
}

QString SaveWholeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    if (QFileInfo(path).isDir())
        return kFolderInTheWay;
    QSaveFile file(path);
    errno = 0;
    // Unbuffered: a write that does not fit fails at once, with its own error number.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return reason(errno, file);
    if (permissions)
        file.setPermissions(permissions);
    errno = 0;
    // The error number is taken right after the step that failed, before anything else can change it.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const int error = errno;
        file.cancelWriting();
        return reason(error, file);
    }
    errno = 0;
    if (!file.commit())
        return reason(errno, file);
    return {};
}

QString AppendToFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return reason(errno, file);
    const qint64 before = file.size();
    errno = 0;
    if (file.write(bytes) == bytes.size() && file.flush())
        return {};
    const int error = errno;
    const QString why = reason(error, file);
    // Cutting a file back needs no room, so it works on a full disk too.
    file.resize(before);
    return why;
}

QString FileNotWrittenMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Bestand %1 is niet geschreven: %2. Een eerder bestand met die naam is ongewijzigd.")
        .arg(QDir::toNativeSeparators(path), reason);
}
