#include "base/LogDayFiles.h"
#include "support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace
{

class LogDayFilesTest : public testing::Test
{
  protected:
    QTemporaryDir dir;
    QByteArray standardError;
    LogDayFiles log{dir.path(), [this](const QByteArray &bytes) { standardError += bytes; }};

    QString path(const QString &name) const { return dir.filePath(name); }

    QByteArray read(const QString &name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    void write(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

const QDateTime kEvening(QDate(2026, 12, 10), QTime(23, 59, 30));

} // namespace

TEST_F(LogDayFilesTest, LinesGoToTheFileOfTheirDayAndToStandardError)
{
    const QString first = QStringLiteral("10-12-2026 23:59  Rit 7 Œuvre – Łódź € 🚕 &amp; <![CDATA[x]]>");
    const QString second = QStringLiteral("10-12-2026 23:59  tweede\nmet een tweede regel");
    const QString third = QStringLiteral("11-12-2026 00:00  na middernacht");
    log.append(kEvening, first);
    log.append(kEvening.addSecs(10), second);
    log.append(kEvening.addSecs(40), third);

    EXPECT_EQ(read(QStringLiteral("2026-12-10.log")),
              (first + QLatin1Char('\n') + second + QLatin1Char('\n')).toUtf8());
    EXPECT_EQ(read(QStringLiteral("2026-12-11.log")), (third + QLatin1Char('\n')).toUtf8());
    EXPECT_EQ(standardError,
              (first + QLatin1Char('\n') + second + QLatin1Char('\n') + third + QLatin1Char('\n')).toUtf8());
}

TEST_F(LogDayFilesTest, AppendsToWhatAnEarlierRunWrote)
{
    write(QStringLiteral("2026-12-10.log"), "10-12-2026 08:00  eerder\n");
    log.append(kEvening, QStringLiteral("10-12-2026 23:59  later"));
    EXPECT_EQ(read(QStringLiteral("2026-12-10.log")),
              QByteArray("10-12-2026 08:00  eerder\n10-12-2026 23:59  later\n"));
}

TEST_F(LogDayFilesTest, DayFilesOlderThanNinetyDaysAreRemoved)
{
    const QDate today(2026, 3, 1); // 90 days back crosses the turn of the year and February
    const struct {
        QString name;
        bool kept;
    } cases[] = {
        {LogDayFiles::fileName(today.addDays(-400)), false},
        {LogDayFiles::fileName(today.addDays(-91)), false},
        {LogDayFiles::fileName(today.addDays(-90)), true},
        {LogDayFiles::fileName(today.addDays(-1)), true},
        {LogDayFiles::fileName(today), true},
        {LogDayFiles::fileName(today.addDays(3)), true}, // the clock was set back
        {QStringLiteral("2020-02-30.log"), true},        // not a date
        {QStringLiteral("2020-01-01.log.bak"), true},
        {QStringLiteral("notities.txt"), true},
        {QStringLiteral("2020-1-1.log"), true},
    };
    for (const auto &c : cases)
        write(c.name, "x\n");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("2020-01-02.log"))); // a folder, not a day file

    EXPECT_EQ(log.removeExpired(today), 2);
    for (const auto &c : cases)
        EXPECT_EQ(QFile::exists(path(c.name)), c.kept) << c.name.toStdString();
    EXPECT_TRUE(QDir(path(QStringLiteral("2020-01-02.log"))).exists());
    EXPECT_EQ(LogDayFiles::fileName(today.addDays(-91)), QStringLiteral("2025-11-30.log"));
}

TEST_F(LogDayFilesTest, AFileThatCannotBeWrittenIsReportedOnceAndNeverStopsTheLine)
{
    // A folder where the day file should be: no rights (not even root's) make it writable.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("2026-12-10.log")));
    log.append(kEvening, QStringLiteral("een"));
    log.append(kEvening, QStringLiteral("twee"));
    const QList<QByteArray> lines = standardError.split('\n');
    ASSERT_EQ(lines.size(), 4) << standardError.constData(); // een, the report, twee, and the empty end
    EXPECT_EQ(lines[0], "een");
    EXPECT_TRUE(
        lines[1].startsWith("Logboek: kan niet schrijven naar " + path(QStringLiteral("2026-12-10.log")).toUtf8()))
        << lines[1].constData();
    EXPECT_EQ(lines[2], "twee");

    // Once the file can be written again, the lines go there, and a later failure is reported again.
    ASSERT_TRUE(QDir(path(QStringLiteral("2026-12-10.log"))).removeRecursively());
    standardError.clear();
    log.append(kEvening, QStringLiteral("drie"));
    EXPECT_EQ(read(QStringLiteral("2026-12-10.log")), QByteArray("drie\n"));
    EXPECT_EQ(standardError, QByteArray("drie\n"));
    ASSERT_TRUE(QDir(dir.path()).removeRecursively());
    log.append(kEvening, QStringLiteral("vier"));
    EXPECT_TRUE(standardError.startsWith("drie\nvier\nLogboek: kan niet schrijven naar ")) << standardError.constData();
}

// The dates in the file names count, measured from today and from the newest day file alike: a clock a year fast
// removes no more than a right clock would.
TEST_F(LogDayFilesTest, AClockFarAheadRemovesOnlyWhatIsOldBesideTheNewestFile)
{
    const QDate newest(2026, 12, 10);
    for (int back = 0; back < 120; back += 3)
        write(LogDayFiles::fileName(newest.addDays(-back)), "x\n");
    const int files = int(QDir(dir.path()).entryList(QDir::Files).size());

    EXPECT_EQ(log.removeExpired(newest.addYears(1)), 9); // 93 to 117 days before the newest
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), files - 9);
    EXPECT_TRUE(QFile::exists(path(LogDayFiles::fileName(newest.addDays(-90)))));
    EXPECT_FALSE(QFile::exists(path(LogDayFiles::fileName(newest.addDays(-93)))));
    EXPECT_EQ(log.removeExpired(newest.addYears(1)), 0);
}

