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

QStringList TempProgramDir::copies(const QString &relativeFolder) const
{
    QStringList out = files(relativeFolder);
    const QDir folder(m_dir.filePath(relativeFolder));
    for (const QString &day : folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        for (const QString &name : QDir(folder.filePath(day)).entryList(QDir::Files, QDir::Name))
            out << day + QLatin1Char('/') + name;
    }
    return out;
}
