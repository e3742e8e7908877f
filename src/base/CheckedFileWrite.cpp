#include "base/CheckedFileWrite.h"

#include "base/MoveIntoPlace.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{

const QString kFolderInTheWay = QStringLiteral("op die plaats staat een map");
const QString kDiskFull = QStringLiteral("de schijf is vol");
const QString kQuota = QStringLiteral("het schijfquotum is op");
const QString kSizeLimit = QStringLiteral("het bestand wordt groter dan is toegestaan");
const QString kReadOnly = QStringLiteral("het bestandssysteem is alleen-lezen");
const QString kDiskFailing = QStringLiteral("lees- of schrijffout van de schijf");

QString reason(SystemError error, const QFileDevice &file)
{
    return SystemErrorReason(error, &file);
}

// A short name in the folder of path for the new file (a name of the longest length leaves no room for a suffix),
// unused by this process so far; CreateNew refuses anything already there.
QString temporaryName(const QString &path)
{
    static QAtomicInteger<quint32> counter;
    return QFileInfo(path).dir().filePath(
        QStringLiteral(".nieuw-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter));
}

} // namespace

QString RefusedPathReason(PathKind kind)
{
    switch (kind) {
    case PathKind::Link:
        return QStringLiteral("op die plaats staat een symbolische koppeling, die niet wordt gevolgd");
    case PathKind::Folder:
        return kFolderInTheWay;
    case PathKind::Other:
        return QStringLiteral("op die plaats staat geen gewoon bestand (een FIFO, apparaat of socket)");
    case PathKind::Missing:
    case PathKind::RegularFile:
        break;
    }
    return {};
}

QString SystemErrorReason(SystemError error, const QFileDevice *file)
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
    if (!file)
        return QStringLiteral("het systeem weigert de bewerking");
    if (file->error() == QFileDevice::NoError)
        return QStringLiteral("niet alles kon worden geschreven");
    if (file->error() == QFileDevice::ResourceError)
        return kDiskFull;
    return file->errorString();
}

bool IsDiskReason(const QString &reason)
{
    return reason == kDiskFull || reason == kQuota || reason == kSizeLimit || reason == kReadOnly ||
           reason == kDiskFailing;
}

QString SaveWholeFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions)
{
    const PathKind kind = KindAt(path);
    if (kind != PathKind::Missing && kind != PathKind::RegularFile)
        return RefusedPathReason(kind);
    if (!permissions && kind == PathKind::RegularFile)
        permissions = QFileInfo(path).permissions();
    const QString partial = temporaryName(path);
    QFile file;
    QString why;
    if (!OpenRegularFile(file, partial, FileOpening::CreateNew, why, permissions))
        return why;
    ClearSystemError();
    // The error number is taken right after the step that failed, before anything else can change it.
    if (file.write(bytes) != bytes.size() || !file.flush() || !SyncToDisk(file)) {
        const SystemError error = LastSystemError();
        why = reason(error, file);
        file.close();
        QFile::remove(partial);
        return why;
    }
    file.close();
    // A rename replaces the name itself: a link that came in the meantime is replaced, never followed.
    ClearSystemError();
    if (!MoveIntoPlace(partial, path)) {
        why = SystemErrorReason(LastSystemError());
        QFile::remove(partial);
        return why;
    }
    return {};
}

QString AppendToFile(const QString &path, const QByteArray &bytes)
{
    QFile file;
    QString why;
    if (!OpenRegularFile(file, path, FileOpening::Append, why))
        return why;
    const qint64 before = file.size();
    ClearSystemError();
    if (file.write(bytes) == bytes.size() && file.flush())
        return {};
    const SystemError error = LastSystemError();
    why = reason(error, file);
    // Cutting a file back needs no room, so it works on a full disk too.
    file.resize(before);
    return why;
}

QString FileNotWrittenMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Bestand %1 is niet geschreven: %2. Een eerder bestand met die naam is ongewijzigd.")
        .arg(QDir::toNativeSeparators(path), reason);
}
