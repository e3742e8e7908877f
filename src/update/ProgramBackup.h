#pragma once

#include <QString>

// Copies the program file into the folder "Backups" beside it (created when missing) under its own name, replacing
// an earlier copy only once the new copy is complete. Failures pass silently; returns whether the copy was made.
bool BackupProgramFile(const QString &programFile);
