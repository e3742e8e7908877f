// Soak: a day of accelerated cycles (default 1440: one per minute of a day), each an import of fresh trips from
// the simulator, the dispatch queueing events for the new rides, and a return cycle sending them. Prints the
// growth of resident memory and of open file descriptors between the end of the warm-up and the end of the run.
//
// soak_bench [cycles] [trips-per-cycle]

#include "support/CycleHarness.h"
#include "support/ProcessMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1440;
    const int tripsPerCycle = argc > 2 ? std::atoi(argv[2]) : 2;
    const int warmup = qMin(100, cycles / 4);

    CycleHarness h;
    if (!h.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(h.error()));
        return 1;
    }
    int errors = 0;
    h.ctx().logError = [&](const QString &message) {
        ++errors;
        std::fprintf(stderr, "log: %s\n", qPrintable(message));
    };
    h.db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (1, 'SO-AK-01', 101)"));
    h.db.close();

    long rssWarm = 0;
    int fdWarm = 0;
    QElapsedTimer timer;
    timer.start();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        OstrelSim::TripGeneration generation;
        generation.count = tripsPerCycle;
        generation.firstId = 1000000 + cycle * tripsPerCycle;
        h.sim.setGeneratedTrips(generation);
        h.import();
        // The dispatch: every new ride gets a vehicle and a final report in the outbox.
        h.runner.run([&] {
            h.db.exec(QStringLiteral("insert into koppelingen (kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                                     "kop_datumtijd) select pla_id, 0, 0, pla_eigenaar, pla_datum from Planning "
                                     "where coalesce(pla_wagen, 0) = 0"));
            h.db.exec(QStringLiteral("update Planning set pla_wagen = 1 where coalesce(pla_wagen, 0) = 0"));
        });
        h.retour();
        h.sim.clearRequests(); // the simulator lives in this process: its record must not count as our growth
        if (cycle + 1 == warmup) {
            rssWarm = ReadProcessMemory().residentKiB;
            fdWarm = OpenDescriptors();
        }
    }
    const double seconds = timer.elapsed() / 1000.0;
    const long rssEnd = ReadProcessMemory().residentKiB;
    const int fdEnd = OpenDescriptors();
    QSqlQuery q =
        h.db.exec(QStringLiteral("select count(*), sum(case when kop_status = 1 then 1 else 0 end) from koppelingen"));
    q.next();
    const int events = q.value(0).toInt();
    const int accepted = q.value(1).toInt();
    q.finish();
    h.db.close();

    std::printf("soak: %d cycles of %d trips in %.1f s, %d events (%d accepted), %d log lines\n", cycles, tripsPerCycle,
                seconds, events, accepted, errors);
    std::printf("resident memory after warm-up %ld KiB, at the end %ld KiB, growth %ld KiB\n", rssWarm, rssEnd,
                rssEnd - rssWarm);
    std::printf("open descriptors after warm-up %d, at the end %d\n", fdWarm, fdEnd);
    std::printf("BENCH\tsoak memory growth over %d cycles\t%ld KiB\t-\t-\t< 1024 KiB\n", cycles - warmup,
                rssEnd - rssWarm);
    std::printf("BENCH\tsoak descriptor growth\t%d\t-\t-\t0\n", fdEnd - fdWarm);
    return errors == 0 && accepted == events ? 0 : 1;
}
