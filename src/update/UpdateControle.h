#pragma once

class TJFCAppUpdate;

// "UPDATE CONTROLE": copies the running program file into "Backups" beside it, then checks for a newer version with
// its messages shown. Returns the check's result (which the window does not use).
bool SpeedButton4Click(TJFCAppUpdate &update);
