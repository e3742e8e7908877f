#include "update/UpdateControle.h"

#include "update/ProgramBackup.h"
#include "update/TJFCAppUpdate.h"

bool SpeedButton4Click(TJFCAppUpdate &update)
{
    BackupProgramFile(update.ProgramFile);
    return update.CheckForUpdate(false);
}
