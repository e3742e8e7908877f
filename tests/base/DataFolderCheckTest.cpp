// The data folder is trusted only when nobody but the program's user (or root) can change it.
#include "base/DataFolderCheck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace
{

constexpr uint kUser = 1000;

void setMode(const QString &path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

} // namespace

// By owner and mode as lstat gives them, so that other owners need no root: a user other than the program's, as
// the owner of a lock file or of the folder, is refused; root is not.
TEST(DataFolderCheck, OwnerAndModeOfEachEntry)
{
    const struct {
        const char *what;
        PathStatus status;
        const char *reason;
    } cases[] = {
        {"own folder 0700", {PathKind::Folder, kUser, 0700}, ""},
        {"own folder 0750, the group may read", {PathKind::Folder, kUser, 0750}, ""},
        {"own file 0640", {PathKind::RegularFile, kUser, 0640}, ""},
        {"root's folder 0755", {PathKind::Folder, 0, 0755}, ""},
        {"own link (its mode says nothing)", {PathKind::Link, kUser, 0777}, ""},
        {"folder the group may write",
         {PathKind::Folder, kUser, 0770},
         "/d/x is beschrijfbaar voor de groep of voor anderen (rechten 0770)"},
        {"file others may write",
         {PathKind::RegularFile, kUser, 0602},
         "/d/x is beschrijfbaar voor de groep of voor anderen (rechten 0602)"},
        {"sticky folder everybody may write",
         {PathKind::Folder, kUser, 01777},
         "/d/x is beschrijfbaar voor de groep of voor anderen (rechten 1777)"},
        {"root's file the group may write",
         {PathKind::RegularFile, 0, 0664},
         "/d/x is beschrijfbaar voor de groep of voor anderen (rechten 0664)"},
        {"another user's lock file",
         {PathKind::RegularFile, 1001, 0600},
         "/d/x is van een andere gebruiker (uid 1001) dan die van het programma (uid 1000)"},
        {"another user's link",
         {PathKind::Link, 1001, 0777},
         "/d/x is van een andere gebruiker (uid 1001) dan die van het programma (uid 1000)"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(UntrustedReason(QStringLiteral("/d/x"), c.status, kUser), QString::fromUtf8(c.reason)) << c.what;
}

// On a real folder: the folder, every entry in it and everything under the program's own folders, links not
// followed.
TEST(DataFolderCheck, FolderEntriesAndTheProgramsOwnFolders)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("gegevens"));
    const QString deep = data + QStringLiteral("/Ostrel/Backups/In/2026-12-10");
    ASSERT_TRUE(QDir().mkpath(deep));
    ASSERT_TRUE(QDir().mkpath(data + QStringLiteral("/anders/dieper")));
    for (const QString &path : {data, data + QStringLiteral("/Ostrel"), data + QStringLiteral("/Ostrel/Backups"),
                                data + QStringLiteral("/Ostrel/Backups/In"), deep})
        setMode(path, 0700);
    QFile copy(deep + QStringLiteral("/Trips.xml"));
    ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
    copy.close();
    setMode(copy.fileName(), 0600);
    // A link to a folder others may write is not followed.
    const QString open = dir.filePath(QStringLiteral("open"));
    ASSERT_TRUE(QDir().mkdir(open));
    setMode(open, 0777);
    ASSERT_TRUE(QFile::link(open, data + QStringLiteral("/Ostrel/Backups/Uit")));
    const QStringList own{data + QStringLiteral("/Ostrel"), data + QStringLiteral("/Logboek")};
    EXPECT_EQ(CheckDataFolder(data, own), QString());

    const QString refused = QStringLiteral("De gegevensmap wordt niet vertrouwd: %1 is beschrijfbaar voor de groep of "
                                           "voor anderen (rechten %2); alleen de gebruiker van het programma mag er "
                                           "iets in kunnen veranderen (chown, chmod go-w).");
    const struct {
        const char *what;
        QString path;
        mode_t mode;
        mode_t back;
    } cases[] = {
        {"the folder itself", data, 0775, 0700},
        {"an entry in it", data + QStringLiteral("/anders"), 0757, 0755},
        {"a copy deep under Ostrel", copy.fileName(), 0660, 0600},
        {"a day folder under Ostrel", deep, 0730, 0700},
    };
    for (const auto &c : cases) {
        setMode(c.path, c.mode);
        EXPECT_EQ(CheckDataFolder(data, own), refused.arg(c.path, QStringLiteral("0%1").arg(c.mode, 0, 8))) << c.what;
        setMode(c.path, c.back);
    }
    // A data folder named through a link is the folder it leads to.
    const QString named = dir.filePath(QStringLiteral("genoemd"));
    ASSERT_TRUE(QFile::link(open, named));
    EXPECT_EQ(CheckDataFolder(named, {}), refused.arg(QFileInfo(open).canonicalFilePath(), QStringLiteral("0777")));
    // Below a folder that is not the program's own only the entry itself counts.
    setMode(data + QStringLiteral("/anders/dieper"), 0777);
    EXPECT_EQ(CheckDataFolder(data, own), QString());
}
