// The real program file as an administrator runs it unattended: the command line, the working folder, one
// program per folder, the journal lines, the status file and the service manager's notifications.
#include "OstrelSim.h"
#include "ProgramProcess.h"
#include "db/DispatchDb.h"
#include "settings/MemoryControls.h"
#include "support/HostileServer.h"
#include "support/LoopbackListener.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>

#include <cstdio>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{

// Every file and folder under a folder with its size and modification time: a start that only reports must
// leave all of it as it was.
QStringList snapshot(const QString &folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << QDir(folder).relativeFilePath(info.filePath()) + QLatin1Char(' ') + QString::number(info.size()) +
                       QLatin1Char(' ') + QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

// What a running program writes by itself while the test watches.
const QRegularExpression kOwnLog(QStringLiteral("^(?!Logboek/|status\\.prom)"));

QStringList relativeFiles(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        names << QDir(folder).relativeFilePath(it.next());
    names.sort();
    return names;
}

// An embedded database with its tables, as the program leaves it after its first retrieval.
void makeEmbeddedDatabase(const QString &folder)
{
    MemoryControls controls;
    controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    DispatchDb db(controls, folder, QStringLiteral("MAKE"));
    ASSERT_TRUE(QDir(folder).mkpath(QStringLiteral("Vorano")));
    db.open();
    db.close();
}

} // namespace

TEST_F(ProgramProcess, ReportingArgumentsStartNothingAndWriteNothing)
{
    write("VoranotoOstrel.xml", kMinimalSettings);
    const struct {
        QStringList arguments;
        int exitCode;
        const char *stdoutHas;
        const char *stderrHas;
    } cases[] = {
        {{QStringLiteral("--version")}, 0, "VoranoOstrel 1.", ""},
        {{QStringLiteral("-v")}, 0, "VoranoOstrel 1.", ""},
        {{QStringLiteral("--help")}, 0, "--data <map>", ""},
        {{QStringLiteral("--versie")}, 2, "", "Onbekend argument: --versie"},
        {{QStringLiteral("-x"), QStringLiteral("--check")}, 2, "", "Onbekend argument: -x"},
        {{QStringLiteral("--data")}, 2, "", "--data <map>"},
        {{QStringLiteral("iets")}, 2, "", "Onbekend argument: iets"},
    };
    const QStringList before = snapshot(dir.path());
    for (const auto &c : cases) {
        QThread::msleep(20); // a write would show in the modification time
        program.setArguments(c.arguments);
        program.start();
        ASSERT_TRUE(program.waitForFinished(30000)) << c.arguments.join(u' ').toStdString();
        const QByteArray out = program.readAllStandardOutput();
        const QByteArray err = program.readAllStandardError();
        EXPECT_EQ(program.exitCode(), c.exitCode) << c.arguments.join(u' ').toStdString() << err.constData();
        EXPECT_TRUE(out.contains(c.stdoutHas)) << out.constData();
        EXPECT_TRUE(err.contains(c.stderrHas)) << err.constData();
        if (c.exitCode != 0) {
            EXPECT_TRUE(out.isEmpty()) << out.constData();
        }
        EXPECT_EQ(snapshot(dir.path()), before) << c.arguments.join(u' ').toStdString();
    }
}

// With --data every file the program writes lands in that folder; the program's own folder keeps just the
// program file, and the program backup is still a copy of that file.
TEST_F(ProgramProcess, DataFolderHoldsEverythingTheProgramWrites)
{
    const QString data = dir.filePath(QStringLiteral("gegevens/vorano"));
    ASSERT_TRUE(QDir().mkpath(data));
    QFile settings(data + QStringLiteral("/VoranotoOstrel.xml"));
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write(kMinimalSettings);
    settings.close();
    program.setArguments({QStringLiteral("--data"), data});
    startAndWaitUntilRunning(data);
    // The program backup is made thirty seconds after start.
    const QDeadlineTimer backup(60000);
    while (!QFile::exists(data + QStringLiteral("/Backups/VoranoOstrel")) && !backup.hasExpired() &&
           program.state() == QProcess::Running)
        QThread::msleep(200);
    stop();
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().constData();

    QStringList outside = relativeFiles(dir.path()).filter(QRegularExpression(QStringLiteral("^(?!gegevens/|\\.runtime/)")));
    EXPECT_EQ(outside, QStringList{QStringLiteral("VoranoOstrel")});
    const QStringList inside = relativeFiles(data);
    for (const char *expected : {"VoranotoOstrel.xml", "VoranotoOstrelBase.xml", "VoranoOstrel.lock",
                                 "Backups/VoranoOstrel"})
        EXPECT_TRUE(inside.contains(QLatin1String(expected))) << expected << inside.join(u' ').toStdString();
    for (const char *folder : {"Ostrel/In", "Ostrel/Uit", "Ostrel/Backups/In", "Ostrel/Backups/Uit",
                               "Ostrel/Backups/Error", "TempDownloads", "Vorano", "Logboek"})
        EXPECT_TRUE(QFileInfo(data + QLatin1Char('/') + QLatin1String(folder)).isDir()) << folder;
    EXPECT_EQ(read("gegevens/vorano/Backups/VoranoOstrel"), read("VoranoOstrel"));
    EXPECT_TRUE(read("gegevens/vorano/VoranotoOstrel.xml").contains("<Eigenaar_Text>123</Eigenaar_Text>"));
}

