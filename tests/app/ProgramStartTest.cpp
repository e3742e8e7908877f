// The program file itself: started from a scratch program folder, ended by a signal or refused at start.
#include "OstrelSim.h"
#include "support/HostileServer.h"

#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProgramTest : public testing::Test {
protected:
    QTemporaryDir dir;
    QProcess program;

    void SetUp() override
    {
        const QString built = QStringLiteral(VORANO_BINARY_DIR "/src/VoranoOstrel");
        ASSERT_TRUE(QFile::copy(built, dir.filePath(QStringLiteral("VoranoOstrel"))));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(env);
        program.setWorkingDirectory(QDir::tempPath()); // the program folder is the one of the program file
        program.setProgram(dir.filePath(QStringLiteral("VoranoOstrel")));
    }

    void TearDown() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    void write(const char *name, const QByteArray &bytes)
    {
        QFile f(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    // Starts the program, lets it finish its start-up, and stops it with the signal; it must end normally.
    void runThenStop(int signal = SIGTERM)
    {
        program.start();
        ASSERT_TRUE(program.waitForStarted());
        // The folder tree appears during the start-up steps; the signal handler is in place just after them.
        const QDeadlineTimer started(30000);
        while (!QDir(dir.filePath(QStringLiteral("Vorano"))).exists() && !started.hasExpired())
            QThread::msleep(20);
        QThread::msleep(1000);
        ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().constData();
        ::kill(pid_t(program.processId()), signal);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << signal;
        EXPECT_EQ(program.exitCode(), 0) << signal;
    }

    ino_t inodeOf(const char *name) const
    {
        struct stat info = {};
        return ::stat(QFile::encodeName(dir.filePath(QLatin1String(name))).constData(), &info) == 0 ? info.st_ino : 0;
    }

    QByteArray read(const char *name)
    {
        QFile f(dir.filePath(QLatin1String(name)));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

const QByteArray kStored = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
                           "    <FormVersion>0</FormVersion>\r\n    <Eigenaar_Text>123</Eigenaar_Text>\r\n"
                           "    <Eigen>blijft</Eigen>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n";

} // namespace

TEST_F(ProgramTest, TermAndIntCloseTheProgramAsSluitenDoes)
{
    for (int signal : {SIGTERM, SIGINT}) {
        write("VoranotoOstrel.xml", kStored);
        QFile::remove(dir.filePath(QStringLiteral("VoranotoOstrelBase.xml")));
        ASSERT_NO_FATAL_FAILURE(runThenStop(signal));
        const QByteArray main = read("VoranotoOstrel.xml");
        EXPECT_TRUE(main.contains("    <Eigenaar_Text>123</Eigenaar_Text>\r\n    <Eigen>blijft</Eigen>\r\n"
                                  "    <Flags>")) << main.constData();
        EXPECT_TRUE(main.contains("<xCertNegeren_Checked>FALSE</xCertNegeren_Checked>")) << main.constData();
        EXPECT_TRUE(read("VoranotoOstrelBase.xml").contains("<BasicVehicleTypes_Lines>")) << signal;
    }
}

// A full disk at the stop (a file-size limit on the program stands in for it; the program must not be ended by the
// limit's signal): the settings file that cannot be written whole is left exactly as it was, the failure is
// reported once, the program ends normally, and the next start reads the old settings.
TEST_F(ProgramTest, SettingsThatDoNotFitOnTheDiskLeaveTheOldFile)
{
    constexpr rlim_t kLimit = 1024; // the settings file the program writes is about three times as long
    write("VoranotoOstrel.xml", kStored);
    QFile::remove(dir.filePath(QStringLiteral("VoranotoOstrelBase.xml")));
    program.setChildProcessModifier([] {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = kLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    const ino_t inode = inodeOf("VoranotoOstrel.xml");
    runThenStop();

    EXPECT_EQ(read("VoranotoOstrel.xml"), kStored);
    EXPECT_EQ(inodeOf("VoranotoOstrel.xml"), inode) << "not even replaced";
    const QByteArray err = program.readAllStandardError();
    const QByteArray line = "Instellingen niet opgeslagen in " +
                            QFile::encodeName(dir.filePath(QStringLiteral("VoranotoOstrel.xml"))) +
                            ": het bestand wordt groter dan is toegestaan; het bestand is ongewijzigd.\n";
    EXPECT_EQ(err.count(line), 1) << err.constData();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("VoranotoOstrel.xml")),
              QStringList{QStringLiteral("VoranotoOstrel.xml")})
        << "no temporary file is left";

    // Without the limit the next run starts from the old settings and writes them whole.
    program.setChildProcessModifier({});
    runThenStop();
    EXPECT_TRUE(read("VoranotoOstrel.xml").contains("<Eigenaar_Text>123</Eigenaar_Text>"));
    EXPECT_GT(read("VoranotoOstrel.xml").size(), qsizetype(kLimit));
}

// A stop request while a service call hangs: the call is abandoned after the short grace a call on the wire gets
// at a stop, instead of after the no-progress limit; the operation ends as a failed call does, and the program
// closes as "SLUITEN" does.
TEST_F(ProgramTest, TermDuringAHangingServiceCallClosesAtOnceWithTheSettingsWritten)
{
    HostileServer service(HostileServer::Script{{HostileServer::Step::Hold}}); // takes the call, never answers
    write("VoranotoOstrel.xml",
          "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
          "    <Eigenaar_Text>123</Eigenaar_Text>\r\n    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"
          "    <xInterval_Text>60</xInterval_Text>\r\n    <xSoapServer_Text>" +
              service.url().toUtf8() + "</xSoapServer_Text>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n");
    QFile::remove(dir.filePath(QStringLiteral("VoranotoOstrelBase.xml")));
    program.start();
    ASSERT_TRUE(program.waitForStarted());
    // The reference lists are fetched ten seconds after start; the first fetch hangs.
    const QDeadlineTimer called(60000);
    while (service.requests() == 0 && !called.hasExpired() && program.state() == QProcess::Running)
        QThread::msleep(20);
    ASSERT_EQ(service.requests(), 1) << program.readAllStandardError().constData();
    QThread::msleep(300);

    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    const qint64 stopMs = stopping.elapsed();
    std::printf("SIGTERM during a hanging call: ended after %lld ms\n", static_cast<long long>(stopMs));
    // Waiting for the call would take the 60 s no-progress limit.
    EXPECT_LT(stopMs, 15000);
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(service.requests(), 1) << "no further call after the stop";
    const QByteArray main = read("VoranotoOstrel.xml");
    EXPECT_TRUE(main.contains("<xCertNegeren_Checked>FALSE</xCertNegeren_Checked>")) << main.constData();
    EXPECT_TRUE(main.contains("<Eigenaar_Text>123</Eigenaar_Text>")) << main.constData();
    EXPECT_TRUE(read("VoranotoOstrelBase.xml").contains("<BasicVehicleTypes_Lines>"));
}

TEST_F(ProgramTest, SettingsFileThatIsNotWellFormedStopsTheStart)
{
    const QByteArray broken = "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n"
                              "  <Hoofdscherm>\r\n    <xSV_Text>P</xSV>\r\n";
    write("VoranotoOstrelBase.xml", broken);
    write("VoranotoOstrel.xml", kStored);
    program.start();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(program.exitCode(), 0);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains("VoranotoOstrelBase.xml: regel 4, kolom")) << err.constData();
    EXPECT_EQ(read("VoranotoOstrelBase.xml"), broken);
    EXPECT_EQ(read("VoranotoOstrel.xml"), kStored);
}

// A settings file the program may not read (left behind by a start as another user, or by an editor): the start is
// refused with the file's name and exit status 1, and the file stays as it is. Run as root, the program is started
// as an unprivileged user, since root reads any file.
TEST_F(ProgramTest, SettingsFileItMayNotReadStopsTheStart)
{
    write("VoranotoOstrel.xml", kStored);
    const QString file = dir.filePath(QStringLiteral("VoranotoOstrel.xml"));
    constexpr gid_t kNobodyHere = 61234; // no user of the machine
    if (::geteuid() == 0) {
        ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
        // The folder itself is that user's (it takes its lock there); the settings file is root's, which the
        // program trusts but may not read.
        ASSERT_EQ(::chown(QFile::encodeName(dir.path()).constData(), kNobodyHere, kNobodyHere), 0);
        program.setChildProcessModifier([] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobodyHere) != 0 || ::setuid(kNobodyHere) != 0)
                ::_exit(99);
        });
    } else {
        ASSERT_TRUE(QFile::setPermissions(file, {}));
    }
    program.start();
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QByteArray err = program.readAllStandardError();
    EXPECT_TRUE(err.contains("Kan bestand") && err.contains("VoranotoOstrel.xml niet lezen")) << err.constData();
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(read("VoranotoOstrel.xml"), kStored);
}

