// Files written on a full disk: a file-size limit stands in for the full disk (a write past it fails after a
// short write, as on a disk that fills up), so the cases run without a file system of their own.
#include "base/CheckedFileWrite.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

constexpr qint64 kLimit = 4096;

class CheckedFileWriteTest : public testing::Test
{
  protected:
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VoranotoOstrel.xml"));

    void write(const QByteArray &bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    QByteArray read() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

// Sizes around the limit and around Qt's 16 KiB write buffer: a buffered write reports nothing until its flush.
const struct {
    const char *what;
    qint64 size;
} kTooLarge[] = {
    {"one byte past the limit", kLimit + 1},
    {"a small file past the limit", kLimit + 100},
    {"more than the write buffer", 40000},
};

} // namespace

TEST_F(CheckedFileWriteTest, AWholeFileThatDoesNotFitLeavesTheOldFileAsItWas)
{
    const QByteArray old = QByteArray("<?xml version=\"1.0\"?>\r\n<Configuration/>\r\n") + QByteArray(3000, 'o');
    for (const auto &c : kTooLarge) {
        write(old);
        QString failure;
        {
            FileSizeLimit limit(kLimit);
            ASSERT_TRUE(limit.ok());
            failure = SaveWholeFile(path, QByteArray(c.size, 'n'));
        }
        EXPECT_EQ(failure, QStringLiteral("het bestand wordt groter dan is toegestaan")) << c.what;
        EXPECT_EQ(read(), old) << c.what;
        EXPECT_EQ(files(), QStringList{QStringLiteral("VoranotoOstrel.xml")}) << c.what << ": no temporary file left";
    }
    // Without an old file no file at all is left, not an empty one.
    ASSERT_TRUE(QFile::remove(path));
    {
        FileSizeLimit limit(kLimit);
        EXPECT_FALSE(SaveWholeFile(path, QByteArray(kLimit + 1, 'n')).isEmpty());
    }
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(CheckedFileWriteTest, AWholeFileThatFitsReplacesTheOldOne)
{
    write("oud");
    FileSizeLimit limit(kLimit);
    EXPECT_EQ(SaveWholeFile(path, QByteArray(kLimit, 'n')), QString());
    EXPECT_EQ(read(), QByteArray(kLimit, 'n'));
}

TEST_F(CheckedFileWriteTest, AnAppendThatDoesNotFitIsCutOffAgain)
{
    const QByteArray old = "10-12-2026 08:00  eerder\n";
    write(old);
    QString failure;
    {
        FileSizeLimit limit(kLimit);
        failure = AppendToFile(path, QByteArray(kLimit, 'x') + '\n');
        EXPECT_EQ(AppendToFile(path, "past\n"), QString()) << "a line that fits still goes in";
    }
    EXPECT_EQ(failure, QStringLiteral("het bestand wordt groter dan is toegestaan"));
    EXPECT_EQ(read(), old + "past\n");
}

TEST_F(CheckedFileWriteTest, TheMessageNamesTheFileAndTheReason)
{
    const QString folder = dir.filePath(QStringLiteral("map"));
    ASSERT_TRUE(QDir().mkdir(folder));
    EXPECT_EQ(SaveWholeFile(folder, "x"), QStringLiteral("op die plaats staat een map"));
    EXPECT_EQ(AppendToFile(folder, "x"), QStringLiteral("op die plaats staat een map"));
    EXPECT_EQ(FileNotWrittenMessage(folder, QStringLiteral("de schijf is vol")),
              QStringLiteral("Bestand %1 is niet geschreven: de schijf is vol. Een eerder bestand met die naam is "
                             "ongewijzigd.")
                  .arg(folder));
}
