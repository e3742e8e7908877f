// What the client does when the service or the database misbehaves: for every fault, nothing is half-stored, no
// outbox event is marked accepted without a "200", the trips and events that were not handled come again once the
// fault is gone, each failed run leaves one log line, and the next run works.

#include "link/SoapTransport.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "support/CycleHarness.h"
#include "support/FileSizeLimit.h"
#include "support/HostileServer.h"
#include "support/PgServer.h"
#include "support/ProcessMemory.h"
#include "support/SwallowingProxy.h"
#include "support/TestNetwork.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>
#include <optional>

namespace
{

constexpr int kTrips = 3;
constexpr int kEvents = 3;

OstrelSim::TripGeneration generatedTrips(int count, int firstId = 100001)
{
    OstrelSim::TripGeneration g;
    g.count = count;
    g.firstId = firstId;
    return g;
}

OstrelSim::RawReply rawReply(int status, const QByteArray &reason, const QByteArray &contentType,
                             const QByteArray &body)
{
    OstrelSim::RawReply r;
    r.status = status;
    r.reason = reason;
    r.contentType = contentType;
    r.body = body;
    return r;
}

class FaultMatrix : public ::testing::Test, public CycleHarness
{
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(ok()) << error().toStdString();
        ctx().service = [](const QString &url) {
            ServiceProxyOptions options;
            options.noProgressTimeoutMs = 2000; // the hang cell waits this long
            return CreateServiceProxy(TestNetwork(), url, options);
        };
        sim.setGeneratedTrips(generatedTrips(kTrips));
    }

    // One ride of this owner with a vehicle and kEvents pending events on it.
    void seedEvents()
    {
        db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (7, 'AB-12-CD', 107)"));
        db.exec(QStringLiteral("insert into Planning (pla_eigenaar, pla_extern, pla_wagen, pla_status, pla_temp) "
                               "values ('007', 900001, 7, 'V', 'seed')"));
        QSqlQuery id = db.exec(QStringLiteral("select pla_id from Planning where pla_temp = 'seed'"));
        ASSERT_TRUE(id.next());
        const int ride = id.value(0).toInt();
        id.finish();
        for (int i = 0; i < kEvents; ++i)
            db.exec(QStringLiteral("insert into koppelingen (kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                                   "kop_datumtijd) values (?, ?, 0, '007', ?)"),
                    {ride, i == kEvents - 1 ? 0 : 2 + i,
                     QDateTime(QDate(2026, 1, 1), QTime(8, i)).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
        db.close();
    }

    // A plain file where a folder should be: nothing can be created below it, even by root.
    static void blockFolder(const QString &path)
    {
        QFile blocker(path);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    int rides() { return scalar(QStringLiteral("select count(*) from Planning where pla_temp <> 'seed'")).toInt(); }
    int eventsWithStatus(int status)
    {
        return scalar(QStringLiteral("select count(*) from koppelingen where kop_status = %1").arg(status)).toInt();
    }
    int requests(const QString &action)
    {
        int n = 0;
        for (const OstrelSim::Request &r : sim.requests())
            n += r.action == action;
        return n;
    }

    // Every stored ride is whole: the mapping writes its text, date and trip number together or not at all.
    void expectNoHalfRides()
    {
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from Planning where pla_temp <> 'seed' and "
                                        "(pla_tekst is null or pla_tekst = '' or pla_datum is null or "
                                        "pla_extern is null or pla_status is null)"))
                      .toInt(),
                  0);
    }

    // The fault is gone: the trips and events that were not handled come again and are handled once.
    void expectRecovery(int ridesBefore)
    {
        sim.clearScript();
        log.clear();
        import();
        retour();
        EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(rides(), ridesBefore + kTrips);
        EXPECT_EQ(eventsWithStatus(0), 0);
        EXPECT_EQ(eventsWithStatus(1), kEvents);
        expectNoHalfRides();
    }
};

// A service fault, scripted for every action of one run.
struct ServiceFault {
    const char *name;
    std::function<void(OstrelSim &, const QString &action)> inject;
};