// The wiring in the real program: with xAuto checked the reference lists come from the service simulator ten
// seconds after start, and reach the base settings file when the program closes.
TEST_F(ProgramTest, ReferenceListsArriveFromTheServiceAndAreStored)
{
    QProcess sim;
    const QString portFile = dir.filePath(QStringLiteral("sim.port"));
    sim.start(QStringLiteral(VORANO_BINARY_DIR "/tools/ostrel-sim/ostrel-sim"),
              {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--port-file"), portFile});
    ASSERT_TRUE(sim.waitForStarted());
    QDeadlineTimer simUp(30000);
    while (QFileInfo(portFile).size() == 0 && !simUp.hasExpired())
        QThread::msleep(20);
    QFile portText(portFile);
    ASSERT_TRUE(portText.open(QIODevice::ReadOnly));
    const QByteArray port = portText.readAll().trimmed();
    ASSERT_FALSE(port.isEmpty());

    write("VoranotoOstrel.xml",
          "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
          "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <BackupsMaken_Checked>TRUE</BackupsMaken_Checked>\r\n"
          "    <xInterval_Text>60</xInterval_Text>\r\n"
          "    <xSoapServer_Text>http://127.0.0.1:" + port + "/_external/external.cfc</xSoapServer_Text>\r\n"
          "  </Hoofdscherm>\r\n</Configuration>\r\n");
    program.start();
    ASSERT_TRUE(program.waitForStarted());
    const QDir copies(dir.filePath(QStringLiteral("Ostrel/Backups/In")));
    const QDeadlineTimer fetched(60000);
    while (copies.entryList(QDir::Files).size() < 4 && !fetched.hasExpired()
           && program.state() == QProcess::Running)
        QThread::msleep(100);
    EXPECT_EQ(copies.entryList(QDir::Files).size(), 4) << program.readAllStandardError().constData();
    QThread::msleep(500); // the last list goes into its memo right after its copy is written
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitCode(), 0);
    sim.terminate();
    sim.waitForFinished();

    const QByteArray base = read("VoranotoOstrelBase.xml");
    for (const char *memo : {"BasicVehicleTypes_Lines", "BasicIndications_Lines", "BasicAccessibilityEquipments_Lines",
                             "BasicProducts_Lines"}) {
        const qsizetype at = base.indexOf(QByteArray("<") + memo + ">");
        ASSERT_GE(at, 0) << memo;
        EXPECT_EQ(base.mid(at).indexOf("<Item0>"), base.mid(at).indexOf("\r\n") + 8) << memo << base.constData();
    }
}

// Started the way a service manager starts it: no display, no platform chosen. The program picks the offscreen
// platform itself, runs its timed cycle, and every log line reaches the day file and standard error. Started with
// the usual umask 022, what it writes is still for its own user and group only: the settings files (with the
// passwords, also one that was world-readable before) 0600, the copies, the day file and the database not readable
// by others.
TEST_F(ProgramTest, WithoutADisplayTheTimedCycleRunsAndTheLogIsKept)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    OstrelSim::TripGeneration trips;
    trips.count = 3;
    trips.firstId = 700001;
    sim.setGeneratedTrips(trips);
    const QString fault = QStringLiteral("Wagensoorten tijdelijk niet leverbaar: Łódź – € 🚕");
    sim.queueFault(QStringLiteral("RetrieveVehicleTypes"), fault);

    write("VoranotoOstrel.xml",
          "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
          "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xInterval_Text>1</xInterval_Text>\r\n"
          "    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n    <xBevestigen_Checked>TRUE</xBevestigen_Checked>\r\n"
          "    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n"
          "    <xSoapServer_Text>" +
              sim.url().toLatin1() +
              "</xSoapServer_Text>\r\n"
              "    <BackupsMaken_Checked>TRUE</BackupsMaken_Checked>\r\n"
              "  </Hoofdscherm>\r\n</Configuration>\r\n");
    ASSERT_TRUE(QFile::setPermissions(dir.filePath(QStringLiteral("VoranotoOstrel.xml")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    // A day file from long ago goes at start; one from last month stays.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("Logboek")));
    const QDate today = QDate::currentDate();
    const QString old = QStringLiteral("Logboek/") + today.addDays(-120).toString(QStringLiteral("yyyy-MM-dd.log"));
    const QString recent = QStringLiteral("Logboek/") + today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd.log"));
    write(old.toUtf8().constData(), "oud\n");
    write(recent.toUtf8().constData(), "recent\n");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    const QString runtime = dir.filePath(QStringLiteral("runtime"));
    ASSERT_TRUE(QDir().mkpath(runtime));
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    program.setProcessEnvironment(env);
    program.setChildProcessModifier([] { ::umask(022); });
    program.start();
    ASSERT_TRUE(program.waitForStarted());

    // The first timed cycle comes one minute after start; its confirmations show that it ran to the end.
    auto confirmations = [&] {
        int n = 0;
        for (const OstrelSim::Request &r : sim.requests())
            n += r.action == QLatin1String("ConfirmTrips");
        return n;
    };
    const QDeadlineTimer cycle(200000);
    while (confirmations() < trips.count && !cycle.hasExpired() && program.state() == QProcess::Running)
        QThread::msleep(200);
    EXPECT_EQ(confirmations(), trips.count) << program.readAllStandardError().constData();
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);

    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(err.count(QStringLiteral("Geen beeldscherm gevonden")), 1) << err.toStdString();
    EXPECT_FALSE(err.contains(QStringLiteral("could not connect to display"))) << err.toStdString();
    const QString dayFile = QStringLiteral("Logboek/") + today.toString(QStringLiteral("yyyy-MM-dd.log"));
    const QString logged = QString::fromUtf8(read(dayFile.toUtf8().constData()));
    const QStringList lines = logged.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty()) << err.toStdString();
    const QStringList withFault = lines.filter(fault);
    ASSERT_EQ(withFault.size(), 1) << logged.toStdString();
    // "dd-mm-yyyy hh:nn", two blanks, the message: the page's line, here and on standard error.
    EXPECT_TRUE(
        QRegularExpression(QStringLiteral("^\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d  ")).match(withFault.first()).hasMatch())
        << withFault.first().toStdString();
    for (const QString &line : lines)
        EXPECT_TRUE(err.contains(line)) << line.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(old)));
    EXPECT_EQ(read(recent.toUtf8().constData()), QByteArray("recent\n"));

    auto mode = [&](const QString &name) {
        struct stat st {};
        return ::stat(QFile::encodeName(dir.filePath(name)).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
    };
    for (const char *settings : {"VoranotoOstrel.xml", "VoranotoOstrelBase.xml"})
        EXPECT_EQ(QString::number(mode(QLatin1String(settings)), 8).toStdString(), "600") << settings;
    QStringList written{dayFile, QStringLiteral("Vorano/dispatch.sqlite"), QStringLiteral("Ostrel"),
                        QStringLiteral("Vorano"), QStringLiteral("TempDownloads")};
    // The copies, and the day folders they are in.
    for (const char *copies : {"Ostrel/Backups/In", "Ostrel/Backups/Uit"})
        for (QDirIterator it(dir.filePath(QLatin1String(copies)), QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            written << QDir(dir.path()).relativeFilePath(it.next());
    EXPECT_GT(written.size(), 5) << "no copies of the cycle";
    for (const QString &name : written) {
        const int m = mode(name);
        ASSERT_NE(m, -1) << name.toStdString();
        EXPECT_EQ(m & 07, 0) << name.toStdString() << " mode " << std::oct << m;
        EXPECT_EQ(m & 020, 0) << name.toStdString() << " mode " << std::oct << m;
    }
}

// A journal that went away or a terminal that closed: standard error is a pipe without a reader. The log lines
// written there must not end the program; they still reach the day file. The program starts with SIGPIPE at its
// default, as a service manager starts it, and its error comes before any network use.
TEST_F(ProgramTest, StandardErrorWithoutAReaderDoesNotEndTheProgram)
{
    write("VoranotoOstrel.xml", "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n"
                                "  <Hoofdscherm>\r\n    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"
                                "    <xSoapServer_Text>geen adres</xSoapServer_Text>\r\n"
                                "  </Hoofdscherm>\r\n</Configuration>\r\n");
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("stderr.fifo")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    program.setStandardErrorFile(QFile::decodeName(fifo));
    program.setChildProcessModifier([] {
        ::signal(SIGPIPE, SIG_DFL);
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        ::sigprocmask(SIG_UNBLOCK, &pipe, nullptr);
    });
    program.start();
    const bool started = program.waitForStarted(); // the program opened its end before it started
    ::close(reader);
    ASSERT_TRUE(started);

    // The reference lists come ten seconds after start; the first one fails and is logged.
    const QString dayFile =
        dir.filePath(QStringLiteral("Logboek/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd.log")));
    const QDeadlineTimer logged(60000);
    bool ended = false;
    while (QFileInfo(dayFile).size() == 0 && !logged.hasExpired() && !ended)
        ended = program.waitForFinished(100);
    ASSERT_FALSE(ended || program.waitForFinished(500))
        << "the program ended: " << (program.exitStatus() == QProcess::CrashExit ? "signal " : "status ")
        << program.exitCode();
    EXPECT_GT(QFileInfo(dayFile).size(), 0);
    ::kill(pid_t(program.processId()), SIGTERM);
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
}
