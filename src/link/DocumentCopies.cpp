#include "link/DocumentCopies.h"

#include "base/VoranoError.h"

#include <QFile>

bool WriteDocumentCopy(const Controls &controls, const QString &folder, const QString &fileName, const QString &text)
{
    if (!controls.checked(Control::BackupsMaken))
        return false;
    const QString path = folder + QLatin1Char('/') + fileName;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw FileError(QStringLiteral("Kan bestand %1 niet aanmaken. %2").arg(path, file.errorString()));
    const QByteArray bytes = text.toLatin1();
    if (file.write(bytes) != bytes.size())
        throw FileError(QStringLiteral("Fout bij het schrijven van %1. %2").arg(path, file.errorString()));
    if (!file.flush())
        throw FileError(QStringLiteral("Fout bij het schrijven van %1. %2").arg(path, file.errorString()));
    return true;
}
