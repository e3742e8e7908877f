#include "update/ProgramVersion.h"

#include "update/TemiVerInfo.h"

#include <QCoreApplication>

QString InternalFileVersionOf(const QString &programFile)
{
    TemiVerInfo info;
    info.FileName = programFile;
    info.ReadVersionInfo();
    return info.value(QStringLiteral("InternalFileVersion"));
}

QString ProgramInternalFileVersion()
{
    return InternalFileVersionOf(QCoreApplication::applicationFilePath());
}
