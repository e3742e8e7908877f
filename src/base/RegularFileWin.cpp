#include "base/RegularFile.h"

#include "base/CheckedFileWrite.h"
#include "base/SystemError.h"

#include <QFileInfo>

PathKind KindAt(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || info.isJunction())
        return PathKind::Link;
    if (!info.exists())
        return PathKind::Missing;
    return info.isDir() ? PathKind::Folder : info.isFile() ? PathKind::RegularFile : PathKind::Other;
}

bool OpenRegularFile(QFile &file, const QString &path, FileOpening how, QString &reason,
                     QFileDevice::Permissions permissions)
{
    const PathKind kind = KindAt(path);
    if (kind != PathKind::Missing && kind != PathKind::RegularFile) {
        reason = RefusedPathReason(kind);
        return false;
    }
    QIODevice::OpenMode mode = QIODevice::Unbuffered;
    switch (how) {
    case FileOpening::Read:
        mode |= QIODevice::ReadOnly | QIODevice::ExistingOnly;
        break;
    case FileOpening::Append:
        mode |= QIODevice::WriteOnly | QIODevice::Append;
        break;
    case FileOpening::ReadWrite:
        mode |= QIODevice::ReadWrite;
        break;
    case FileOpening::CreateNew:
        mode |= QIODevice::WriteOnly | QIODevice::NewOnly;
        break;
    }
    file.setFileName(path);
    ClearSystemError();
    if (!file.open(mode)) {
        reason = SystemErrorReason(LastSystemError(), &file);
        return false;
    }
    if (how == FileOpening::CreateNew && permissions != QFileDevice::Permissions())
        file.setPermissions(permissions);
    return true;
}

bool SyncToDisk(QFile &)
{
    return true; // MoveIntoPlace renames with MOVEFILE_WRITE_THROUGH
}

std::optional<PathStatus> StatusAt(const QString &)
{
    return std::nullopt; // the installer's access list guards the folder
}

uint RunningUser()
{
    return 0;
}