const ServiceFault kServiceFaults[] = {
    {"ServiceDown", nullptr}, // the URL points at a port where nothing listens
    {"NotFound",
     [](OstrelSim &sim, const QString &a) {
         sim.queueRaw(a, rawReply(404, "Not Found", "text/xml; charset=utf-8", "nee"));
     }},
    {"SoapFault",
     [](OstrelSim &sim, const QString &a) { sim.queueFault(a, QStringLiteral("Ritplanning niet beschikbaar")); }},
    {"HtmlError",
     [](OstrelSim &sim, const QString &a) {
         sim.queueRaw(a, rawReply(500, "Internal Server Error", "text/html", "<html><body>Fout</body></html>"));
     }},
    {"WrongContentType",
     [](OstrelSim &sim, const QString &a) { sim.queueRaw(a, rawReply(200, "OK", "text/plain", "200")); }},
    {"MalformedXml",
     [](OstrelSim &sim, const QString &a) {
         sim.queueRaw(
             a, rawReply(200, "OK", "text/xml; charset=utf-8",
                         "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\"><soapenv:Bo"));
     }},
    {"Hang", [](OstrelSim &sim, const QString &a) { sim.queueHang(a); }},
};

void PrintTo(const ServiceFault &fault, std::ostream *os)
{
    *os << fault.name;
}

class ServiceFaults : public FaultMatrix, public ::testing::WithParamInterface<ServiceFault>
{
};

TEST_P(ServiceFaults, NothingIsStoredOrMarkedAndEverythingComesAgain)
{
    seedEvents();
    const ServiceFault &fault = GetParam();
    const QString url = controls.text(Control::xSoapServer);
    if (!fault.inject)
        controls.setText(Control::xSoapServer, QStringLiteral("http://127.0.0.1:1/_external/external.cfc"));
    else
        for (const char *action : {"RetrieveTrips", "SendStatus", "processTrips"})
            fault.inject(sim, QLatin1String(action));

    import();
    ASSERT_EQ(log.size(), 1) << "the failed import leaves one log line";
    EXPECT_EQ(rides(), 0);
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 0);

    log.clear();
    retour();
    ASSERT_EQ(log.size(), 1) << "the failed return cycle leaves one log line";
    EXPECT_EQ(eventsWithStatus(1), 0) << "no event is marked accepted without a 200";
    EXPECT_EQ(eventsWithStatus(3), 0);
    EXPECT_EQ(eventsWithStatus(0), kEvents);

    controls.setText(Control::xSoapServer, url);
    expectRecovery(0);
}

INSTANTIATE_TEST_SUITE_P(Faults, ServiceFaults, ::testing::ValuesIn(kServiceFaults),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FaultMatrix, ARefusedStatusMarksTheEventNotAcceptedAndNeverAccepted)
{
    seedEvents();
    sim.queueReply(QStringLiteral("SendStatus"),
                   OstrelSim::statusReply(QStringLiteral("SendStatus"), QStringLiteral("500")));
    retour();
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(eventsWithStatus(3), 1);
    EXPECT_EQ(eventsWithStatus(1), kEvents - 1);
}

TEST_F(FaultMatrix, DatabaseDownAtStart)
{
    seedEvents();
    // A file where the database's folder should be: the database cannot be opened or created.
    const QString good = controls.text(Control::xLoginDatabase);
    blockFolder(dir.path() + QStringLiteral("/geblokkeerd"));
    controls.setText(Control::xLoginDatabase, QStringLiteral("geblokkeerd/dispatch.sqlite"));

    import();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 0) << "a trip that was not stored is not confirmed";
    log.clear();
    retour();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(requests(QStringLiteral("SendStatus")) + requests(QStringLiteral("processTrips")), 0);

    controls.setText(Control::xLoginDatabase, good);
    EXPECT_EQ(eventsWithStatus(0), kEvents);
    expectRecovery(0);
}

