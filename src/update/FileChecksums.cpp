#include "update/FileChecksums.h"

#include <QCryptographicHash>
#include <QFile>

#include <zlib.h>

namespace
{

QString digest(const QString &fileName, QCryptographicHash::Algorithm algorithm)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(algorithm);
    if (!hash.addData(&file))
        return {};
    return QString::fromLatin1(hash.result().toHex()).toUpper();
}

} // namespace

QString FileCRC32(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    uLong crc = crc32(0L, Z_NULL, 0);
    while (!file.atEnd()) {
        const QByteArray chunk = file.read(1 << 16);
        if (chunk.isEmpty())
            return {};
        crc = crc32(crc, reinterpret_cast<const Bytef *>(chunk.constData()), static_cast<uInt>(chunk.size()));
    }
    return QStringLiteral("%1").arg(static_cast<quint32>(crc), 8, 16, QLatin1Char('0')).toUpper();
}

QString FileMD5(const QString &fileName)
{
    return digest(fileName, QCryptographicHash::Md5);
}

QString FileSHA1(const QString &fileName)
{
    return digest(fileName, QCryptographicHash::Sha1);
}