// A second program in a folder where one runs goes away at once, with one line and without touching a file.
TEST_F(ProgramProcess, SecondProgramInTheSameFolderExitsWithStatusThree)
{
    write("VoranotoOstrel.xml", kMinimalSettings);
    startAndWaitUntilRunning(dir.path());
    QThread::msleep(500);
    const QStringList before = snapshot(dir.path()).filter(kOwnLog);

    QProcess second;
    second.setProcessEnvironment(program.processEnvironment());
    second.start(program.program(), {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 3);
    const QString err = QString::fromLocal8Bit(second.readAllStandardError());
    EXPECT_EQ(err, QStringLiteral("Er draait al een programma in de map %1; deze start stopt.\n")
                       .arg(QFileInfo(dir.path()).canonicalFilePath()));
    EXPECT_EQ(snapshot(dir.path()).filter(kOwnLog), before);

    stop();
    EXPECT_EQ(program.exitCode(), 0);
    // The lock goes with the program: the next start runs.
    startAndWaitUntilRunning(dir.path());
    stop();
    EXPECT_EQ(program.exitCode(), 0);
}

// A data folder the program may not write is a problem of the start (status 1, which the unit does not restart),
// not "another program runs here" (status 3). Run as a user that is not the folder's owner.
TEST_F(ProgramProcess, ADataFolderItMayNotWriteIsAProblemOfTheStart)
{
    const QString data = dir.filePath(QStringLiteral("alleen-lezen"));
    ASSERT_TRUE(QDir().mkpath(data));
    QStringList arguments{QStringLiteral("--data"), data};
    if (::geteuid() == 0) {
        // Root writes everywhere: the program runs as nobody from the test's folder, passable for it.
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
        arguments.prepend(program.program());
        arguments = QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                QStringLiteral("--clear-groups")} +
                    arguments;
        program.setProgram(QStringLiteral("setpriv"));
    } else {
        ASSERT_EQ(::chmod(QFile::encodeName(data).constData(), 0555), 0);
    }
    program.setArguments(arguments);
    program.start();
    ASSERT_TRUE(program.waitForFinished(30000));
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("Kan het slotbestand %1/VoranoOstrel.lock niet openen (").arg(data)))
        << err.toStdString();
    EXPECT_TRUE(QDir(data).isEmpty());
}

