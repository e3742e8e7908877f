// Prints what the retrieval cycle costs per new trip against the local service simulator and SQLite, with
// confirmations on and copies off, and the floor measured in the same run: per trip the same statements issued
// directly through the same driver (the look-up of a ride the trip may already have, the ride insert, the lookups
// of the ride and the company constants, the transaction insert) plus one HTTP round trip to the simulator with a
// confirmation document. The look-up of a trip's ride is also timed alone, on the filled table.
//
//     build/bench/trip_import_bench [trips...]        (default: 1000 10000)
//
// Each size runs twice (cycle, floor, cycle, floor); the faster cycle and the faster floor are printed.
//
// Also prints the reply size and the time of the largest run against the smallest. The peak memory of a cycle of
// the largest size is measured apart, in a process of its own (this program with --memory N URL) against the
// simulator program in another, so that neither the simulator's copies of the reply nor the timing runs count.

#include "link/KwpDocument.h"
#include "link/ReadXmlTag.h"
#include "link/SoapTransport.h"
#include "support/CycleHarness.h"
#include "support/ProcessMemory.h"
#include "support/TestNetwork.h"
#include "trips/NewRide.h"
#include "trips/RideDefaults.h"
#include "trips/RideStore.h"
#include "trips/TripImport.h"

#include "OstrelSim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

// Confirmations on, copies off, vehicle types on; the service at the URL.
void prepare(CycleHarness &h)
{
    h.controls.setChecked(Control::BackupsMaken, false);
    h.controls.setChecked(Control::SoortWagen, true);
    h.controls.setLines(Control::BasicVehicleTypes, {QStringLiteral("1=Taxi"), QStringLiteral("2=Rolstoelbus")});
    h.pump.qtEvents = true;
}

struct Run {
    int trips = 0;
    qsizetype replyBytes = 0;
    double cycleMs = 0;
    double floorMs = 0;
    double reopenMs = 0; // closing and opening the connection once per trip, as the cycle does after each ride
    double lookupMs = 0; // the look-up of a trip's ride alone, once per trip, on the filled table
};