// A program that runs for months removes the expired files at the first line of each day, not only at start.
TEST_F(LogDayFilesTest, TheFirstLineOfADayRemovesTheExpiredFiles)
{
    const QDate start(2026, 12, 10);
    log.removeExpired(start);
    const QString expiresTomorrow = LogDayFiles::fileName(start.addDays(-90));
    write(expiresTomorrow, "x\n");
    log.append(QDateTime(start, QTime(23, 59)), QStringLiteral("vandaag"));
    EXPECT_TRUE(QFile::exists(path(expiresTomorrow)));
    log.append(QDateTime(start.addDays(1), QTime(0, 1)), QStringLiteral("morgen"));
    EXPECT_FALSE(QFile::exists(path(expiresTomorrow)));
}

// On a full disk (a file-size limit here) a line is not written in part: the day file keeps whole lines only,
// and the failure is reported once.
TEST_F(LogDayFilesTest, ALineThatDoesNotFitLeavesNoPartOfItInTheDayFile)
{
    const QString name = LogDayFiles::fileName(kEvening.date());
    write(name, "10-12-2026 08:00  eerder\n");
    {
        FileSizeLimit limit(64);
        ASSERT_TRUE(limit.ok());
        log.append(kEvening, QStringLiteral("10-12-2026 23:59  ") + QString(100, QLatin1Char('x')));
        log.append(kEvening, QStringLiteral("10-12-2026 23:59  ") + QString(100, QLatin1Char('y')));
    }
    EXPECT_EQ(read(name), QByteArray("10-12-2026 08:00  eerder\n"));
    EXPECT_EQ(standardError.count("Logboek: kan niet schrijven naar"), 1) << standardError.constData();
    EXPECT_TRUE(standardError.contains("het bestand wordt groter dan is toegestaan")) << standardError.constData();
}

// A clock a year off writes its first line into a file named after the wrong day. Whatever the clock says, no day
// file a right clock would keep goes, and the wrongly named file moves nothing when the clock is right again.
TEST_F(LogDayFilesTest, AClockAYearOffRemovesNothingARightClockWouldKeep)
{
    const QDate realToday(2026, 12, 10);
    const struct {
        const char *clock;
        QDate today;
    } cases[] = {
        {"right", realToday},
        {"a year ahead", realToday.addYears(1)},
        {"a year behind", realToday.addYears(-1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.clock);
        QTemporaryDir folder;
        LogDayFiles dayLog(folder.path(), [](const QByteArray &) {});
        const auto exists = [&](const QDate &day) {
            return QFile::exists(folder.filePath(LogDayFiles::fileName(day)));
        };
        for (int back = 1; back <= 120; ++back) {
            QFile f(folder.filePath(LogDayFiles::fileName(realToday.addDays(-back))));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }

        dayLog.append(QDateTime(c.today, QTime(3, 0)), QStringLiteral("eerste regel"));
        dayLog.append(QDateTime(c.today, QTime(3, 1)), QStringLiteral("tweede regel"));
        EXPECT_TRUE(exists(c.today));
        for (int back = 1; back <= 90; ++back)
            EXPECT_TRUE(exists(realToday.addDays(-back))) << back << " days back";

        // The clock is put right the next day: the file named a year ahead counts for nothing and stays; the one
        // named a year back is old. Pruning goes on as before.
        dayLog.append(QDateTime(realToday.addDays(1), QTime(0, 5)), QStringLiteral("klok gelijk"));
        for (int back = 1; back <= 89; ++back)
            EXPECT_TRUE(exists(realToday.addDays(-back))) << back << " days back";
        for (int back = 90; back <= 120; ++back)
            EXPECT_FALSE(exists(realToday.addDays(-back))) << back << " days back";
        EXPECT_EQ(exists(c.today), c.today >= realToday);
    }
}
