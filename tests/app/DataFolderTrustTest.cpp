// The server program on a data folder that someone else could have changed: what it refuses at the start (one
// line, exit status 1, before the lock is taken), and the links and FIFOs it meets in the place of its files while
// it runs, which it neither follows nor waits on.
#include "ProgramProcess.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

const QString kLink = QStringLiteral("op die plaats staat een symbolische koppeling, die niet wordt gevolgd");
const QString kNotRegular = QStringLiteral("op die plaats staat geen gewoon bestand (een FIFO, apparaat of socket)");
const QByteArray kVictimBytes = "van een ander\n";

QString untrusted(const QString &path, const QString &why)
{
    return QStringLiteral("De gegevensmap wordt niet vertrouwd: %1 %2; alleen de gebruiker van het programma mag er "
                          "iets in kunnen veranderen (chown, chmod go-w). Het programma stopt.\n")
        .arg(path, why);
}

uint modeOf(const QString &path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? uint(st.st_mode & 07777) : 0;
}

class DataFolderTrust : public ProgramProcess
{
  protected:
    QString victim;
    QString absent;

    void SetUp() override
    {
        ProgramProcess::SetUp();
        useServerProgram();
        victim = dir.filePath(QStringLiteral("doel"));
        absent = dir.filePath(QStringLiteral("nog-niet"));
        write(QStringLiteral("doel"), kVictimBytes);
        ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0604), 0);
    }

    // A fresh data folder of the program's user with its settings file.
    QString dataFolder(const QString &name)
    {
        const QString data = dir.filePath(name);
        EXPECT_TRUE(QDir().mkpath(data + QStringLiteral("/Logboek")));
        write(name + QStringLiteral("/VoranotoOstrel.xml"), kMinimalSettings);
        return data;
    }

    void expectVictimsUntouched(const std::string &what) const
    {
        EXPECT_EQ(read(QStringLiteral("doel")), kVictimBytes) << what;
        EXPECT_EQ(modeOf(victim), 0604u) << what;
        EXPECT_FALSE(QFile::exists(absent)) << what;
    }
};

QString today()
{
    return QStringLiteral("Logboek/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd.log"));
}

void mode(const QString &path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
}

} // namespace

TEST_F(DataFolderTrust, TheStartRefusesWhatSomeoneElseCouldHaveChangedOrPlanted)
{
    const struct {
        const char *what;
        std::function<void(const QString &data)> plant;
        std::function<QString(const QString &data)> line; // the whole of standard error
        bool needsRoot;
    } cases[] = {
        {"a folder the group may write", [](const QString &data) { mode(data, 0775); },
         [](const QString &data) {
             return untrusted(data, QStringLiteral("is beschrijfbaar voor de groep of voor anderen (rechten 0775)"));
         },
         false},
        {"a settings file everybody may write",
         [](const QString &data) { mode(data + QStringLiteral("/VoranotoOstrel.xml"), 0666); },
         [](const QString &data) {
             return untrusted(data + QStringLiteral("/VoranotoOstrel.xml"),
                              QStringLiteral("is beschrijfbaar voor de groep of voor anderen (rechten 0666)"));
         },
         false},
        {"a day file the group may write",
         [this](const QString &data) {
             write(QDir(dir.path()).relativeFilePath(data) + QStringLiteral("/Logboek/2026-12-01.log"), "regel\n");
             mode(data + QStringLiteral("/Logboek/2026-12-01.log"), 0620);
         },
         [](const QString &data) {
             return untrusted(data + QStringLiteral("/Logboek/2026-12-01.log"),
                              QStringLiteral("is beschrijfbaar voor de groep of voor anderen (rechten 0620)"));
         },
         false},
        {"a lock file of another user (who would hold the lock)",
         [this](const QString &data) {
             write(QDir(dir.path()).relativeFilePath(data) + QStringLiteral("/VoranoOstrel.lock"), "");
             ASSERT_EQ(
                 ::chown(QFile::encodeName(data + QStringLiteral("/VoranoOstrel.lock")).constData(), 65534, 65534), 0);
         },
         [](const QString &data) {
             return untrusted(data + QStringLiteral("/VoranoOstrel.lock"),
                              QStringLiteral("is van een andere gebruiker (uid 65534) dan die van het programma "
                                             "(uid %1)")
                                  .arg(::geteuid()));
         },
         true},
        {"the lock file as a link to a name not there",
         [this](const QString &data) { ASSERT_TRUE(QFile::link(absent, data + QStringLiteral("/VoranoOstrel.lock"))); },
         [](const QString &data) {
             return QStringLiteral("Kan het slotbestand %1/VoranoOstrel.lock niet openen (%2); het programma stopt.\n")
                 .arg(data, kLink);
         },
         false},
        {"the lock file as a link to a file of someone else's",
         [this](const QString &data) { ASSERT_TRUE(QFile::link(victim, data + QStringLiteral("/VoranoOstrel.lock"))); },
         [](const QString &data) {
             return QStringLiteral("Kan het slotbestand %1/VoranoOstrel.lock niet openen (%2); het programma stopt.\n")
                 .arg(data, kLink);
         },
         false},
        {"the settings file as a FIFO",
         [](const QString &data) {
             const QString path = data + QStringLiteral("/VoranotoOstrel.xml");
             ASSERT_TRUE(QFile::remove(path));
             ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
         },
         [](const QString &data) {
             return QStringLiteral("Kan bestand %1/VoranotoOstrel.xml niet lezen: %2.\n").arg(data, kNotRegular);
         },
         false},
        {"the settings file as a link to a file of someone else's",
         [this](const QString &data) {
             const QString path = data + QStringLiteral("/VoranotoOstrel.xml");
             ASSERT_TRUE(QFile::remove(path));
             ASSERT_TRUE(QFile::link(victim, path));
         },
         [](const QString &data) {
             return QStringLiteral("Kan bestand %1/VoranotoOstrel.xml niet lezen: %2.\n").arg(data, kLink);
         },
         false},
    };
    int n = 0;
    for (const auto &c : cases) {
        if (c.needsRoot && ::geteuid() != 0) {
            std::printf("not run without root: %s (the owner check itself is a case of DataFolderCheck)\n", c.what);
            continue;
        }
        const QString data = dataFolder(QStringLiteral("gegevens-%1").arg(++n));
        c.plant(data);
        program.setArguments({QStringLiteral("--data"), data});
        program.start();
        ASSERT_TRUE(program.waitForFinished(30000)) << c.what;
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(program.exitCode(), 1) << c.what;
        // Qt's translations may be missing on a build machine; that warning is not this test's.
        EXPECT_TRUE(err.endsWith(c.line(data))) << c.what << "\n" << err.toStdString();
        EXPECT_EQ(err.count(QLatin1Char('\n')) - err.count(QStringLiteral("vertaling van Qt")), 1) << c.what << "\n"
                                                                                                   << err.toStdString();
        EXPECT_FALSE(QDir(data).exists(QStringLiteral("Vorano"))) << c.what << ": the program went on";
        expectVictimsUntouched(c.what);
    }
}