// The import closes the connection after every new ride, so a database that becomes unreachable between two
// trips fails the next trip's store; the first trip stays stored and confirmed.
TEST_F(FaultMatrix, DatabaseGoesDownInTheMiddleOfAnImport)
{
    const QString folder = dir.path() + QStringLiteral("/Vorano");
    const QString away = dir.path() + QStringLiteral("/Vorano-weg");
    db.exec(QStringLiteral("select 1")); // creates the database
    db.close();
    pump.at(2, [&] {
        ASSERT_TRUE(QDir().rename(folder, away));
        blockFolder(folder);
    });

    import();
    // A database that is gone is no failure of one trip: the walk ends with one line, the other trips untouched.
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 1);

    pump.clear();
    ASSERT_TRUE(QFile::remove(folder));
    ASSERT_TRUE(QDir().rename(away, folder));
    EXPECT_EQ(rides(), 1);
    expectNoHalfRides();
}

TEST_F(FaultMatrix, CopyFolderMissing)
{
    seedEvents();
    ASSERT_TRUE(QDir(dir.folders().backupsInDir).removeRecursively());
    ASSERT_TRUE(QDir(dir.folders().backupsUitDir).removeRecursively());

    import();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(rides(), 0) << "the trip's copy comes before its ride";
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 0);
    log.clear();
    retour();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(requests(QStringLiteral("SendStatus")) + requests(QStringLiteral("processTrips")), 0)
        << "the document's copy comes before it is sent";
    EXPECT_EQ(eventsWithStatus(0), kEvents);

    QDir().mkpath(dir.folders().backupsInDir);
    QDir().mkpath(dir.folders().backupsUitDir);
    expectRecovery(0);
}

// A folder that cannot be written to. Tests may run as root, for whom permission bits do not count, so a plain
// file takes the folder's place: every write below it fails, whoever runs the program.
TEST_F(FaultMatrix, CopyFolderNotWritable)
{
    seedEvents();
    const QString uit = dir.folders().backupsUitDir;
    ASSERT_TRUE(QDir(uit).removeRecursively());
    {
        QFile blocker(uit);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    import();
    ASSERT_EQ(log.size(), 1) << "the first confirmation reply cannot be kept";
    EXPECT_EQ(rides(), 1) << "the first trip was stored before its confirmation";
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 1);
    log.clear();
    retour();
    ASSERT_EQ(log.size(), 1);
    EXPECT_EQ(eventsWithStatus(1), 0);
    EXPECT_EQ(eventsWithStatus(0), kEvents);
    expectNoHalfRides();

    ASSERT_TRUE(QFile::remove(uit));
    QDir().mkpath(uit);
    sim.clearScript();
    log.clear();
    retour();
    EXPECT_TRUE(log.isEmpty());
    EXPECT_EQ(eventsWithStatus(1), kEvents);
}

// PostgreSQL stopped in the middle of an import: no failure of one trip, so the walk ends with one line; after the
// restart the first trip's ride is there with its row, and the rest come again.
TEST_F(FaultMatrix, PostgreSqlGoesDownInTheMiddleOfAnImport)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    pg.applyTo(controls);

    pump.at(2, [&] { ASSERT_TRUE(pg.stop()); });
    import();
    EXPECT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 1);
    pump.clear();
    ASSERT_TRUE(pg.start());
    db.close();
    EXPECT_EQ(rides(), 1);
    expectNoHalfRides();
}

// The disk fills up in the middle of a run (a file-size limit on this process stands in for it; the database is
// PostgreSQL, a process of its own, so only the copies meet the full disk). The copy that does not fit ends the run
// with one log line and leaves no empty or short file; what went before stays done, nothing is confirmed or sent
// without its copy, and once there is room again everything that was left comes again.
class DiskFull : public FaultMatrix
{
  protected:
    void SetUp() override
    {
        FaultMatrix::SetUp();
        ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
        pg.applyTo(controls);
        seedEvents();
    }

    // From the n-th pass of the message loop on, no file may grow past a few bytes.
    void diskFullFromPass(int n)
    {
        pump.at(n, [this] {
            full.emplace(16);
            ASSERT_TRUE(full->ok());
        });
    }

