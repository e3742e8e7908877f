#include "base/ProgramFolders.h"

#include "base/PrivateFiles.h"

#include <QDir>

ProgramFolders ProgramFolders::under(const QString &programDir)
{
    const QString p = QDir::cleanPath(programDir);
    auto sub = [&](const char *rel) { return p + QLatin1Char('/') + QLatin1String(rel); };
    ProgramFolders f;
    f.program = p;
    f.ostrel = sub("Ostrel");
    f.inDir = sub("Ostrel/In");
    f.uitDir = sub("Ostrel/Uit");
    f.backups = sub("Ostrel/Backups");
    f.backupsInDir = sub("Ostrel/Backups/In");
    f.backupsUitDir = sub("Ostrel/Backups/Uit");
    f.backupsErrorDir = sub("Ostrel/Backups/Error");
    f.tempDownloads = sub("TempDownloads");
    f.vorano = sub("Vorano");
    f.logboek = sub("Logboek");
    f.programBackups = sub("Backups");
    return f;
}

QStringList ProgramFolders::topLevel() const
{
    return {ostrel, tempDownloads, vorano, logboek, programBackups};
}

void ProgramFolders::create() const
{
    for (const QString &dir : {ostrel, inDir, uitDir, backups, backupsInDir, backupsUitDir, backupsErrorDir,
                               tempDownloads, vorano, logboek}) {
        QDir d(dir);
        if (!d.exists())
            QDir().mkdir(dir); // a failure is skipped without a message
    }
    for (const QString &dir : topLevel())
        MakePrivateFolder(dir); // a link, or a folder of root's, is left as it is
}
