#include "base/DataFolderCheck.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace
{

constexpr uint kGroupOrOtherWrite = 0022;
constexpr uint kRoot = 0;

} // namespace

QString UntrustedReason(const QString &path, const PathStatus &status, uint user)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (status.owner != user && status.owner != kRoot)
        return QStringLiteral("%1 is van een andere gebruiker (uid %2) dan die van het programma (uid %3)")
            .arg(shown)
            .arg(status.owner)
            .arg(user);
    if (status.kind != PathKind::Link && (status.mode & kGroupOrOtherWrite) != 0)
        return QStringLiteral("%1 is beschrijfbaar voor de groep of voor anderen (rechten %2)")
            .arg(shown, QStringLiteral("%1").arg(status.mode, 4, 8, QLatin1Char('0')));
    return {};
}

QString CheckDataFolder(const QString &folder, const QStringList &subfolders)
{
    const uint user = RunningUser();
    auto untrusted = [user](const QString &path) {
        const std::optional<PathStatus> status = StatusAt(path);
        return status ? UntrustedReason(path, *status, user) : QString();
    };
    // QDirIterator does not descend into a linked folder.
    auto firstUntrusted = [&](const QString &top, QDirIterator::IteratorFlags flags) {
        QDirIterator it(top, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, flags);
        while (it.hasNext()) {
            const QString reason = untrusted(it.next());
            if (!reason.isEmpty())
                return reason;
        }
        return QString();
    };
    // A data folder named through a link is judged by the folder it leads to.
    const QString real = QFileInfo(folder).canonicalFilePath();
    QString reason = untrusted(real.isEmpty() ? folder : real);
    if (reason.isEmpty())
        reason = firstUntrusted(folder, QDirIterator::NoIteratorFlags);
    for (const QString &sub : subfolders) {
        if (reason.isEmpty() && KindAt(sub) == PathKind::Folder)
            reason = firstUntrusted(sub, QDirIterator::Subdirectories);
    }
    if (reason.isEmpty())
        return {};
    return QStringLiteral("De gegevensmap wordt niet vertrouwd: %1; alleen de gebruiker van het programma mag er "
                          "iets in kunnen veranderen (chown, chmod go-w).")
        .arg(reason);
}
