// The real program killed (SIGKILL) at many moments of an import of a few hundred trips and of a return cycle of a
// few hundred events, started again, and its next cycles left to run; then counted against what the service
// received: trips confirmed without a ride, trips without a live ride or with more than one, rides without their
// code-91 transaction row, events marked accepted that the service never received (all must be 0), and events the
// service received twice (reported: an event is sent at least once). The import's reply also offers trips again
// (one right after itself) and cancels trips and offers them once more, as a service does.
//
// The program's first timed cycle comes a minute after it starts, so the moments are not taken one after another:
// every moment has a program of its own, in its own program folder with its own database and its own simulator,
// and all of them run side by side. A moment is the number of confirmations (or status messages) the service has
// received, plus a few milliseconds, so the kills land while a ride is being stored, between storing and
// confirming, and while a confirmation waits for its reply.
//
// The short sweep (20 moments of each kind) runs with the other fault tests. VORANO_LONG_KILL_SWEEP=1 makes it
// 60 moments of each kind over 500 trips and 500 events.

#include "db/DispatchDb.h"
#include "feedback/StatusDocument.h"
#include "link/ReadXmlTag.h"
#include "settings/MemoryControls.h"

#include "OstrelSim.h"
#include "support/RealProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace
{

struct SweepSize {
    int moments = 20; // of each kind
    int items = 300;  // trips of the import, events of the return cycle
};

SweepSize sweepSize()
{
    SweepSize s;
    if (qEnvironmentVariableIntValue("VORANO_LONG_KILL_SWEEP") > 0) {
        s.moments = 60;
        s.items = 500;
    }
    return s;
}

constexpr int kFirstTrip = 500001;
constexpr int kSteps = 5;            // kill moments between two messages
constexpr int kAnswerDelayMs = 5;    // every answer of the simulator to the return cycle
constexpr int kStartSpacingMs = 400; // programs are started apart, so their cycles do not all come at once
constexpr int kCycleWaitMs = 400000; // the first timed cycle comes after 61 s; the machine may be loaded

// A RetrieveTrips reply cut into its trip elements and what stands around them.
struct TripReply {
    QString head;
    QStringList trips;
    QString tail;

    static TripReply split(const QString &reply)
    {
        TripReply r;
        const qsizetype first = reply.indexOf(QLatin1String("<trip>"));
        const qsizetype last = reply.lastIndexOf(QLatin1String("</trip>"));
        if (first < 0 || last < 0) {
            r.head = reply;
            return r;
        }
        r.head = reply.left(first);
        r.tail = reply.mid(last + 7);
        qsizetype from = first;
        for (;;) {
            const qsizetype open = reply.indexOf(QLatin1String("<trip>"), from);
            if (open < 0 || open > last)
                break;
            const qsizetype end = reply.indexOf(QLatin1String("</trip>"), open) + 7;
            r.trips << reply.mid(open, end - open);
            from = end;
        }
        return r;
    }

    QString text() const { return head + trips.join(QString()) + tail; }
};

// Which trips of the import are cancelled and offered again, and which are offered twice in a row.
bool cancelledAndOfferedAgain(int index)
{
    return index % 5 == 2;
}
bool offeredTwice(int index)
{
    return index % 5 == 4;
}

// The generated trips, with a cancellation and a new offer of every fifth trip (after the trip that follows it)
// and every fifth trip offered twice.
QString sweepReply(int items)
{
    OstrelSim::TripGeneration generation;
    generation.count = items;
    generation.firstId = kFirstTrip;
    const TripReply generated = TripReply::split(OstrelSim::retrieveTripsReply(generation));
    TripReply out = generated;
    out.trips.clear();
    const QString insert = QStringLiteral("<tripaction>INSERT</tripaction>");
    for (qsizetype i = 0; i < generated.trips.size(); ++i) {
        const QString &trip = generated.trips[i];
        out.trips << trip;
        if (offeredTwice(int(i)))
            out.trips << trip;
        if (i > 0 && cancelledAndOfferedAgain(int(i) - 1)) {
            QString cancel = generated.trips[i - 1];
            cancel.replace(insert, QStringLiteral("<tripaction>DELETE</tripaction>"));
            out.trips << cancel << generated.trips[i - 1];
        }
    }
    return out.text();
}

// The trips of the reply that the service has not seen confirmed, in their order: what it offers again. Each
// confirmation takes the first trip element with its id that was still waiting.
QString unconfirmedTrips(const QString &reply, const QStringList &confirmedIds)
{
    TripReply r = TripReply::split(reply);
    QHash<QString, QList<qsizetype>> waiting; // positions of each id's elements, first first
    for (qsizetype i = 0; i < r.trips.size(); ++i)
        waiting[ReadXMLTag(r.trips[i], QStringLiteral("id"))].append(i);
    QSet<qsizetype> taken;
    for (const QString &id : confirmedIds) {
        auto it = waiting.find(id);
        if (it != waiting.end() && !it->isEmpty())
            taken.insert(it->takeFirst());
    }
    QStringList left;
    for (qsizetype i = 0; i < r.trips.size(); ++i)
        if (!taken.contains(i))
            left << r.trips[i];
    r.trips = left;
    return r.text();
}

// One program with its folder, database and service.
class Instance
{
  public:
    enum class Kind { Import, Return };

    Instance(Kind kind, int moment, int step)
        : kind(kind)
        , moment(moment)
        , step(step)
    {
    }

    ~Instance()
    {
        program.kill();
        closeDb();
    }

    bool prepare(int items, QString &error)
    {
        if (!dir.isValid())
            return fail(error, QStringLiteral("no program folder"));
        // Forty program folders: the program is hard-linked into each where it can be.
        if (!program.install(QStringLiteral(VORANO_PROGRAM), dir.path(), error))
            return false;
        if (!sim.start())
            return fail(error, sim.errorString());
        // The return cycle's answers come a little late, so kills land while an event waits for its reply; the
        // import's come at once, so they land while a ride is stored or just after, before its confirmation.
        if (kind == Kind::Return)
            sim.setDefaultDelay(kAnswerDelayMs);
        if (kind == Kind::Import) {
            fullReply = sweepReply(items);
            sim.setDefaultReply(QStringLiteral("RetrieveTrips"), fullReply);
        } else if (!seedEvents(items, error)) {
            return false;
        }
        return writeSettings(error);
    }

    void start() { program.start(); }

    // Kills the program once its moment has come; true when it has.
    bool killWhenDue()
    {
        if (killed || program.process().state() != QProcess::Running)
            return killed;
        if (!cycleSeen) {
            if (sim.requestCount() == 0)
                return false;
            // The import's first timed cycle comes after the reference lists were fetched; the return cycle is
            // the only thing the return program sends.
            const QList<OstrelSim::Request> requests = sim.requests();
            for (qsizetype i = 0; i < requests.size(); ++i) {
                if (requests[i].action == QLatin1String(kind == Kind::Import ? "RetrieveTrips" : "SendStatus")) {
                    cycleSeen = true;
                    base = int(i) + (kind == Kind::Import ? 1 : 0);
                    break;
                }
            }
            if (!cycleSeen)
                return false;
        }
        if (sim.requestCount() - base < moment)
            return false;
        if (kind == Kind::Import && moment > 1) {
            // A kill some way into the next trip: after the last confirmation, by a part of the time the trip
            // before it took, so the kills land while a ride is stored and after, before its confirmation.
            const QList<OstrelSim::Request> requests = sim.requests();
            const qsizetype last = base + moment - 1;
            if (last >= 1 && last < requests.size()) {
                const qint64 periodMs = requests[last - 1].at.msecsTo(requests[last].at);
                const qint64 waitMs = QDateTime::currentDateTime().msecsTo(
                    requests[last].at.addMSecs(periodMs * (step + 1) / (kSteps + 1)));
                if (waitMs > 0)
                    QThread::msleep(ulong(waitMs));
            }
        } else if (step > 0) {
            QThread::msleep(ulong(step * 2));
        }
        program.kill();
        killed = true;
        receivedAtKill = sim.requestCount() - base;
        return true;
    }

    // After the kill: the service offers again every trip it has not seen confirmed, as it does. A confirmation
    // the program sent just before it was killed may still be on its way into the service's record.
    void restart()
    {
        if (kind == Kind::Import) {
            QThread::msleep(300);
            confirmedAtRestart = int(confirmations().size());
            const QString offer = unconfirmedTrips(fullReply, confirmedIds());
            offeredAtRestart = int(TripReply::split(offer).trips.size());
            requestsAtRestart = sim.requestCount();
            sim.setDefaultReply(QStringLiteral("RetrieveTrips"), offer);
        }
        closeDb();
        start();
    }

    // Once the restarted program has fetched the trips offered again, the service has nothing more to offer: a
    // trip it saw confirmed is never offered again (a cancellation offered once more would cancel the ride offered
    // after it).
    void offerNothingOnceFetched()
    {
        if (kind != Kind::Import || offerEmptied)
            return;
        const QList<OstrelSim::Request> requests = sim.requests();
        for (qsizetype i = requestsAtRestart; i < requests.size(); ++i) {
            if (requests[i].action == QLatin1String("RetrieveTrips")) {
                TripReply empty = TripReply::split(fullReply);
                empty.trips.clear();
                sim.setDefaultReply(QStringLiteral("RetrieveTrips"), empty.text());
                offerEmptied = true;
                return;
            }
        }
    }

    // Every trip offered again has been confirmed (each trip element once), every event accepted.
    bool done(int)
    {
        if (kind == Kind::Import)
            return int(confirmations().size()) - confirmedAtRestart >= offeredAtRestart;
        return scalar(QStringLiteral("select count(*) from koppelingen where kop_status = 0")) == 0;
    }

    void stop()
    {
        closeDb();
        program.terminate();
    }

    // The trip ids of every ConfirmTrips the service received, with the externalID each carried.
    QList<QPair<QString, int>> confirmations() const
    {
        QList<QPair<QString, int>> out;
        for (const OstrelSim::Request &r : sim.requests())
            if (r.action == QLatin1String("ConfirmTrips"))
                out.append(
                    {ReadXMLTag(r.kwp, QStringLiteral("id")), ReadXMLTag(r.kwp, QStringLiteral("externalID")).toInt()});
        return out;
    }

    QStringList confirmedIds() const
    {
        QStringList ids;
        for (const auto &c : confirmations())
            ids << c.first;
        return ids;
    }

    // How often the service received each event, by the event's moment.
    QHash<QString, int> receivedEvents() const
    {
        QHash<QString, int> times;
        for (const OstrelSim::Request &r : sim.requests())
            if (r.action == QLatin1String("SendStatus"))
                ++times[ReadXMLTag(r.kwp, QStringLiteral("datetime"))];
        return times;
    }

    int scalar(const QString &sql, const QVariantList &params = {})
    {
        if (!QFile::exists(databasePath()))
            return 0;
        QSqlQuery q(db());
        q.prepare(sql);
        for (const QVariant &p : params)
            q.addBindValue(p);
        if (!q.exec() || !q.next())
            return -1;
        return q.value(0).toInt();
    }

    QStringList column(const QString &sql)
    {
        QStringList out;
        QSqlQuery q(db());
        if (q.exec(sql))
            while (q.next())
                out << q.value(0).toString();
        return out;
    }

    void closeDb()
    {
        if (database.isValid()) {
            database.close();
            database = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName);
        }
    }

    const Kind kind;
    const int moment; // messages the service has received in the cycle when the kill is due
    const int step;   // and this far after it (see killWhenDue)
    int receivedAtKill = -1;
    bool killed = false;

  private:
    static bool fail(QString &error, const QString &why)
    {
        error = why;
        return false;
    }

    QString databasePath() const { return dir.filePath(QStringLiteral("Vorano/dispatch.sqlite")); }

    QSqlDatabase &db()
    {
        if (!database.isValid()) {
            connectionName = QUuid::createUuid().toString();
            database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
            database.setDatabaseName(databasePath());
            database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        }
        if (!database.isOpen())
            database.open();
        return database;
    }

    bool writeSettings(QString &error)
    {
        auto check = [](bool on) { return on ? QStringLiteral("TRUE") : QStringLiteral("FALSE"); };
        const bool import = kind == Kind::Import;
        const QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n"
                                           "<Configuration>\r\n  <Hoofdscherm>\r\n"
                                           "    <xBezet_Checked>%1</xBezet_Checked>\r\n"
                                           "    <xAuto_Checked>%2</xAuto_Checked>\r\n"
                                           "    <xBevestigen_Checked>TRUE</xBevestigen_Checked>\r\n"
                                           "    <xInterval_Text>1</xInterval_Text>\r\n"
                                           "    <xVerwerken_Checked>TRUE</xVerwerken_Checked>\r\n"
                                           "    <BackupsMaken_Checked>FALSE</BackupsMaken_Checked>\r\n"
                                           "    <xSoapServer_Text>%3</xSoapServer_Text>\r\n"
                                           "    <xLoginDriver_Text>SQLite</xLoginDriver_Text>\r\n"
                                           "  </Hoofdscherm>\r\n</Configuration>\r\n")
                                .arg(check(!import), check(import), sim.url());
        QFile file(dir.filePath(QStringLiteral("VoranotoOstrel.xml")));
        if (!file.open(QIODevice::WriteOnly))
            return fail(error, file.errorString());
        file.write(xml.toLatin1());
        return true;
    }

    // The database exists before the program starts: the dispatch product made it and queued the events, each
    // recognisable by its moment.
    bool seedEvents(int events, QString &error)
    {
        {
            MemoryControls controls;
            controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
            DispatchDb dispatch(controls, dir.path());
            try {
                dispatch.open();
            } catch (...) {
                return fail(error, QStringLiteral("no database"));
            }
            dispatch.close();
        }
        QSqlDatabase &d = db();
        d.transaction();
        QSqlQuery q(d);
        bool ok = q.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values "
                                        "(3, 'XX-99-YY', 103)")) &&
                  q.exec(QStringLiteral("insert into Planning (pla_eigenaar, pla_extern, pla_wagen, pla_status) "
                                        "values ('007', 4711, 3, 'V')"));
        for (int i = 0; ok && i < events; ++i) {
            QSqlQuery ev(d);
            ev.prepare(QStringLiteral("insert into koppelingen (kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                                      "kop_datumtijd) values (1, 1, 0, '007', ?)"));
            ev.addBindValue(QDateTime(QDate(2026, 1, 1), QTime(0, 0))
                                .addSecs(60 * i)
                                .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            ok = ev.exec();
            if (!ok)
                error = ev.lastError().text();
        }
        ok = ok && d.commit();
        closeDb();
        return ok || fail(error, error.isEmpty() ? QStringLiteral("seeding failed") : error);
    }

    QTemporaryDir dir;
    QString fullReply;
    mutable OstrelSim sim;
    RealProgram program;
    QSqlDatabase database;
    QString connectionName;
    bool cycleSeen = false;
    int base = 0; // index of the cycle's first message in the service's record
    int confirmedAtRestart = 0;
    int offeredAtRestart = 0;
    int requestsAtRestart = 0;
    bool offerEmptied = false;
};

