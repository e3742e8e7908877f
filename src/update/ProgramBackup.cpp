#include "update/ProgramBackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool BackupProgramFile(const QString &programFile)
{
    const QFileInfo program(programFile);
    const QString folder = program.absolutePath() + QStringLiteral("/Backups");
    if (!QFileInfo::exists(folder))
        QDir().mkdir(folder);
    if (!QFileInfo(folder).isDir())
        return false;
    const QString target = folder + QLatin1Char('/') + program.fileName();
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(programFile, partial))
        return false;
    QFile::remove(target);
    return QFile::rename(partial, target);
}
