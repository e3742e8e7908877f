#pragma once

#include <QByteArray>
#include <QString>

// Opens a new file for a secret. open() itself creates it with mode 0600 (O_CREAT | O_EXCL, no symbolic link
// followed), so at no moment can another user open it; a file that is already there is never reused. Returns the
// descriptor, or -1 with errno set.
int OpenNewSecretFile(const QString &path);

// Writes a private key file. Without overwrite an existing file is refused; with it the key goes into a new file
// next to it that then replaces it. Returns an empty text, or why it failed.
QString WriteSecretFile(const QString &path, const QByteArray &content, bool overwrite);