    void room()
    {
        pump.clear();
        full.reset();
    }

    void expectWholeCopiesOnly()
    {
        for (const QString &folder : {dir.folders().backupsInDir, dir.folders().backupsUitDir})
            for (QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
                const QFileInfo file(it.next());
                EXPECT_GT(file.size(), 16) << file.fileName().toStdString();
                EXPECT_EQ(file.suffix(), QStringLiteral("xml"))
                    << "a temporary file is left: " << file.fileName().toStdString();
            }
    }

    PgServer pg;
    std::optional<FileSizeLimit> full;
};

TEST_F(DiskFull, WhileTripsAreImported)
{
    diskFullFromPass(2); // before the second trip
    import();
    room();
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(log.constFirst().contains(QLatin1String("is niet geschreven: het bestand wordt groter dan is "
                                                        "toegestaan")))
        << log.constFirst().toStdString();
    EXPECT_EQ(rides(), 1) << "the first trip was stored; the second trip's copy comes before its ride";
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 1);
    expectWholeCopiesOnly();
    expectNoHalfRides();

    // The trips come again (the first keeps the ride it has).
    import();
    EXPECT_EQ(rides(), kTrips);
    expectWholeCopiesOnly();
    expectNoHalfRides();
}

TEST_F(DiskFull, WhileEventsAreSent)
{
    diskFullFromPass(2); // before the second event
    retour();
    room();
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(eventsWithStatus(1), 1);
    EXPECT_EQ(eventsWithStatus(0), kEvents - 1) << "an event whose copy cannot be kept is not sent";
    EXPECT_EQ(requests(QStringLiteral("SendStatus")) + requests(QStringLiteral("processTrips")), 1);
    expectWholeCopiesOnly();
    expectRecovery(0);
    expectWholeCopiesOnly();
}