struct Counts {
    int confirmedWithoutRide = 0; // a confirmation whose externalID is not a ride of that trip
    int tripsWithoutRide = 0;     // trips of the import with no live ride at the end
    int tripsWithMoreRides = 0;   // with more than one live ride
    int ridesWithoutRow = 0;      // rides of the import without their code-91 transaction row
    int acceptedNotReceived = 0;
    int receivedTwice = 0;
    int pending = 0; // events still waiting at the end
};

Counts count(Instance &in, int items)
{
    Counts c;
    if (in.kind == Instance::Kind::Import) {
        for (const auto &[trip, externalId] : in.confirmations()) {
            // A cancellation that found no live ride (it was cancelled before the kill) is confirmed with 0.
            if (externalId == 0 && cancelledAndOfferedAgain(trip.toInt() - kFirstTrip))
                continue;
            if (in.scalar(QStringLiteral("select count(*) from Planning where pla_id = ? and pla_extern_ritnummer = ?"),
                          {externalId, trip.toInt()}) != 1)
                ++c.confirmedWithoutRide;
        }
        const QString live = QStringLiteral("coalesce(pla_extern_verwijderd, 0) = 0");
        c.tripsWithMoreRides =
            in.scalar(QStringLiteral("select count(*) from (select pla_extern_ritnummer from Planning where ") + live +
                      QStringLiteral(" group by pla_extern_ritnummer having count(*) > 1)"));
        c.tripsWithoutRide =
            items - in.scalar(QStringLiteral("select count(distinct pla_extern_ritnummer) from Planning where "
                                             "pla_extern_ritnummer between ? and ? and ") +
                                  live,
                              {kFirstTrip, kFirstTrip + items - 1});
        if (c.tripsWithoutRide > 0) {
            for (const QString &line : in.column(QStringLiteral(
                     "select t.n || ': ' || coalesce((select group_concat(pla_id || '/' || coalesce(pla_extern_verwijderd, "
                     "'-') || '/' || coalesce(pla_opmerking, ''), ' ') from Planning where pla_extern_ritnummer = t.n), "
                     "'') from (select distinct pla_extern_ritnummer as n from Planning) t where not exists (select 1 "
                     "from Planning p where p.pla_extern_ritnummer = t.n and coalesce(p.pla_extern_verwijderd, 0) = 0)"))) {
                QString confirmed;
                for (const auto &[trip, externalId] : in.confirmations())
                    if (line.startsWith(trip + QLatin1Char(':')))
                        confirmed += QLatin1Char(' ') + QString::number(externalId);
                // trip: its rides as id/mark/remark, and the externalIDs its confirmations carried
                std::printf("  no live ride (moment %d) %s | confirmed with%s\n", in.moment, qPrintable(line),
                            qPrintable(confirmed));
            }
        }
        c.ridesWithoutRow = in.scalar(QStringLiteral("select count(*) from Planning where pla_extern_ritnummer between "
                                                     "? and ? and not exists (select 1 from TRANSACTIES where "
                                                     "tra_code = 91 and tra_rit = pla_id)"),
                                      {kFirstTrip, kFirstTrip + items - 1});
    } else {
        const QHash<QString, int> received = in.receivedEvents();
        for (const QString &moment : in.column(QStringLiteral("select kop_datumtijd from koppelingen where "
                                                              "kop_status = 1"))) {
            const bool found = received.contains(FormatStatusDateTime(DispatchDb::toDateTime(QVariant(moment))));
            c.acceptedNotReceived += !found;
        }
        for (int n : received)
            c.receivedTwice += n > 1;
        c.pending = in.scalar(QStringLiteral("select count(*) from koppelingen where kop_status <> 1"));
    }
    return c;
}

