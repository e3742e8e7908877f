#include "base/CheckedFileWrite.h"

#include "base/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>


namespace
{

const QString kFolderInTheWay = QStringLiteral("op die plaats staat een map");
const QString kDiskFull = QStringLiteral("de schijf is vol");
const QString kQuota = QStringLiteral("het schijfquotum is op");
const QString kSizeLimit = QStringLiteral("het bestand wordt groter dan is toegestaan");
const QString kReadOnly = QStringLiteral("het bestandssysteem is alleen-lezen");
const QString kDiskFailing = QStringLiteral("lees- of schrijffout van de schijf");

// The reason of a failed step: the system's error where it says more than Qt's text, in Dutch.
QString reason(SystemError error, const QFileDevice &file)
{
    switch (error) {
    case SystemError::DiskFull:
        return kDiskFull;
    case SystemError::QuotaExceeded:
        return kQuota;
    case SystemError::FileTooLarge:
        return kSizeLimit;
    case SystemError::ReadOnlyFileSystem:
        return kReadOnly;
    case SystemError::PermissionDenied:
        return QStringLiteral("geen toestemming");
    case SystemError::NoSuchFolder:
        return QStringLiteral("de map bestaat niet");
    case SystemError::NotAFolder:
        return QStringLiteral("een deel van het pad is geen map");
    case SystemError::IsAFolder:
        return kFolderInTheWay;
    case SystemError::DeviceError:
        return kDiskFailing;
    case SystemError::Other:
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
    ClearSystemError();
    // Unbuffered: a write that does not fit fails at once, with its own error number.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return reason(LastSystemError(), file);
    if (permissions)
        file.setPermissions(permissions);
    ClearSystemError();
    // The error number is taken right after the step that failed, before anything else can change it.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const SystemError error = LastSystemError();
        file.cancelWriting();
        return reason(error, file);
    }
    ClearSystemError();
    if (!file.commit())
        return reason(LastSystemError(), file);
    return {};
}

QString AppendToFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ClearSystemError();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return reason(LastSystemError(), file);
    const qint64 before = file.size();
    ClearSystemError();
    if (file.write(bytes) == bytes.size() && file.flush())
        return {};
    const SystemError error = LastSystemError();
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
