#include "support/TempProgramDir.h"

#include <QDir>
#include <QFile>

TempProgramDir::TempProgramDir()
    : m_folders(ProgramFolders::under(m_dir.path()))
{
    m_folders.create();
}

QByteArray TempProgramDir::read(const QString &relativePath) const
{
    QFile f(m_dir.filePath(relativePath));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList TempProgramDir::files(const QString &relativeFolder) const
{
    return QDir(m_dir.filePath(relativeFolder)).entryList(QDir::Files, QDir::Name);
}