Run measure(OstrelSim &sim, int trips)
{
    Run run;
    run.trips = trips;
    OstrelSim::TripGeneration generation;
    generation.count = trips;
    const QString reply = OstrelSim::retrieveTripsReply(generation);
    run.replyBytes = reply.toUtf8().size();

    // The cycle.
    {
        CycleHarness h(CycleHarness::AtUrl, sim.url());
        prepare(h);
        sim.clearRequests();
        sim.queueReply(QStringLiteral("RetrieveTrips"), reply);
        QElapsedTimer t;
        t.start();
        h.tripImport.runRetrievalCycle(h.ctx());
        run.cycleMs = t.nsecsElapsed() / 1e6;
        if (!h.log.isEmpty())
            std::fprintf(stderr, "log: %s\n", qPrintable(h.log.first()));
        const int stored = h.scalar(QStringLiteral("select count(*) from Planning")).toInt();
        if (stored != trips || sim.requestCount() != trips + 1 || !h.log.isEmpty()) {
            std::fprintf(stderr, "the cycle did not store and confirm every trip (%d stored, %d requests)\n", stored,
                         sim.requestCount());
            std::exit(1);
        }
    }

    // The floor: rows built beforehand, then per trip the statements and one round trip.
    {
        CycleHarness h(CycleHarness::AtUrl, sim.url());
        prepare(h);
        DispatchDb &db = h.db;
        std::vector<RideRow> rows;
        rows.reserve(size_t(trips));
        TemporaryKeys keys;
        const QString normalized = NormalizeReply(reply);
        ItemWalk walk(ReadXMLTag(normalized, QStringLiteral("triplist")), QStringLiteral("trip"));
        QString item;
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; walk.next(item); ++i) {
            TripTexts t{item, ReadXMLTag(item, QStringLiteral("client"))};
            t.trip.remove(t.client);
            rows.push_back(BuildNewRide(t, h.controls, now, QStringLiteral("F%1").arg(i), false));
        }
        const QString confirm = BuildRequest(h.controls, QStringLiteral("1.0"), QStringLiteral("ConfirmTrips"),
                                             QStringLiteral("<triplist><trip><id>100001</id><externalID>1</externalID>"
                                                            "</trip></triplist>"));
        // The look-up the import makes before every new ride: the live ride of the trip within our owner's rides.
        auto findLiveRide = [&](const RideRow &row) {
            return FindLiveRide(db, TripRideKey{row.value(QStringLiteral("pla_extern_ritnummer")).toInt(),
                                                {row.text(QStringLiteral("pla_eigenaar"))}, true});
        };
        QElapsedTimer t;
        t.start();
        for (const RideRow &row : rows) {
            findLiveRide(row);
            QString marks;
            for (qsizetype c = 0; c < row.columns().size(); ++c)
                marks += c ? QLatin1String(",?") : QLatin1String("?");
            db.exec(QLatin1String("INSERT INTO Planning (") + row.columns().join(QLatin1Char(',')) +
                        QLatin1String(") VALUES (") + marks + QLatin1Char(')'),
                    row.values())
                .finish();
            QSqlQuery found = db.exec(QStringLiteral("select pla_id from planning where pla_temp=?"),
                                      {row.value(QStringLiteral("pla_temp"))});
            const int id = found.next() ? found.value(0).toInt() : 0;
            found.finish();
            db.readCompanyConstant();
            db.exec(QStringLiteral("INSERT INTO TRANSACTIES (tra_gebruiker, tra_ritstaat, tra_rit, tra_wagen, "
                                   "tra_chauffeur, tra_code, tra_opmerking) VALUES  (?,?,?,?,?,?,?)"),
                    {0, 0, id, 0, 0, 91, QStringLiteral("100001")})
                .finish();
            CreateServiceProxy(TestNetwork(), sim.url())->xmlRequest(confirm);
        }
        run.floorMs = t.nsecsElapsed() / 1e6;
        t.restart();
        for (int i = 0; i < trips; ++i) {
            db.close();
            db.open();
        }
        run.reopenMs = t.nsecsElapsed() / 1e6;
        t.restart();
        for (const RideRow &row : rows)
            findLiveRide(row);
        run.lookupMs = t.nsecsElapsed() / 1e6;
    }
    return run;
}

// One cycle against the simulator at the URL; prints the resident memory before it and the peak.
int memoryRun(int trips, const QString &url)
{
    CycleHarness h(CycleHarness::AtUrl, url);
    prepare(h);
    h.db.open();
    const long before = ReadProcessMemory().residentKiB;
    h.tripImport.runRetrievalCycle(h.ctx());
    const long peak = ReadProcessMemory().peakResidentKiB;
    const int stored = h.scalar(QStringLiteral("select count(*) from Planning")).toInt();
    std::printf("%ld %ld %d %d\n", before, peak, stored, int(h.log.size()));
    return stored == trips && h.log.isEmpty() ? 0 : 1;
}