TEST(KillSweep, NothingLostOrDoubledWhereverTheProgramIsKilled)
{
    const SweepSize size = sweepSize();
    std::vector<std::unique_ptr<Instance>> instances;
    // Moments spread evenly over the cycle (0 .. items-1 messages received), each some way after the message:
    // into the next trip for the import, a few milliseconds for the return cycle.
    for (const Instance::Kind kind : {Instance::Kind::Import, Instance::Kind::Return})
        for (int i = 0; i < size.moments; ++i)
            instances.push_back(std::make_unique<Instance>(kind, i * size.items / size.moments, i % kSteps));

    for (auto &in : instances) {
        QString error;
        ASSERT_TRUE(in->prepare(size.items, error)) << error.toStdString();
    }
    for (auto &in : instances) {
        in->start();
        QThread::msleep(kStartSpacingMs);
    }

    // Kill each at its moment; poll often, the messages come some milliseconds apart.
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        bool all = true;
        for (auto &in : instances)
            all = in->killWhenDue() && all;
        if (all)
            break;
        ASSERT_LT(clock.elapsed(), kCycleWaitMs) << "not every program reached its moment";
        QThread::msleep(1);
    }

    for (auto &in : instances) {
        in->restart();
        QThread::msleep(kStartSpacingMs);
    }
    // Each program is stopped once its work is done.
    QElapsedTimer waited;
    waited.start();
    std::vector<bool> finished(instances.size(), false);
    for (;;) {
        bool all = true;
        for (size_t i = 0; i < instances.size(); ++i) {
            if (finished[i])
                continue;
            instances[i]->offerNothingOnceFetched();
            if (instances[i]->done(size.items)) {
                instances[i]->stop();
                finished[i] = true;
            } else {
                all = false;
            }
        }
        if (all)
            break;
        if (waited.elapsed() > kCycleWaitMs) {
            ADD_FAILURE() << "the cycle after the restart did not finish";
            break;
        }
        QThread::msleep(500);
    }
    for (auto &in : instances)
        in->stop();

    std::printf("\nkill sweep: %d moments of each kind, %d trips / %d events per program\n", size.moments, size.items,
                size.items);
    std::printf("  %-7s %8s %9s | %10s %10s %10s %8s | %9s %9s %8s\n", "kind", "moment", "received", "conf.w/o",
                "no ride", "2+ rides", "no 91", "acc.w/o", "twice", "pending");
    Counts total;
    for (auto &in : instances) {
        const Counts c = count(*in, size.items);
        const bool import = in->kind == Instance::Kind::Import;
        const QString moment =
            QString::number(in->moment) + (import ? QStringLiteral("+%1/%2").arg(in->step + 1).arg(kSteps + 1)
                                                  : QStringLiteral("+%1ms").arg(in->step * 2));
        std::printf("  %-7s %8s %9d | %10s %10s %10s %8s | %9s %9s %8s\n", import ? "import" : "return",
                    qPrintable(moment), in->receivedAtKill,
                    import ? qPrintable(QString::number(c.confirmedWithoutRide)) : "",
                    import ? qPrintable(QString::number(c.tripsWithoutRide)) : "",
                    import ? qPrintable(QString::number(c.tripsWithMoreRides)) : "",
                    import ? qPrintable(QString::number(c.ridesWithoutRow)) : "",
                    import ? "" : qPrintable(QString::number(c.acceptedNotReceived)),
                    import ? "" : qPrintable(QString::number(c.receivedTwice)),
                    import ? "" : qPrintable(QString::number(c.pending)));
        total.confirmedWithoutRide += c.confirmedWithoutRide;
        total.tripsWithoutRide += c.tripsWithoutRide;
        total.tripsWithMoreRides += c.tripsWithMoreRides;
        total.ridesWithoutRow += c.ridesWithoutRow;
        total.acceptedNotReceived += c.acceptedNotReceived;
        total.receivedTwice += c.receivedTwice;
        total.pending += c.pending;
    }
    std::printf("  %-7s %8s %9s | %10d %10d %10d %8d | %9d %9d %8d\n", "total", "", "", total.confirmedWithoutRide,
                total.tripsWithoutRide, total.tripsWithMoreRides, total.ridesWithoutRow, total.acceptedNotReceived,
                total.receivedTwice, total.pending);
    std::printf("  conf.w/o: trips confirmed without a ride of theirs; no ride: trips left without a live ride;\n"
                "  2+ rides: trips with more than one live ride; no 91: rides without their code-91 row;\n"
                "  acc.w/o: events marked accepted that the service never\n"
                "  received; twice: events the service received twice; pending: events not yet accepted.\n");
    std::fflush(stdout);

    EXPECT_EQ(total.confirmedWithoutRide, 0);
    EXPECT_EQ(total.tripsWithoutRide, 0);
    EXPECT_EQ(total.tripsWithMoreRides, 0);
    EXPECT_EQ(total.ridesWithoutRow, 0);
    EXPECT_EQ(total.acceptedNotReceived, 0);
    EXPECT_EQ(total.pending, 0);
    // At least once: only the event in flight at a kill may go out again.
    EXPECT_LE(total.receivedTwice, size.moments);
    RecordProperty("events_received_twice", total.receivedTwice);
}

} // namespace