// A timed retrieval under a service manager, with the example settings file filled in: every line on standard
// error carries its syslog priority, the start has nothing to warn about, the cycle says what it did in one line,
// and the status file counts the trips.
TEST_F(ProgramProcess, JournalLinesAndStatusFileOfATimedRetrieval)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    OstrelSim::TripGeneration trips;
    trips.count = 3;
    trips.firstId = 810001;
    sim.setGeneratedTrips(trips);
    const QString fault = QStringLiteral("Wagensoorten tijdelijk niet leverbaar: Łódź – €");
    sim.queueFault(QStringLiteral("RetrieveVehicleTypes"), fault);
    // The example settings file of a server, filled in as the README says: the service and the database.
    QFile example(QStringLiteral(VORANO_SOURCE_DIR "/packaging/VoranotoOstrel.xml"));
    ASSERT_TRUE(example.open(QIODevice::ReadOnly));
    QByteArray settings = example.readAll();
    for (const auto &[element, value] :
         {std::pair{QByteArray("xSoapServer_Text"), sim.url().toLatin1()}, {"xLoginDriver_Text", "SQLite"},
          {"xLoginDatabase_Text", "Vorano/dispatch.sqlite"}}) {
        const qsizetype from = settings.indexOf("<" + element + ">") + element.size() + 2;
        const qsizetype to = settings.indexOf("</" + element + ">");
        ASSERT_TRUE(from > element.size() + 1 && to > from) << element.constData();
        settings.replace(from, to - from, value);
    }
    write(QStringLiteral("VoranotoOstrel.xml"), settings);

    // The service manager hands the program a stream and names it in JOURNAL_STREAM (device:inode).
    const QString errFile = dir.filePath(QStringLiteral("stderr.log"));
    write(QStringLiteral("stderr.log"), {});
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(errFile).constData(), &st), 0);
    QProcessEnvironment env = program.processEnvironment();
    env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino));
    program.setProcessEnvironment(env);
    program.setStandardErrorFile(errFile);
    startAndWaitUntilRunning(dir.path());

    const QDeadlineTimer cycle(200000);
    auto counted = [&] { return read(QStringLiteral("status.prom")).contains("vorano_trips_total{result=\"stored\"} 3\n"); };
    while (!counted() && !cycle.hasExpired() && program.state() == QProcess::Running)
        QThread::msleep(200);
    const QByteArray status = read(QStringLiteral("status.prom"));
    EXPECT_TRUE(counted()) << status.constData() << read(QStringLiteral("stderr.log")).constData();
    EXPECT_TRUE(status.contains("\nvorano_up 1\n")) << status.constData();
    EXPECT_TRUE(status.contains("\nvorano_cycle_failures_total{cycle=\"retrieval\"} 0\n")) << status.constData();
    EXPECT_TRUE(status.contains("\nvorano_cycle_failures_total{cycle=\"reference\"} 1\n")) << status.constData();
    stop();
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(read(QStringLiteral("status.prom")).contains("\nvorano_up 0\n"));

    const QStringList lines =
        QString::fromUtf8(read(QStringLiteral("stderr.log"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression line(QStringLiteral("^<([346])>\\d\\d-\\d\\d-\\d{4} \\d\\d:\\d\\d  (.*)$"));
    QStringList errors;
    QStringList information;
    for (const QString &l : lines) {
        // Every line, the program's and Qt's own, carries a priority. The one warning is the database file made
        // at the first retrieval: nothing in the settings, and no notice of Qt's about a window feature the
        // offscreen platform lacks (that is information).
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[346]>")).match(l).hasMatch()) << l.toStdString();
        if (l.startsWith(QLatin1String("<4>"))) {
            EXPECT_TRUE(l.endsWith(QLatin1String("bestond niet en is nieuw aangemaakt."))) << l.toStdString();
        }
        const QRegularExpressionMatch m = line.match(l);
        if (m.hasMatch())
            (m.captured(1) == QLatin1String("3") ? errors : information) << m.captured(2);
    }
    ASSERT_EQ(errors.size(), 1) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(errors.first().contains(fault)) << errors.first().toStdString();
    ASSERT_GE(information.size(), 3) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(QRegularExpression(
                    QStringLiteral("^Gestart: versie \\d+\\.\\d+\\.\\d+\\.\\d+, map %1, database SQLite "
                                   "%1/Vorano/dispatch\\.sqlite, service %2\\.$")
                        .arg(QRegularExpression::escape(QFileInfo(dir.path()).canonicalFilePath()),
                             QRegularExpression::escape(sim.url())))
                    .match(information.first())
                    .hasMatch())
        << information.first().toStdString();
    EXPECT_TRUE(information.contains(
        QStringLiteral("Ritten opgehaald: 3 opgeslagen, 0 gewijzigd, 0 geannuleerd, 3 bevestigd, 0 geweigerd.")))
        << lines.join(u'\n').toStdString();
    EXPECT_EQ(information.last(), QStringLiteral("Gestopt (signaal SIGTERM); instellingen geschreven."));
    // The day file carries the same lines without the priorities.
    const QByteArray day =
        read(QStringLiteral("Logboek/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd.log")));
    EXPECT_TRUE(day.contains("Ritten opgehaald: 3 opgeslagen")) << day.constData();
    EXPECT_FALSE(day.contains("<6>")) << day.constData();
}

namespace
{

// The service manager's end of the notify protocol: a datagram socket of the test's own.
class NotifySocket
{
  public:
    explicit NotifySocket(const QString &path)
        : m_path(path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(), size_t(std::min<qsizetype>(name.size(), 100)));
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~NotifySocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool bound() const { return m_bound; }

    // The messages that arrived since the last call, each with the test's time of reading.
    QList<std::pair<qint64, QByteArray>> take(const QElapsedTimer &clock)
    {
        QList<std::pair<qint64, QByteArray>> messages;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            messages.append({clock.elapsed(), QByteArray(buffer, n)});
        return messages;
    }

  private:
    QString m_path;
    int m_fd = -1;
    bool m_bound = false;
};

} // namespace

// Under a service manager with a watchdog: ready once the window and timers run, the watchdog fed also while a
// cycle waits on a service that does not answer (within the call's own limits), the status after a cycle and
// stopping at the end.
TEST_F(ProgramProcess, NotifiesTheServiceManagerAndFeedsTheWatchdogDuringAHangingCall)
{
    HostileServer service(HostileServer::Script{{HostileServer::Step::Hold}});
    write(QStringLiteral("VoranotoOstrel.xml"),
          "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
          "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xInterval_Text>60</xInterval_Text>\r\n"
          "    <xSoapServer_Text>" + service.url().toUtf8() + "</xSoapServer_Text>\r\n"
          "  </Hoofdscherm>\r\n</Configuration>\r\n");
    NotifySocket socket(dir.filePath(QStringLiteral("notify")));
    ASSERT_TRUE(socket.bound());
    QProcessEnvironment env = program.processEnvironment();
    env.insert(QStringLiteral("NOTIFY_SOCKET"), dir.filePath(QStringLiteral("notify")));
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1000000"));
    program.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    program.start();
    ASSERT_TRUE(program.waitForStarted());

    // The socket is read all the time, as a service manager does: the sender waits when its queue is full.
    QList<std::pair<qint64, QByteArray>> messages;
    // The reference lists are fetched ten seconds after start; the first call is taken and never answered.
    const QDeadlineTimer called(60000);
    while (service.requests() == 0 && !called.hasExpired() && program.state() == QProcess::Running) {
        QThread::msleep(20);
        messages += socket.take(clock);
    }
    ASSERT_EQ(service.requests(), 1);
    const qint64 hangStart = clock.elapsed();
    messages += socket.take(clock);
    // Watch until the program has been blocked in the call for three watchdog intervals.
    while (clock.elapsed() - hangStart < 3500) {
        QThread::msleep(100);
        messages += socket.take(clock);
    }
    ::kill(pid_t(program.processId()), SIGTERM);
    // A call on the wire gets a short grace at a stop, and the watchdog is fed meanwhile: keep reading.
    const QDeadlineTimer stopped(30000);
    while (!program.waitForFinished(100) && !stopped.hasExpired())
        messages += socket.take(clock);
    ASSERT_EQ(program.state(), QProcess::NotRunning);
    EXPECT_EQ(program.exitCode(), 0);
    messages += socket.take(clock);

    QByteArrayList texts;
    int fedDuringTheHang = 0;
    for (const auto &[at, text] : messages) {
        texts << text;
        fedDuringTheHang += text == "WATCHDOG=1" && at - hangStart > 2500;
    }
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.first(), QByteArray("READY=1\nSTATUS=Laatste ophaalactie nog niet; retour nog niet"));
    EXPECT_GT(fedDuringTheHang, 0) << texts.join('|').constData();
    // While the call hangs the status says what is under way.
    EXPECT_TRUE(std::any_of(texts.cbegin(), texts.cend(), [](const QByteArray &text) {
        return text.startsWith("STATUS=Laatste ophaalactie nog niet; retour nog niet; bezig met het ophalen van de "
                               "basistabellen sinds ");
    })) << texts.join('|').constData();
    EXPECT_TRUE(texts.contains("STOPPING=1")) << texts.join('|').constData();
    // The fetch the stop cut short counts neither as a failure nor as a success; the status went out before the
    // stop.
    const qsizetype stopping = texts.indexOf("STOPPING=1");
    EXPECT_GT(texts.indexOf(QByteArray("STATUS=Laatste ophaalactie nog niet; retour nog niet")), 0);
    EXPECT_GT(stopping, 0);
}

