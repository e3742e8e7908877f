#pragma once

#include <QString>

// Copies the program file into the folder "Backups" under its own file name, replacing an earlier copy. The
// folder is created when missing. The copy goes to a temporary name first, so a failed copy keeps the earlier
// one. Failures are not reported; returns whether the copy was made.
bool CopyProgramBackup(const QString &programFile, const QString &backupsDir);
