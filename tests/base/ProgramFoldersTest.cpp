#include "base/ProgramFolders.h"
#include "base/ProgramBackup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// True when this process can create files in a folder without write permission (running as root).
bool ignoresFolderPermissions(const QString &readOnlyFolder)
{
    QFile probe(readOnlyFolder + QLatin1String("/probe"));
    const bool writable = probe.open(QIODevice::WriteOnly);
    probe.close();
    probe.remove();
    return writable;
}

} // namespace

TEST(ProgramFolders, TreeIsCreatedOnceAndKeepsItsFiles)
{
    QTemporaryDir dir;
    const ProgramFolders folders = ProgramFolders::under(dir.path());
    folders.create();
    for (const char *rel : {"Ostrel", "Ostrel/In", "Ostrel/Uit", "Ostrel/Backups", "Ostrel/Backups/In",
                            "Ostrel/Backups/Uit", "Ostrel/Backups/Error", "TempDownloads", "Vorano", "Logboek"})
        EXPECT_TRUE(QDir(dir.filePath(QLatin1String(rel))).exists()) << rel;
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("Backups"))).exists());
    writeFile(folders.backupsInDir + QLatin1String("/kopie.xml"), "x");
    folders.create();
    EXPECT_EQ(readFile(folders.backupsInDir + QLatin1String("/kopie.xml")), QByteArray("x"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("Logboek"), QStringLiteral("Ostrel"), QStringLiteral("TempDownloads"),
                           QStringLiteral("Vorano")}));
}

TEST(ProgramFolders, ReadOnlyProgramFolderIsSkippedSilently)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("programma"));
    ASSERT_TRUE(QDir().mkdir(program));
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const bool root = ignoresFolderPermissions(program);
    const ProgramFolders folders = ProgramFolders::under(program);
    folders.create(); // must not throw or stop half-way in either case
    const bool copied = CopyProgramBackup(QCoreApplication::applicationFilePath(), folders.programBackups);
    QFile::setPermissions(program, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (root)
        GTEST_SKIP() << "running with rights that write into a read-only folder (root): the folders were created";
    EXPECT_FALSE(QDir(folders.ostrel).exists());
    EXPECT_FALSE(QDir(folders.vorano).exists());
    EXPECT_FALSE(copied);
}

TEST(ProgramBackup, CopyReplacesTheEarlierCopy)
{
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("VoranoOstrel"));
    writeFile(program, "versie 2");
    const QString backups = dir.filePath(QStringLiteral("Backups"));
    ASSERT_TRUE(QDir().mkdir(backups));
    writeFile(backups + QLatin1String("/VoranoOstrel"), "versie 1");
    EXPECT_TRUE(CopyProgramBackup(program, backups));
    EXPECT_EQ(readFile(backups + QLatin1String("/VoranoOstrel")), QByteArray("versie 2"));
    EXPECT_EQ(QDir(backups).entryList(QDir::Files), QStringList{QStringLiteral("VoranoOstrel")});

    // Created when missing; a missing program file makes no copy and keeps the earlier one.
    QDir(backups).removeRecursively();
    EXPECT_TRUE(CopyProgramBackup(program, backups));
    EXPECT_FALSE(CopyProgramBackup(dir.filePath(QStringLiteral("weg")), backups));
    EXPECT_EQ(readFile(backups + QLatin1String("/VoranoOstrel")), QByteArray("versie 2"));
}