// SIGHUP reads both settings files again; an edit on disk without it survives the stop, and the program's own
// values go beside the file.
TEST_F(ProgramProcess, ReloadOnHangupAndEditsOnDiskSurviveTheStop)
{
    write(QStringLiteral("VoranotoOstrel.xml"), kMinimalSettings);
    startAndWaitUntilRunning(dir.path());
    QByteArray edited = kMinimalSettings;
    edited.replace("<Eigenaar_Text>123</Eigenaar_Text>", "<Eigenaar_Text>456</Eigenaar_Text>");
    write(QStringLiteral("VoranotoOstrel.xml"), edited);
    ::kill(pid_t(program.processId()), SIGHUP);
    const QString day = QStringLiteral("Logboek/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd.log"));
    const QDeadlineTimer reloaded(30000);
    while (!read(day).contains("Instellingen opnieuw gelezen uit ") && !reloaded.hasExpired())
        QThread::msleep(50);
    EXPECT_TRUE(read(day).contains("Instellingen opnieuw gelezen uit ")) << read(day).constData();
    stop();
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(read(QStringLiteral("VoranotoOstrel.xml")).contains("<Eigenaar_Text>456</Eigenaar_Text>"));
    EXPECT_TRUE(read(QStringLiteral("VoranotoOstrel.xml")).contains("<xStoringMinuten_Text>30</xStoringMinuten_Text>"));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("VoranotoOstrel.xml.nieuw"))));

    // Edited while it runs, without a reload.
    startAndWaitUntilRunning(dir.path());
    QByteArray byHand = read(QStringLiteral("VoranotoOstrel.xml"));
    byHand.replace("<Eigenaar_Text>456</Eigenaar_Text>", "<Eigenaar_Text>789</Eigenaar_Text>");
    write(QStringLiteral("VoranotoOstrel.xml"), byHand);
    stop();
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(read(QStringLiteral("VoranotoOstrel.xml")), byHand);
    EXPECT_TRUE(read(QStringLiteral("VoranotoOstrel.xml.nieuw")).contains("<Eigenaar_Text>456</Eigenaar_Text>"));
    const QString err = QString::fromUtf8(program.readAllStandardError());
    EXPECT_EQ(err.count(QStringLiteral("VoranotoOstrel.xml is gewijzigd sinds het programma het las en blijft zoals "
                                       "het is; de instellingen van het programma staan in ")),
              1)
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("VoranotoOstrelBase.xml.nieuw"))));
}

