#include "base/ProgramBackup.h"

#include "base/MoveIntoPlace.h"
#include "base/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool CopyProgramBackup(const QString &programFile, const QString &backupsDir)
{
    QDir dir(backupsDir);
    if (!dir.exists())
        QDir().mkdir(backupsDir);
    if (!dir.exists())
        return false;
    const QString target = dir.filePath(QFileInfo(programFile).fileName());
    const QString partial = target + QLatin1String(".kopie");
    // The copy replaces a regular file only: a link or a FIFO in its place stays as it is.
    const PathKind kind = KindAt(target);
    if (kind != PathKind::Missing && kind != PathKind::RegularFile)
        return false;
    QFile::remove(partial);
    if (!QFile::copy(programFile, partial))
        return false;
    if (!MoveIntoPlace(partial, target)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}
