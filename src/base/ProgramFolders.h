#pragma once

#include <QString>
#include <QStringList>

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

    // The folders directly in the working folder that hold the rest: Ostrel, TempDownloads, Vorano, Logboek,
    // Backups.
    QStringList topLevel() const;

    // Creates the tree where missing, in start-up order; a folder that cannot be created is skipped silently. The
    // top-level folders are made the program user's alone (0700), also those an earlier version left readable for
    // its group: the group may read the status file in the working folder, nothing else.
    void create() const;
};