// --check on a table of settings files: one line per problem, exit 1; nothing wrong, exit 0; nothing written.
TEST_F(ProgramProcess, CheckReportsEachProblemOnALine)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    makeEmbeddedDatabase(dir.path());
    auto settings = [&](const QByteArray &lines) {
        return "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n" + lines +
               "  </Hoofdscherm>\r\n</Configuration>\r\n";
    };
    const QByteArray processing = "    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n"
                                  "    <xBevestigen_Checked>TRUE</xBevestigen_Checked>\r\n";
    const QByteArray good = "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xBezet_Checked>TRUE</xBezet_Checked>\r\n"
                            "    <xInterval_Text>5 min</xInterval_Text>\r\n" + processing;
    const QByteArray sqlite = "    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n";
    const QByteArray service = "    <xSoapServer_Text>" + sim.url().toUtf8() + "</xSoapServer_Text>\r\n";
    const struct {
        const char *name;
        QByteArray lines;
        int exitCode;
        const char *reported;
    } cases[] = {
        {"typo", good + sqlite + service + "    <xAuto_Checkd>TRUE</xAuto_Checkd>\r\n", 1,
         "VoranotoOstrel.xml: de instelling xAuto_Checkd is onbekend en wordt niet gebruikt; bedoeld is misschien "
         "xAuto_Checked."},
        {"interval", sqlite + service + processing + "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"
                                        "    <xBezet_Checked>TRUE</xBezet_Checked>\r\n"
                                        "    <xInterval_Text>abc</xInterval_Text>\r\n", 1,
         "xInterval \"abc\" is geen geldig aantal minuten; het programma haalt dan elke minuut ritten op."},
        {"example address", good + sqlite, 1,
         "xSoapServer is nog het voorbeeldadres https://ritplanning.example.org/_external/external.cfc; vul het adres "
         "van de service in."},
        {"database", good + service + "    <xLoginServer_Text>127.0.0.1,1</xLoginServer_Text>\r\n", 1,
         "De database gaat niet open: "},
        {"service", good + sqlite + "    <xSoapServer_Text>http://127.0.0.1:1/_external/external.cfc</xSoapServer_Text>\r\n",
         1, "De service antwoordt niet: "},
        {"off", sqlite + service, 1, "Automatische controle (xAuto) staat uit: het programma haalt geen ritten op."},
        {"processing off", sqlite + service + "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n"
                                              "    <xBezet_Checked>TRUE</xBezet_Checked>\r\n", 1,
         "Ritten verwerken (xVerwerken) staat uit: opgehaalde ritten worden niet in de planning gezet en niet "
         "bevestigd."},
        {"all good", good + sqlite + service, 0, "Geen problemen gevonden in "},
    };
    for (const auto &c : cases) {
        write(QStringLiteral("VoranotoOstrel.xml"), settings(c.lines));
        const QStringList before = snapshot(dir.path());
        QThread::msleep(20);
        program.setArguments({QStringLiteral("--check")});
        program.start();
        ASSERT_TRUE(program.waitForFinished(60000)) << c.name;
        const QStringList lines =
            QString::fromUtf8(program.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        EXPECT_EQ(program.exitCode(), c.exitCode) << c.name << " " << lines.join(u'\n').toStdString();
        const QString joined = lines.join(u'\n');
        EXPECT_EQ(lines.filter(QString::fromUtf8(c.reported)).size(), 1) << c.name << "\n" << joined.toStdString();
        // The one problem of the case and nothing else (the off case has two).
        if (c.exitCode == 1 && std::string(c.name) != "off") {
            EXPECT_EQ(lines.size(), 1) << c.name << "\n" << joined.toStdString();
        }
        EXPECT_EQ(snapshot(dir.path()), before) << c.name;
    }
    EXPECT_EQ(sim.requestCount(), 6) << "one read-only request per check that reaches the service";
    for (const OstrelSim::Request &r : sim.requests())
        EXPECT_EQ(r.action, QLatin1String("RetrieveVehicleTypes"));
}

