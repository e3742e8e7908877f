// Soak: a day of accelerated cycles (default 1440: one per minute of a day), each an import of fresh trips from
// the simulator, the dispatch queueing events for the new rides, and a return cycle sending them. Prints the
// growth of resident memory and of open file descriptors between the end of the warm-up and the end of the run.
//
// soak_bench [cycles] [trips-per-cycle]

#include "app/ActionRunner.h"
#include "base/OperationContext.h"
#include "db/DispatchDb.h"
#include "feedback/RetourCycle.h"
#include "link/SoapTransport.h"
#include "link/TextList.h"
#include "settings/MemoryControls.h"
#include "trips/TripImport.h"

#include "OstrelSim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <unistd.h>

namespace
{

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 1440;
    const int tripsPerCycle = argc > 2 ? std::atoi(argv[2]) : 2;
    const int warmup = qMin(100, cycles / 4);

    QTemporaryDir dir;
    const ProgramFolders folders = ProgramFolders::under(dir.path());
    folders.create();
    OstrelSim sim;
    if (!sim.start()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    MemoryControls controls;
    controls.setText(Control::xLoginDriver, QStringLiteral("SQLite"));
    controls.setText(Control::xSoapServer, sim.url());
    for (Control c : {Control::xVerwerken, Control::xBevestigen, Control::BackupsMaken, Control::xBezet})
        controls.setChecked(c, true);

    DispatchDb db(controls, dir.path());
    NoEventPump pump;
    SystemClock clock;
    TextList resultList;
    int errors = 0;
    const ErrorHook logError = [&](const QString &message) {
        ++errors;
        std::fprintf(stderr, "log: %s\n", qPrintable(message));
    };
    ActionRunner runner(logError);
    OperationContext ctx{controls, MakeServiceFactory(controls), db, pump, clock, folders, resultList, logError};
    TripImport import;
    RetourCycle retour;
    db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (1, 'SO-AK-01', 101)"));
    db.close();

    long rssWarm = 0;
    int fdWarm = 0;
    QElapsedTimer timer;
    timer.start();
    for (int cycle = 0; cycle < cycles; ++cycle) {
        OstrelSim::TripGeneration generation;
        generation.count = tripsPerCycle;
        generation.firstId = 1000000 + cycle * tripsPerCycle;
        sim.setGeneratedTrips(generation);
        runner.runExclusive([&] { import.runRetrievalCycle(ctx); });
        // The dispatch: every new ride gets a vehicle and a final report in the outbox.
        runner.run([&] {
            db.exec(QStringLiteral("insert into koppelingen (kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                                   "kop_datumtijd) select pla_id, 0, 0, pla_eigenaar, pla_datum from Planning "
                                   "where coalesce(pla_wagen, 0) = 0"));
            db.exec(QStringLiteral("update Planning set pla_wagen = 1 where coalesce(pla_wagen, 0) = 0"));
        });
        runner.runExclusive([&] { retour.RetourTimerTimer(ctx); });
        sim.clearRequests(); // the simulator lives in this process: its record must not count as our growth
        if (cycle + 1 == warmup) {
            rssWarm = residentKiB();
            fdWarm = openDescriptors();
        }
    }
    const double seconds = timer.elapsed() / 1000.0;
    const long rssEnd = residentKiB();
    const int fdEnd = openDescriptors();
    QSqlQuery q =
        db.exec(QStringLiteral("select count(*), sum(case when kop_status = 1 then 1 else 0 end) from koppelingen"));
    q.next();
    const int events = q.value(0).toInt();
    const int accepted = q.value(1).toInt();
    q.finish();
    db.close();

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
