// What another user could plant in the data folder in the place of a file the program writes or reads: a link to
// a file of someone else's, a link to a name that does not exist yet, a FIFO, a folder. Each writer and reader of
// the data folder refuses it with its reason, leaves the target as it was (its bytes and mode, or not there) and
// returns at once (a FIFO would hold an open without O_NONBLOCK: the test would hang).
#include "base/RegularFile.h"
#include "base/CheckedFileWrite.h"
#include "base/FolderLock.h"
#include "base/HolderLock.h"
#include "base/LogDayFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace
{

const QString kLinkReason = QStringLiteral("op die plaats staat een symbolische koppeling, die niet wordt gevolgd");
const QString kNotRegular = QStringLiteral("op die plaats staat geen gewoon bestand (een FIFO, apparaat of socket)");
const QString kFolder = QStringLiteral("op die plaats staat een map");
const QByteArray kVictimBytes = "van een ander\n";

enum class Planted { LinkToAFile, LinkToNothing, Fifo, Folder };

const struct {
    const char *what;
    Planted planted;
    const QString &reason;
} kPlanted[] = {
    {"a link to a file of someone else's", Planted::LinkToAFile, kLinkReason},
    {"a link to a name that is not there yet", Planted::LinkToNothing, kLinkReason},
    {"a FIFO", Planted::Fifo, kNotRegular},
    {"a folder", Planted::Folder, kFolder},
};

// Each way the data folder's files are written or read, giving the reason it refused (empty: it did not).
const struct {
    const char *what;
    std::function<QString(const QString &path)> attempt;
} kUses[] = {
    {"a whole file (status file, settings, copy)", [](const QString &path) { return SaveWholeFile(path, "nieuw"); }},
    {"an append (day file)", [](const QString &path) { return AppendToFile(path, "regel\n"); }},
    {"a read (settings)",
     [](const QString &path) {
         QFile file;
         QString reason;
         return OpenRegularFile(file, path, FileOpening::Read, reason) ? QString() : reason;
     }},
    {"a holder lock (database claim)",
     [](const QString &path) {
         HolderLock lock(path);
         return lock.tryLock(QStringLiteral("hier")) ? QString() : lock.errorString();
     }},
};

class RegularFileTest : public testing::Test
{
  protected:
    QTemporaryDir dir;
    const QString victim = dir.filePath(QStringLiteral("doel"));
    const QString absent = dir.filePath(QStringLiteral("nog-niet"));

    void SetUp() override
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kVictimBytes);
        file.close();
        ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0604), 0);
    }

    void plant(Planted planted, const QString &path)
    {
        const QByteArray name = QFile::encodeName(path);
        switch (planted) {
        case Planted::LinkToAFile:
            ASSERT_TRUE(QFile::link(victim, path));
            break;
        case Planted::LinkToNothing:
            ASSERT_TRUE(QFile::link(absent, path));
            break;
        case Planted::Fifo:
            ASSERT_EQ(::mkfifo(name.constData(), 0600), 0);
            break;
        case Planted::Folder:
            ASSERT_TRUE(QDir().mkdir(path));
            break;
        }
    }

    void expectTargetsUntouched(const std::string &what)
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << what;
        EXPECT_EQ(file.readAll(), kVictimBytes) << what;
        struct stat st = {};
        ASSERT_EQ(::stat(QFile::encodeName(victim).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u) << what;
        EXPECT_FALSE(QFile::exists(absent)) << what;
    }
};

} // namespace

TEST_F(RegularFileTest, WhatIsPlantedInAFilesPlaceIsRefusedAndNeverFollowed)
{
    int n = 0;
    for (const auto &use : kUses) {
        for (const auto &c : kPlanted) {
            const std::string what = std::string(use.what) + ", " + c.what;
            const QString path = dir.filePath(QStringLiteral("bestand-%1").arg(++n));
            plant(c.planted, path);
            EXPECT_EQ(use.attempt(path), c.reason) << what;
            EXPECT_EQ(KindAt(path), c.planted == Planted::Fifo     ? PathKind::Other
                                    : c.planted == Planted::Folder ? PathKind::Folder
                                                                   : PathKind::Link)
                << what << ": the planted entry itself stays";
            expectTargetsUntouched(what);
        }
    }
    // Nothing else came beside them: no temporary file left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("nieuw-")), QStringList());
}

// The lock of the data folder: a link in its place neither makes nor locks the target, and the reason says why;
// with the lock file as it should be the lock is taken.
TEST_F(RegularFileTest, TheFolderLockTakesNoLinkAndNoFifo)
{
    for (const Planted planted : {Planted::LinkToNothing, Planted::LinkToAFile, Planted::Fifo}) {
        const QString path = dir.filePath(QLatin1String(FolderLock::kFileName));
        plant(planted, path);
        FolderLock lock(dir.path());
        EXPECT_FALSE(lock.tryLock());
        EXPECT_EQ(lock.errorString(), planted == Planted::Fifo ? kNotRegular : kLinkReason);
        expectTargetsUntouched("folder lock");
        ASSERT_TRUE(QFile::remove(path));
    }
    FolderLock lock(dir.path());
    EXPECT_TRUE(lock.tryLock()) << lock.errorString().toStdString();
    EXPECT_EQ(KindAt(lock.filePath()), PathKind::RegularFile);
}

// A day file planted as a link: the line still reaches standard error, the warning names the reason once, and
// the target gets nothing.
TEST_F(RegularFileTest, ADayFileAsALinkGetsNoLine)
{
    QByteArray standardError;
    LogDayFiles log(dir.path(), [&](const QByteArray &bytes) { standardError += bytes; });
    const QDateTime at(QDate(2026, 12, 10), QTime(12, 0));
    plant(Planted::LinkToAFile, dir.filePath(LogDayFiles::fileName(at.date())));
    log.append(at, QStringLiteral("10-12-2026 12:00  eerste"));
    log.append(at, QStringLiteral("10-12-2026 12:00  tweede"));
    EXPECT_EQ(QString::fromUtf8(standardError),
              QStringLiteral("10-12-2026 12:00  eerste\nLogboek: kan niet schrijven naar %1 (%2); de logregels staan "
                             "alleen op het scherm en op standaardfout tot het weer lukt.\n10-12-2026 12:00  tweede\n")
                  .arg(dir.filePath(QStringLiteral("2026-12-10.log")), kLinkReason));
    expectTargetsUntouched("day file");
}

// A whole file written over an earlier one keeps its mode unless it is given one, and a given one holds whatever
// the umask.
TEST_F(RegularFileTest, AWholeFileGetsItsGivenModeOrKeepsTheEarlierOne)
{
    const QString path = dir.filePath(QStringLiteral("status.prom"));
    const mode_t old = ::umask(0077);
    EXPECT_EQ(SaveWholeFile(path, "a", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup),
              QString());
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    EXPECT_EQ(SaveWholeFile(path, "b"), QString());
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ::umask(old);
}