// The problems --check finds without the database and the service are said at start and again after SIGHUP, each
// as a warning; --check gives them as its lines and exits 1.
TEST_F(ProgramProcess, CheckLinesAreWarningsAtStartAndAfterAReload)
{
    OstrelSim sim;
    ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
    makeEmbeddedDatabase(dir.path()); // --check then has no note about a database still to be made
    const QByteArray good = "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xBezet_Checked>TRUE</xBezet_Checked>\r\n"
                            "    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n"
                            "    <xSoapServer_Text>" + sim.url().toUtf8() + "</xSoapServer_Text>\r\n";
    const QByteArray processing = "    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n"
                                  "    <xBevestigen_Checked>TRUE</xBevestigen_Checked>\r\n";
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    const struct {
        const char *name;
        QByteArray lines;   // in the section Hoofdscherm
        QByteArray section; // after it
        QString reported;
    } cases[] = {
        {"section", good + processing,
         "  <HoofdScherm>\r\n    <xInterval_Text>5</xInterval_Text>\r\n  </HoofdScherm>\r\n",
         QStringLiteral("VoranotoOstrel.xml: de sectie HoofdScherm is onbekend en wordt niet gelezen; de instellingen "
                        "staan in de sectie Hoofdscherm.")},
        {"check box", good + processing + "    <BackupsMaken_Checked>ja</BackupsMaken_Checked>\r\n", "",
         QStringLiteral("VoranotoOstrel.xml: BackupsMaken_Checked \"ja\" is geen TRUE of FALSE en wordt niet gelezen; "
                        "het vakje blijft uit.")},
        {"database folder", good + processing + "    <xLoginDatabase_Text>ontbreekt/ritten.sqlite</xLoginDatabase_Text>\r\n",
         "",
         QStringLiteral("xLoginDatabase: de map %1/ontbreekt van het databasebestand bestaat niet; maak de map of kies "
                        "een ander bestand.")
             .arg(folder)},
        {"misspelt name", good + processing + "    <xIntervall_Text>5</xIntervall_Text>\r\n", "",
         QStringLiteral("VoranotoOstrel.xml: de instelling xIntervall_Text is onbekend en wordt niet gebruikt; bedoeld "
                        "is misschien xInterval_Text.")},
        {"processing off", good, "",
         QStringLiteral("Ritten verwerken (xVerwerken) staat uit: opgehaalde ritten worden niet in de planning gezet "
                        "en niet bevestigd.")},
        {"confirmation off", good + "    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n", "",
         QStringLiteral("Automatisch bevestigen (xBevestigen) staat uit: nieuwe ritten worden opgeslagen maar niet "
                        "bevestigd, en de service biedt ze steeds opnieuw aan.")},
    };
    useServerProgram();
    const QString errFile = dir.filePath(QStringLiteral("stderr.log"));
    const QString day = QStringLiteral("Logboek/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd.log"));
    for (const auto &c : cases) {
        write(QStringLiteral("VoranotoOstrel.xml"),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n" + c.lines +
                  "  </Hoofdscherm>\r\n" + c.section + "</Configuration>\r\n");
        QFile::remove(dir.filePath(QStringLiteral("VoranotoOstrelBase.xml")));
        QFile::remove(dir.filePath(day));
        program.setArguments({QStringLiteral("--check")});
        program.setStandardErrorFile(QString());
        QProcessEnvironment env = program.processEnvironment();
        env.remove(QStringLiteral("JOURNAL_STREAM"));
        program.setProcessEnvironment(env);
        program.start();
        ASSERT_TRUE(program.waitForFinished(60000)) << c.name;
        const QString checked = QString::fromUtf8(program.readAllStandardOutput());
        EXPECT_EQ(program.exitCode(), 1) << c.name;
        EXPECT_EQ(checked.toStdString(), (c.reported + QLatin1Char('\n')).toStdString()) << c.name;

        write(QStringLiteral("stderr.log"), {});
        struct stat st = {};
        ASSERT_EQ(::stat(QFile::encodeName(errFile).constData(), &st), 0);
        env.insert(QStringLiteral("JOURNAL_STREAM"), QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino));
        program.setProcessEnvironment(env);
        program.setStandardErrorFile(errFile);
        program.setArguments({});
        startAndWaitUntilRunning(dir.path());
        ::kill(pid_t(program.processId()), SIGHUP);
        const QDeadlineTimer reloaded(30000);
        while (!read(QStringLiteral("stderr.log")).contains("na het herladen") && !reloaded.hasExpired())
            QThread::msleep(50);
        stop();
        const QStringList lines = QString::fromUtf8(read(QStringLiteral("stderr.log"))).split(QLatin1Char('\n'));
        for (const char *when : {"bij de start", "na het herladen"}) {
            const QString warning = QStringLiteral("Instellingen %1: %2").arg(QLatin1String(when), c.reported);
            QStringList found;
            for (const QString &l : lines)
                if (l.endsWith(warning))
                    found << l;
            ASSERT_EQ(found.size(), 1) << c.name << " " << when << "\n" << lines.join(u'\n').toStdString();
            EXPECT_TRUE(found.first().startsWith(QLatin1String("<4>"))) << found.first().toStdString();
        }
        // Each problem once at start and once at the reload: nothing else is wrong in the case.
        EXPECT_EQ(lines.filter(QStringLiteral("Instellingen bij de start: ")).size(), 1) << c.name;
        const QStringList reload = lines.filter(QStringLiteral("Instellingen opnieuw gelezen uit "));
        ASSERT_EQ(reload.size(), 1) << c.name;
        EXPECT_FALSE(reload.first().contains(QLatin1String("VoranotoOstrelBase.xml"))) << reload.first().toStdString();
    }
}

