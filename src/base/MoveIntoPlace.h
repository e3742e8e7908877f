#pragma once

#include <QString>

// Puts the file from in the place of to in one step, replacing a file that is there: a reader sees the old file or
// the new one, never none. False when it fails (from is left then). Linux: rename; Windows: MoveFileEx, since the
// C library's rename there refuses an existing target. (Not named ReplaceFile: Windows' headers take that name.)
bool MoveIntoPlace(const QString &from, const QString &to);