// Starts the simulator program with N generated trips and runs memoryRun in a child process.
bool measureMemory(const char *self, int trips, long &beforeKb, long &peakKb)
{
    QTemporaryDir tmp;
    const QString portFile = tmp.filePath(QStringLiteral("port"));
    QProcess sim;
    sim.start(QStringLiteral(VORANO_BINARY_DIR "/tools/ostrel-sim/ostrel-sim"),
              {QStringLiteral("--trips"), QString::number(trips), QStringLiteral("--port-file"), portFile});
    if (!sim.waitForStarted(10000))
        return false;
    QString port;
    for (int i = 0; i < 200 && port.isEmpty(); ++i) {
        QThread::msleep(50);
        QFile f(portFile);
        if (f.open(QIODevice::ReadOnly))
            port = QString::fromLatin1(f.readAll()).trimmed();
    }
    bool ok = false;
    if (!port.isEmpty()) {
        QProcess run;
        run.start(QString::fromLocal8Bit(self),
                  {QStringLiteral("--memory"), QString::number(trips),
                   QStringLiteral("http://127.0.0.1:%1/_external/external.cfc").arg(port)});
        if (run.waitForFinished(30 * 60 * 1000) && run.exitCode() == 0) {
            const QList<QByteArray> fields = run.readAllStandardOutput().trimmed().split(' ');
            beforeKb = fields.value(0).toLong();
            peakKb = fields.value(1).toLong();
            ok = true;
        } else {
            std::fprintf(stderr, "memory run failed: %s\n", run.readAllStandardOutput().constData());
        }
    }
    sim.terminate();
    if (!sim.waitForFinished(5000))
        sim.kill();
    return ok;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--memory") == 0)
        return memoryRun(std::atoi(argv[2]), QString::fromLocal8Bit(argv[3]));
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::max(1, std::atoi(argv[i])));
    if (sizes.empty())
        sizes = {1000, 10000};

    OstrelSim sim;
    if (!sim.start()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    std::vector<Run> runs;
    std::printf("retrieval cycle of new trips, SQLite + simulator on 127.0.0.1, confirmations on, copies off\n");
    for (int n : sizes) {
        // The machine is shared: each size is measured twice, cycle and floor in turn, and the faster of each kept.
        Run r = measure(sim, n);
        const Run second = measure(sim, n);
        r.cycleMs = std::min(r.cycleMs, second.cycleMs);
        r.floorMs = std::min(r.floorMs, second.floorMs);
        r.reopenMs = std::min(r.reopenMs, second.reopenMs);
        r.lookupMs = std::min(r.lookupMs, second.lookupMs);
        runs.push_back(r);
        std::printf("  %6d trips, reply %7.2f MB: cycle %8.3f ms/trip, floor %8.3f ms/trip, %.2fx floor "
                    "(cycle %.1f s)\n",
                    r.trips, r.replyBytes / 1048576.0, r.cycleMs / r.trips, r.floorMs / r.trips, r.cycleMs / r.floorMs,
                    r.cycleMs / 1000.0);
        std::printf("         the cycle closes the connection after each ride; close + open alone: %.3f ms/trip\n",
                    r.reopenMs / r.trips);
        std::printf("         the look-up of a trip's ride (in the cycle and the floor) alone: %.3f ms/trip\n",
                    r.lookupMs / r.trips);
        std::printf("BENCH\timport per new trip, %d trips, confirmations on\t%.3f ms\t%.3f ms (statements + one "
                    "round trip)\t%.2f\t<= 1.5\n",
                    r.trips, r.cycleMs / r.trips, r.floorMs / r.trips, r.cycleMs / r.floorMs);
    }
    if (runs.size() > 1) {
        const Run &a = runs.front();
        const Run &b = runs.back();
        std::printf("  %d trips take %.2fx the time of %d trips (%.1fx the trips)\n", b.trips, b.cycleMs / a.cycleMs,
                    a.trips, double(b.trips) / a.trips);
        std::printf("BENCH\timport, %d vs %d trips\t%.2fx\t-\t-\t<= %.0fx\n", b.trips, a.trips, b.cycleMs / a.cycleMs,
                    1.1 * b.trips / a.trips);
    }
    const Run &largest = runs.back();
    long beforeKb = 0;
    long peakKb = 0;
    if (!measureMemory(argv[0], largest.trips, beforeKb, peakKb)) {
        std::fprintf(stderr, "could not measure the memory of a separate cycle\n");
        return 1;
    }
    std::printf("  peak resident memory of a %d-trip cycle in its own process: %.1f MB (%.1f MB before the cycle);\n"
                "  goal 60 MB + 4 x %.2f MB = %.1f MB\n",
                largest.trips, peakKb / 1024.0, beforeKb / 1024.0, largest.replyBytes / 1048576.0,
                60 + 4 * largest.replyBytes / 1048576.0);
    const double goalMb = 60 + 4 * largest.replyBytes / 1048576.0;
    std::printf("BENCH\timport peak memory, %d trips (%.1f MB reply)\t%.1f MB\t-\t%.2f of goal\t<= %.1f MB\n",
                largest.trips, largest.replyBytes / 1048576.0, peakKb / 1024.0, peakKb / 1024.0 / goalMb, goalMb);
    return 0;
}