namespace
{

// A database server that drips its answer: the pre-login answer's header announces 65,535 bytes, then one byte
// comes every second, so a driver that only bounds silence waits for hours.
class DrippingDatabase
{
  public:
    DrippingDatabase()
        : m_listener("DrippingDatabase", [this](int fd) { serve(fd); })
    {
    }
    quint16 port() const { return m_listener.port(); }
    int connections() const { return m_connections; }

  private:
    void serve(int fd)
    {
        ++m_connections;
        char request[512];
        if (::recv(fd, request, sizeof request, 0) <= 0)
            return;
        const char header[] = {0x04, 0x01, char(0xff), char(0xff), 0x00, 0x00, 0x01, 0x00};
        if (::send(fd, header, sizeof header, MSG_NOSIGNAL) != sizeof header)
            return;
        while (!m_listener.stopping()) {
            for (int i = 0; i < 10 && !m_listener.stopping(); ++i)
                QThread::msleep(100);
            if (::send(fd, "\x00", 1, MSG_NOSIGNAL) != 1)
                return;
        }
    }

    std::atomic<int> m_connections{0};
    LoopbackListener m_listener;
};

QByteArray manyAttributes(int count)
{
    QByteArray element = "<kwp version=\"3.8\"><x";
    element.reserve(count * 12 + 64);
    for (int i = 0; i < count; ++i)
        element += " a" + QByteArray::number(i) + "=\"\"";
    return element + "/></kwp>";
}

} // namespace

// The server program maps no widget or GUI library and loads no platform plugin.
TEST_F(ProgramProcess, TheServerProgramLoadsNoWidgetOrGuiLibrary)
{
    useServerProgram();
    write(QStringLiteral("VoranotoOstrel.xml"), kMinimalSettings);
    startAndWaitUntilRunning(dir.path());
    QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
    ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    EXPECT_TRUE(mapped.contains("libQt6Core")) << "the maps were read";
    for (const char *library : {"libQt6Widgets", "libQt6Gui", "/platforms/", "libxkbcommon"})
        EXPECT_FALSE(mapped.contains(library)) << library;
    stop();
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardError().contains("zonder venster"));
}

