#pragma once

#include "base/RegularFile.h"

#include <QString>
#include <QStringList>

// The data folder is trusted only when nobody but the program's own user can change what is in it: another user
// who could write there could put a link where the program writes (and have it write through the link, as root
// too) or a lock file of their own where it locks. As an SSH server treats its users' key files, the program
// refuses to start on a folder, or a file in it, that its group or others may write, or that belongs to another
// user than the one it runs as (root may own them). Windows leaves this to the folder's access list.

// Why one entry is not to be trusted, for a program running as user; empty when it is. A link's own mode says
// nothing (its target is never followed), its owner does.
QString UntrustedReason(const QString &path, const PathStatus &status, uint user);

// Checks the folder, every entry in it and everything under the given subfolders of it (the program's own;
// links are not followed). Returns the one line that refuses the start, or empty.
QString CheckDataFolder(const QString &folder, const QStringList &subfolders);
