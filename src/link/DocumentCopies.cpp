#include "link/DocumentCopies.h"

#include "base/VoranoError.h"

#include <QSaveFile>

bool WriteDocumentCopy(const Controls &controls, const QString &folder, const QString &fileName, const QString &text)
{
    if (!controls.checked(Control::BackupsMaken))
        return false;
    const QString path = folder + QLatin1Char('/') + fileName;
    // Written beside the old copy and renamed over it, so a full disk or a crash never leaves a partial copy.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileError(QStringLiteral("Kan bestand %1 niet aanmaken. %2").arg(path, file.errorString()));
    const QByteArray bytes = text.toLatin1();
    if (file.write(bytes) != bytes.size())
        throw FileError(QStringLiteral("Fout bij het schrijven van %1. %2").arg(path, file.errorString()));
    if (!file.commit())
        throw FileError(QStringLiteral("Fout bij het schrijven van %1. %2").arg(path, file.errorString()));
    return true;
}