// What used to stall the thread that answers the service manager: a reply with 300,000 attributes on one
// element, and a database server that drips its answer. The watchdog is fed on time while the work goes on, and
// SIGTERM ends the program within the stop grace.
TEST_F(ProgramProcess, AStallingReplyOrDatabaseKeepsTheWatchdogFedAndTheStopPrompt)
{
    struct Case {
        const char *name;
        bool database; // the dripping database, else the reply with many attributes
    } cases[] = {{"reply with 300,000 attributes", false}, {"dripping database", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        const QByteArray attributes = HostileServer::envelope(manyAttributes(300000));
        HostileServer service(HostileServer::Script{{HostileServer::Step::Send,
                                                     HostileServer::head(attributes.size()) + attributes}});
        DrippingDatabase database;
        // With the database case the service refuses at once, so nothing but the database stalls.
        const QByteArray url = c.database ? QByteArray("http://127.0.0.1:1/_external/external.cfc") : service.url().toUtf8();
        QByteArray settings = "    <xAuto_Checked>TRUE</xAuto_Checked>\r\n    <xBezet_Checked>TRUE</xBezet_Checked>\r\n"
                              "    <xSoapServer_Text>" + url + "</xSoapServer_Text>\r\n";
        if (c.database)
            settings += "    <xLoginDriver_Text>FreeTDS</xLoginDriver_Text>\r\n    <xLoginServer_Text>127.0.0.1," +
                        QByteArray::number(database.port()) +
                        "</xLoginServer_Text>\r\n    <xLoginDatabase_Text>planning</xLoginDatabase_Text>\r\n"
                        "    <xLoginSQL_Text>sa</xLoginSQL_Text>\r\n";
        QFile file(folder.filePath(QStringLiteral("VoranotoOstrel.xml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n" + settings +
                   "  </Hoofdscherm>\r\n</Configuration>\r\n");
        file.close();

        useServerProgram();
        NotifySocket socket(folder.filePath(QStringLiteral("notify")));
        ASSERT_TRUE(socket.bound());
        QProcessEnvironment env = program.processEnvironment();
        env.insert(QStringLiteral("NOTIFY_SOCKET"), folder.filePath(QStringLiteral("notify")));
        constexpr qint64 kPeriodMs = 2000;
        env.insert(QStringLiteral("WATCHDOG_USEC"), QString::number(kPeriodMs * 1000));
        program.setProcessEnvironment(env);
        program.setArguments({QStringLiteral("--data"), folder.path()});
        QElapsedTimer clock;
        clock.start();
        program.start();
        ASSERT_TRUE(program.waitForStarted());
        // The reference lists are fetched 10 s after the start, the return messages (which open the database)
        // after a minute.
        QList<std::pair<qint64, QByteArray>> messages;
        const QDeadlineTimer stalled(120000);
        auto stalling = [&] { return c.database ? database.connections() > 0 : service.requests() > 0; };
        while (!stalling() && !stalled.hasExpired() && program.state() == QProcess::Running) {
            QThread::msleep(20);
            messages += socket.take(clock);
        }
        ASSERT_TRUE(stalling()) << program.readAllStandardError().constData();
        const qint64 stallStart = clock.elapsed();
        while (clock.elapsed() - stallStart < 8000) {
            QThread::msleep(20);
            messages += socket.take(clock);
        }
        ::kill(pid_t(program.processId()), SIGTERM);
        QElapsedTimer stopping;
        stopping.start();
        while (!program.waitForFinished(20) && stopping.elapsed() < 30000)
            messages += socket.take(clock);
        const qint64 stopMs = stopping.elapsed();
        ASSERT_EQ(program.state(), QProcess::NotRunning);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_LT(stopMs, 6000) << "SIGTERM honoured after " << stopMs << " ms";

        // The pings during the stall: a quarter period apart, so even a late one comes well within the period.
        qint64 last = stallStart;
        qint64 widest = 0;
        int pings = 0;
        for (const auto &[at, text] : messages) {
            if (text != "WATCHDOG=1" || at < stallStart)
                continue;
            widest = std::max(widest, at - last);
            last = at;
            ++pings;
        }
        // Pinged every quarter period; on a shared machine a ping may come late, but never a whole period late,
        // which is when a service manager would act.
        std::printf("%s: %d pings, widest gap %lld ms\n", c.name, pings, static_cast<long long>(widest));
        EXPECT_GE(pings, 8000 / kPeriodMs * 2);
        EXPECT_LT(widest, kPeriodMs) << "the widest gap between two pings during the stall";
        program.setArguments({});
    }
}

// --check against the dripping database ends at the connect deadline with one line about it.
TEST_F(ProgramProcess, CheckGivesUpOnADrippingDatabaseAtTheConnectDeadline)
{
    DrippingDatabase database;
    write(QStringLiteral("VoranotoOstrel.xml"),
          "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<Configuration>\r\n  <Hoofdscherm>\r\n"
          "    <xLoginDriver_Text>FreeTDS</xLoginDriver_Text>\r\n    <xLoginServer_Text>127.0.0.1," +
              QByteArray::number(database.port()) + "</xLoginServer_Text>\r\n  </Hoofdscherm>\r\n</Configuration>\r\n");
    useServerProgram();
    program.setArguments({QStringLiteral("--check")});
    program.start();
    ASSERT_TRUE(program.waitForFinished(120000));
    EXPECT_EQ(program.exitCode(), 1);
    EXPECT_GT(database.connections(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().contains("niet binnen 30 seconden tot stand gebracht"));
}