// status.prom and today's day file planted as links in a folder the program trusts (the links are its user's):
// the program runs, says once for each file why it is not written, and the targets stay as they were.
TEST_F(DataFolderTrust, TheStatusFileAndADayFileAsLinksAreNotWrittenThrough)
{
    const QString data = dataFolder(QStringLiteral("gegevens"));
    ASSERT_TRUE(QFile::link(victim, data + QStringLiteral("/status.prom")));
    const QString day = data + QLatin1Char('/') + today();
    const QString nextDay =
        data + QStringLiteral("/Logboek/") + QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy-MM-dd.log"));
    ASSERT_TRUE(QFile::link(absent, day));
    ASSERT_TRUE(QFile::link(absent, nextDay)); // a run across midnight
    program.setArguments({QStringLiteral("--data"), data});
    startAndWaitUntilRunning(data);
    stop();
    EXPECT_EQ(program.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(err.count(QStringLiteral("Bestand %1/status.prom is niet geschreven: %2.").arg(data, kLink)), 1)
        << err.toStdString();
    EXPECT_EQ(err.count(QStringLiteral("Logboek: kan niet schrijven naar ")), 1) << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("Logboek: kan niet schrijven naar %1 (%2)").arg(day, kLink)) ||
                err.contains(QStringLiteral("Logboek: kan niet schrijven naar %1 (%2)").arg(nextDay, kLink)))
        << err.toStdString();
    EXPECT_EQ(QFileInfo(data + QStringLiteral("/status.prom")).symLinkTarget(), victim);
    expectVictimsUntouched("status file and day file");
}

// A FIFO put in the place of the settings file while the program runs holds neither the reload nor the stop:
// both say why in one line and the program ends as usual. What it wrote is its user's alone but the status file,
// which its group (the monitoring) may read.
TEST_F(DataFolderTrust, AFifoInPlaceOfTheSettingsFileHoldsNeitherReloadNorStop)
{
    const QString data = dataFolder(QStringLiteral("gegevens"));
    program.setArguments({QStringLiteral("--data"), data});
    startAndWaitUntilRunning(data);
    const QString settings = data + QStringLiteral("/VoranotoOstrel.xml");
    ASSERT_TRUE(QFile::remove(settings));
    ASSERT_EQ(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    ::kill(pid_t(program.processId()), SIGHUP);
    const QString dayFile = QDir(dir.path()).relativeFilePath(data) + QLatin1Char('/') + today();
    const QDeadlineTimer reloaded(30000);
    while (!read(dayFile).contains("Instellingen niet opnieuw gelezen") && !reloaded.hasExpired())
        QThread::msleep(50);
    EXPECT_TRUE(read(dayFile).contains(
        QStringLiteral("Instellingen niet opnieuw gelezen; de huidige blijven gelden. Kan bestand %1 niet lezen: %2.")
            .arg(settings, kNotRegular)
            .toUtf8()))
        << read(dayFile).constData();
    stop();
    EXPECT_EQ(program.exitCode(), 0);
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("Instellingen niet opgeslagen in %1: %2; het bestand is ongewijzigd.")
                                 .arg(settings, kNotRegular)))
        << err.toStdString();
    struct stat st = {};
    ASSERT_EQ(::lstat(QFile::encodeName(settings).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO stays as it is";

    EXPECT_EQ(modeOf(data + QStringLiteral("/status.prom")), 0640u);
    for (const char *own : {"VoranotoOstrelBase.xml", "VoranoOstrel.lock"})
        EXPECT_EQ(modeOf(data + QLatin1Char('/') + QLatin1String(own)), 0600u) << own;
    for (const char *own : {"Logboek", "Ostrel", "Vorano", "TempDownloads"})
        EXPECT_EQ(modeOf(data + QLatin1Char('/') + QLatin1String(own)), 0700u) << own;
}
