#include "update/UpdateControle.h"

#include "base/ProgramBackup.h"
#include "update/TJFCAppUpdate.h"

bool SpeedButton4Click(TJFCAppUpdate &update)
{
    CopyProgramBackup(update.ProgramFile, update.programFolder() + QStringLiteral("/Backups"));
    return update.CheckForUpdate(false);
}
