#pragma once

#include <QString>

// The folder tree under the working folder. Paths carry no trailing separator.
struct ProgramFolders {
    QString program;         // the working folder: the program file's, or the one named at start
    QString ostrel;          // Ostrel
    QString inDir;           // Ostrel/In (InDir)
    QString uitDir;          // Ostrel/Uit (UitDir)
    QString backups;         // Ostrel/Backups
    QString backupsInDir;    // Ostrel/Backups/In (BackupsInDir)
    QString backupsUitDir;   // Ostrel/Backups/Uit (BackupsUitDir)
    QString backupsErrorDir; // Ostrel/Backups/Error (BackupsErrorDir)
    QString tempDownloads;   // TempDownloads
    QString vorano;          // Vorano
    QString logboek;         // Logboek: the log's day files
    QString programBackups;  // Backups: the copy of the program file

    static ProgramFolders under(const QString &programDir);

    // Creates the tree where missing, in start-up order; a folder that cannot be created is skipped silently.
    void create() const;
};