// PostgreSQL stopped in the middle of a return cycle: the event being sent stays pending, nothing is marked
// without a reply, and after the restart every event goes out.
TEST_F(FaultMatrix, DatabaseGoesDownInTheMiddleOfAReturnCycle)
{
    PgServer pg;
    ASSERT_TRUE(pg.ok()) << pg.error().toStdString();
    pg.applyTo(controls);
    seedEvents();

    pump.at(2, [&] { ASSERT_TRUE(pg.stop()); });
    retour();
    // The event being sent when the server went away was sent but cannot be recorded; its transaction row fails
    // (logged, not fatal) and its status update ends the cycle.
    ASSERT_GE(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    pump.clear();
    ASSERT_TRUE(pg.start());
    db.close();
    EXPECT_LE(eventsWithStatus(1), 1) << "only the event sent before the stop can be marked";
    EXPECT_EQ(eventsWithStatus(3), 0);
    EXPECT_GE(eventsWithStatus(0), kEvents - 1);
    expectRecovery(0);
}

// The dispatch holds the row of the oldest pending event (a second connection: SELECT ... FOR UPDATE on
// PostgreSQL, BEGIN IMMEDIATE on the embedded database, whose one lock is the whole database's). While the lock
// lasts, the event is not sent at all; once it is gone the event goes out once, with one code-94 row.
class LockedEventRow : public FaultMatrix, public ::testing::WithParamInterface<const char *>
{
  protected:
    bool onPostgreSql() const { return qstrcmp(GetParam(), "PostgreSql") == 0; }
    int received(int messageType)
    {
        int n = 0;
        for (const OstrelSim::Request &r : sim.requests())
            n += r.kwp.contains(QStringLiteral("<messagetype>%1</messagetype>").arg(messageType));
        return n;
    }
};

TEST_P(LockedEventRow, IsNotSentWhileLockedAndOnceAfterwards)
{
    std::unique_ptr<PgServer> pg;
    if (onPostgreSql()) {
        pg = std::make_unique<PgServer>();
        ASSERT_TRUE(pg->ok()) << pg->error().toStdString();
        pg->applyTo(controls);
    }
    seedEvents();
    // The oldest event is the ride's position report (type 2).
    const QString oldest = scalar(QStringLiteral("select kop_id from koppelingen where kop_type = 2")).toString();

    DispatchDb dispatch(controls, dir.path(), QStringLiteral("dispatch"));
    QSqlDatabase held = dispatch.connection();
    {
        QSqlQuery lock(held);
        if (onPostgreSql()) {
            ASSERT_TRUE(held.transaction());
            ASSERT_TRUE(
                lock.exec(QStringLiteral("select kop_id from koppelingen where kop_id = %1 for update").arg(oldest)));
        } else {
            ASSERT_TRUE(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        }
    }
    for (int tick = 0; tick < 3; ++tick)
        retour();
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(received(2), 0) << "an event whose row is held is not sent";
    EXPECT_EQ(scalar(QStringLiteral("select kop_status from koppelingen where kop_id = ") + oldest).toInt(), 0);
    // PostgreSQL holds the one row; the embedded database holds them all.
    EXPECT_EQ(eventsWithStatus(1), onPostgreSql() ? kEvents - 1 : 0);

    if (onPostgreSql()) {
        ASSERT_TRUE(held.rollback());
    } else {
        QSqlQuery release(held);
        ASSERT_TRUE(release.exec(QStringLiteral("ROLLBACK")));
    }
    retour();
    retour();
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(received(2), 1);
    EXPECT_EQ(eventsWithStatus(1), kEvents);
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from TRANSACTIES where tra_code = 94")).toInt(), kEvents)
        << "one code-94 row per event";
    held = QSqlDatabase();
    dispatch.close();
    db.close();
}

INSTANTIATE_TEST_SUITE_P(Faults, LockedEventRow, ::testing::Values("Sqlite", "PostgreSql"),
                         [](const auto &info) { return std::string(info.param); });

} // namespace

// ---- A service that hangs, and a path that drops idle connections.
namespace
{

// A service that accepts every connection and never answers: each return cycle ends at the no-progress limit with
// one log line, and the stopped calls leave no thread or descriptor behind.
TEST_F(FaultMatrix, AHangingServiceLeavesNoThreadOrDescriptorBehind)
{
    seedEvents();
    HostileServer hanging(HostileServer::Script{{HostileServer::Step::Hold}});
    const QString url = controls.text(Control::xSoapServer);
    controls.setText(Control::xSoapServer, hanging.url());
    ctx().service = [](const QString &url) {
        ServiceProxyOptions options;
        options.noProgressTimeoutMs = 100;
        return CreateServiceProxy(TestNetwork(), url, options);
    };
    retour(); // the network thread and the database connection exist from here on
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const int threads = ThreadCount();
    const int descriptors = OpenDescriptors();
    log.clear();

    constexpr int kCycles = 30;
    for (int i = 0; i < kCycles; ++i)
        retour();
    EXPECT_EQ(log.size(), kCycles) << "one log line per failed cycle";
    EXPECT_EQ(eventsWithStatus(0), kEvents);
    for (int i = 0; i < 100 && (ThreadCount() > threads || OpenDescriptors() > descriptors); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(ThreadCount(), threads);
    EXPECT_LE(OpenDescriptors(), descriptors);

    controls.setText(Control::xSoapServer, url);
    expectRecovery(0);
}

// A path that drops connections idle for more than a moment without a word, between the cycles and the service:
// kept connections idle beyond the limit are not used again, so every call of the next cycle gets its answer and
// every event goes out once.
TEST_F(FaultMatrix, APathThatDropsIdleConnectionsSilently)
{
    seedEvents();
    SwallowingProxy path(controls.text(Control::xSoapServer), 300);
    controls.setText(Control::xSoapServer, path.url());
    ctx().service = [](const QString &url) {
        ServiceProxyOptions options;
        options.idleConnectionLimitMs = 100;
        options.noProgressTimeoutMs = 30000;
        return CreateServiceProxy(TestNetwork(), url, options);
    };
    import();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    retour();
    EXPECT_TRUE(log.isEmpty()) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(path.swallowed(), 0);
    EXPECT_EQ(rides(), kTrips);
    EXPECT_EQ(eventsWithStatus(1), kEvents);
    EXPECT_EQ(requests(QStringLiteral("SendStatus")) + requests(QStringLiteral("processTrips")), kEvents);
}

} // namespace

// ---- Hostile replies: a service that sends a broken, endless, huge or deeply nested reply. Each run fails with
// one log line and stores or marks nothing, with the transport's limits made small; the next run works.
namespace
{

constexpr qint64 kHostileReplyLimit = 256 * 1024;

QByteArray tripsEnvelope()
{
    return OstrelSim::responseEnvelope(OstrelSim::retrieveTripsReply(generatedTrips(kTrips)));
}

struct HostileCell {
    const char *name;
    std::function<HostileServer::Script()> script;
};

using HostileStep = HostileServer::Step;

const HostileCell kHostileCells[] = {
    {"BodyShortOfItsLength",
     [] {
         const QByteArray body = tripsEnvelope();
         return HostileServer::Script{{HostileStep::Send, HostileServer::head(body.size() + 1000) + body},
                                      {HostileStep::Close}};
     }},
    {"ResetMidBody",
     [] {
         const QByteArray body = tripsEnvelope();
         return HostileServer::Script{
             {HostileStep::Send, HostileServer::head(body.size()) + body.left(body.size() / 2)},
             {HostileStep::Pause, {}, 50},
             {HostileStep::Reset}};
     }},
    {"NestedTooDeepAndCut",
     [] {
         const QByteArray body = HostileServer::envelope(QByteArray("<a>").repeated(60000));
         return HostileServer::Script{{HostileStep::Send, HostileServer::head(body.size()) + body}};
     }},
    {"HugeBody",
     [] {
         return HostileServer::Script{{HostileStep::Send, HostileServer::chunkedHead()},
                                      {HostileStep::Endless, "1000\r\n" + QByteArray(4096, 'x') + "\r\n"}};
     }},
    {"EndlessTrickle",
     [] {
         return HostileServer::Script{{HostileStep::Send, HostileServer::head(100000)},
                                      {HostileStep::Trickle, tripsEnvelope(), 50}};
     }},
};

void PrintTo(const HostileCell &cell, std::ostream *os)
{
    *os << cell.name;
}

class HostileReplyFaults : public FaultMatrix, public ::testing::WithParamInterface<HostileCell>
{
  protected:
    // The operation's context with a stub of small limits.
    template <typename Run> void runWithSmallLimits(Run run)
    {
        OperationContext small = ctx();
        small.service = [](const QString &url) {
            ServiceProxyOptions options;
            options.noProgressTimeoutMs = 1000;
            options.callLimitMs = 2000;
            options.maxReplyBytes = kHostileReplyLimit;
            return CreateServiceProxy(TestNetwork(), url, options);
        };
        runner.runExclusive([&] { run(small); });
    }
};

TEST_P(HostileReplyFaults, FailWithOneLogLineAndStoreNothing)
{
    seedEvents();
    HostileServer hostile(GetParam().script());
    const QString url = controls.text(Control::xSoapServer);
    controls.setText(Control::xSoapServer, hostile.url());

    runWithSmallLimits([this](OperationContext &ctx) { tripImport.runRetrievalCycle(ctx); });
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(rides(), 0);
    EXPECT_EQ(requests(QStringLiteral("ConfirmTrips")), 0);

    log.clear();
    runWithSmallLimits([this](OperationContext &ctx) { retourCycle.RetourTimerTimer(ctx); });
    ASSERT_EQ(log.size(), 1) << log.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(eventsWithStatus(1), 0);
    EXPECT_EQ(eventsWithStatus(0), kEvents);

    controls.setText(Control::xSoapServer, url);
    expectRecovery(0);
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileReplyFaults, ::testing::ValuesIn(kHostileCells),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
