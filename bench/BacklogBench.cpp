// Prints what a backlog of pending events costs the return-message cycle before the first of them is sent: the
// memory it holds and the time it takes, reading the outbox in batches as the program does, and reading all of it
// at once for comparison. SQLite and the service simulator on 127.0.0.1.
//
//     build/bench/backlog_bench [events]

#include "support/CycleHarness.h"
#include "support/ProcessMemory.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace
{

// One vehicle, one ride per event, and the events pending, one second apart.
void arrange(DispatchDb &db, int events)
{
    db.exec(QStringLiteral("insert into wagens (wag_id, wag_kenteken, wag_taxis) values (1, '12-ABC-3', 17)")).finish();
    db.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                           "insert into Planning (pla_id, pla_wagen, pla_extern, pla_status) "
                           "select i, 1, 500000 + i, 'W' from n"),
            {events})
        .finish();
    db.exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < ?) "
                           "insert into koppelingen (kop_id, kop_pla_id, kop_type, kop_status, kop_eigenaar, "
                           "kop_datumtijd, kop_latitude, kop_longitude) select i, i, 2, 0, '007', "
                           "datetime('2015-03-31 08:00:00', '+' || i || ' seconds'), 52.370216, 4.895168 from n"),
            {events})
        .finish();
}

struct Figures {
    long memoryKiB;
    double milliseconds;
};

// Runs a tick up to the moment the first event is about to be sent.
Figures untilTheFirstSend(CycleHarness &h, int batchSize)
{
    h.db.exec(QStringLiteral("update koppelingen set kop_status=0")).finish();
    RetourCycle cycle(batchSize);
    const long before = ReadProcessMemory().residentKiB;
    Figures f{};
    QElapsedTimer t;
    t.start();
    h.pump.at(1, [&] {
        f = {ReadProcessMemory().residentKiB - before, t.nsecsElapsed() / 1e6};
        throw std::runtime_error("first event reached");
    });
    try {
        cycle.RetourTimerTimer(h.ctx());
    } catch (const std::runtime_error &) {
    }
    h.pump.clear();
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int events = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;

    CycleHarness h;
    if (!h.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(h.error()));
        return 1;
    }
    h.controls.setText(Control::Eigenaar, QStringLiteral("007"));
    arrange(h.db, events);

    // The batched run first: memory the whole read frees afterwards would otherwise flatter it.
    const Figures batched = untilTheFirstSend(h, RetourCycle::kBatchSize);
    const Figures whole = untilTheFirstSend(h, events);
    std::printf("return-message cycle, %d pending events, until the first is sent (SQLite)\n", events);
    std::printf("  in batches of %d   %8ld KiB more resident  %9.1f ms\n", RetourCycle::kBatchSize, batched.memoryKiB,
                batched.milliseconds);
    std::printf("  all at once          %8ld KiB more resident  %9.1f ms\n", whole.memoryKiB, whole.milliseconds);
    std::printf("BENCH\tbacklog of %d events, memory before the first send\t%ld KiB\t%ld KiB (all read at once)\t"
                "%.3f\t-\n",
                events, batched.memoryKiB, whole.memoryKiB,
                whole.memoryKiB > 0 ? double(batched.memoryKiB) / double(whole.memoryKiB) : 0.0);
    return 0;
}
