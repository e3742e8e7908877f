#include "base/PrivateFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

bool MakePrivateFolder(const QString &folder)
{
    // A link or junction could lead the download elsewhere; the access list itself is the installer's.
    const QFileInfo info(folder);
    return info.isDir() && !info.isSymLink() && !info.isJunction();
}

QString RegularFileSha256(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.isSymLink())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash sha(QCryptographicHash::Sha256);
    return sha.addData(&file) ? QString::fromLatin1(sha.result().toHex()) : QString();
}
