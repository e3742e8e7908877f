#pragma once

#include <QString>

// Files an update downloads and then starts: nobody else may put another file in the place of the verified one.
// Linux: PrivateFiles.cpp (owner and mode); Windows: PrivateFilesWin.cpp (the folder's access list, which the
// installer gives the program's folders, is left as it is).

// Makes folder this user's alone (mode 0700). False when it is a symbolic link, belongs to someone else or cannot
// be narrowed.
bool MakePrivateFolder(const QString &folder);

// The SHA-256 of the regular file at path (a symbolic link is not followed), as hexadecimal text; empty when it
// cannot be read.
QString RegularFileSha256(const QString &path);
